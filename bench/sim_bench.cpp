// Cost of one frame of the simulation step (stepWorld) with 1, 2, 4 and 8
// players, every one walking in a circle and firing whenever the rate limit
// lets them, at 60 frames a second (so three or four physics steps a frame).
// The physics world is the same for any number of players; what one more
// player costs is the difference between neighbouring lines, which
// "us_per_player_beyond_one" gives directly against the same run's
// one-player frame.

#include "bench/sim_rig.h"

#include <benchmark/benchmark.h>

#include <ctime>

namespace {

struct PlayerWorld {
    explicit PlayerWorld(int players)
    {
        buildBenchWorld(world, model, players);
        for (int i = 0; i < players; ++i) {
            commands[static_cast<std::size_t>(i)].forward = true;
            commands[static_cast<std::size_t>(i)].lookYaw = 2.0f;
        }
        // Ten seconds first: the cars come down onto their wheels and rest,
        // so the physics costs the same in every line and only the players differ.
        for (int frame = 0; frame < 600; ++frame)
            step(players);
    }
    void step(int players)
    {
        events.clear();
        for (int i = 0; i < players; ++i)
            commands[static_cast<std::size_t>(i)].fire = true;
        stepWorld(world, std::span<const PlayerCommand>(commands.data(), static_cast<std::size_t>(players)),
                  kBenchFrameSeconds, events);
    }
    ModelMs3d model;
    SimWorld world;
    std::array<PlayerCommand, kMaxPlayers> commands{};
    StepEvents events;
};

double cpuMicrosPerFrame(std::clock_t started, benchmark::State& state)
{
    return static_cast<double>(std::clock() - started) / CLOCKS_PER_SEC * 1e6 /
           static_cast<double>(state.iterations());
}

// The one-player frame measured once per process, the baseline of every line.
double onePlayerMicros()
{
    static const double micros = [] {
        PlayerWorld rig(1);
        constexpr int kFrames = 5000;
        const std::clock_t started = std::clock();
        for (int i = 0; i < kFrames; ++i)
            rig.step(1);
        return static_cast<double>(std::clock() - started) / CLOCKS_PER_SEC * 1e6 / kFrames;
    }();
    return micros;
}

void BM_StepWorldPlayers(benchmark::State& state)
{
    const int players = static_cast<int>(state.range(0));
    PlayerWorld rig(players);
    const double baseline = onePlayerMicros();
    const std::clock_t started = std::clock();
    for (auto _ : state) {
        rig.step(players);
        benchmark::DoNotOptimize(rig.events.size());
    }
    const double micros = cpuMicrosPerFrame(started, state);
    state.counters["cpu_us_per_frame"] = micros;
    if (players > 1)
        state.counters["us_per_player_beyond_one"] = (micros - baseline) / (players - 1);
}
BENCHMARK(BM_StepWorldPlayers)->Arg(1)->Arg(2)->Arg(4)->Arg(8);

}  // namespace
