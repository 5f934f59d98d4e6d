#include "net/snapshot.h"

#include "net/protocol.h"
#include "net/wire.h"
#include "physics/ode_float.h"
#include "sim/driving.h"
#include "sim/sim_world.h"

#include <algorithm>
#include <cmath>
#include <limits>

// Every snapshot goes through one whole-number form: a group is a fixed row
// of fields, each with its width on the wire. quantiseSnapshot is that form
// and back; the encoder writes it (against the baseline's form for a delta)
// and the decoder reads it, checks it and turns it back. So what is decoded
// is exactly what was quantised.

namespace {

// I16 is symmetric (-32767 to 32767) and Position16 holds the arena's
// +-1023 units: a decoder refuses what the quantiser never makes, so what it
// accepts encodes again the same.
enum class Width : std::uint8_t { U8, I8, U16, I16, Position16, I32, U32, Raw32 };

template <std::size_t N>
using Group = std::array<std::int64_t, N>;

// A car part: position, orientation (packed), linear and angular velocity.
constexpr std::array<Width, 10> kPartLayout = {Width::Position16, Width::Position16, Width::Position16, Width::Raw32, Width::I16,
                                               Width::I16, Width::I16, Width::I16, Width::I16, Width::I16};
// A car's hits on its five parts and its three controls.
constexpr std::array<Width, 8> kCarStateLayout = {Width::U8, Width::U8, Width::U8, Width::U8,
                                                  Width::U8, Width::U8, Width::I8, Width::U8};
// A player's position, yaw, pitch, walk clock and flags (in car, car, gait, locked).
constexpr std::array<Width, 7> kPoseLayout = {Width::Position16, Width::Position16, Width::Position16, Width::I32,
                                              Width::I32, Width::U16, Width::U8};
// The shot's flash and the aim marker.
constexpr std::array<Width, 4> kWeaponLayout = {Width::U16, Width::Position16, Width::Position16,
                                                Width::Position16};
// The match's record of a player.
constexpr std::array<Width, 6> kRecordLayout = {Width::U8, Width::U32, Width::U16,
                                                Width::U8, Width::U8,  Width::U8};
// Running, phase, round, clock, phase seconds, scores, wheels off, winner.
constexpr std::array<Width, 10> kMatchLayout = {Width::U8, Width::U8, Width::U8, Width::U32, Width::U32,
                                                Width::U8, Width::U8, Width::U8, Width::U8, Width::I8};

struct WireCar {
    std::array<Group<10>, kCarPartCount> parts{};
    Group<8> state{};
};
struct WirePlayer {
    Group<7> pose{};
    Group<4> weapon{};
    Group<6> record{};
};
struct WireWorld {
    std::array<WireCar, kCarCount> cars{};
    std::vector<WirePlayer> players;
    Group<10> match{};
};

constexpr float kPositionScale = 32.0f;
constexpr float kPositionLimit = 1023.0f;
constexpr std::int64_t kPositionLimitSteps = 1023 * 32;
constexpr float kVelocityScale = 32.0f;
constexpr double kAngleScale = 100.0;
constexpr float kTimerScale = 1000.0f;
constexpr float kWalkClockScale = 4.0f;
constexpr int kQuaternionBits = 10;
constexpr int kQuaternionSteps = (1 << kQuaternionBits) - 1;
constexpr float kQuaternionRange = 0.70710678f;  // no smaller component exceeds 1/sqrt 2

constexpr std::uint8_t kFlagInCar = 1;
constexpr std::uint8_t kFlagCarIndex = 2;
constexpr std::uint8_t kGaitShift = 2;
constexpr std::uint8_t kGaitMask = 3 << kGaitShift;
constexpr std::uint8_t kFlagTargetLocked = 16;
constexpr std::uint8_t kPoseFlagsUsed = kFlagInCar | kFlagCarIndex | kGaitMask | kFlagTargetLocked;

constexpr std::uint8_t kSnapshotDelta = 1;
constexpr std::uint8_t kShotLocked = 1;
constexpr std::size_t kShotFullBytes = 2 + 6 * 4 + 4;

std::int64_t roundClamped(float v, float scale, float low, float high)
{
    if (!std::isfinite(v))
        return 0;
    return std::lround(std::clamp(v * scale, low, high));
}

std::int64_t positionToWire(float v)
{
    if (!std::isfinite(v))
        return 0;
    return std::lround(std::clamp(v, -kPositionLimit, kPositionLimit) * kPositionScale);
}
float positionFromWire(std::int64_t v) { return static_cast<float>(v) / kPositionScale; }

std::int64_t velocityToWire(float v) { return roundClamped(v, kVelocityScale, -32767.0f, 32767.0f); }
float velocityFromWire(std::int64_t v) { return static_cast<float>(v) / kVelocityScale; }

std::int64_t angleToWire(float v)
{
    if (!std::isfinite(v))
        return 0;
    constexpr double limit = std::numeric_limits<std::int32_t>::max();
    return std::llround(std::clamp(static_cast<double>(v) * kAngleScale, -limit, limit));
}
float angleFromWire(std::int64_t v) { return static_cast<float>(static_cast<double>(v) / kAngleScale); }

std::int64_t timer16ToWire(float v) { return roundClamped(v, kTimerScale, 0.0f, 65535.0f); }
std::int64_t timer32ToWire(float v)
{
    if (!std::isfinite(v))
        return 0;
    return std::llround(std::clamp(static_cast<double>(v) * kTimerScale, 0.0, 4294967295.0));
}
float timerFromWire(std::int64_t v) { return static_cast<float>(static_cast<double>(v) / kTimerScale); }

std::int64_t walkClockToWire(float v) { return roundClamped(v, kWalkClockScale, 0.0f, 65535.0f); }
float walkClockFromWire(std::int64_t v) { return static_cast<float>(v) / kWalkClockScale; }

Quaternion quaternionFromWire(std::uint32_t packed)
{
    const int largest = static_cast<int>(packed >> 30);
    Quaternion q;
    float sum = 0.0f;
    int shift = 20;
    for (int i = 0; i < 4; ++i) {
        if (i == largest)
            continue;
        const auto step = static_cast<float>((packed >> shift) & kQuaternionSteps);
        shift -= kQuaternionBits;
        q[i] = (step / static_cast<float>(kQuaternionSteps) * 2.0f - 1.0f) * kQuaternionRange;
        sum += q[i] * q[i];
    }
    q[largest] = std::sqrt(std::max(0.0f, 1.0f - sum));
    // Bytes from anywhere can put the three over unit length; the largest is
    // then 0 and the rest are scaled back. Never all zero: that would need
    // all three at 0, which leaves the largest at 1.
    const float norm = std::sqrt(sum + q[largest] * q[largest]);
    for (float& c : q.q)
        c /= norm;
    return q;
}

std::uint32_t quaternionToWireOnce(const Quaternion& in)
{
    Quaternion q = in;
    float norm = 0.0f;
    for (const float c : q.q)
        norm += std::isfinite(c) ? c * c : 0.0f;
    norm = std::sqrt(norm);
    if (!(norm > 1e-6f) || !std::isfinite(norm))
        return 3u << 30 | 511u << 20 | 511u << 10 | 511u;  // the identity, near enough
    int largest = 0;
    for (int i = 0; i < 4; ++i) {
        q[i] = std::isfinite(q[i]) ? q[i] / norm : 0.0f;
        if (std::fabs(q[i]) > std::fabs(q[largest]))
            largest = i;
    }
    // q and -q turn alike: the largest is sent positive, its sign implied.
    const float sign = q[largest] < 0.0f ? -1.0f : 1.0f;
    std::uint32_t packed = static_cast<std::uint32_t>(largest) << 30;
    int shift = 20;
    for (int i = 0; i < 4; ++i) {
        if (i == largest)
            continue;
        const float unit = std::clamp(sign * q[i] / kQuaternionRange, -1.0f, 1.0f);
        const auto step = static_cast<std::uint32_t>(std::lround((unit + 1.0f) * 0.5f * kQuaternionSteps));
        packed |= step << shift;
        shift -= kQuaternionBits;
    }
    return packed;
}

// Near a tie between the two largest components the decoded copy can find
// the other one larger; packing again settles within a step or two, and
// what is sent is the settled form, so the decoded copy packs the same.
std::uint32_t quaternionToWire(const Quaternion& q)
{
    std::uint32_t packed = quaternionToWireOnce(q);
    for (int i = 0; i < 4; ++i) {
        const std::uint32_t again = quaternionToWireOnce(quaternionFromWire(packed));
        if (again == packed)
            break;
        packed = again;
    }
    return packed;
}

WireCar carToWire(const CarSnapshot& car)
{
    WireCar w;
    for (int p = 0; p < kCarPartCount; ++p) {
        const CarPartSnapshot& part = car.parts[static_cast<std::size_t>(p)];
        Group<10>& g = w.parts[static_cast<std::size_t>(p)];
        g = {positionToWire(part.position.x),        positionToWire(part.position.y),
             positionToWire(part.position.z),        quaternionToWire(part.orientation),
             velocityToWire(part.linearVelocity.x),  velocityToWire(part.linearVelocity.y),
             velocityToWire(part.linearVelocity.z),  velocityToWire(part.angularVelocity.x),
             velocityToWire(part.angularVelocity.y), velocityToWire(part.angularVelocity.z)};
        w.state[static_cast<std::size_t>(p)] = car.hits[static_cast<std::size_t>(p)];
    }
    w.state[5] = std::min<int>(car.throttle, kFullThrottle);
    w.state[6] = std::max<int>(car.steer, -127);
    w.state[7] = std::min<int>(car.brake, kFullBrake);
    return w;
}

CarSnapshot carFromWire(const WireCar& w)
{
    CarSnapshot car;
    for (int p = 0; p < kCarPartCount; ++p) {
        const Group<10>& g = w.parts[static_cast<std::size_t>(p)];
        CarPartSnapshot& part = car.parts[static_cast<std::size_t>(p)];
        part.position = {positionFromWire(g[0]), positionFromWire(g[1]), positionFromWire(g[2])};
        part.orientation = quaternionFromWire(static_cast<std::uint32_t>(g[3]));
        part.linearVelocity = {velocityFromWire(g[4]), velocityFromWire(g[5]), velocityFromWire(g[6])};
        part.angularVelocity = {velocityFromWire(g[7]), velocityFromWire(g[8]), velocityFromWire(g[9])};
        car.hits[static_cast<std::size_t>(p)] = static_cast<std::uint8_t>(w.state[static_cast<std::size_t>(p)]);
    }
    car.throttle = static_cast<std::uint8_t>(w.state[5]);
    car.steer = static_cast<std::int8_t>(w.state[6]);
    car.brake = static_cast<std::uint8_t>(w.state[7]);
    return car;
}

bool carValid(const WireCar& w)
{
    return w.state[5] <= kFullThrottle && w.state[6] >= -127 && w.state[7] <= kFullBrake;
}

WirePlayer playerToWire(const PlayerSnapshot& p)
{
    WirePlayer w;
    const std::uint8_t gait = std::min<std::uint8_t>(p.gait, 2);
    const std::uint8_t flags = static_cast<std::uint8_t>((p.inCar ? kFlagInCar : 0) |
                                                         ((p.carIndex & 1) != 0 ? kFlagCarIndex : 0) |
                                                         (gait << kGaitShift) |
                                                         (p.targetLocked ? kFlagTargetLocked : 0));
    w.pose = {positionToWire(p.position.x), positionToWire(p.position.y), positionToWire(p.position.z),
              angleToWire(p.yaw),           angleToWire(p.pitch),         walkClockToWire(p.animationMs),
              flags};
    w.weapon = {timer16ToWire(p.shotTimer), positionToWire(p.targetPosition.x), positionToWire(p.targetPosition.y),
                positionToWire(p.targetPosition.z)};
    w.record = {p.hitsTaken,       timer32ToWire(p.knockedOutSeconds), timer16ToWire(p.protectionSeconds),
                p.wheelsKnockedOff, p.knockOuts,                        p.timesKnockedOut};
    return w;
}

PlayerSnapshot playerFromWire(const WirePlayer& w)
{
    PlayerSnapshot p;
    p.position = {positionFromWire(w.pose[0]), positionFromWire(w.pose[1]), positionFromWire(w.pose[2])};
    p.yaw = angleFromWire(w.pose[3]);
    p.pitch = angleFromWire(w.pose[4]);
    p.animationMs = walkClockFromWire(w.pose[5]);
    const auto flags = static_cast<std::uint8_t>(w.pose[6]);
    p.inCar = (flags & kFlagInCar) != 0;
    p.carIndex = (flags & kFlagCarIndex) != 0 ? 1 : 0;
    p.gait = static_cast<std::uint8_t>((flags & kGaitMask) >> kGaitShift);
    p.targetLocked = (flags & kFlagTargetLocked) != 0;
    p.shotTimer = timerFromWire(w.weapon[0]);
    p.targetPosition = {positionFromWire(w.weapon[1]), positionFromWire(w.weapon[2]), positionFromWire(w.weapon[3])};
    p.hitsTaken = static_cast<std::uint8_t>(w.record[0]);
    p.knockedOutSeconds = timerFromWire(w.record[1]);
    p.protectionSeconds = timerFromWire(w.record[2]);
    p.wheelsKnockedOff = static_cast<std::uint8_t>(w.record[3]);
    p.knockOuts = static_cast<std::uint8_t>(w.record[4]);
    p.timesKnockedOut = static_cast<std::uint8_t>(w.record[5]);
    return p;
}

bool playerValid(const WirePlayer& w)
{
    const auto flags = static_cast<std::uint8_t>(w.pose[6]);
    return (flags & ~kPoseFlagsUsed) == 0 && ((flags & kGaitMask) >> kGaitShift) <= 2;
}

Group<10> matchToWire(const MatchSnapshot& m)
{
    if (!m.running)
        return {0, 0, 0, 0, 0, 0, 0, 0, 0, -1};
    const auto phase = std::clamp(static_cast<int>(m.phase), 0, static_cast<int>(MatchPhase::MatchOver));
    return {1,
            phase,
            m.round,
            timer32ToWire(m.clock),
            timer32ToWire(m.phaseSeconds),
            m.scores[0],
            m.scores[1],
            m.wheelsOff[0],
            m.wheelsOff[1],
            std::clamp<int>(m.winner, -1, kTeamCount - 1)};
}

MatchSnapshot matchFromWire(const Group<10>& w)
{
    MatchSnapshot m;
    m.running = w[0] != 0;
    m.phase = static_cast<MatchPhase>(w[1]);
    m.round = static_cast<std::uint8_t>(w[2]);
    m.clock = timerFromWire(w[3]);
    m.phaseSeconds = timerFromWire(w[4]);
    m.scores = {static_cast<std::uint8_t>(w[5]), static_cast<std::uint8_t>(w[6])};
    m.wheelsOff = {static_cast<std::uint8_t>(w[7]), static_cast<std::uint8_t>(w[8])};
    m.winner = static_cast<std::int8_t>(w[9]);
    return m;
}

bool matchValid(const Group<10>& w)
{
    if (w[0] == 0)  // free play holds nothing else
        return w == Group<10>{0, 0, 0, 0, 0, 0, 0, 0, 0, -1};
    return w[0] == 1 && w[1] <= static_cast<int>(MatchPhase::MatchOver) && w[9] >= -1 && w[9] < kTeamCount;
}

WireWorld worldToWire(const WorldSnapshot& s)
{
    WireWorld w;
    for (int c = 0; c < kCarCount; ++c)
        w.cars[static_cast<std::size_t>(c)] = carToWire(s.cars[static_cast<std::size_t>(c)]);
    w.players.reserve(s.players.size());
    for (const PlayerSnapshot& p : s.players)
        w.players.push_back(playerToWire(p));
    w.match = matchToWire(s.match);
    return w;
}

bool finite(Vector3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// The fields of a group: fixed widths in full, differences from the
// baseline's in a delta (the packed orientation stays whole: its bits do not
// subtract).
std::uint64_t zigzag(std::int64_t v) { return (static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63); }
std::int64_t unzigzag(std::uint64_t v) { return static_cast<std::int64_t>(v >> 1) ^ -static_cast<std::int64_t>(v & 1); }

void writeVarint(ByteWriter& w, std::uint64_t v)
{
    while (v >= 0x80) {
        w.u8(static_cast<std::uint8_t>(v | 0x80));
        v >>= 7;
    }
    w.u8(static_cast<std::uint8_t>(v));
}

// Five groups of seven bits hold any difference of two 32-bit fields.
constexpr int kVarintMaxBytes = 5;
bool readVarint(ByteReader& in, std::uint64_t& v)
{
    v = 0;
    for (int i = 0; i < kVarintMaxBytes; ++i) {
        const std::uint8_t b = in.u8();
        v |= static_cast<std::uint64_t>(b & 0x7f) << (7 * i);
        if ((b & 0x80) == 0)
            return in.ok();
    }
    return false;
}

bool inRange(Width width, std::int64_t v)
{
    switch (width) {
    case Width::U8:
        return v >= 0 && v <= 0xff;
    case Width::I8:
        return v >= -128 && v <= 127;
    case Width::U16:
        return v >= 0 && v <= 0xffff;
    case Width::I16:
        return v >= -32767 && v <= 32767;
    case Width::Position16:
        return v >= -kPositionLimitSteps && v <= kPositionLimitSteps;
    case Width::I32:
        return v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max();
    case Width::U32:
    case Width::Raw32:
        return v >= 0 && v <= 0xffffffffll;
    }
    return false;
}

void writeFixed(ByteWriter& w, Width width, std::int64_t v)
{
    switch (width) {
    case Width::U8:
    case Width::I8:
        w.u8(static_cast<std::uint8_t>(v));
        break;
    case Width::U16:
    case Width::I16:
    case Width::Position16:
        w.u16(static_cast<std::uint16_t>(v));
        break;
    case Width::I32:
    case Width::U32:
    case Width::Raw32:
        w.u32(static_cast<std::uint32_t>(v));
        break;
    }
}

std::int64_t readFixed(ByteReader& in, Width width)
{
    switch (width) {
    case Width::U8:
        return in.u8();
    case Width::I8:
        return in.i8();
    case Width::U16:
        return in.u16();
    case Width::I16:
    case Width::Position16:
        return in.i16();
    case Width::I32:
        return in.i32();
    case Width::U32:
    case Width::Raw32:
        return in.u32();
    }
    return 0;
}

// A group whole: each field at its width.
template <std::size_t N>
void writeGroup(ByteWriter& w, const std::array<Width, N>& layout, const Group<N>& value)
{
    for (std::size_t i = 0; i < N; ++i)
        writeFixed(w, layout[i], value[i]);
}

template <std::size_t N>
bool readGroup(ByteReader& in, const std::array<Width, N>& layout, Group<N>& value)
{
    for (std::size_t i = 0; i < N; ++i) {
        value[i] = readFixed(in, layout[i]);
        if (!inRange(layout[i], value[i]))
            return false;
    }
    return in.ok();
}

// A changed group in a delta, sparsely: a bit a field (low bit first, in
// whole bytes) for the fields that changed, then their differences. Only
// what the bits name is read, and a named field that did not change is
// refused (as is a group with none), so one group has one writing.
template <std::size_t N>
void writeSparseGroup(ByteWriter& w, const std::array<Width, N>& layout, const Group<N>& value, const Group<N>& base)
{
    std::array<std::uint8_t, (N + 7) / 8> bits{};
    for (std::size_t i = 0; i < N; ++i)
        if (value[i] != base[i])
            bits[i / 8] = static_cast<std::uint8_t>(bits[i / 8] | (1u << (i % 8)));
    for (const std::uint8_t b : bits)
        w.u8(b);
    for (std::size_t i = 0; i < N; ++i) {
        if (value[i] == base[i])
            continue;
        if (layout[i] == Width::Raw32)
            writeFixed(w, layout[i], value[i]);
        else
            writeVarint(w, zigzag(value[i] - base[i]));
    }
}

template <std::size_t N>
bool readSparseGroup(ByteReader& in, const std::array<Width, N>& layout, Group<N>& value, const Group<N>& base)
{
    std::array<std::uint8_t, (N + 7) / 8> bits{};
    for (std::uint8_t& b : bits)
        b = in.u8();
    // A group the delta says changed names a field that did, and no field
    // past its last.
    if (!in.ok() || std::all_of(bits.begin(), bits.end(), [](std::uint8_t b) { return b == 0; }) ||
        (N % 8 != 0 && (bits.back() >> (N % 8)) != 0))
        return false;
    for (std::size_t i = 0; i < N; ++i) {
        if (!((bits[i / 8] >> (i % 8)) & 1)) {
            value[i] = base[i];
            continue;
        }
        if (layout[i] == Width::Raw32) {
            value[i] = readFixed(in, layout[i]);
        } else {
            std::uint64_t diff = 0;
            if (!readVarint(in, diff))
                return false;
            value[i] = base[i] + unzigzag(diff);
        }
        if (!in.ok() || value[i] == base[i] || !inRange(layout[i], value[i]))
            return false;
    }
    return true;
}

// The delta's changed bits, in order: each car's five parts and its state,
// each player's pose, weapon and record, then the match.
class BitsOut {
public:
    void add(bool bit)
    {
        if (count_ % 8 == 0)
            bytes_.push_back(0);
        if (bit)
            bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (1u << (count_ % 8)));
        ++count_;
    }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t count_ = 0;
};

std::size_t changedBitCount(std::size_t players) { return kCarCount * (kCarPartCount + 1) + players * 3 + 1; }

const ProjectileSnapshot* findShot(const std::vector<ProjectileSnapshot>& shots, std::uint8_t slot)
{
    const auto at = std::lower_bound(shots.begin(), shots.end(), slot,
                                     [](const ProjectileSnapshot& s, std::uint8_t v) { return s.slot < v; });
    return at != shots.end() && at->slot == slot ? &*at : nullptr;
}

// The baseline's shot flown on by the ticks between.
bool continuesShot(const ProjectileSnapshot& shot, const ProjectileSnapshot* before, std::uint32_t ticks)
{
    return before && before->shooter == shot.shooter && before->locked == shot.locked &&
           sameVector(before->muzzle, shot.muzzle) && sameVector(before->launchVelocity, shot.launchVelocity) &&
           static_cast<std::uint32_t>(before->stepsFlown + ticks) == shot.stepsFlown;
}

}  // namespace

void captureSnapshot(const SimWorld& world, std::uint32_t tick, WorldSnapshot& out)
{
    out.tick = tick;
    for (int c = 0; c < kCarCount; ++c) {
        const Car& car = world.cars[static_cast<std::size_t>(c)];
        CarSnapshot& snap = out.cars[static_cast<std::size_t>(c)];
        snap = {};
        if (!car.built())
            continue;
        for (int p = 0; p < kCarPartCount; ++p) {
            snap.parts[static_cast<std::size_t>(p)] = carPartOf(car, p);
            snap.hits[static_cast<std::size_t>(p)] = static_cast<std::uint8_t>(std::clamp(car.hits[p], 0, 255));
        }
        snap.throttle = static_cast<std::uint8_t>(std::clamp(car.throttle, 0, kFullThrottle));
        snap.steer = static_cast<std::int8_t>(
            std::isfinite(car.steer) ? std::lround(std::clamp(car.steer, -1.0f, 1.0f) * 127.0f) : 0);
        snap.brake = static_cast<std::uint8_t>(std::clamp(car.brake, 0, kFullBrake));
    }

    const std::size_t count = std::min<std::size_t>(world.players.size(), kMaxPlayers);
    out.players.assign(count, {});
    const auto small = [](int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
    for (std::size_t i = 0; i < count; ++i) {
        const SimPlayer& sp = world.players[i];
        PlayerSnapshot& p = out.players[i];
        p.position = sp.body.position;
        p.yaw = sp.body.yaw;
        p.pitch = sp.body.pitch;
        p.gait = static_cast<std::uint8_t>(std::clamp(sp.body.gait, 0, 2));
        p.inCar = sp.body.inCar;
        p.carIndex = static_cast<std::uint8_t>(std::clamp(sp.body.carIndex, 0, kCarCount - 1));
        p.animationMs = sp.pose.currentTimeMs;
        p.shotTimer = sp.weapon.shotTimer;
        p.targetLocked = sp.weapon.targetLocked;
        p.targetPosition = sp.weapon.targetPosition;
        if (world.match && i < world.match->players.size()) {
            const MatchPlayer& mp = world.match->players[i];
            p.hitsTaken = small(mp.hitsTaken);
            p.knockedOutSeconds = mp.knockedOutSeconds;
            p.protectionSeconds = mp.protectionSeconds;
            p.wheelsKnockedOff = small(mp.wheelsKnockedOff);
            p.knockOuts = small(mp.knockOuts);
            p.timesKnockedOut = small(mp.timesKnockedOut);
        }
    }

    out.projectiles.clear();
    for (int slot = 0; slot < kProjectileCount; ++slot) {
        const Projectile& shot = world.projectiles[static_cast<std::size_t>(slot)];
        if (!shot.active || shot.stepsFlown >= kMaxProjectileSteps || shot.shooter < 0 ||
            static_cast<std::size_t>(shot.shooter) >= count || !finite(shot.launchPosition) ||
            !finite(shot.launchVelocity))
            continue;
        ProjectileSnapshot& p = out.projectiles.emplace_back();
        p.slot = static_cast<std::uint8_t>(slot);
        p.shooter = static_cast<std::uint8_t>(shot.shooter);
        p.locked = shot.locked;
        p.muzzle = shot.launchPosition;
        p.launchVelocity = shot.launchVelocity;
        p.stepsFlown = shot.stepsFlown;
    }

    out.match = {};
    if (world.match) {
        const MatchState& m = *world.match;
        out.match.running = true;
        out.match.phase = m.phase;
        out.match.round = small(m.round);
        out.match.clock = m.clock;
        out.match.phaseSeconds = m.phaseSeconds;
        for (int t = 0; t < kTeamCount; ++t) {
            out.match.scores[static_cast<std::size_t>(t)] = small(m.scores[static_cast<std::size_t>(t)]);
            out.match.wheelsOff[static_cast<std::size_t>(t)] = small(m.wheelsOff[static_cast<std::size_t>(t)]);
        }
        out.match.winner = static_cast<std::int8_t>(std::clamp(m.winner, -1, kTeamCount - 1));
    }
}

void quantiseSnapshot(WorldSnapshot& snapshot)
{
    const WireWorld w = worldToWire(snapshot);
    for (int c = 0; c < kCarCount; ++c)
        snapshot.cars[static_cast<std::size_t>(c)] = carFromWire(w.cars[static_cast<std::size_t>(c)]);
    if (snapshot.players.size() > static_cast<std::size_t>(kMaxPlayers))
        snapshot.players.resize(kMaxPlayers);
    for (std::size_t i = 0; i < snapshot.players.size(); ++i)
        snapshot.players[i] = playerFromWire(w.players[i]);
    snapshot.match = matchFromWire(w.match);
    // Shots go as they are; only those the wire cannot hold are left out.
    std::erase_if(snapshot.projectiles, [&](const ProjectileSnapshot& p) {
        return p.slot >= kProjectileCount || p.stepsFlown >= kMaxProjectileSteps ||
               p.shooter >= snapshot.players.size() || !finite(p.muzzle) || !finite(p.launchVelocity);
    });
    std::sort(snapshot.projectiles.begin(), snapshot.projectiles.end(),
              [](const ProjectileSnapshot& a, const ProjectileSnapshot& b) { return a.slot < b.slot; });
    snapshot.projectiles.erase(std::unique(snapshot.projectiles.begin(), snapshot.projectiles.end(),
                                           [](const ProjectileSnapshot& a, const ProjectileSnapshot& b) {
                                               return a.slot == b.slot;
                                           }),
                               snapshot.projectiles.end());
}

void encodeSnapshot(const WorldSnapshot& snapshot, const WorldSnapshot* baseline, std::vector<std::uint8_t>& out)
{
    const std::size_t start = out.size();
    ByteWriter w(out);
    w.u8(static_cast<std::uint8_t>(MessageType::Snapshot));
    w.u32(snapshot.tick);
    writeVarint(w, snapshot.inputSequence);
    w.u8(baseline ? kSnapshotDelta : 0);
    if (baseline)
        writeVarint(w, snapshot.tick - baseline->tick);  // ticks back, modulo 2^32

    const WireWorld now = worldToWire(snapshot);
    const std::size_t players = std::min<std::size_t>(now.players.size(), kMaxPlayers);
    w.u8(static_cast<std::uint8_t>(players));

    if (!baseline) {
        for (const WireCar& car : now.cars) {
            for (const Group<10>& part : car.parts)
                writeGroup(w, kPartLayout, part);
            writeGroup(w, kCarStateLayout, car.state);
        }
        for (std::size_t i = 0; i < players; ++i) {
            writeGroup(w, kPoseLayout, now.players[i].pose);
            writeGroup(w, kWeaponLayout, now.players[i].weapon);
            writeGroup(w, kRecordLayout, now.players[i].record);
        }
        writeGroup(w, kMatchLayout, now.match);
    } else {
        const WireWorld before = worldToWire(*baseline);
        const WirePlayer absent = playerToWire({});
        BitsOut bits;
        std::vector<std::uint8_t> body;
        ByteWriter b(body);
        for (int c = 0; c < kCarCount; ++c) {
            const WireCar& car = now.cars[static_cast<std::size_t>(c)];
            const WireCar& was = before.cars[static_cast<std::size_t>(c)];
            for (int p = 0; p < kCarPartCount; ++p) {
                const bool changed = car.parts[static_cast<std::size_t>(p)] != was.parts[static_cast<std::size_t>(p)];
                bits.add(changed);
                if (changed)
                    writeSparseGroup(b, kPartLayout, car.parts[static_cast<std::size_t>(p)],
                                     was.parts[static_cast<std::size_t>(p)]);
            }
            bits.add(car.state != was.state);
            if (car.state != was.state)
                writeSparseGroup(b, kCarStateLayout, car.state, was.state);
        }
        for (std::size_t i = 0; i < players; ++i) {
            const WirePlayer& p = now.players[i];
            const WirePlayer& was = i < before.players.size() ? before.players[i] : absent;
            bits.add(p.pose != was.pose);
            if (p.pose != was.pose)
                writeSparseGroup(b, kPoseLayout, p.pose, was.pose);
            bits.add(p.weapon != was.weapon);
            if (p.weapon != was.weapon)
                writeSparseGroup(b, kWeaponLayout, p.weapon, was.weapon);
            bits.add(p.record != was.record);
            if (p.record != was.record)
                writeSparseGroup(b, kRecordLayout, p.record, was.record);
        }
        bits.add(now.match != before.match);
        if (now.match != before.match)
            writeSparseGroup(b, kMatchLayout, now.match, before.match);
        out.insert(out.end(), bits.bytes().begin(), bits.bytes().end());
        out.insert(out.end(), body.begin(), body.end());
    }

    // The shots: a bit for each of the baseline's, set when it flew on
    // here; the rest as whole launches, of which what would not fit in one
    // datagram is left out, the oldest first (a shot is only a picture: its
    // hit was dealt at firing).
    const std::uint32_t ticks = baseline ? snapshot.tick - baseline->tick : 0;
    std::vector<std::uint8_t> continued(baseline ? (baseline->projectiles.size() + 7) / 8 : 0);
    std::vector<const ProjectileSnapshot*> fresh;
    std::array<bool, kProjectileCount> seen{};
    for (const ProjectileSnapshot& p : snapshot.projectiles) {
        if (p.slot >= kProjectileCount || seen[p.slot] || p.shooter >= players ||
            p.stepsFlown >= kMaxProjectileSteps || !finite(p.muzzle) || !finite(p.launchVelocity))
            continue;
        seen[p.slot] = true;
        const ProjectileSnapshot* before = baseline ? findShot(baseline->projectiles, p.slot) : nullptr;
        if (before && continuesShot(p, before, ticks)) {
            const auto index = static_cast<std::size_t>(before - baseline->projectiles.data());
            continued[index / 8] = static_cast<std::uint8_t>(continued[index / 8] | (1u << (index % 8)));
            continue;
        }
        fresh.push_back(&p);
    }
    out.insert(out.end(), continued.begin(), continued.end());
    std::stable_sort(fresh.begin(), fresh.end(), [](const ProjectileSnapshot* a, const ProjectileSnapshot* b) {
        return a->stepsFlown < b->stepsFlown;
    });
    const std::size_t room = kMaxMessageBytes - std::min(kMaxMessageBytes, out.size() - start + 1);
    fresh.resize(std::min(fresh.size(), room / kShotFullBytes));
    std::sort(fresh.begin(), fresh.end(),
              [](const ProjectileSnapshot* a, const ProjectileSnapshot* b) { return a->slot < b->slot; });
    w.u8(static_cast<std::uint8_t>(fresh.size()));
    for (const ProjectileSnapshot* shot : fresh) {
        const ProjectileSnapshot& p = *shot;
        w.u8(p.slot);
        w.u8(static_cast<std::uint8_t>((p.locked ? kShotLocked : 0) | (p.shooter << 4)));
        w.f32(p.muzzle.x);
        w.f32(p.muzzle.y);
        w.f32(p.muzzle.z);
        w.f32(p.launchVelocity.x);
        w.f32(p.launchVelocity.y);
        w.f32(p.launchVelocity.z);
        w.u32(p.stepsFlown);
    }
}

bool decodeSnapshot(std::span<const std::uint8_t> bytes, std::span<const WorldSnapshot> history, WorldSnapshot& out)
{
    ByteReader in(bytes);
    if (in.u8() != static_cast<std::uint8_t>(MessageType::Snapshot))
        return false;
    const std::uint32_t tick = in.u32();
    std::uint64_t inputSequence = 0;
    if (!readVarint(in, inputSequence) || inputSequence > 0xffffffffu)
        return false;
    const std::uint8_t flags = in.u8();
    if (!in.ok() || (flags & ~kSnapshotDelta) != 0)
        return false;
    const WorldSnapshot* baseline = nullptr;
    if (flags & kSnapshotDelta) {
        std::uint64_t back = 0;
        if (!readVarint(in, back) || back > 0xffffffffu)
            return false;
        const auto baseTick = static_cast<std::uint32_t>(tick - back);
        for (const WorldSnapshot& s : history)
            if (s.tick == baseTick) {
                baseline = &s;
                break;
            }
        if (!baseline)
            return false;
    }
    const std::size_t players = in.u8();
    if (!in.ok() || players < 1 || players > static_cast<std::size_t>(kMaxPlayers))
        return false;

    WireWorld now;
    now.players.resize(players);
    if (!baseline) {
        for (WireCar& car : now.cars) {
            for (Group<10>& part : car.parts)
                if (!readGroup(in, kPartLayout, part))
                    return false;
            if (!readGroup(in, kCarStateLayout, car.state))
                return false;
        }
        for (WirePlayer& p : now.players)
            if (!readGroup(in, kPoseLayout, p.pose) || !readGroup(in, kWeaponLayout, p.weapon) ||
                !readGroup(in, kRecordLayout, p.record))
                return false;
        if (!readGroup(in, kMatchLayout, now.match))
            return false;
    } else {
        const WireWorld before = worldToWire(*baseline);
        const WirePlayer absent = playerToWire({});
        const std::size_t bitCount = changedBitCount(players);
        std::array<std::uint8_t, (kCarCount * (kCarPartCount + 1) + kMaxPlayers * 3 + 1 + 7) / 8> mask{};
        const std::size_t maskBytes = (bitCount + 7) / 8;
        for (std::size_t i = 0; i < maskBytes; ++i)
            mask[i] = in.u8();
        if (!in.ok())
            return false;
        // Bits past the last group are zero, so one packet has one reading.
        if (bitCount % 8 != 0 && (mask[maskBytes - 1] >> (bitCount % 8)) != 0)
            return false;
        std::size_t next = 0;
        const auto changed = [&] {
            const bool bit = ((mask[next / 8] >> (next % 8)) & 1) != 0;
            ++next;
            return bit;
        };
        const auto group = [&](const auto& layout, auto& value, const auto& was) {
            if (!changed()) {
                value = was;
                return true;
            }
            return readSparseGroup(in, layout, value, was);
        };
        for (int c = 0; c < kCarCount; ++c) {
            WireCar& car = now.cars[static_cast<std::size_t>(c)];
            const WireCar& was = before.cars[static_cast<std::size_t>(c)];
            for (int p = 0; p < kCarPartCount; ++p)
                if (!group(kPartLayout, car.parts[static_cast<std::size_t>(p)], was.parts[static_cast<std::size_t>(p)]))
                    return false;
            if (!group(kCarStateLayout, car.state, was.state))
                return false;
        }
        for (std::size_t i = 0; i < players; ++i) {
            const WirePlayer& was = i < before.players.size() ? before.players[i] : absent;
            if (!group(kPoseLayout, now.players[i].pose, was.pose) ||
                !group(kWeaponLayout, now.players[i].weapon, was.weapon) ||
                !group(kRecordLayout, now.players[i].record, was.record))
                return false;
        }
        if (!group(kMatchLayout, now.match, before.match))
            return false;
    }
    for (const WireCar& car : now.cars)
        if (!carValid(car))
            return false;
    for (const WirePlayer& p : now.players)
        if (!playerValid(p))
            return false;
    if (!matchValid(now.match))
        return false;

    WorldSnapshot decoded;
    std::array<bool, kProjectileCount> taken{};
    if (baseline) {
        const std::vector<ProjectileSnapshot>& before = baseline->projectiles;
        const std::uint32_t ticks = tick - baseline->tick;
        if (before.size() > static_cast<std::size_t>(kProjectileCount))
            return false;
        const std::size_t bitCount = before.size();
        std::array<std::uint8_t, (kProjectileCount + 7) / 8> continued{};
        for (std::size_t i = 0; i < (bitCount + 7) / 8; ++i)
            continued[i] = in.u8();
        if (!in.ok() || (bitCount % 8 != 0 && (continued[bitCount / 8] >> (bitCount % 8)) != 0))
            return false;
        decoded.projectiles.reserve(bitCount);
        for (std::size_t i = 0; i < bitCount; ++i) {
            if (((continued[i / 8] >> (i % 8)) & 1) == 0)
                continue;
            ProjectileSnapshot p = before[i];
            p.stepsFlown += ticks;
            if (p.slot >= kProjectileCount || taken[p.slot] || p.shooter >= players ||
                p.stepsFlown >= kMaxProjectileSteps)
                return false;
            taken[p.slot] = true;
            decoded.projectiles.push_back(p);
        }
    }
    const std::size_t shots = in.u8();
    if (!in.ok() || shots > kProjectileCount - decoded.projectiles.size() ||
        in.remaining() < shots * kShotFullBytes)
        return false;
    decoded.projectiles.reserve(decoded.projectiles.size() + shots);
    int lastSlot = -1;
    for (std::size_t k = 0; k < shots; ++k) {
        ProjectileSnapshot p;
        p.slot = in.u8();
        const std::uint8_t shotFlags = in.u8();
        if (!in.ok() || p.slot >= kProjectileCount || static_cast<int>(p.slot) <= lastSlot || taken[p.slot] ||
            (shotFlags & 0x0f & ~kShotLocked) != 0)
            return false;
        lastSlot = p.slot;
        p.locked = (shotFlags & kShotLocked) != 0;
        p.shooter = static_cast<std::uint8_t>(shotFlags >> 4);
        p.muzzle = {in.f32(), in.f32(), in.f32()};
        p.launchVelocity = {in.f32(), in.f32(), in.f32()};
        p.stepsFlown = in.u32();
        if (!in.ok() || p.shooter >= players || !finite(p.muzzle) || !finite(p.launchVelocity) ||
            p.stepsFlown >= kMaxProjectileSteps)
            return false;
        decoded.projectiles.push_back(p);
    }
    std::sort(decoded.projectiles.begin(), decoded.projectiles.end(),
              [](const ProjectileSnapshot& a, const ProjectileSnapshot& b) { return a.slot < b.slot; });
    if (!in.atEnd())
        return false;

    decoded.tick = tick;
    decoded.inputSequence = static_cast<std::uint32_t>(inputSequence);
    for (int c = 0; c < kCarCount; ++c)
        decoded.cars[static_cast<std::size_t>(c)] = carFromWire(now.cars[static_cast<std::size_t>(c)]);
    decoded.players.reserve(players);
    for (const WirePlayer& p : now.players)
        decoded.players.push_back(playerFromWire(p));
    decoded.match = matchFromWire(now.match);
    out = std::move(decoded);
    return true;
}

namespace {

void placeBody(dBodyID body, const CarPartSnapshot& part)
{
    dBodySetPosition(body, part.position.x, part.position.y, part.position.z);
    const dQuaternion q = {part.orientation[3], part.orientation[0], part.orientation[1], part.orientation[2]};
    dBodySetQuaternion(body, q);
    dBodySetLinearVel(body, part.linearVelocity.x, part.linearVelocity.y, part.linearVelocity.z);
    dBodySetAngularVel(body, part.angularVelocity.x, part.angularVelocity.y, part.angularVelocity.z);
    dBodyEnable(body);
}

// The player's pose at the walk's clock: from the restart, advanced to it,
// or on from where the pose is when it is behind (the same walk going on).
void poseAt(const SkinnedModel& model, SkeletonPose& pose, float clockMs)
{
    const bool sameModel = pose.joints.size() == model.joints.size();
    if (!sameModel || pose.currentTimeMs > clockMs || pose.currentTimeMs < model.startTimeMs)
        model.restartAnimation(pose);
    if (clockMs > pose.currentTimeMs)
        model.advance(pose, static_cast<double>(clockMs) - static_cast<double>(pose.currentTimeMs));
}

void placeShot(Projectile& shot, const ProjectileSnapshot& p, float tickSeconds)
{
    const bool sameShot = shot.active && sameVector(shot.launchPosition, p.muzzle) && sameVector(shot.launchVelocity, p.launchVelocity) &&
                          shot.shooter == p.shooter && shot.stepsFlown <= p.stepsFlown;
    if (!sameShot)
        shot.launch(p.muzzle, p.launchVelocity, p.shooter);
    shot.locked = p.locked;
    // Flown on with the server's own arithmetic; a shot already flying here
    // goes on from where it is, so each step is taken once.
    while (shot.active && shot.stepsFlown < p.stepsFlown) {
        const unsigned was = shot.stepsFlown;
        shot.update(tickSeconds);
        if (shot.stepsFlown == was)
            break;
    }
}

}  // namespace

namespace {

void applyTo(const WorldSnapshot& snapshot, float tickSeconds, const SnapshotOverlay* overlay, SimWorld& world)
{
    const bool full = overlay == nullptr;
    // A wheel free here but whole in the snapshot: the server began a round.
    bool newRound = false;
    for (int c = 0; c < kCarCount && full; ++c) {
        const Car& car = world.cars[static_cast<std::size_t>(c)];
        if (!car.built())
            continue;
        for (int p = 1; p < kCarPartCount; ++p)
            if (car.wheelDetached(p) && snapshot.cars[static_cast<std::size_t>(c)].hits[static_cast<std::size_t>(p)] <
                                            kWheelDetachHits)
                newRound = true;
    }
    if (newRound)
        rebuildCars(world);

    for (int c = 0; c < kCarCount; ++c) {
        Car& car = world.cars[static_cast<std::size_t>(c)];
        const CarSnapshot& snap = snapshot.cars[static_cast<std::size_t>(c)];
        if (!car.built() || (overlay && overlay->keepCar == c))
            continue;
        for (int p = 0; p < kCarPartCount; ++p) {
            car.hits[p] = snap.hits[static_cast<std::size_t>(p)];
            if (full && p >= 1 && car.hits[p] >= kWheelDetachHits)
                car.detachWheel(p);
            placeBody(car.bodies[p], snap.parts[static_cast<std::size_t>(p)]);
        }
        car.setThrottle(snap.throttle);
        car.setSteer(static_cast<float>(snap.steer) / 127.0f);
        car.setBrake(snap.brake);
    }

    std::size_t count = std::min<std::size_t>(snapshot.players.size(), kMaxPlayers);
    if (!full)
        count = std::min(count, world.players.size());
    if (world.players.size() < count) {
        const std::size_t had = world.players.size();
        world.players.resize(count);
        if (world.playerModel)
            for (std::size_t i = had; i < count; ++i)
                world.playerModel->restartAnimation(world.players[i].pose);
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (overlay && overlay->keepPlayer == static_cast<int>(i))
            continue;
        const PlayerSnapshot& snap = snapshot.players[i];
        SimPlayer& p = world.players[i];
        p.body.position = snap.position;
        p.body.yaw = snap.yaw;
        p.body.pitch = snap.pitch;
        p.body.gait = snap.gait;
        p.body.inCar = snap.inCar;
        p.body.carIndex = std::min<int>(snap.carIndex, kCarCount - 1);
        p.weapon.shotTimer = snap.shotTimer;
        p.weapon.targetLocked = snap.targetLocked;
        p.weapon.targetPosition = snap.targetPosition;
        if (p.body.inCar) {
            const Car& car = world.cars[static_cast<std::size_t>(p.body.carIndex)];
            if (car.built()) {
                p.body.viewerPosition = car.partPosition(0);
                p.chassisVelocity = car.partVelocity(0);
            }
        }
        if (world.playerModel)
            poseAt(*world.playerModel, p.pose, snap.animationMs);
    }

    std::array<bool, kProjectileCount> live{};
    for (const ProjectileSnapshot& p : snapshot.projectiles) {
        if (p.slot >= kProjectileCount)
            continue;
        live[p.slot] = true;
        placeShot(world.projectiles[p.slot], p, tickSeconds);
    }
    for (int slot = 0; slot < kProjectileCount; ++slot)
        if (!live[static_cast<std::size_t>(slot)])
            world.projectiles[static_cast<std::size_t>(slot)].active = false;

    if (!snapshot.match.running) {
        world.match.reset();
        return;
    }
    if (!world.match)
        world.match.emplace();
    MatchState& m = *world.match;
    m.phase = snapshot.match.phase;
    m.round = snapshot.match.round;
    m.clock = snapshot.match.clock;
    m.phaseSeconds = snapshot.match.phaseSeconds;
    for (int t = 0; t < kTeamCount; ++t) {
        m.scores[static_cast<std::size_t>(t)] = snapshot.match.scores[static_cast<std::size_t>(t)];
        m.wheelsOff[static_cast<std::size_t>(t)] = snapshot.match.wheelsOff[static_cast<std::size_t>(t)];
    }
    m.winner = snapshot.match.winner;
    m.players.resize(world.players.size());
    for (std::size_t i = 0; i < m.players.size(); ++i) {
        MatchPlayer& mp = m.players[i];
        mp.team = static_cast<int>(i % kTeamCount);
        if (i >= count)
            continue;
        const PlayerSnapshot& snap = snapshot.players[i];
        mp.hitsTaken = snap.hitsTaken;
        mp.knockedOutSeconds = snap.knockedOutSeconds;
        mp.protectionSeconds = snap.protectionSeconds;
        mp.wheelsKnockedOff = snap.wheelsKnockedOff;
        mp.knockOuts = snap.knockOuts;
        mp.timesKnockedOut = snap.timesKnockedOut;
    }
}

}  // namespace

void applySnapshot(const WorldSnapshot& snapshot, float tickSeconds, SimWorld& world)
{
    applyTo(snapshot, tickSeconds, nullptr, world);
}

void applySnapshotOverlay(const WorldSnapshot& snapshot, float tickSeconds, const SnapshotOverlay& overlay,
                          SimWorld& world)
{
    applyTo(snapshot, tickSeconds, &overlay, world);
}

CarPartSnapshot carPartOf(const Car& car, int part)
{
    CarPartSnapshot out;
    const dBodyID body = car.bodies[part];
    const dReal* at = dBodyGetPosition(body);
    const dReal* q = dBodyGetQuaternion(body);  // w, x, y, z
    const dReal* v = dBodyGetLinearVel(body);
    const dReal* a = dBodyGetAngularVel(body);
    out.position = {odeToFloat(at[0]), odeToFloat(at[1]), odeToFloat(at[2])};
    out.orientation.q[0] = odeToFloat(q[1]);
    out.orientation.q[1] = odeToFloat(q[2]);
    out.orientation.q[2] = odeToFloat(q[3]);
    out.orientation.q[3] = odeToFloat(q[0]);
    out.linearVelocity = {odeToFloat(v[0]), odeToFloat(v[1]), odeToFloat(v[2])};
    out.angularVelocity = {odeToFloat(a[0]), odeToFloat(a[1]), odeToFloat(a[2])};
    return out;
}

void placeCarPart(Car& car, int part, const CarPartSnapshot& state) { placeBody(car.bodies[part], state); }

namespace {

Vector3 blend(const Vector3& a, const Vector3& b, float t)
{
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
}
float blend(float a, float b, float t) { return a + (b - a) * t; }
bool jumped(const Vector3& a, const Vector3& b, float limit) { return magnitude(subtract(b, a)) > limit; }

CarPartSnapshot blendPart(const CarPartSnapshot& a, const CarPartSnapshot& b, float t)
{
    if (jumped(a.position, b.position, kSnapshotJump))
        return t < 0.5f ? a : b;
    CarPartSnapshot out;
    out.position = blend(a.position, b.position, t);
    out.orientation = nlerp(a.orientation, b.orientation, t);
    out.linearVelocity = blend(a.linearVelocity, b.linearVelocity, t);
    out.angularVelocity = blend(a.angularVelocity, b.angularVelocity, t);
    return out;
}

PlayerSnapshot blendPlayer(const PlayerSnapshot& a, const PlayerSnapshot& b, float t)
{
    PlayerSnapshot out = t < 0.5f ? a : b;
    if (jumped(a.position, b.position, a.inCar ? kSnapshotJump : kPlayerJump) || a.inCar != b.inCar)
        return out;
    out.position = blend(a.position, b.position, t);
    out.yaw = blend(a.yaw, b.yaw, t);
    out.pitch = blend(a.pitch, b.pitch, t);
    // The walk's clock restarts when a walk begins: blended only while it runs on.
    if (b.animationMs >= a.animationMs)
        out.animationMs = blend(a.animationMs, b.animationMs, t);
    return out;
}

}  // namespace

void interpolateSnapshots(const WorldSnapshot& a, const WorldSnapshot& b, std::uint32_t tick, WorldSnapshot& out)
{
    const std::uint32_t span = b.tick - a.tick;
    const std::uint32_t into = std::min(tick - a.tick, span);
    const float t = span == 0 ? 1.0f : static_cast<float>(into) / static_cast<float>(span);
    const WorldSnapshot& nearer = t < 0.5f ? a : b;
    // A new round places everyone afresh: nothing is blended across it.
    if (a.match.running != b.match.running || a.match.round != b.match.round) {
        const std::uint32_t at = a.tick + into;
        out = nearer;
        out.tick = at;
        return;
    }
    out.tick = a.tick + into;
    out.inputSequence = nearer.inputSequence;
    for (std::size_t c = 0; c < out.cars.size(); ++c) {
        out.cars[c] = nearer.cars[c];
        for (std::size_t p = 0; p < out.cars[c].parts.size(); ++p)
            out.cars[c].parts[p] = blendPart(a.cars[c].parts[p], b.cars[c].parts[p], t);
    }
    // A world that grew between them is shown as it is after.
    if (a.players.size() == b.players.size()) {
        out.players.resize(b.players.size());
        for (std::size_t i = 0; i < out.players.size(); ++i)
            out.players[i] = blendPlayer(a.players[i], b.players[i], t);
    } else {
        out.players = b.players;
    }
    out.projectiles.clear();
    const std::uint32_t back = span - into;  // b's steps flown after tick
    for (const ProjectileSnapshot& shot : b.projectiles)
        if (shot.stepsFlown >= back) {
            out.projectiles.push_back(shot);
            out.projectiles.back().stepsFlown -= back;
        }
    if (t < 0.5f) {
        // Still nearer a: its shots that b no longer holds (they hit
        // something between) go on until then.
        for (const ProjectileSnapshot& shot : a.projectiles) {
            const bool inB = std::any_of(out.projectiles.begin(), out.projectiles.end(),
                                         [&](const ProjectileSnapshot& o) { return o.slot == shot.slot; });
            if (!inB && shot.stepsFlown + into < kMaxProjectileSteps) {
                out.projectiles.push_back(shot);
                out.projectiles.back().stepsFlown += into;
            }
        }
        std::sort(out.projectiles.begin(), out.projectiles.end(),
                  [](const ProjectileSnapshot& x, const ProjectileSnapshot& y) { return x.slot < y.slot; });
    }
    out.match = nearer.match;
    if (a.match.running && b.match.running && a.match.phase == b.match.phase && a.match.round == b.match.round) {
        out.match.clock = blend(a.match.clock, b.match.clock, t);
        out.match.phaseSeconds = blend(a.match.phaseSeconds, b.match.phaseSeconds, t);
    }
}
