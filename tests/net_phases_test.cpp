// The server through every phase of a match with people coming and going:
// joins, leaves with a Goodbye and clients that vanish without a word,
// before the first round, mid-round, between rounds, at the match's end and
// after its restart, each held in its phase (the server on the test's
// clock, which stands still while the network settles). Then what the port
// may be sent that ENet itself reads: datagrams shaped like its own, and a
// flood of real joins from one address beside two people playing.
// (Refusals, random bytes, malformed messages and a flood of bare connects
// are the server test's.)

#include "net_rig.h"

#include <enet/enet.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>

namespace {

// Simulated time, one tick at a time, the clients serviced (and sending
// inputs) every few ticks, until done() or maxSeconds of simulated time.
bool advanceUntil(NetServer& server, double& now, const std::vector<NetClient*>& clients,
                  const std::function<bool()>& done, double maxSeconds)
{
    const int ticks = static_cast<int>(maxSeconds * kServerTickRate);
    for (int n = 0; n < ticks; ++n) {
        if (done())
            return true;
        now += kServerTickSeconds;
        server.update(now);
        if (n % 3 == 0)
            for (NetClient* c : clients) {
                c->service(0);
                c->sendInput(NetInput{.buttons = kInputForward, .lookYawTotal = n});
            }
    }
    return done();
}

// The server's clock held where it is while the network settles: at most
// realSeconds of real time.
bool settle(NetServer& server, double now, const std::vector<NetClient*>& clients, const std::function<bool()>& done,
            double realSeconds)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(realSeconds);
    while (std::chrono::steady_clock::now() < until) {
        server.update(now);
        for (NetClient* c : clients)
            c->service(1);
        if (done())
            return true;
    }
    return done();
}

MatchPhase phaseOf(const NetServer& server) { return server.world().match->phase; }

}  // namespace

TEST(NetPhases, PeopleJoinLeaveAndVanishInEveryPhaseAndTheirPlacesGoBackToBots)
{
    NetServerConfig config = serverConfig();
    config.bots = 4;
    config.peersPerAddress = 6;
    config.peerTimeoutMs = 1000;    // a vanished client is noticed in a second or two
    config.helloTimeoutMs = 60000;  // on the test's clock, which stands still
    config.rules.rounds = 2;
    config.rules.roundSeconds = 10.0f;
    config.rules.respawnSeconds = 1.0f;
    NetServer server(config);
    std::string reason;
    ASSERT_TRUE(server.open(reason)) << reason;
    double now = 0.0;

    // The server says nothing while its clock stands still: the clients'
    // patience is longer than any such wait.
    const auto patient = [&server](const std::string& name) {
        NetClientConfig c = clientConfig(server.port(), name);
        c.timeoutMs = 60000;
        return c;
    };
    // One person stays the whole time and sees every change in the roster.
    NetClient resident;
    ASSERT_TRUE(resident.connect(patient("Resident"), reason)) << reason;
    ASSERT_TRUE(settle(server, now, {&resident}, [&] { return joined(resident); }, 5.0));
    const int residentPlace = resident.welcome()->player;

    struct Phase {
        const char* name;
        std::function<bool()> reached;
    };
    const auto match = [&server]() -> const MatchState& { return *server.world().match; };
    const std::vector<Phase> phases = {
        {"before the first round", [&] { return phaseOf(server) == MatchPhase::Countdown && match().round <= 1; }},
        {"mid-round",
         [&] { return phaseOf(server) == MatchPhase::Playing && match().clock < config.rules.roundSeconds / 2; }},
        {"between rounds", [&] { return phaseOf(server) == MatchPhase::RoundOver; }},
        {"match over", [&] { return phaseOf(server) == MatchPhase::MatchOver; }},
        {"after the restart",
         [&] { return server.status().matchesFinished >= 1 && phaseOf(server) == MatchPhase::Countdown; }},
    };
    for (const Phase& phase : phases) {
        SCOPED_TRACE(phase.name);
        // Bots may draw round after round: many rounds' worth of time at most.
        ASSERT_TRUE(advanceUntil(server, now, {&resident}, phase.reached, 900.0));
        const MatchPhase held = phaseOf(server);
        const std::uint32_t tick = server.tick();

        NetClient leaver, vanisher;
        ASSERT_TRUE(leaver.connect(patient("Leaver"), reason)) << reason;
        ASSERT_TRUE(vanisher.connect(patient("Vanisher"), reason)) << reason;
        ASSERT_TRUE(settle(server, now, {&resident, &leaver, &vanisher},
                           [&] { return joined(leaver) && joined(vanisher); }, 5.0));
        const int left = leaver.welcome()->player, gone = vanisher.welcome()->player;
        EXPECT_NE(left, residentPlace);
        EXPECT_NE(gone, residentPlace);
        EXPECT_NE(left, gone);
        EXPECT_EQ(leaver.welcome()->tick, tick);
        ASSERT_TRUE(settle(server, now, {&resident}, [&] {
            const NetServerStatus s = server.status();
            return s.people == 3 && s.personAt[static_cast<std::size_t>(left)] && s.personAt[static_cast<std::size_t>(gone)];
        }, 2.0));
        EXPECT_EQ(server.world().players[static_cast<std::size_t>(left)].name, "Leaver");

        const int rostersBefore = resident.rostersReceived();
        leaver.leave(100);
        vanisher.vanish();
        EXPECT_TRUE(settle(server, now, {&resident}, [&] {
            const NetServerStatus s = server.status();
            return s.people == 1 && s.connections == 1;
        }, 10.0));
        // Still the same phase and tick: what happened, happened in it.
        EXPECT_EQ(phaseOf(server), held);
        EXPECT_EQ(server.tick(), tick);
        // The rosters go out with the next snapshots, a few ticks on.
        EXPECT_TRUE(advanceUntil(server, now, {&resident},
                                 [&] { return resident.rostersReceived() >= rostersBefore + 2; }, 0.5));
        EXPECT_EQ(phaseOf(server), held);
        // Both places are bots' again, named as bots, out of any car.
        for (const int place : {left, gone}) {
            const SimPlayer& p = server.world().players[static_cast<std::size_t>(place)];
            EXPECT_EQ(p.name, std::string(botName(place))) << "place " << place;
            EXPECT_FALSE(p.body.inCar) << "place " << place;
            ASSERT_TRUE(resident.roster());
            ASSERT_LT(static_cast<std::size_t>(place), resident.roster()->players.size());
            EXPECT_TRUE(resident.roster()->players[static_cast<std::size_t>(place)].bot) << "place " << place;
        }
        EXPECT_EQ(server.status().places, 4);  // nobody's coming or going grew the world
        EXPECT_EQ(server.status().clientsDropped, 0);
        EXPECT_TRUE(joined(resident));
    }

    // The match goes on, the resident's commands still applied.
    const std::uint64_t applied = server.status().inputsApplied[static_cast<std::size_t>(residentPlace)];
    const int snapshots = resident.snapshotsReceived();
    advanceUntil(server, now, {&resident}, [] { return false; }, 2.0);
    EXPECT_GT(server.status().inputsApplied[static_cast<std::size_t>(residentPlace)], applied);
    EXPECT_GT(resident.snapshotsReceived(), snapshots + 20);
    EXPECT_TRUE(joined(resident));

    // The status after stop() is the last one, and nobody holds a place.
    server.stop();
    const NetServerStatus after = server.status();
    EXPECT_EQ(after.people, 0);
    EXPECT_EQ(after.connections, 0);
    EXPECT_GT(after.traffic.bytesSent, 0u);
    EXPECT_GT(after.traffic.packetsReceived, 0u);
    EXPECT_GT(after.snapshotsSent, 0u);
    EXPECT_TRUE(settle(server, now, {&resident}, [&] { return resident.goodbyeReceived(); }, 3.0));
}

namespace {

// ENet's own framing: the peer id (with the sent-time flag), the sent time,
// then one command header (type, channel, reliable sequence) and what
// follows it.
std::vector<std::uint8_t> enetShaped(std::mt19937& random, std::uint16_t peerId, std::uint8_t command,
                                     std::size_t bodyBytes)
{
    const std::uint16_t header = static_cast<std::uint16_t>(peerId | 0x8000);  // sent time follows
    std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(header >> 8), static_cast<std::uint8_t>(header),
                                       static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()),
                                       command, static_cast<std::uint8_t>(random() % 4),
                                       static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random())};
    for (std::size_t i = 0; i < bodyBytes; ++i)
        bytes.push_back(static_cast<std::uint8_t>(random()));
    return bytes;
}

}  // namespace

TEST(NetPhases, DatagramsShapedLikeENetsOwnLeaveThePlayersAlone)
{
    NetServerConfig config = serverConfig();
    config.peersPerAddress = 4;
    config.peerTimeoutMs = 1000;
    config.helloTimeoutMs = 500;
    ServerThread rig(config);
    std::string reason;
    NetClient player;
    ASSERT_TRUE(player.connect(clientConfig(rig.server.port(), "Player"), reason)) << reason;
    ASSERT_TRUE(pumpUntil({&player}, [&] { return joined(player) && player.snapshotsReceived() > 0; }, 5.0, true));

    const LoopbackDatagrams datagrams(rig.server.port());
    const auto send = [&](const std::vector<std::uint8_t>& bytes) { datagrams.send(bytes); };
    std::mt19937 random(23);
    // Every command type at every peer id the server has, and at "none"
    // (a connect's), with bodies too short, right-sized and long; the
    // compressed flag with no compressor; nothing at all; the largest
    // datagram there is.
    const int snapshotsBefore = player.snapshotsReceived();
    for (int round = 0; round < 4; ++round) {
        for (std::uint16_t peer : {std::uint16_t{0}, std::uint16_t{1}, std::uint16_t{5}, std::uint16_t{11},
                                   std::uint16_t{0x0fff}})
            for (std::uint8_t command = 0; command < 16; ++command)
                for (const std::size_t body : {std::size_t{0}, std::size_t{3}, std::size_t{36}, std::size_t{300}}) {
                    send(enetShaped(random, peer, command, body));
                    send(enetShaped(random, peer, static_cast<std::uint8_t>(command | 0x80), body));  // acknowledge me
                }
        std::vector<std::uint8_t> compressed = enetShaped(random, 0, 6, 40);
        compressed[0] |= 0x40;
        send(compressed);
        send({});
        send(std::vector<std::uint8_t>(65507, 0xab));
        // The client plays on between the volleys.
        pumpUntil({&player}, [] { return false; }, 0.2, true);
    }

    EXPECT_TRUE(pumpUntil({&player}, [&] { return player.snapshotsReceived() > snapshotsBefore + 20; }, 5.0, true));
    EXPECT_TRUE(joined(player));
    // Whatever half-open peers the connects left are gone in a while, and a
    // newcomer gets in.
    EXPECT_TRUE(waitForStatus(rig.server, [](const NetServerStatus& s) { return s.connections == 1; }, 10.0));
    NetClient newcomer;
    ASSERT_TRUE(newcomer.connect(clientConfig(rig.server.port(), "Newcomer"), reason)) << reason;
    EXPECT_TRUE(pumpUntil({&player, &newcomer}, [&] { return joined(newcomer); }, 10.0, true));
    const NetServerStatus s = rig.server.status();
    EXPECT_EQ(s.people, 2);
    EXPECT_EQ(s.clientsDropped, 0);
    EXPECT_TRUE(joined(player));
}

TEST(NetPhases, ThirtyJoinsAtOnceFromOneAddressStayWithinItsLimitAndThePlayersPlayOn)
{
    NetServerConfig config = serverConfig();
    config.bots = 4;
    config.peersPerAddress = 4;  // the two players and two of the flood at most
    config.helloTimeoutMs = 1000;
    ServerThread rig(config);
    std::string reason;
    NetClient red, blue;
    ASSERT_TRUE(red.connect(clientConfig(rig.server.port(), "Red"), reason)) << reason;
    ASSERT_TRUE(blue.connect(clientConfig(rig.server.port(), "Blue"), reason)) << reason;
    ASSERT_TRUE(pumpUntil({&red, &blue}, [&] { return joined(red) && joined(blue); }, 5.0, true));
    const int redPlace = red.welcome()->player, bluePlace = blue.welcome()->player;

    constexpr int kFlood = 30;
    std::vector<std::unique_ptr<NetClient>> flood;
    std::vector<NetClient*> everyone = {&red, &blue};
    for (int i = 0; i < kFlood; ++i) {
        flood.push_back(std::make_unique<NetClient>());
        NetClientConfig cc = clientConfig(rig.server.port(), "Flood " + std::to_string(i));
        cc.timeoutMs = 2000;
        ASSERT_TRUE(flood.back()->connect(cc, reason)) << reason;
        everyone.push_back(flood.back().get());
    }
    const int redSnapshots = red.snapshotsReceived(), blueSnapshots = blue.snapshotsReceived();
    const NetServerStatus before = rig.server.status();
    int most = 0, mostPeople = 0, floodJoined = 0;
    pumpUntil(everyone, [&] {
        const NetServerStatus s = rig.server.status();
        most = std::max(most, s.connections);
        mostPeople = std::max(mostPeople, s.people);
        return false;
    }, 3.0, true);
    for (const auto& c : flood)
        floodJoined += joined(*c) ? 1 : 0;
    std::printf("[ figures  ] a flood of %d joins: %d joined, at most %d connections and %d people at a time\n",
                kFlood, floodJoined, most, mostPeople);
    EXPECT_LE(most, config.peersPerAddress);
    EXPECT_LE(mostPeople, config.peersPerAddress);
    EXPECT_LE(floodJoined, config.peersPerAddress - 2);
    EXPECT_GE(floodJoined, 1);  // the limit is a limit, not a wall
    const NetServerStatus during = rig.server.status();
    EXPECT_EQ(during.places, 4);  // never grown: there was never a fifth person
    // The two played on through it: snapshots came and their commands counted.
    EXPECT_TRUE(joined(red));
    EXPECT_TRUE(joined(blue));
    EXPECT_GT(red.snapshotsReceived(), redSnapshots + 20);
    EXPECT_GT(blue.snapshotsReceived(), blueSnapshots + 20);
    EXPECT_GT(during.inputsApplied[static_cast<std::size_t>(redPlace)], before.inputsApplied[static_cast<std::size_t>(redPlace)]);
    EXPECT_GT(during.inputsApplied[static_cast<std::size_t>(bluePlace)], before.inputsApplied[static_cast<std::size_t>(bluePlace)]);
    EXPECT_GT(during.tick, before.tick + 200);

    // The flood gone (a Goodbye sent, no wait for the answer), its places
    // are bots' again.
    for (auto& c : flood)
        c->leave(0);
    EXPECT_TRUE(pumpUntil({&red, &blue}, [&] { return rig.server.status().people == 2; }, 5.0, true));
    EXPECT_TRUE(joined(red));
    EXPECT_TRUE(joined(blue));
}
