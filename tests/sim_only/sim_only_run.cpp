// Steps the simulation alone, with no window, no GL, no SDL and no sound,
// through the commands turfwar-replay --record-commands wrote, and checks
// that at every "state" line it reaches the player, car, weapon and
// projectile states the replay tool printed for the same run.
//
// Usage: sim_only_run DATA_FOLDER COMMANDS STATES
// Exit 0: every state the same; 1: a state differs (the first is shown);
// 2: a file cannot be read or a line is malformed.

#include "assets/model_ms3d.h"
#include "sim/command_record.h"
#include "sim/sim_world.h"
#include "tools/replay/sim_state.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

namespace {

// What the replay tool's state line holds that the simulation decides.
nlohmann::json simPartOf(const nlohmann::json& state)
{
    nlohmann::json part;
    for (const char* key : {"player", "cars", "weapon", "projectiles", "players"})
        if (state.contains(key))
            part[key] = state[key];
    return part;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::cerr << "usage: sim_only_run DATA_FOLDER COMMANDS STATES\n";
        return 2;
    }
    const std::filesystem::path commandsPath = std::filesystem::absolute(argv[2]);
    const std::filesystem::path statesPath = std::filesystem::absolute(argv[3]);
    std::error_code ec;
    std::filesystem::current_path(argv[1], ec);
    if (ec) {
        std::cerr << "sim_only_run: " << argv[1] << ": " << ec.message() << "\n";
        return 2;
    }

    // The game's start, without what only shows: the same files, the same order.
    SimWorld world;
    createSimWorld(world);
    std::string reason;
    if (!buildSimCars(world, "car.txt", reason)) {
        std::cerr << "sim_only_run: " << reason << "\n";
        return 2;
    }
    ModelMs3d playerModel;
    if (playerModel.loadWithoutTextures("data\\model.ms3d", &reason)) {
        playerModel.setAnimationStart(kWalkStartMs);
        playerModel.restartAnimation();
    }
    addSimPlayers(world, 1, playerModel);

    std::ifstream commands(commandsPath);
    std::ifstream states(statesPath);
    if (!commands || !states) {
        std::cerr << "sim_only_run: cannot read " << (commands ? statesPath : commandsPath) << "\n";
        return 2;
    }
    StepEvents events;
    std::string line;
    int lineNumber = 0;
    int compared = 0;
    while (std::getline(commands, line)) {
        ++lineNumber;
        if (line == "state") {
            std::string printed;
            if (!std::getline(states, printed)) {
                std::cerr << "sim_only_run: fewer states printed than asked for\n";
                return 2;
            }
            const nlohmann::json expected = simPartOf(nlohmann::json::parse(printed, nullptr, false));
            nlohmann::json reached;
            describeSimWorld(world, reached);
            if (reached != expected) {
                std::cerr << "sim_only_run: state " << compared + 1 << " differs\n  replay: " << expected.dump()
                          << "\n  alone:  " << reached.dump() << "\n";
                return 1;
            }
            ++compared;
            continue;
        }
        FrameRecord record;
        std::string error;
        if (!readFrameRecord(line, record, error)) {
            std::cerr << "sim_only_run: " << commandsPath.string() << ":" << lineNumber << ": " << error << "\n";
            return 2;
        }
        // As many players as the game had; none has moved before the first frame.
        if (world.steps == 0 && static_cast<std::size_t>(record.playerCount) != world.players.size())
            addSimPlayers(world, record.playerCount, playerModel);
        events.clear();
        stepWorld(world, std::span<const PlayerCommand>(record.commands.data(), static_cast<std::size_t>(record.playerCount)),
                  record.dt, events);
    }
    if (compared == 0) {
        std::cerr << "sim_only_run: no state to compare\n";
        return 2;
    }
    std::cout << "sim_only_run: " << compared << " states the same\n";
    return 0;
}
