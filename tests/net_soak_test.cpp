// Eight bot-played clients against a server running in real time on its own
// thread, all through the relay's bad network (a quarter of the datagrams
// lost each way, a quarter of the rest doubled, 150 +- 50 ms each way). About
// twenty seconds in the suite; TURFWAR_NET_SOAK=1 plays five minutes:
//
//   TURFWAR_NET_SOAK=1 build/tests/turfwar_tests --gtest_filter='NetSoak.*'
//
// Checked: nobody dropped or lost, every place's commands keep reaching the
// server, the process's memory flat, and each client's newest snapshot the
// server's world at that tick as the wire holds it.

#include "net_relay.h"
#include "net_rig.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace {

#if defined(__SANITIZE_ADDRESS__)
#define TURFWAR_NET_SOAK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TURFWAR_NET_SOAK_ASAN 1
#endif
#endif
#if defined(TURFWAR_NET_SOAK_ASAN)
constexpr bool kSanitized = true;  // ASan holds freed memory back on purpose
#else
constexpr bool kSanitized = false;
#endif

constexpr int kClients = 8;
constexpr double kFrameSeconds = 1.0 / 60.0;
constexpr double kJoinSeconds = 30.0;          // for all eight to get in through the loss
constexpr double kWindowSeconds = 5.0;         // every place's inputs must grow in each
constexpr double kCompareSeconds = 1.0;        // between the snapshot comparisons
// Growth of the resident set after the warm-up; the server keeps a bounded
// history and every client a bounded queue, so anything past this is a leak.
constexpr long kRssGrowthKiB = kSanitized ? 64 * 1024 : 16 * 1024;

long residentKiB()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

bool longSoak()
{
    const char* v = std::getenv("TURFWAR_NET_SOAK");
    return v != nullptr && std::string(v) == "1";
}

// The server's snapshots as the wire holds them, by tick, the last few
// seconds' worth.
struct ServerSnapshots {
    std::mutex mutex;
    std::map<std::uint32_t, WorldSnapshot> byTick;
    void add(const WorldSnapshot& s)
    {
        WorldSnapshot q = s;
        quantiseSnapshot(q);
        std::lock_guard lock(mutex);
        byTick[q.tick] = std::move(q);
        while (byTick.size() > 400)
            byTick.erase(byTick.begin());
    }
};

struct SoakFigures {
    int joinedAtStart = 0;
    int joinRetries = 0;              // connections started again, as a player would, after one failed to get in
    double joinSeconds = 0.0;         // until every client was in
    int joinedAtEnd = 0;
    int lost = 0;                     // clients that went Lost or Ended
    int dropped = 0;
    int timedOut = 0;                 // by the server, for silence
    int windows = 0;
    int windowsMissingInputs = 0;     // a held place whose applied inputs did not grow in a window
    int snapshotsCompared = 0;
    int snapshotsDiffering = 0;
    int snapshotsUnmatched = 0;       // the server's copy already gone (a client far behind)
    long rssStartKiB = 0;
    long rssMostKiB = 0;
    NetServerStatus status;
    NetRelayCounts toServer, toClients;
    NetTraffic clientTraffic;         // the eight together
    double playedSeconds = 0.0;
    double wholeSeconds = 0.0;        // the join too
    std::vector<std::string> departures;  // the server's lines on clients it lost, timed
};

// Eight bots join through the relay and play for seconds after all are in
// (or the join time is up). With joinLossy false they join through the
// latency alone and the loss starts with the play.
SoakFigures soak(double seconds, std::uint32_t serverTimeoutMs, std::uint32_t clientTimeoutMs,
                 std::uint32_t helloTimeoutMs, bool joinLossy, std::uint64_t seed)
{
    SoakFigures f;
    auto snapshots = std::make_shared<ServerSnapshots>();
    NetServerConfig config = serverConfig();
    config.bots = kClients;
    config.peersPerAddress = kClients;  // the relay's sockets are all 127.0.0.1
    config.peerTimeoutMs = serverTimeoutMs;
    config.helloTimeoutMs = helloTimeoutMs;
    config.rules.rounds = 2;
    config.rules.roundSeconds = 20.0f;
    config.rules.respawnSeconds = 1.0f;
    config.seed = seed;
    config.snapshotTaken = [snapshots](const WorldSnapshot& s) { snapshots->add(s); };
    // The server's word on every client it lost, and when, for the figures.
    auto departures = std::make_shared<std::pair<std::mutex, std::vector<std::string>>>();
    const auto logStarted = std::chrono::steady_clock::now();
    config.log = [departures, logStarted](const std::string& line) {
        if (line.find(" left") == std::string::npos && line.find("timed out") == std::string::npos &&
            line.find("dropped") == std::string::npos)
            return;
        const double at = std::chrono::duration<double>(std::chrono::steady_clock::now() - logStarted).count();
        std::lock_guard lock(departures->first);
        departures->second.push_back(std::to_string(static_cast<int>(at)) + " s: " + line);
    };
    ServerThread rig(config);

    NetRelayConfig rc;
    rc.serverPort = rig.server.port();
    rc.clients = kClients;
    rc.seed = seed;
    NetRelay relay(rc);
    relay.setLossy(joinLossy);
    std::string reason;
    if (!relay.start(reason)) {
        ADD_FAILURE() << reason;
        return f;
    }
    std::vector<std::unique_ptr<BotClient>> bots;
    std::vector<NetClientConfig> configs;
    for (int i = 0; i < kClients; ++i) {
        NetClientConfig cc = clientConfig(relay.port(i), "Soak " + std::to_string(i + 1));
        cc.timeoutMs = clientTimeoutMs;
        configs.push_back(cc);
        bots.push_back(makeBot(cc, seed * 100 + static_cast<std::uint64_t>(i), reason,
                               static_cast<BotLevel>(i % 3)));
        if (!bots.back()) {
            ADD_FAILURE() << reason;
            return f;
        }
    }

    using Clock = std::chrono::steady_clock;
    const auto started = Clock::now();
    const auto elapsed = [&started] { return std::chrono::duration<double>(Clock::now() - started).count(); };
    auto nextFrame = Clock::now();
    const auto frame = [&] {
        for (auto& b : bots)
            b->frame(static_cast<float>(kFrameSeconds));
        nextFrame += std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(kFrameSeconds));
        // Behind (a loaded machine): the frames slip rather than race.
        if (nextFrame < Clock::now())
            nextFrame = Clock::now();
        std::this_thread::sleep_until(nextFrame);
    };
    const auto joinedCount = [&] {
        int n = 0;
        for (auto& b : bots)
            n += joined(b->client) && b->snapshotsApplied > 0 ? 1 : 0;
        return n;
    };
    while (joinedCount() < kClients && elapsed() < kJoinSeconds) {
        frame();
        // Through this much loss ENet's handshake, its resends doubling,
        // sometimes takes longer than the client waits to get in.
        for (std::size_t i = 0; i < bots.size(); ++i) {
            const NetClientState s = bots[i]->client.state();
            if (s == NetClientState::Lost || s == NetClientState::Idle) {
                ++f.joinRetries;
                if (!bots[i]->client.connect(configs[i], reason))
                    ADD_FAILURE() << reason;
            }
        }
    }
    f.joinedAtStart = joinedCount();
    f.joinSeconds = elapsed();
    relay.setLossy(true);

    // Memory after a warm-up: the server's history and the clients' queues full.
    const double playStart = elapsed();
    while (elapsed() < playStart + 2.0)
        frame();
    f.rssStartKiB = f.rssMostKiB = residentKiB();
    NetServerStatus before = rig.server.status();
    double windowStart = elapsed(), compareStart = elapsed();
    while (elapsed() < playStart + seconds) {
        frame();
        if (elapsed() >= windowStart + kWindowSeconds) {
            windowStart = elapsed();
            const NetServerStatus now = rig.server.status();
            ++f.windows;
            for (int p = 0; p < now.places; ++p)
                if (now.personAt[static_cast<std::size_t>(p)] && before.personAt[static_cast<std::size_t>(p)] &&
                    now.inputsApplied[static_cast<std::size_t>(p)] <= before.inputsApplied[static_cast<std::size_t>(p)])
                    ++f.windowsMissingInputs;
            before = now;
            f.rssMostKiB = std::max(f.rssMostKiB, residentKiB());
        }
        if (elapsed() < compareStart + kCompareSeconds)
            continue;
        compareStart = elapsed();
        // Each client's newest snapshot against the server's at that tick.
        std::lock_guard lock(snapshots->mutex);
        for (auto& b : bots) {
            if (b->client.snapshots().empty())
                continue;
            WorldSnapshot mine = b->client.snapshots().back();
            const auto at = snapshots->byTick.find(mine.tick);
            if (at == snapshots->byTick.end()) {
                ++f.snapshotsUnmatched;
                continue;
            }
            mine.inputSequence = at->second.inputSequence;  // each client's own
            ++f.snapshotsCompared;
            f.snapshotsDiffering += mine == at->second ? 0 : 1;
        }
    }
    f.playedSeconds = elapsed() - playStart;
    f.wholeSeconds = elapsed();
    f.rssMostKiB = std::max(f.rssMostKiB, residentKiB());
    for (auto& b : bots) {
        f.joinedAtEnd += joined(b->client) ? 1 : 0;
        f.lost += b->client.state() == NetClientState::Lost || b->client.state() == NetClientState::Ended ? 1 : 0;
        const NetTraffic t = b->client.traffic();
        f.clientTraffic.bytesSent += t.bytesSent;
        f.clientTraffic.packetsSent += t.packetsSent;
        f.clientTraffic.bytesReceived += t.bytesReceived;
        f.clientTraffic.packetsReceived += t.packetsReceived;
    }
    f.status = rig.server.status();
    f.dropped = f.status.clientsDropped;
    f.timedOut = f.status.clientsTimedOut;
    {
        std::lock_guard lock(departures->first);
        f.departures = departures->second;
    }
    f.toServer = relay.toServer();
    f.toClients = relay.toClients();
    for (auto& b : bots)
        b->client.vanish();
    relay.stop();
    rig.finish();
    return f;
}

void printFigures(const char* what, const SoakFigures& f)
{
    const double s = std::max(f.wholeSeconds, 1e-9);
    std::printf("[ figures  ] %s: %d of %d joined in %.1f s (%d connections started again), %d joined at the end, "
                "%d lost, %d dropped and %d timed out by the server, over %.1f s of play\n",
                what, f.joinedAtStart, kClients, f.joinSeconds, f.joinRetries, f.joinedAtEnd, f.lost, f.dropped,
                f.timedOut, f.playedSeconds);
    std::printf("[ figures  ] %s: relay to server %llu in, %llu lost, %llu doubled; to clients %llu in, %llu lost, "
                "%llu doubled, %llu over its limit\n",
                what, static_cast<unsigned long long>(f.toServer.received),
                static_cast<unsigned long long>(f.toServer.lost), static_cast<unsigned long long>(f.toServer.duplicated),
                static_cast<unsigned long long>(f.toClients.received),
                static_cast<unsigned long long>(f.toClients.lost),
                static_cast<unsigned long long>(f.toClients.duplicated),
                static_cast<unsigned long long>(f.toServer.overflowed + f.toClients.overflowed));
    std::printf("[ figures  ] %s: per client %.0f B/s down, %.0f B/s up (ENet payload, whole run); snapshots %llu, "
                "mean %.0f B, largest %llu B; windows %d, windows a place's inputs did not grow %d\n",
                what, static_cast<double>(f.clientTraffic.bytesReceived) / kClients / s,
                static_cast<double>(f.clientTraffic.bytesSent) / kClients / s,
                static_cast<unsigned long long>(f.status.snapshotsSent),
                static_cast<double>(f.status.snapshotBytes) / static_cast<double>(std::max<std::uint64_t>(1, f.status.snapshotsSent)),
                static_cast<unsigned long long>(f.status.largestSnapshotBytes), f.windows, f.windowsMissingInputs);
    std::printf("[ figures  ] %s: snapshots against the server's: %d compared, %d differing, %d no longer kept; "
                "RSS %ld KiB after warm-up, at most %ld KiB (+%ld)\n",
                what, f.snapshotsCompared, f.snapshotsDiffering, f.snapshotsUnmatched, f.rssStartKiB, f.rssMostKiB,
                f.rssMostKiB - f.rssStartKiB);
    for (const std::string& line : f.departures)
        std::printf("[ figures  ] %s: server, %s\n", what, line.c_str());
}

}  // namespace

// The game's own timeouts (5 s of silence either way, 3 s for the hello),
// and the loss from the first datagram: the eight join through it too.
TEST(NetSoak, EightBotClientsThroughALossyLaggyRelayStayJoinedAndSeeTheServersWorld)
{
    const double seconds = longSoak() ? 300.0 : 20.0;
    const SoakFigures f =
        soak(seconds, kDefaultPeerTimeoutMs, NetClientConfig{}.timeoutMs, kDefaultHelloTimeoutMs, true, 11);
    printFigures(longSoak() ? "soak 300 s" : "soak 20 s", f);

    EXPECT_EQ(f.joinedAtStart, kClients);
    EXPECT_EQ(f.joinedAtEnd, kClients);
    EXPECT_EQ(f.lost, 0);
    EXPECT_EQ(f.dropped, 0);
    EXPECT_EQ(f.timedOut, 0);
    EXPECT_EQ(f.status.people, kClients);
    EXPECT_EQ(f.status.places, kClients);
    // Every place was held, and each one's commands kept arriving.
    EXPECT_GE(f.windows, static_cast<int>(seconds / kWindowSeconds) - 1);
    EXPECT_EQ(f.windowsMissingInputs, 0);
    for (int p = 0; p < kClients; ++p) {
        EXPECT_GT(f.status.inputsReceived[static_cast<std::size_t>(p)], 0u) << "place " << p;
        EXPECT_GT(f.status.inputsApplied[static_cast<std::size_t>(p)], 0u) << "place " << p;
    }
    // The relay did what it says: about a quarter lost each way.
    EXPECT_GT(f.toServer.lost * 5, f.toServer.received);
    EXPECT_LT(f.toServer.lost * 3, f.toServer.received);
    EXPECT_GT(f.toClients.duplicated, 0u);
    // The traffic counters agree with what the relay saw (the few datagrams
    // in flight while the figures were read aside).
    const auto near = [](std::uint64_t a, std::uint64_t b) {
        return static_cast<double>(a) >= 0.97 * static_cast<double>(b) &&
               static_cast<double>(a) <= 1.03 * static_cast<double>(b);
    };
    EXPECT_TRUE(near(f.clientTraffic.packetsSent, f.toServer.received))
        << f.clientTraffic.packetsSent << " sent, " << f.toServer.received << " at the relay";
    EXPECT_TRUE(near(f.status.traffic.packetsReceived, f.toServer.delivered))
        << f.status.traffic.packetsReceived << " received, " << f.toServer.delivered << " from the relay";
    EXPECT_TRUE(near(f.status.traffic.packetsSent, f.toClients.received))
        << f.status.traffic.packetsSent << " sent, " << f.toClients.received << " at the relay";
    EXPECT_TRUE(near(f.clientTraffic.packetsReceived, f.toClients.delivered))
        << f.clientTraffic.packetsReceived << " received, " << f.toClients.delivered << " from the relay";
    EXPECT_GT(f.status.snapshotBytes, f.status.snapshotsSent * 20);
    EXPECT_LE(f.status.largestSnapshotBytes, kMaxMessageBytes);
    // Whatever was lost, doubled or reordered, the newest snapshot a client
    // holds is the server's world at that tick, to the wire's last bit.
    EXPECT_GT(f.snapshotsCompared, static_cast<int>(seconds / kCompareSeconds) * kClients / 2);
    EXPECT_EQ(f.snapshotsDiffering, 0);
    ASSERT_GT(f.rssStartKiB, 0);
    EXPECT_LE(f.rssMostKiB - f.rssStartKiB, kRssGrowthKiB);
}
