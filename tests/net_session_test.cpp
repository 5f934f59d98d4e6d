// The client's side of a network match on loopback: two ClientSessions and a
// server the test steps itself, on a clock of its own, so the run is as
// fast as the machine and every wait is bounded in frames. What a client
// shows of the others is held against the server's world at the tick it
// shows, its own player against the server's now, and both clients must
// see the match end as the server ends it.

#include "net/client_session.h"
#include "net_rig.h"
#include "sim_rig.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <numbers>

namespace {

struct ClientRig {
    SimWorld world;
    ModelMs3d model;
    ClientSession session;
    StepEvents events;
    int eventsSeen = 0;
};

double distance(Vector3 a, Vector3 b) { return magnitude(subtract(a, b)); }

// A respawn or a new round moves a player or a car further in one tick
// than anything moves on its own: a client shows such a jump whole, at the
// snapshot nearer the tick it shows, so the ticks around it are not held to
// the blend's bound. Slot kMaxPlayers + car * kCarPartCount + part is a car part's.
constexpr std::size_t kSlots = kMaxPlayers + kCarCount * kCarPartCount;
using Jumps = std::array<std::vector<std::uint32_t>, kSlots>;
constexpr double kJumpPerTick = 10.0;

void noteJumps(const WorldSnapshot& before, const WorldSnapshot& now, Jumps& jumps)
{
    for (std::size_t k = 0; k < now.players.size() && k < before.players.size(); ++k)
        if (distance(now.players[k].position, before.players[k].position) > kJumpPerTick)
            jumps[k].push_back(now.tick);
    for (std::size_t c = 0; c < kCarCount; ++c)
        for (std::size_t p = 0; p < kCarPartCount; ++p)
            if (distance(now.cars[c].parts[p].position, before.cars[c].parts[p].position) > kJumpPerTick)
                jumps[kMaxPlayers + c * kCarPartCount + p].push_back(now.tick);
}

bool jumpedNear(const Jumps& jumps, std::size_t slot, std::uint32_t tick, std::uint32_t before, std::uint32_t after)
{
    for (const std::uint32_t j : jumps[slot])
        if (j + before >= tick && j <= tick + after)
            return true;
    return false;
}

}  // namespace

TEST(NetSession, TwoClientsShowTheServersWorldWithinABoundAndSeeTheMatchEndAsTheServerEndsIt)
{
    NetServerConfig config = serverConfig();
    config.bots = 3;  // one stays a bot and drives its team's car
    config.peersPerAddress = 2;
    config.rules.rounds = 1;
    config.rules.roundSeconds = 20.0f;
    config.rules.respawnSeconds = 1.0f;
    NetServer server(config);
    std::string reason;
    ASSERT_TRUE(server.open(reason)) << reason;

    ClientRig rigs[2];
    for (int i = 0; i < 2; ++i) {
        ClientRig& r = rigs[i];
        ASSERT_TRUE(buildSimRig(r.world, r.model, 1, reason, kNetGame)) << reason;
        const NetClientConfig c = clientConfig(server.port(), i == 0 ? "Walker" : "Turner");
        ASSERT_TRUE(r.session.connect(c, reason)) << reason;
    }

    // The server's world at every tick, as far back as a client shows, and
    // the ticks at which something was placed afresh.
    std::map<std::uint32_t, WorldSnapshot> past;
    Jumps jumps;
    const double tick = 1.0 / kServerTickRate;
    const float frame = 1.0f / 60.0f;
    double now = 0.0, sinceFrame = 0.0;
    double worstOther = 0.0, worstOwn = 0.0, ownSum = 0.0;
    int othersCompared = 0, ownCompared = 0;
    double worstCar = 0.0, carSum = 0.0;
    int carCompared = 0;
    bool serverOver = false;
    const int maxTicks = 120 * kServerTickRate;  // two minutes of play at most
    int n = 0;
    for (; n < maxTicks; ++n) {
        now += tick;
        server.update(now);
        WorldSnapshot s;
        captureSnapshot(server.world(), server.tick(), s);
        if (const auto before = past.find(server.tick() - 1); before != past.end())
            noteJumps(before->second, s, jumps);
        past[server.tick()] = std::move(s);
        while (!past.empty() && past.begin()->first + 100 < server.tick())
            past.erase(past.begin());
        serverOver = server.world().match && server.world().match->phase == MatchPhase::MatchOver;

        sinceFrame += tick;
        if (sinceFrame + 1e-9 < frame)
            continue;
        sinceFrame -= frame;
        for (int i = 0; i < 2; ++i) {
            ClientRig& r = rigs[i];
            // Each walks toward the team's car (the round starts behind it)
            // and gets in unless the bot has it, then drives it round; on
            // foot a client turns slowly and shoots.
            PlayerCommand c;
            const bool driving = r.session.showing() &&
                                 r.world.players[static_cast<std::size_t>(r.session.place())].body.inCar;
            c.forward = true;
            if (!driving && r.session.showing()) {
                const int me = r.session.place();
                const Player& body = r.world.players[static_cast<std::size_t>(me)].body;
                const Vector3 to = subtract(r.world.cars[me % kTeamCount].partPosition(0), body.position);
                const float toward = std::atan2(to.x, to.z) * 180.0f / std::numbers::pi_v<float>;
                c.lookYaw = std::clamp(std::remainder(toward - body.yaw, 360.0f), -4.0f, 4.0f);
                c.enterLeave = n % 40 < 20;
                c.fire = n % 90 == 0;
            } else if (driving) {
                c.steer = 0.4f;
            }
            r.events.clear();
            r.session.frame(c, frame, r.world, r.events);
            r.eventsSeen += static_cast<int>(r.events.size());
            if (!r.session.showing())
                continue;
            const int me = r.session.place();
            // The others and the cars not driven from here, at the tick shown.
            const auto at = past.find(r.session.shownTick());
            if (at != past.end()) {
                const WorldSnapshot& truth = at->second;
                const Player& mine = r.world.players[static_cast<std::size_t>(me)].body;
                for (int car = 0; car < kCarCount; ++car) {
                    if (mine.inCar && mine.carIndex == car)
                        continue;
                    for (int p = 0; p < kCarPartCount; ++p) {
                        if (jumpedNear(jumps, kMaxPlayers + car * kCarPartCount + p, truth.tick, kSnapshotInterval,
                                       kSnapshotInterval))
                            continue;
                        const double d = distance(r.world.cars[car].partPosition(p), truth.cars[car].parts[p].position);
                        worstOther = std::max(worstOther, d);
                        ++othersCompared;
                    }
                }
                for (std::size_t k = 0; k < truth.players.size() && k < r.world.players.size(); ++k) {
                    if (static_cast<int>(k) == me ||
                        jumpedNear(jumps, k, truth.tick, kSnapshotInterval, kSnapshotInterval))
                        continue;
                    const double d = distance(r.world.players[k].body.position, truth.players[k].position);
                    worstOther = std::max(worstOther, d);
                    ++othersCompared;
                }
            }
            // The own player, predicted: against where the server has it now;
            // in a car, the chassis. (After a jump, until a snapshot has
            // shown it and a frame has stepped on from it.)
            const Player& serverMe = server.world().players[static_cast<std::size_t>(me)].body;
            const Player& clientMe = r.world.players[static_cast<std::size_t>(me)].body;
            if (serverMe.inCar && clientMe.inCar && serverMe.carIndex == clientMe.carIndex &&
                !jumpedNear(jumps, kMaxPlayers + static_cast<std::size_t>(serverMe.carIndex) * kCarPartCount,
                            server.tick(), 2 * kSnapshotInterval, 0)) {
                const double d = distance(r.world.cars[serverMe.carIndex].partPosition(0),
                                          server.world().cars[serverMe.carIndex].partPosition(0));
                worstCar = std::max(worstCar, d);
                carSum += d;
                ++carCompared;
            }
            if (!server.world().players[static_cast<std::size_t>(me)].body.inCar &&
                !jumpedNear(jumps, static_cast<std::size_t>(me), server.tick(), 2 * kSnapshotInterval, 0)) {
                const double d = distance(r.world.players[static_cast<std::size_t>(me)].body.position,
                                          server.world().players[static_cast<std::size_t>(me)].body.position);
                worstOwn = std::max(worstOwn, d);
                ownSum += d;
                ++ownCompared;
            }
        }
        const auto sawEnd = [](const ClientRig& r) {
            return r.world.match && r.world.match->phase == MatchPhase::MatchOver;
        };
        if (serverOver && sawEnd(rigs[0]) && sawEnd(rigs[1]))
            break;
    }
    ASSERT_LT(n, maxTicks) << "the match did not end, or a client did not see it end";
    const MatchState& truth = *server.world().match;
    for (const ClientRig& r : rigs) {
        EXPECT_EQ(r.session.state(), NetClientState::Joined);
        EXPECT_EQ(r.world.match->winner, truth.winner);
        EXPECT_EQ(r.world.match->scores, truth.scores);
        EXPECT_EQ(r.world.players.size(), server.world().players.size());
        EXPECT_GT(r.eventsSeen, 0);
        EXPECT_GT(r.session.prediction().snapshotsApplied, 100);
    }
    EXPECT_NE(rigs[0].session.place(), rigs[1].session.place());
    EXPECT_EQ(rigs[0].world.players[static_cast<std::size_t>(rigs[0].session.place())].name, "Walker");
    EXPECT_EQ(rigs[1].world.players[static_cast<std::size_t>(rigs[0].session.place())].name, "Walker");

    // Between snapshots 50 ms apart the blend is a chord of the path, and
    // the wire rounds positions to 1/32 unit.
    EXPECT_GT(othersCompared, 1000);
    EXPECT_LT(worstOther, 8.0);
    EXPECT_GT(ownCompared, 100);
    EXPECT_LT(worstOwn, 8.0);
    EXPECT_GT(carCompared, 100);
    EXPECT_LT(worstCar, 8.0);
    for (int k = 0; k < 2; ++k) {
        const PredictionStats& p = rigs[k].session.prediction();
        std::printf("[ figures  ] client %d: corrections %d, largest %.2f, mean %.3f units\n", k, p.corrections,
                    p.largestCorrection, p.correctionSum / std::max(1, p.corrections));
    }
    std::printf("[ figures  ] others shown: worst %.2f units over %d comparisons; own on foot: worst %.2f, mean %.3f "
                "units over %d; own car: worst %.2f, mean %.3f units over %d\n",
                worstOther, othersCompared, worstOwn, ownSum / std::max(1, ownCompared), ownCompared, worstCar,
                carSum / std::max(1, carCompared), carCompared);
    for (ClientRig& r : rigs)
        r.session.leave(200);
    server.stop();
}

TEST(NetSession, InputTotalsCarryFineLooksAndGiveTheServerTheSameCommand)
{
    // A slow mouse: 0.004 degrees a frame, under the wire's hundredth, for
    // 1000 frames is four degrees, not nothing.
    InputTotals totals;
    NetInput before = totals.input;
    float applied = 0.0f;
    for (int i = 0; i < 1000; ++i) {
        PlayerCommand c;
        c.lookYaw = 0.004f;
        c.lookPitch = -0.004f;
        totals.add(c);
        applied += commandFromInput(totals.input, before).lookYaw;
        before = totals.input;
    }
    EXPECT_NEAR(applied, 4.0f, 0.011f);
    EXPECT_EQ(totals.input.lookYawTotal, 400);
    EXPECT_EQ(totals.input.lookPitchTotal, -400);

    PlayerCommand c;
    c.forward = c.run = c.enterLeave = c.fire = true;
    c.stickLeft = -0.5f;
    c.steer = 2.0f;  // beyond a device's range
    c.throttle = 60;
    c.brake = 500;
    totals.add(c);
    const PlayerCommand server = commandFromInput(totals.input, before);
    EXPECT_TRUE(server.forward && server.run && server.enterLeave && server.fire);
    EXPECT_FALSE(server.back || server.left || server.right);
    EXPECT_NEAR(server.stickLeft, -0.5f, 0.005f);
    EXPECT_FLOAT_EQ(server.steer, 1.0f);
    EXPECT_EQ(server.throttle, 60);
    EXPECT_EQ(server.brake, kFullBrake);
    // The press was counted once: the same totals again fire nothing.
    EXPECT_FALSE(commandFromInput(totals.input, totals.input).fire);
}
