#pragma once
// A whole match between computer players, stepped through the simulation
// library alone at 60 frames a second of game time, as fast as the step
// runs: the bots think, the world steps, and what happened is tallied.

#include "bots/bots.h"
#include "sim_rig.h"

#include <cmath>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

struct BotMatchResult {
    int winner = -1;                 // the match's winning team, -1 when it did not end
    std::array<int, kTeamCount> scores{};
    int roundsPlayed = 0;            // rounds ended, drawn ones included
    int drawnRounds = 0;
    float seconds = 0.0f;            // game time to the end
    int stuckEvents = 0;             // over every bot
    float longestStuckSeconds = 0.0f;
    int teammateHits = 0;            // shots or cars that hit a player of the shooter's own team
    int ownCarHits = 0;              // shots into the shooter's own team's car
    int enemyCarsTaken = 0;          // times a player got into the other team's car
    int knockOuts = 0;
    int wheelsOff = 0;
    bool finite = true;              // every position and velocity a number, every frame
    std::vector<BotStats> bots;
};

inline bool finiteVector(Vector3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// A match world with its players, before any is made a bot, stepped at 60
// frames a second of game time: the bots think, then the world steps.
struct BotRig {
    static constexpr float kFrame = 1.0f / 60.0f;

    explicit BotRig(int players, MatchRules rules = {})
    {
        std::string reason;
        if (!buildSimRig(world, model, players, reason, TURFWAR_BINARY_DIR "/game/"))
            throw std::runtime_error(reason);
        startMatch(world, rules);
    }
    std::span<PlayerCommand> mine() { return {commands.data(), world.players.size()}; }
    void step()
    {
        events.clear();
        thinkBots(set, world, kFrame, mine());
        stepWorld(world, mine(), kFrame, events);
    }
    void skipCountdown()
    {
        while (world.match->phase == MatchPhase::Countdown)
            step();
    }

    ModelMs3d model;
    SimWorld world;
    BotSet set;
    std::array<PlayerCommand, kMaxPlayers> commands{};
    StepEvents events;
};

// A person's play for the players the bots leave alone: given the world,
// the player's index and the frame's seconds, that player's command.
using ScriptedPlayer = std::function<PlayerCommand(const SimWorld&, int, float)>;

// levels[i] is player i's; every player is a bot, unless script is given:
// then player 0 plays by it. Ends at the match's end or after maxSeconds of
// game time.
inline BotMatchResult playBotMatch(std::span<const BotLevel> levels, std::uint64_t seed, MatchRules rules = {},
                                   float maxSeconds = 3600.0f, const ScriptedPlayer& script = {})
{
    BotRig rig(static_cast<int>(levels.size()), rules);
    SimWorld& world = rig.world;
    BotSet& set = rig.set;
    const int firstBot = script ? 1 : 0;
    addBots(set, world, firstBot, BotLevel::Normal, seed);
    for (std::size_t i = 0; i < set.bots.size(); ++i)
        set.bots[i].level = levels[i + static_cast<std::size_t>(firstBot)];

    BotMatchResult result;
    const float kFrame = BotRig::kFrame;
    const int frames = static_cast<int>(maxSeconds / kFrame);
    for (int frame = 0; frame < frames && world.match->phase != MatchPhase::MatchOver; ++frame) {
        rig.events.clear();
        thinkBots(set, world, kFrame, rig.mine());
        if (script)
            rig.commands[0] = script(world, 0, kFrame);
        stepWorld(world, rig.mine(), kFrame, rig.events);
        result.seconds += kFrame;
        for (const StepEvent& e : rig.events) {
            if ((e.kind == StepEventKind::PlayerHit || e.kind == StepEventKind::KnockedOut) && e.player >= 0 &&
                e.target >= 0 && e.player % kTeamCount == e.target % kTeamCount)
                ++result.teammateHits;
            if (e.kind == StepEventKind::PartHit && e.player >= 0 && e.car == e.player % kTeamCount)
                ++result.ownCarHits;
            if (e.kind == StepEventKind::EnteredCar && e.car != e.player % kTeamCount)
                ++result.enemyCarsTaken;
            result.knockOuts += e.kind == StepEventKind::KnockedOut ? 1 : 0;
            result.wheelsOff += e.kind == StepEventKind::WheelOff ? 1 : 0;
            if (e.kind == StepEventKind::RoundEnded) {
                ++result.roundsPlayed;
                result.drawnRounds += e.part < 0 ? 1 : 0;
            }
        }
        for (const SimPlayer& p : world.players)
            result.finite = result.finite && finiteVector(p.body.position) && std::isfinite(p.body.yaw);
        for (const Car& car : world.cars)
            for (int part = 0; part < kCarPartCount; ++part)
                result.finite = result.finite && finiteVector(car.partPosition(part)) &&
                                finiteVector(car.partVelocity(part));
    }
    result.winner = world.match->phase == MatchPhase::MatchOver ? world.match->winner : -1;
    result.scores = world.match->scores;
    for (const Bot& bot : set.bots) {
        result.bots.push_back(bot.stats);
        result.stuckEvents += bot.stats.stuckEvents;
        result.longestStuckSeconds = std::max(result.longestStuckSeconds, bot.stats.longestStuckSeconds);
    }
    return result;
}
