// The world snapshot: what a server captures of a bots' match decodes to
// exactly its quantised copy, full and as a delta; applied to a second world
// built the same way it puts the bodies, wheels, rounds, players, shots and
// match there; and the decoder refuses anything cut short, overlong or out
// of range.

#include "bots/bots.h"
#include "net/protocol.h"
#include "net/snapshot.h"
#include "sim_rig.h"

#include <ode/ode.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace {

constexpr float kTick = 0.005f;  // the server's step: one physics step a tick
constexpr float kPositionStep = 1.0f / 32.0f;

struct NetWorld {
    explicit NetWorld(int players, bool match = true)
    {
        std::string reason;
        if (!buildSimRig(world, model, players, reason, TURFWAR_BINARY_DIR "/game/"))
            throw std::runtime_error(reason);
        if (match)
            startMatch(world, {});
    }
    void step(std::span<const PlayerCommand> commands)
    {
        events.clear();
        stepWorld(world, commands, kTick, events);
        ++tick;
    }
    WorldSnapshot capture() const
    {
        WorldSnapshot s;
        captureSnapshot(world, tick, s);
        quantiseSnapshot(s);
        return s;
    }
    ModelMs3d model;
    SimWorld world;
    StepEvents events;
    std::uint32_t tick = 0;
};

// A bots' match, stepped at the server's ticks into the fight.
struct BotServer : NetWorld {
    explicit BotServer(int players = 8) : NetWorld(players)
    {
        addBots(set, world, 0, BotLevel::Normal, kDefaultBotSeed);
    }
    void run(int ticks)
    {
        for (int i = 0; i < ticks; ++i) {
            const std::span<PlayerCommand> mine(commands.data(), world.players.size());
            thinkBots(set, world, kTick, mine);
            step(mine);
        }
    }
    BotSet set;
    std::array<PlayerCommand, kMaxPlayers> commands{};
};

std::vector<std::uint8_t> encoded(const WorldSnapshot& s, const WorldSnapshot* baseline = nullptr)
{
    std::vector<std::uint8_t> out;
    encodeSnapshot(s, baseline, out);
    return out;
}

float distance(Vector3 a, Vector3 b) { return magnitude(subtract(a, b)); }

Vector3 bodyPosition(const Car& car, int part) { return car.partPosition(part); }

// The angle between two ODE orientations, radians.
float turnBetween(dBodyID a, dBodyID b)
{
    const dReal* p = dBodyGetQuaternion(a);
    const dReal* q = dBodyGetQuaternion(b);
    const double dotProduct = std::fabs(p[0] * q[0] + p[1] * q[1] + p[2] * q[2] + p[3] * q[3]);
    return static_cast<float>(2.0 * std::acos(std::min(1.0, dotProduct)));
}

TEST(SnapshotCodec, FullAndDeltaDecodeToTheQuantisedCapture)
{
    BotServer server;
    server.run(1500);  // past the countdown: cars driven, shots flying
    std::vector<WorldSnapshot> history;
    int withShots = 0;
    for (int round = 0; round < 30; ++round) {
        WorldSnapshot now = server.capture();
        withShots += now.projectiles.empty() ? 0 : 1;
        const std::vector<std::uint8_t> full = encoded(now);
        EXPECT_LE(full.size(), kMaxMessageBytes);
        WorldSnapshot back;
        ASSERT_TRUE(decodeSnapshot(full, {}, back));
        EXPECT_TRUE(back == now) << "full at tick " << now.tick;
        if (!history.empty()) {
            const std::vector<std::uint8_t> delta = encoded(now, &history.back());
            EXPECT_LT(delta.size(), full.size());
            WorldSnapshot fromDelta;
            ASSERT_TRUE(decodeSnapshot(delta, history, fromDelta));
            EXPECT_TRUE(fromDelta == now) << "delta at tick " << now.tick;
            // Without its baseline it cannot be read.
            EXPECT_FALSE(decodeSnapshot(delta, std::span(history).first(history.size() - 1), fromDelta));
        }
        history.push_back(now);
        server.run(10);
    }
    EXPECT_GT(withShots, 0);

    // Against itself nothing changed: the header, the bits, a bit a shot.
    const std::vector<std::uint8_t> same = encoded(history.back(), &history.back());
    EXPECT_LE(same.size(), 15u + 5u + (history.back().projectiles.size() + 7) / 8 + 1u);
}

TEST(SnapshotCodec, QuantisationStaysWithinItsSteps)
{
    BotServer server(4);
    server.run(900);
    WorldSnapshot raw;
    captureSnapshot(server.world, 1, raw);
    WorldSnapshot q = raw;
    quantiseSnapshot(q);
    for (int c = 0; c < kCarCount; ++c)
        for (int p = 0; p < kCarPartCount; ++p) {
            const CarPartSnapshot& a = raw.cars[static_cast<std::size_t>(c)].parts[static_cast<std::size_t>(p)];
            const CarPartSnapshot& b = q.cars[static_cast<std::size_t>(c)].parts[static_cast<std::size_t>(p)];
            EXPECT_LE(distance(a.position, b.position), kPositionStep);
            EXPECT_LE(distance(a.linearVelocity, b.linearVelocity), kPositionStep);
            float dotProduct = 0.0f;
            for (int i = 0; i < 4; ++i)
                dotProduct += a.orientation[i] * b.orientation[i];
            EXPECT_GT(std::fabs(dotProduct), 0.99999f - 0.0001f);
        }
    for (std::size_t i = 0; i < raw.players.size(); ++i) {
        EXPECT_LE(distance(raw.players[i].position, q.players[i].position), kPositionStep);
        EXPECT_NEAR(raw.players[i].yaw, q.players[i].yaw, 0.006f);
        EXPECT_NEAR(raw.players[i].animationMs, q.players[i].animationMs, 0.126f);
    }
    // Quantised again, nothing moves.
    WorldSnapshot twice = q;
    quantiseSnapshot(twice);
    EXPECT_TRUE(twice == q);

    // Beyond the arena and past the clocks' reach the values are held, not wrapped.
    WorldSnapshot far;
    far.players.resize(1);
    far.players[0].position = {5000.0f, -5000.0f, std::numeric_limits<float>::quiet_NaN()};
    far.players[0].shotTimer = 100.0f;
    far.match.running = true;
    far.match.clock = 180.0f;
    quantiseSnapshot(far);
    EXPECT_EQ(far.players[0].position.x, 1023.0f);
    EXPECT_EQ(far.players[0].position.y, -1023.0f);
    EXPECT_EQ(far.players[0].position.z, 0.0f);
    EXPECT_NEAR(far.players[0].shotTimer, 65.535f, 1e-4f);
    EXPECT_EQ(far.match.clock, 180.0f);  // a round is longer than 16 bits of milliseconds
}

TEST(SnapshotCodec, AnyOrientationBitsDecodeToAUnitQuaternion)
{
    // Every index with the three fields at their ends, middles and random.
    WorldSnapshot s;
    s.players.resize(1);
    std::vector<std::uint8_t> packet = encoded(s);
    const std::size_t orientationAt = 1 + 4 + 4 + 1 + 1 + 6;  // type, tick, input, flags, players, car 0 part 0 position
    std::uint32_t state = 12345;
    for (int n = 0; n < 5000; ++n) {
        state = state * 1664525u + 1013904223u;
        std::uint32_t bits = state;
        if (n < 16)
            bits = (static_cast<std::uint32_t>(n % 4) << 30) | (n < 8 ? 0x3fffffffu : 0u);
        std::memcpy(packet.data() + orientationAt, &bits, 4);
        WorldSnapshot back;
        ASSERT_TRUE(decodeSnapshot(packet, {}, back));
        const Quaternion& q = back.cars[0].parts[0].orientation;
        float norm = 0.0f;
        for (int i = 0; i < 4; ++i) {
            ASSERT_TRUE(std::isfinite(q[i])) << bits;
            norm += q[i] * q[i];
        }
        EXPECT_NEAR(norm, 1.0f, 1e-5f) << bits;
    }
}

TEST(SnapshotApply, ASecondWorldTakesTheBodiesAndStaysClose)
{
    BotServer server(2);
    server.run(1200);
    NetWorld client(2);
    const WorldSnapshot s = server.capture();
    WorldSnapshot decoded;
    ASSERT_TRUE(decodeSnapshot(encoded(s), {}, decoded));
    applySnapshot(decoded, kTick, client.world);

    for (int c = 0; c < kCarCount; ++c)
        for (int p = 0; p < kCarPartCount; ++p) {
            const Car& a = server.world.cars[static_cast<std::size_t>(c)];
            const Car& b = client.world.cars[static_cast<std::size_t>(c)];
            EXPECT_LE(distance(bodyPosition(a, p), bodyPosition(b, p)), kPositionStep);
            EXPECT_LE(distance(a.partVelocity(p), b.partVelocity(p)), kPositionStep);
            EXPECT_LT(turnBetween(a.bodies[p], b.bodies[p]), 0.003f);
            EXPECT_TRUE(dBodyIsEnabled(b.bodies[p]));
            EXPECT_EQ(a.hits[p], b.hits[p]);
        }
    for (std::size_t i = 0; i < server.world.players.size(); ++i) {
        const SimPlayer& a = server.world.players[i];
        const SimPlayer& b = client.world.players[i];
        EXPECT_LE(distance(a.body.position, b.body.position), kPositionStep);
        EXPECT_EQ(a.body.inCar, b.body.inCar);
        EXPECT_EQ(a.body.gait, b.body.gait);
        // The walk is posed at the server's clock.
        EXPECT_NEAR(a.pose.currentTimeMs, b.pose.currentTimeMs, 0.2f);
        EXPECT_EQ(b.pose.joints.size(), client.model.joints.size());
    }
    ASSERT_TRUE(client.world.match);
    EXPECT_EQ(client.world.match->phase, server.world.match->phase);
    EXPECT_EQ(client.world.match->players.size(), client.world.players.size());
    EXPECT_NEAR(client.world.match->clock, server.world.match->clock, 0.001f);

    // The same commands on both: the bodies go on together for a while.
    std::array<PlayerCommand, kMaxPlayers> drive{};
    for (int t = 0; t < 20; ++t) {
        server.step(std::span(drive.data(), 2));
        client.step(std::span(drive.data(), 2));
    }
    for (int c = 0; c < kCarCount; ++c)
        EXPECT_LT(distance(bodyPosition(server.world.cars[static_cast<std::size_t>(c)], 0),
                           bodyPosition(client.world.cars[static_cast<std::size_t>(c)], 0)),
                  1.0f);
}

TEST(SnapshotApply, WheelsComeOffAndANewRoundPutsThemBack)
{
    NetWorld server(2);
    NetWorld client(2);
    Car& red = server.world.cars[0];
    for (int shot = 0; shot < kWheelDetachHits; ++shot)
        red.hit(3);
    red.hit(1);
    ASSERT_TRUE(red.wheelDetached(3));
    server.step({});
    applySnapshot(server.capture(), kTick, client.world);
    const Car& mine = client.world.cars[0];
    EXPECT_TRUE(mine.wheelDetached(3));
    EXPECT_FALSE(mine.wheelDetached(1));
    EXPECT_EQ(mine.hits[3], kWheelDetachHits);
    EXPECT_EQ(mine.hits[1], 1);
    // Taken again, it stays as it is.
    applySnapshot(server.capture(), kTick, client.world);
    EXPECT_TRUE(mine.wheelDetached(3));
    client.step({});  // and the free wheel collides without trouble

    // The server's new round: every wheel whole again.
    rebuildCars(server.world);
    server.step({});
    applySnapshot(server.capture(), kTick, client.world);
    for (int p = 1; p < kCarPartCount; ++p) {
        EXPECT_FALSE(client.world.cars[0].wheelDetached(p));
        EXPECT_EQ(client.world.cars[0].hits[p], 0);
        EXPECT_LE(distance(bodyPosition(client.world.cars[0], p), bodyPosition(server.world.cars[0], p)),
                  kPositionStep);
    }
    client.step({});
}

TEST(SnapshotApply, ShotsAreFlownToExactlyWhereTheServerHasThem)
{
    BotServer server(8);
    NetWorld client(8);
    server.run(1400);
    std::vector<WorldSnapshot> history;
    int compared = 0;
    for (int round = 0; round < 40; ++round) {
        const WorldSnapshot s = server.capture();
        WorldSnapshot decoded;
        const std::vector<std::uint8_t> packet = history.empty() ? encoded(s) : encoded(s, &history.back());
        ASSERT_TRUE(decodeSnapshot(packet, history, decoded));
        applySnapshot(decoded, kTick, client.world);
        for (int k = 0; k < kProjectileCount; ++k) {
            const Projectile& a = server.world.projectiles[static_cast<std::size_t>(k)];
            const Projectile& b = client.world.projectiles[static_cast<std::size_t>(k)];
            ASSERT_EQ(a.active, b.active) << k;
            if (!a.active)
                continue;
            ++compared;
            EXPECT_EQ(a.position.x, b.position.x);
            EXPECT_EQ(a.position.y, b.position.y);
            EXPECT_EQ(a.position.z, b.position.z);
            EXPECT_EQ(a.velocity.y, b.velocity.y);
            EXPECT_EQ(a.shooter, b.shooter);
            EXPECT_EQ(a.locked, b.locked);
        }
        history.push_back(decoded);
        server.run(10);
    }
    EXPECT_GT(compared, 0);
}

TEST(SnapshotApply, FreePlayEndsTheMatchAndAMatchMakesOne)
{
    NetWorld server(3, false);
    NetWorld client(3);
    ASSERT_TRUE(client.world.match);
    applySnapshot(server.capture(), kTick, client.world);
    EXPECT_FALSE(client.world.match);

    startMatch(server.world, {});
    server.world.match->scores = {2, 1};
    server.world.match->players[2].knockOuts = 4;
    applySnapshot(server.capture(), kTick, client.world);
    ASSERT_TRUE(client.world.match);
    EXPECT_EQ(client.world.match->scores[0], 2);
    EXPECT_EQ(client.world.match->players.size(), 3u);
    EXPECT_EQ(client.world.match->players[2].knockOuts, 4);
    EXPECT_EQ(client.world.match->players[1].team, 1);
}

TEST(CarWheel, DetachWheelFreesWithoutAPush)
{
    NetWorld rig(1, false);
    Car& car = rig.world.cars[0];
    car.detachWheel(0);  // the chassis never comes off
    car.detachWheel(2);
    EXPECT_TRUE(car.wheelDetached(2));
    EXPECT_EQ(car.hits[2], 0);
    const dReal* force = dBodyGetForce(car.bodies[2]);
    EXPECT_EQ(force[0], 0.0);
    EXPECT_EQ(force[1], 0.0);
    car.detachWheel(2);  // once is all
    EXPECT_TRUE(car.wheelDetached(2));
    rig.step({});
    EXPECT_FALSE(car.wheelDetached(1));
}

TEST(ProjectileFlight, TheLaunchAndStepsGiveThePosition)
{
    Projectile flown;
    flown.launch({1.0f, 20.0f, -3.0f}, {300.0f, 7.5f, -11.0f}, 4);
    for (int i = 0; i < 777; ++i)
        flown.update(kTick);
    EXPECT_EQ(flown.stepsFlown, 777u);
    Projectile again;
    again.launch(flown.launchPosition, flown.launchVelocity, 4);
    for (unsigned i = 0; i < flown.stepsFlown; ++i)
        again.update(kTick);
    EXPECT_EQ(again.position.x, flown.position.x);
    EXPECT_EQ(again.position.y, flown.position.y);
    EXPECT_EQ(again.position.z, flown.position.z);
    // A retired shot counts no more steps.
    Projectile under;
    under.launch({0.0f, -1.0f, 0.0f}, {}, 0);
    under.update(kTick);
    EXPECT_FALSE(under.active);
    EXPECT_EQ(under.stepsFlown, 0u);
}

// A snapshot with a bit of everything, quantised.
WorldSnapshot sampleSnapshot(std::uint32_t tick)
{
    WorldSnapshot s;
    s.tick = tick;
    s.players.resize(3);
    for (std::size_t i = 0; i < s.players.size(); ++i) {
        s.players[i].position = {static_cast<float>(i) + 0.5f, 0.0f, -30.0f * static_cast<float>(i) + static_cast<float>(tick) * 0.1f};
        s.players[i].yaw = 180.0f + static_cast<float>(tick);
        s.players[i].gait = 1;
    }
    s.cars[1].parts[2].position = {400.0f, 5.0f, 200.0f + static_cast<float>(tick) * 0.25f};
    s.cars[0].hits = {0, 3, 0, 1, 0};
    s.projectiles.push_back({4, 2, false, {1.0f, 9.0f, 2.0f}, {300.0f, 1.0f, 0.5f}, tick});
    s.match.running = true;
    s.match.phase = MatchPhase::Playing;
    s.match.round = 2;
    s.match.clock = 100.0f - static_cast<float>(tick) * 0.005f;
    quantiseSnapshot(s);
    return s;
}

TEST(SnapshotDecode, EveryCutAndEveryExtraByteIsRefused)
{
    const WorldSnapshot base = sampleSnapshot(100);
    const WorldSnapshot now = sampleSnapshot(110);
    const std::vector<WorldSnapshot> history = {base};
    for (const std::vector<std::uint8_t>& packet : {encoded(now), encoded(now, &base)}) {
        WorldSnapshot out;
        ASSERT_TRUE(decodeSnapshot(packet, history, out));
        EXPECT_TRUE(out == now);
        for (std::size_t n = 0; n < packet.size(); ++n)
            EXPECT_FALSE(decodeSnapshot(std::span(packet).first(n), history, out)) << n << " of " << packet.size();
        for (int extra = 0; extra < 256; extra += 51) {
            std::vector<std::uint8_t> longer = packet;
            longer.push_back(static_cast<std::uint8_t>(extra));
            EXPECT_FALSE(decodeSnapshot(longer, history, out));
        }
    }
}

TEST(SnapshotDecode, OutOfRangeFieldsAreRefused)
{
    const WorldSnapshot s = sampleSnapshot(50);
    const std::vector<std::uint8_t> good = encoded(s);
    WorldSnapshot out;
    ASSERT_TRUE(decodeSnapshot(good, {}, out));
    const auto refused = [&](std::size_t at, std::uint8_t value) {
        std::vector<std::uint8_t> bad = good;
        bad.at(at) = value;
        return !decodeSnapshot(bad, {}, out);
    };
    // The header: type, tick, the input sequence (0: one byte), flags, players.
    constexpr std::size_t kFlags = 1 + 4 + 1;
    constexpr std::size_t kHeader = kFlags + 2;
    EXPECT_TRUE(refused(0, static_cast<std::uint8_t>(MessageType::Roster)));  // not a snapshot
    EXPECT_TRUE(refused(kFlags, 2));   // an unknown flag
    EXPECT_TRUE(refused(kFlags, 1));   // a delta with no history
    EXPECT_TRUE(refused(kFlags + 1, 0));   // no players
    EXPECT_TRUE(refused(kFlags + 1, kMaxPlayers + 1));
    EXPECT_TRUE(refused(kFlags - 1, 0x80));  // an input sequence that runs on into the flags

    // Positions past the arena's +-1023 and velocities of -32768 steps are
    // never sent: refused, so what is accepted encodes again the same.
    const auto refusedWord = [&](std::size_t at, std::uint16_t value) {
        std::vector<std::uint8_t> bad = good;
        bad.at(at) = static_cast<std::uint8_t>(value);
        bad.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
        return !decodeSnapshot(bad, {}, out);
    };
    EXPECT_TRUE(refusedWord(kHeader, 0x8000));
    EXPECT_TRUE(refusedWord(kHeader, 1023 * 32 + 1));
    EXPECT_FALSE(refusedWord(kHeader, 1023 * 32));
    EXPECT_TRUE(refusedWord(kHeader + 10, 0x8000));   // its linear velocity
    EXPECT_FALSE(refusedWord(kHeader + 10, 0x8001));

    // Offsets in the full form: each car 5 x 22 + 8, each player 17 + 8 + 10.
    constexpr std::size_t kCarBytes = 5 * 22 + 8;
    const std::size_t carState = kHeader + 5 * 22;
    EXPECT_TRUE(refused(carState + 5, kFullThrottle + 1));
    EXPECT_TRUE(refused(carState + 6, 0x80));  // steer -128
    const std::size_t firstPlayer = kHeader + 2 * kCarBytes;
    const std::size_t flags = firstPlayer + 6 + 4 + 4 + 2;
    EXPECT_TRUE(refused(flags, 3 << 2));  // gait 3
    EXPECT_TRUE(refused(flags, 0x40));    // an unknown flag
    const std::size_t match = firstPlayer + 3 * 35;
    EXPECT_TRUE(refused(match, 2));                                 // running must be 0 or 1
    EXPECT_TRUE(refused(match + 1, 5));                             // no such phase
    EXPECT_TRUE(refused(match + 3 + 4 + 4 + 4, 2));                 // winner beyond the teams
    const std::size_t shots = match + 16;
    EXPECT_EQ(good[shots], 1);
    EXPECT_TRUE(refused(shots, 2));                                 // a count beyond the records
    EXPECT_TRUE(refused(shots, kProjectileCount + 1));
    EXPECT_TRUE(refused(shots + 1, kProjectileCount));              // no such slot
    EXPECT_TRUE(refused(shots + 2, 3 << 4));                        // a shooter beyond the players
    EXPECT_TRUE(refused(shots + 2, 2));                             // continued with no baseline
    // A muzzle that is not a number.
    std::vector<std::uint8_t> bad = good;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::memcpy(bad.data() + shots + 3, &nan, 4);
    EXPECT_FALSE(decodeSnapshot(bad, {}, out));
    const float infinite = std::numeric_limits<float>::infinity();
    bad = good;
    std::memcpy(bad.data() + shots + 3 + 16, &infinite, 4);
    EXPECT_FALSE(decodeSnapshot(bad, {}, out));

    // The same slot twice, and slots out of order.
    WorldSnapshot twice = s;
    twice.projectiles.push_back(s.projectiles[0]);
    twice.projectiles[1].slot = 9;
    std::vector<std::uint8_t> two = encoded(twice);
    ASSERT_TRUE(decodeSnapshot(two, {}, out));
    two[shots + 1 + 30] = two[shots + 1];
    EXPECT_FALSE(decodeSnapshot(two, {}, out));
    two[shots + 1 + 30] = 1;
    EXPECT_FALSE(decodeSnapshot(two, {}, out));
}

// A delta's changed group names the fields that changed: one moved a step
// is its field bits and one byte, and a group named as changed with no field
// named, a field named that did not change, or a bit past the group's
// fields is refused.
TEST(SnapshotDecode, ADeltasChangedGroupNamesOnlyFieldsThatChanged)
{
    const WorldSnapshot base = sampleSnapshot(50);
    WorldSnapshot now = base;
    now.tick = 60;
    now.cars[0].parts[0].position.x += 1.0f / 32.0f;
    const std::vector<std::uint8_t> good = encoded(now, &base);
    const std::vector<WorldSnapshot> history = {base};
    WorldSnapshot out;
    ASSERT_TRUE(decodeSnapshot(good, history, out));
    EXPECT_TRUE(out == now);
    // Header 9 (type, tick, input, flags, 10 ticks back, players: a byte
    // each but the tick), the group bits (2 cars x 6, 3 players x 3, the
    // match: 22 bits, 3 bytes), then the part's two bytes of field bits and
    // its one difference.
    constexpr std::size_t header = 1 + 4 + 1 + 1 + 1 + 1;
    constexpr std::size_t part = header + 3;
    ASSERT_EQ(good.at(header), 1);
    std::vector<std::uint8_t> bad = good;
    bad[header - 2] = 9;  // 9 ticks back: no such baseline
    EXPECT_FALSE(decodeSnapshot(bad, history, out));
    // 0 back is the baseline itself: nothing changed, and it decodes so.
    const std::vector<WorldSnapshot> itself = {now};
    ASSERT_TRUE(decodeSnapshot(encoded(now, &now), itself, out));
    EXPECT_TRUE(out == now);
    ASSERT_EQ(good.at(part), 1);
    ASSERT_EQ(good.at(part + 1), 0);
    ASSERT_EQ(good.at(part + 2), 2);  // +1, zigzagged
    bad = good;
    bad[part] = 0;  // changed, but no field
    bad.erase(bad.begin() + static_cast<std::ptrdiff_t>(part) + 2);
    EXPECT_FALSE(decodeSnapshot(bad, history, out));
    bad = good;
    bad[part] = 3;  // y named too, with a difference of 0
    bad.insert(bad.begin() + static_cast<std::ptrdiff_t>(part) + 3, 0);
    EXPECT_FALSE(decodeSnapshot(bad, history, out));
    bad = good;
    bad[part + 1] = 4;  // field 10 of a group of 10
    EXPECT_FALSE(decodeSnapshot(bad, history, out));
}

TEST(SnapshotDecode, ADeltasShotsAreTheBaselinesFlownOnAndNewOnesInFreeSlots)
{
    const WorldSnapshot base = sampleSnapshot(100);
    const WorldSnapshot now = sampleSnapshot(110);  // the same shot, 10 steps on
    const std::vector<WorldSnapshot> history = {base};
    const std::vector<std::uint8_t> delta = encoded(now, &base);
    WorldSnapshot out;
    ASSERT_TRUE(decodeSnapshot(delta, history, out));
    ASSERT_EQ(out.projectiles.size(), 1u);
    EXPECT_EQ(out.projectiles[0].stepsFlown, 110u);
    // Its bit, then no new shots.
    ASSERT_EQ(delta[delta.size() - 2], 1);
    ASSERT_EQ(delta.back(), 0);
    std::vector<std::uint8_t> bad = delta;
    bad[bad.size() - 2] = 3;  // a bit past the baseline's one shot
    EXPECT_FALSE(decodeSnapshot(bad, history, out));
    // A new shot in a free slot is taken; in the slot flown on, refused.
    const auto withNewShot = [&](std::uint8_t slot) {
        std::vector<std::uint8_t> more = delta;
        more.back() = 1;
        more.push_back(slot);
        more.push_back(0);
        more.insert(more.end(), 28, 0);
        return more;
    };
    ASSERT_TRUE(decodeSnapshot(withNewShot(2), history, out));
    ASSERT_EQ(out.projectiles.size(), 2u);
    EXPECT_EQ(out.projectiles[0].slot, 2);  // by slot
    EXPECT_EQ(out.projectiles[1].slot, 4);
    EXPECT_FALSE(decodeSnapshot(withNewShot(4), history, out));
}

TEST(SnapshotEncode, AFullOneFitsADatagramWithThePoolFull)
{
    WorldSnapshot s = sampleSnapshot(7);
    s.players.resize(kMaxPlayers);
    s.projectiles.clear();
    for (int k = 0; k < kProjectileCount; ++k)
        s.projectiles.push_back({static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k % kMaxPlayers), false,
                                 {1.0f, 2.0f, 3.0f}, {300.0f, 0.0f, 0.0f}, static_cast<std::uint32_t>(k)});
    quantiseSnapshot(s);
    const std::vector<std::uint8_t> full = encoded(s);
    EXPECT_LE(full.size(), kMaxMessageBytes);
    WorldSnapshot out;
    ASSERT_TRUE(decodeSnapshot(full, {}, out));
    ASSERT_FALSE(out.projectiles.empty());
    // The newest shots are the ones kept.
    for (const ProjectileSnapshot& p : out.projectiles)
        EXPECT_LT(p.stepsFlown, out.projectiles.size());
    // As a delta against that one, every shot flown on takes a bit.
    WorldSnapshot later = out;
    later.tick += 10;
    for (ProjectileSnapshot& p : later.projectiles)
        p.stepsFlown += 10;
    const std::vector<std::uint8_t> delta = encoded(later, &out);
    EXPECT_LT(delta.size(), 16u + (out.projectiles.size() + 7) / 8 + 8u);
    WorldSnapshot back;
    const std::vector<WorldSnapshot> history = {out};
    ASSERT_TRUE(decodeSnapshot(delta, history, back));
    EXPECT_TRUE(back == later);
}

}  // namespace

TEST(SnapshotInterpolation, BlendsWhatMovesTakesTheNearerOfWhatJumpsAndFliesShotsBack)
{
    WorldSnapshot a = sampleSnapshot(100);
    WorldSnapshot b = sampleSnapshot(110);
    a.cars[1].parts[2].orientation = {};
    b.cars[1].parts[2].orientation = {{0.0f, std::sin(0.25f), 0.0f, std::cos(0.25f)}};  // half a radian about y
    b.players[2].position.x += 50.0f;  // a respawn beside the car
    b.players[1].animationMs = a.players[1].animationMs - 100.0f;  // a walk begun afresh

    WorldSnapshot out;
    interpolateSnapshots(a, b, 104, out);
    EXPECT_EQ(out.tick, 104u);
    EXPECT_FLOAT_EQ(out.cars[1].parts[2].position.z, 0.6f * a.cars[1].parts[2].position.z + 0.4f * b.cars[1].parts[2].position.z);
    EXPECT_NEAR(2.0f * std::asin(out.cars[1].parts[2].orientation[1]), 0.2f, 1e-3f);
    EXPECT_FLOAT_EQ(out.players[0].yaw, a.players[0].yaw + 4.0f);
    EXPECT_FLOAT_EQ(out.players[2].position.x, a.players[2].position.x);  // nearer a: not yet respawned
    EXPECT_EQ(out.players[1].animationMs, a.players[1].animationMs);
    EXPECT_NEAR(out.match.clock, a.match.clock - 4 * 0.005f, 1e-4f);
    // b's shot at 110 steps flown was at 104 steps at tick 104; a's own
    // (in the same slot) is not shown twice.
    ASSERT_EQ(out.projectiles.size(), 1u);
    EXPECT_EQ(out.projectiles[0].stepsFlown, 104u);

    interpolateSnapshots(a, b, 107, out);
    EXPECT_FLOAT_EQ(out.players[2].position.x, b.players[2].position.x);  // nearer b: there
    // Outside the two: clamped to the later.
    interpolateSnapshots(a, b, 130, out);
    EXPECT_EQ(out.tick, 110u);
    EXPECT_TRUE(sameVector(out.cars[1].parts[2].position, b.cars[1].parts[2].position));

    // A shot that b no longer has (it hit something) goes on while a is nearer.
    WorldSnapshot gone = b;
    gone.projectiles.clear();
    interpolateSnapshots(a, gone, 103, out);
    ASSERT_EQ(out.projectiles.size(), 1u);
    EXPECT_EQ(out.projectiles[0].stepsFlown, 103u);
    interpolateSnapshots(a, gone, 106, out);
    EXPECT_TRUE(out.projectiles.empty());

    // Nothing is blended across a new round: everyone is placed afresh.
    WorldSnapshot next = b;
    next.match.round = 3;
    interpolateSnapshots(a, next, 103, out);
    EXPECT_TRUE(sameVector(out.cars[1].parts[2].position, a.cars[1].parts[2].position));
    EXPECT_EQ(out.match.round, 2);
    EXPECT_EQ(out.tick, 103u);
}
