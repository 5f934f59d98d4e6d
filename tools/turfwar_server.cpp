// turfwar-server: the dedicated server. Runs matches between the people who
// join over UDP and bots in the places nobody holds, until SIGINT or
// SIGTERM; then says Goodbye to every client and ends with status 0.
// Links the network library and what it needs, never GL, SDL or sound.
//
// One line on standard output when it listens and for each join, leave and
// match result; errors on standard error, status 1 for bad options or data.

#include "bots/bots.h"
#include "net/match_record.h"
#include "net/protocol.h"
#include "net/server.h"
#include "tools/replay/server_record.h"

#include <CLI/CLI.hpp>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::atomic<bool> stopRequested{false};

extern "C" void onStopSignal(int) { stopRequested.store(true); }

// The files the server opens, by the names the game gives them.
const char* const kCarFile = "car.txt";
const char* const kModelFile = "data/model.ms3d";

bool holdsServerData(const std::filesystem::path& folder)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(folder / kCarFile, ec) &&
           std::filesystem::is_regular_file(folder / kModelFile, ec);
}

// The game's own order (app/data_folder.h): the folder named, the current
// directory, the installed data beside the executable, the build's "game"
// folder, then $XDG_DATA_DIRS. The server reads only the car file and the
// player model, so those two are what a place must hold.
std::optional<std::filesystem::path> findServerData(const std::optional<std::string>& named)
{
    if (named)
        return std::filesystem::path(*named);
    std::vector<std::filesystem::path> places;
    std::error_code ec;
    places.push_back(std::filesystem::current_path(ec));
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::filesystem::path bin = self.parent_path();
        places.push_back(bin / "../share/turfwar");
        places.push_back(bin / "../share/games/turfwar");
        places.push_back(bin / "game");
    }
    const char* xdg = std::getenv("XDG_DATA_DIRS");
    std::string dirs = xdg && *xdg ? xdg : "/usr/local/share:/usr/share";
    for (std::size_t at = 0; at <= dirs.size();) {
        const std::size_t end = std::min(dirs.find(':', at), dirs.size());
        const std::filesystem::path dir = dirs.substr(at, end - at);
        if (dir.is_absolute()) {
            places.push_back(dir / "turfwar");
            places.push_back(dir / "games/turfwar");
        }
        at = end + 1;
    }
    for (const auto& place : places)
        if (holdsServerData(place))
            return place;
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Turfwar's dedicated server: matches over UDP between the people who join and bots"};
    std::uint16_t port = kDefaultPort;
    std::string bind;
    int bots = 1;
    std::string botLevel = botLevelName(kDefaultBotLevel);
    std::string password;
    int peersPerAddress = kDefaultPeersPerAddress;
    int rounds = kDefaultRounds;
    float roundMinutes = kDefaultRoundSeconds / 60.0f;
    float respawnSeconds = kDefaultRespawnSeconds;
    std::uint64_t seed = kDefaultBotSeed;
    std::optional<std::string> recordFile;
    std::optional<std::string> statesFile;
    int statesEvery = kDefaultStatesEvery;
    std::optional<std::string> dataDir;
    app.set_version_flag("--version", std::string("turfwar-server ") + TURFWAR_VERSION);
    app.add_option("--port", port, "UDP port to listen on (0: any free one)")->capture_default_str();
    app.add_option("--bind", bind, "IPv4 address to listen on (default: every interface)");
    // The game's ranges (app/settings_table.cpp's rows, which link SDL and so
    // cannot be linked here).
    app.add_option("--bots", bots, "Places in the world before anyone joins, all bots, 1 to 8")
        ->check(CLI::Range(0, kMaxPlayers))
        ->capture_default_str();
    app.add_option("--bot-level", botLevel, "How well the bots play: easy, normal or hard")
        ->check(CLI::IsMember({"easy", "normal", "hard"}))
        ->capture_default_str();
    app.add_option("--password", password, "Password a client must give (default: none)");
    app.add_option("--peers-per-address", peersPerAddress,
                   "Connections one address may hold at once, 1 to 12: more for players behind one NAT address")
        ->check(CLI::Range(1, kMaxPlayers + kSpareRefusalPeers))
        ->capture_default_str();
    app.add_option("--rounds", rounds, "Rounds a team must win, 1 to 99")->check(CLI::Range(1, 99))->capture_default_str();
    app.add_option("--round-minutes", roundMinutes, "Minutes on a round's clock, 0.25 to 60")
        ->check(CLI::Range(0.25f, 60.0f))
        ->capture_default_str();
    app.add_option("--respawn-seconds", respawnSeconds, "Seconds before a knocked-out player comes back, 0 to 60")
        ->check(CLI::Range(0.0f, 60.0f))
        ->capture_default_str();
    app.add_option("--seed", seed, "Seed of the bots' chances, 0 to 2147483647")
        ->check(CLI::Range(std::uint64_t{0}, std::uint64_t{2147483647}))
        ->capture_default_str();
    app.add_option("--record", recordFile, "Write every step's commands to FILE, for replaying the matches");
    app.add_option("--states", statesFile,
                   "Write the world's state to FILE every --states-every ticks, one JSON line each, as "
                   "turfwar-replay --server-record prints them from the record");
    app.add_option("--states-every", statesEvery, "Ticks between the lines of --states (200 a second), 1 to 1000000")
        ->check(CLI::Range(1, 1000000))
        ->capture_default_str();
    app.add_option("--data", dataDir, "The game folder (default: found as the game finds it)");
    CLI11_PARSE(app, argc, argv);

    if (password.size() > kMaxPasswordBytes) {
        std::cerr << "turfwar-server: --password: at most " << kMaxPasswordBytes << " bytes\n";
        return 1;
    }
    const std::optional<std::filesystem::path> data = findServerData(dataDir);
    if (!data) {
        std::cerr << "turfwar-server: no game folder with " << kCarFile << " and " << kModelFile
                  << " found; name one with --data\n";
        return 1;
    }
    // The record is opened before the data folder is entered: a relative
    // name means the directory the server was started in.
    std::ofstream record;
    if (recordFile) {
        record.open(*recordFile, std::ios::binary | std::ios::trunc);
        if (!record) {
            std::cerr << "turfwar-server: " << *recordFile << ": cannot be written\n";
            return 1;
        }
    }
    std::ofstream states;
    if (statesFile) {
        states.open(*statesFile, std::ios::binary | std::ios::trunc);
        if (!states) {
            std::cerr << "turfwar-server: " << *statesFile << ": cannot be written\n";
            return 1;
        }
    }
    std::error_code ec;
    std::filesystem::current_path(*data, ec);
    if (ec) {
        std::cerr << "turfwar-server: " << data->string() << ": " << ec.message() << "\n";
        return 1;
    }

    NetServerConfig config;
    config.port = port;
    config.bindAddress = bind;
    config.password = password;
    config.peersPerAddress = peersPerAddress;
    config.bots = bots;
    config.botLevel = botLevelFromName(botLevel).value_or(kDefaultBotLevel);
    config.rules.rounds = rounds;
    config.rules.roundSeconds = roundMinutes * 60.0f;
    config.rules.respawnSeconds = respawnSeconds;
    config.seed = seed;
    config.carFile = kCarFile;
    config.modelFile = "data\\model.ms3d";
    config.record = recordFile ? &record : nullptr;
    if (statesFile)
        config.afterStep = [&states, statesEvery](std::uint32_t tick, const SimWorld& world) {
            if (tick % static_cast<std::uint32_t>(statesEvery) == 0)
                states << serverStateLine(tick, world).dump() << '\n';
        };
    config.log = [](const std::string& line) { std::cout << "turfwar-server: " << line << std::endl; };

    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    NetServer server(config);
    std::string reason;
    if (!server.open(reason)) {
        std::cerr << "turfwar-server: " << reason << "\n";
        return 1;
    }
    server.run(stopRequested);
    if (recordFile && !record) {
        std::cerr << "turfwar-server: " << *recordFile << ": writing failed\n";
        return 1;
    }
    states.flush();
    if (statesFile && !states) {
        std::cerr << "turfwar-server: " << *statesFile << ": writing failed\n";
        return 1;
    }
    return 0;
}
