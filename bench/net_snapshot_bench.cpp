// What the world costs on the wire: 8 bots play a match at the server's 200
// ticks a second (a match that ends starts again), a snapshot is taken every
// 10 ticks, and each is encoded full and as a delta against the one 10 ticks
// before. The counters give the mean and largest sizes in bytes and the
// encode and decode times; a client's budget is about 210 bytes a snapshot
// on average (40 kbit/s at 20 a second) and one 1200-byte datagram at most.

#include "bench/sim_rig.h"
#include "bots/bots.h"
#include "net/snapshot.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

namespace {

constexpr float kServerTick = 0.005f;
constexpr int kTicksPerSnapshot = 10;

void BM_SnapshotSizes(benchmark::State& state)
{
    ModelMs3d model;
    SimWorld world;
    buildBenchWorld(world, model, 8);
    startMatch(world, {});
    BotSet set;
    addBots(set, world, 0, BotLevel::Normal, kDefaultBotSeed);
    for (std::size_t i = 0; i < set.bots.size(); ++i)
        set.bots[i].level = static_cast<BotLevel>(i % 3);
    std::array<PlayerCommand, kMaxPlayers> commands{};
    StepEvents events;
    std::uint32_t tick = 0;
    const auto stepTicks = [&](int ticks) {
        for (int t = 0; t < ticks; ++t) {
            if (world.match->phase == MatchPhase::MatchOver)
                restartMatch(world);
            events.clear();
            const std::span<PlayerCommand> mine(commands.data(), world.players.size());
            thinkBots(set, world, kServerTick, mine);
            stepWorld(world, mine, kServerTick, events);
            ++tick;
        }
    };
    stepTicks(600);  // past the countdown

    WorldSnapshot previous;
    captureSnapshot(world, tick, previous);
    quantiseSnapshot(previous);
    std::vector<WorldSnapshot> history{previous};
    std::vector<std::uint8_t> full;
    std::vector<std::uint8_t> delta;
    double fullSum = 0.0;
    double deltaSum = 0.0;
    std::size_t fullMax = 0;
    std::size_t deltaMax = 0;
    double encodeSeconds = 0.0;
    double decodeSeconds = 0.0;
    long snapshots = 0;
    for (auto _ : state) {
        stepTicks(kTicksPerSnapshot);
        WorldSnapshot now;
        const auto started = std::chrono::steady_clock::now();
        captureSnapshot(world, tick, now);
        quantiseSnapshot(now);
        full.clear();
        encodeSnapshot(now, nullptr, full);
        delta.clear();
        encodeSnapshot(now, &history.back(), delta);
        const auto encodedAt = std::chrono::steady_clock::now();
        WorldSnapshot back;
        const bool fullOk = decodeSnapshot(full, {}, back);
        const bool deltaOk = decodeSnapshot(delta, history, back);
        const auto decodedAt = std::chrono::steady_clock::now();
        if (!fullOk || !deltaOk) {
            state.SkipWithError("a snapshot did not decode");
            break;
        }
        encodeSeconds += std::chrono::duration<double>(encodedAt - started).count();
        decodeSeconds += std::chrono::duration<double>(decodedAt - encodedAt).count();
        fullSum += static_cast<double>(full.size());
        deltaSum += static_cast<double>(delta.size());
        fullMax = std::max(fullMax, full.size());
        deltaMax = std::max(deltaMax, delta.size());
        ++snapshots;
        history.assign(1, now);
        benchmark::DoNotOptimize(back.tick);
    }
    const double n = std::max<double>(1.0, static_cast<double>(snapshots));
    state.counters["full_mean_bytes"] = fullSum / n;
    state.counters["full_max_bytes"] = static_cast<double>(fullMax);
    state.counters["delta_mean_bytes"] = deltaSum / n;
    state.counters["delta_max_bytes"] = static_cast<double>(deltaMax);
    state.counters["delta_kbit_per_s_at_20hz"] = deltaSum / n * 8.0 * 20.0 / 1000.0;
    // Capture, quantise and both encodes; both decodes.
    state.counters["encode_us"] = encodeSeconds * 1e6 / n;
    state.counters["decode_us"] = decodeSeconds * 1e6 / n;
}
BENCHMARK(BM_SnapshotSizes)->Iterations(3000)->Unit(benchmark::kMicrosecond);

}  // namespace
