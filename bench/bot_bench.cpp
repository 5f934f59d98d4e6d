// What the computer players' thinking costs, per bot per frame, beside the
// step of the same frames: 2, 4 and 8 bots of mixed levels play a match at
// 60 frames a second (a match that ends starts again). Only frames of play
// count, since in a countdown or between rounds a bot does nothing.

#include "bench/sim_rig.h"
#include "bots/bots.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

struct BotWorld {
    explicit BotWorld(int bots)
    {
        buildBenchWorld(world, model, bots);
        startMatch(world, {});
        addBots(set, world, 0, BotLevel::Normal, kDefaultBotSeed);
        for (std::size_t i = 0; i < set.bots.size(); ++i)
            set.bots[i].level = static_cast<BotLevel>(i % 3);
        // Past the countdown and into the fight.
        for (int frame = 0; frame < 600; ++frame)
            step();
    }
    bool playing() const
    {
        return world.match->phase == MatchPhase::Playing || world.match->phase == MatchPhase::SuddenDeath;
    }
    // One frame; returns the thinking's seconds.
    double step()
    {
        if (world.match->phase == MatchPhase::MatchOver)
            restartMatch(world);
        events.clear();
        const std::span<PlayerCommand> mine(commands.data(), world.players.size());
        const auto started = std::chrono::steady_clock::now();
        thinkBots(set, world, kBenchFrameSeconds, mine);
        const auto thought = std::chrono::steady_clock::now();
        stepWorld(world, mine, kBenchFrameSeconds, events);
        stepSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - thought).count();
        return std::chrono::duration<double>(thought - started).count();
    }
    ModelMs3d model;
    SimWorld world;
    BotSet set;
    std::array<PlayerCommand, kMaxPlayers> commands{};
    StepEvents events;
    double stepSeconds = 0.0;
};

void BM_BotThinking(benchmark::State& state)
{
    const int bots = static_cast<int>(state.range(0));
    BotWorld rig(bots);
    double thinking = 0.0;
    long playFrames = 0;
    rig.stepSeconds = 0.0;
    for (auto _ : state) {
        const bool playing = rig.playing();
        const double seconds = rig.step();
        if (playing) {
            thinking += seconds;
            ++playFrames;
        }
        benchmark::DoNotOptimize(rig.commands.data());
    }
    const double frames = static_cast<double>(state.iterations());
    state.counters["think_us_per_bot_per_frame"] =
        playFrames > 0 ? thinking * 1e6 / static_cast<double>(playFrames) / bots : 0.0;
    state.counters["step_us_per_frame"] = rig.stepSeconds * 1e6 / frames;
    state.counters["play_share"] = static_cast<double>(playFrames) / frames;
}
BENCHMARK(BM_BotThinking)->Arg(2)->Arg(4)->Arg(8)->Iterations(20000);

}  // namespace
