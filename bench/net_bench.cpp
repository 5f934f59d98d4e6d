// The dedicated server with eight people on loopback, against the same world
// stepped bare in the same run. The server runs on the benchmark's clock,
// one iteration a tick, as fast as the machine goes; the clients are played
// by bots on the snapshots they receive, 60 frames a simulated second. So
// every per-second figure is per simulated second:
// - update_us: processor time of one NetServer::update() (the network, the
//   step, the snapshots), and core_percent, that at 200 ticks a second as a
//   share of one core; the bare step's figures beside it;
// - down/up bytes per second per client: ENet's UDP payloads, and with the
//   28 bytes of UDP and IPv4 headers each datagram carries;
// - the snapshots' mean and largest message bytes.
// A last benchmark runs the server in real time on its own thread and times
// a command's way from one client to another's snapshot and screen, in
// ticks and ms.

#include "bots/bots.h"
#include "tests/net_rig.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <memory>

namespace {

constexpr int kPeople = 8;
constexpr double kUdpIpv4Bytes = 28.0;
constexpr int kTicksPerFrame = kServerTickRate / 60;  // about: a frame every 3 ticks and a third

double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

NetServerConfig benchServer(int bots)
{
    NetServerConfig c = serverConfig();
    c.bots = bots;
    c.peersPerAddress = kPeople;
    c.helloTimeoutMs = 60000;
    return c;
}

// A tick each iteration: tick() on this thread's processor clock, then
// untimed() outside it; the counters give the processor time a tick and
// the share of one core at the server's rate.
template <class Tick, class Untimed>
void timeTicks(benchmark::State& state, Tick tick, Untimed untimed)
{
    double cpu = 0.0;
    long ticks = 0;
    for (auto _ : state) {
        const double t0 = threadSeconds();
        tick();
        cpu += threadSeconds() - t0;
        ++ticks;
        untimed();
    }
    const double perTick = cpu / static_cast<double>(std::max(1L, ticks));
    state.counters["update_us"] = perTick * 1e6;
    state.counters["core_percent"] = perTick * kServerTickRate * 100.0;
}

bool opened(NetServer& server, benchmark::State& state)
{
    std::string reason;
    if (server.open(reason))
        return true;
    state.SkipWithError(reason.c_str());
    return false;
}

template <class Clients>
NetTraffic clientsTraffic(const Clients& clients)
{
    NetTraffic all;
    for (const auto& c : clients) {
        const NetTraffic t = c->client.traffic();
        all.bytesSent += t.bytesSent;
        all.packetsSent += t.packetsSent;
        all.bytesReceived += t.bytesReceived;
        all.packetsReceived += t.packetsReceived;
    }
    return all;
}

// The baseline: eight bots thinking and the world stepping, nothing else.
void BM_NetBareStep(benchmark::State& state)
{
    SimWorld world;
    ModelMs3d model;
    std::string reason;
    if (!buildSimRig(world, model, kPeople, reason, kNetGame)) {
        state.SkipWithError(reason.c_str());
        return;
    }
    startMatch(world, {});
    BotSet bots;
    addBots(bots, world, 0, kDefaultBotLevel, kDefaultBotSeed);
    std::array<PlayerCommand, kMaxPlayers> commands{};
    StepEvents events;
    const auto tick = [&] {
        if (world.match->phase == MatchPhase::MatchOver)
            restartMatch(world);
        std::span<PlayerCommand> mine(commands.data(), world.players.size());
        std::fill(mine.begin(), mine.end(), PlayerCommand{});
        thinkBots(bots, world, kServerTickSeconds, mine);
        events.clear();
        stepWorld(world, mine, kServerTickSeconds, events);
    };
    for (int i = 0; i < 4 * kServerTickRate; ++i)
        tick();  // past the countdown
    timeTicks(state, tick, [] {});
}
BENCHMARK(BM_NetBareStep)->Iterations(4000)->Unit(benchmark::kMicrosecond);

// The server with its eight places all bots and nobody connected.
void BM_NetServerNobodyJoined(benchmark::State& state)
{
    NetServer server(benchServer(kPeople));
    if (!opened(server, state))
        return;
    double now = 0.0;
    for (int i = 0; i < 4 * kServerTickRate; ++i)
        server.update(now += kServerTickSeconds);
    timeTicks(state, [&] { server.update(now += kServerTickSeconds); }, [] {});
}
BENCHMARK(BM_NetServerNobodyJoined)->Iterations(4000)->Unit(benchmark::kMicrosecond);

void BM_NetServerEightBotClients(benchmark::State& state)
{
    NetServer server(benchServer(kPeople));
    if (!opened(server, state))
        return;
    std::string reason;
    std::vector<std::unique_ptr<BotClient>> clients;
    for (int i = 0; i < kPeople; ++i) {
        clients.push_back(makeBot(clientConfig(server.port(), "Bench " + std::to_string(i + 1)),
                                  static_cast<std::uint64_t>(i + 1), reason, static_cast<BotLevel>(i % 3)));
        if (!clients.back()) {
            state.SkipWithError(reason.c_str());
            return;
        }
    }
    double now = 0.0;
    long tick = 0;
    double frameDue = 0.0;
    const auto step = [&] {
        now += kServerTickSeconds;
        server.update(now);
        ++tick;
        if (now + 1e-9 < frameDue)
            return;
        frameDue += 1.0 / 60.0;
        for (auto& c : clients)
            c->frame(1.0f / 60.0f);
    };
    // In (a millisecond of real time a tick, at most ten seconds), then past
    // the countdown.
    for (int i = 0; i < 10000; ++i) {
        int in = 0;
        for (auto& c : clients)
            in += joined(c->client) ? 1 : 0;
        if (in == kPeople)
            break;
        step();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (server.status().people != kPeople) {
        state.SkipWithError("the eight did not all join");
        return;
    }
    for (int i = 0; i < 4 * kServerTickRate; ++i)
        step();

    const NetServerStatus before = server.status();
    const NetTraffic clientsBefore = clientsTraffic(clients);
    const double startedAt = now;
    timeTicks(
        state, [&] { server.update(now += kServerTickSeconds); },
        [&] {
            if (now + 1e-9 < frameDue)
                return;
            frameDue += 1.0 / 60.0;
            for (auto& c : clients)
                c->frame(1.0f / 60.0f);
        });
    const double seconds = std::max(now - startedAt, 1e-9);
    const NetTraffic all = clientsTraffic(clients);
    const double perClient = 1.0 / (kPeople * seconds);
    const double downBytes = static_cast<double>(all.bytesReceived - clientsBefore.bytesReceived);
    const double downPackets = static_cast<double>(all.packetsReceived - clientsBefore.packetsReceived);
    const double upBytes = static_cast<double>(all.bytesSent - clientsBefore.bytesSent);
    const double upPackets = static_cast<double>(all.packetsSent - clientsBefore.packetsSent);
    state.counters["down_Bps_client"] = downBytes * perClient;
    state.counters["down_Bps_client_udp"] = (downBytes + kUdpIpv4Bytes * downPackets) * perClient;
    state.counters["up_Bps_client"] = upBytes * perClient;
    state.counters["up_Bps_client_udp"] = (upBytes + kUdpIpv4Bytes * upPackets) * perClient;
    const NetServerStatus after = server.status();
    const double snapshots = static_cast<double>(after.snapshotsSent - before.snapshotsSent);
    state.counters["snapshot_mean_bytes"] =
        static_cast<double>(after.snapshotBytes - before.snapshotBytes) / std::max(1.0, snapshots);
    state.counters["snapshot_max_bytes"] = static_cast<double>(after.largestSnapshotBytes);
    state.counters["people"] = after.people;
    for (auto& c : clients)
        c->client.vanish();
    server.stop();
}
BENCHMARK(BM_NetServerEightBotClients)->Iterations(4000)->Unit(benchmark::kMicrosecond);

// One client turns by a quarter circle; the time until another client's
// newest snapshot holds the turn, and until its game shows it (the world a
// ClientSession draws, other players interpolated kInterpolationDelayTicks
// behind), with the server in real time on its own thread and eight
// clients sending a frame's input 60 times a second. An iteration is one
// turn; the shown delay's goal is the interpolation delay and a tick.
void BM_NetCommandToAnotherClientsSnapshot(benchmark::State& state)
{
    NetServerConfig config = benchServer(kPeople);
    std::unique_ptr<ServerThread> rig;
    try {
        rig = std::make_unique<ServerThread>(config);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    std::vector<std::unique_ptr<NetClient>> clients;
    std::string reason;
    for (int i = 0; i < kPeople - 1; ++i) {
        clients.push_back(std::make_unique<NetClient>());
        if (!clients.back()->connect(clientConfig(rig->server.port(), "Delay " + std::to_string(i + 1)), reason)) {
            state.SkipWithError(reason.c_str());
            return;
        }
    }
    SimWorld shown;
    ModelMs3d model;
    ClientSession watcher;
    if (!buildSimRig(shown, model, 1, reason, kNetGame) ||
        !watcher.connect(clientConfig(rig->server.port(), "Watcher"), reason)) {
        state.SkipWithError(reason.c_str());
        return;
    }
    StepEvents events;
    NetClient& turner = *clients[0];
    std::int32_t yawTotal = 0;  // hundredths of a degree
    using Clock = std::chrono::steady_clock;
    auto nextFrame = Clock::now();
    auto lastFrame = Clock::now();
    const auto frame = [&] {
        for (auto& c : clients) {
            c->service(0);
            c->sendInput(NetInput{.lookYawTotal = c.get() == &turner ? yawTotal : 0});
        }
        const auto now = Clock::now();
        events.clear();
        watcher.frame(PlayerCommand{}, std::chrono::duration<float>(now - lastFrame).count(), shown, events);
        lastFrame = now;
        nextFrame += std::chrono::microseconds(16667);
        if (nextFrame < Clock::now())
            nextFrame = Clock::now();
        std::this_thread::sleep_until(nextFrame);
    };
    const auto frames = [&](double seconds, const std::function<bool()>& done) {
        const auto until = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
        while (Clock::now() < until && !done())
            frame();
        return done();
    };
    const auto snapshots = [&]() -> const std::deque<WorldSnapshot>& { return watcher.client().snapshots(); };
    const auto playing = [&] {
        return watcher.showing() && !snapshots().empty() && snapshots().back().match.phase == MatchPhase::Playing;
    };
    if (!frames(10.0, [&] {
            for (auto& c : clients)
                if (!joined(*c))
                    return false;
            return playing();
        })) {
        state.SkipWithError("the eight did not join, or the round did not start");
        return;
    }
    const auto place = static_cast<std::size_t>(turner.welcome()->player);
    const auto turned = [](float yaw, float from) { return std::abs(std::remainder(yaw - from - 90.0f, 360.0f)) < 1.0f; };
    struct Delay {
        double msSum = 0.0, msMost = 0.0, ticksSum = 0.0, ticksMost = 0.0;
        void add(double ms, double ticks)
        {
            msSum += ms;
            msMost = std::max(msMost, ms);
            ticksSum += ticks;
            ticksMost = std::max(ticksMost, ticks);
        }
    };
    Delay received, onScreen;
    int seen = 0, missed = 0;
    for (auto _ : state) {
        frames(0.3, [] { return false; });  // settled
        const float from = snapshots().back().players[place].yaw;
        const float shownFrom = shown.players[place].body.yaw;
        const std::uint32_t sentAtTick = rig->server.status().tick;
        const auto sentAt = Clock::now();
        yawTotal += 9000;
        const auto since = [&](std::uint32_t tick) {
            return std::pair{std::chrono::duration<double, std::milli>(Clock::now() - sentAt).count(),
                             static_cast<double>(static_cast<std::int32_t>(tick - sentAtTick))};
        };
        if (!frames(2.0, [&] { return turned(snapshots().back().players[place].yaw, from); })) {
            ++missed;
            continue;
        }
        const auto [ms, ticks] = since(snapshots().back().tick);
        if (!frames(2.0, [&] { return turned(shown.players[place].body.yaw, shownFrom); })) {
            ++missed;
            continue;
        }
        const auto [shownMs, shownTicks] = since(watcher.shownTick());
        received.add(ms, ticks);
        onScreen.add(shownMs, shownTicks);
        ++seen;
    }
    const double n = std::max(1, seen);
    state.counters["delay_ms_mean"] = received.msSum / n;
    state.counters["delay_ms_max"] = received.msMost;
    state.counters["delay_ticks_mean"] = received.ticksSum / n;
    state.counters["delay_ticks_max"] = received.ticksMost;
    state.counters["shown_ms_mean"] = onScreen.msSum / n;
    state.counters["shown_ms_max"] = onScreen.msMost;
    state.counters["shown_ticks_mean"] = onScreen.ticksSum / n;
    state.counters["shown_ticks_max"] = onScreen.ticksMost;
    state.counters["missed"] = missed;
    for (auto& c : clients)
        c->vanish();
    watcher.leave(0);
    rig->finish();
}
BENCHMARK(BM_NetCommandToAnotherClientsSnapshot)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
