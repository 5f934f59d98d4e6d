#pragma once
// The world as a server sends it: everything a client draws and shows, at
// one server tick. captureSnapshot reads a SimWorld into one, applySnapshot
// writes one into a client's SimWorld (the cars' ODE bodies included), and
// the codec puts it on the wire quantised and, against a baseline the
// client has acknowledged, as a delta of only what changed.
//
// Quantisation (what a decoded snapshot holds exactly, and what
// quantiseSnapshot rounds a captured one to):
// - positions: 1/32 unit in 16 bits a coordinate (the arena is +-1000;
//   anything beyond +-1023 is clamped);
// - orientations: smallest-three quaternions, 2 bits for the largest
//   component and 3 x 10 bits for the others;
// - velocities: 1/32 unit per simulated second in 16 bits, clamped;
// - angles (yaw, pitch): 1/100 degree in 32 bits, wrapping past +-180 for
//   yaw is not done (yaw grows without bound in the game);
// - timers: 1/1000 s in 16 bits, clamped (the shot's flash, a respawn's
//   protection); the round's clocks and a knock-out's wait run longer and
//   take 32 bits;
// - the walk's clock: 1/4 ms in 16 bits, clamped.
// Projectiles are sent as their launch (muzzle, velocity, shooter) and the
// steps flown since: their flight is exact arithmetic the client repeats, so
// the launch goes as raw floats (a decoder refuses non-finite ones). A full
// snapshot that would outgrow one datagram leaves out the oldest shots.
//
// A delta writes a bit for each group of fields (a car part; a car's hits
// and controls; a player's pose, weapon and match record; the match) and,
// for a changed group, a bit for each of its fields, then each field that
// changed: a whole-number one as the difference from the baseline's,
// zigzagged, in 7-bit groups, an orientation whole. A shot the baseline had, flown on
// by the ticks between, costs one bit. The client's input sequence and the
// ticks back to the baseline go in 7-bit groups too.

#include "math/quaternion.h"
#include "math/vector3.h"
#include "physics/car.h"
#include "sim/match.h"
#include "sim/player_command.h"
#include "sim/projectile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

struct SimWorld;

// Exact comparisons: a decoded snapshot equals the quantised one it came from.
inline bool sameVector(const Vector3& a, const Vector3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
inline bool sameQuaternion(const Quaternion& a, const Quaternion& b)
{
    return a.q[0] == b.q[0] && a.q[1] == b.q[1] && a.q[2] == b.q[2] && a.q[3] == b.q[3];
}

struct CarPartSnapshot {
    Vector3 position;
    Quaternion orientation;   // x, y, z, w (ODE keeps w first)
    Vector3 linearVelocity;   // units per simulated second
    Vector3 angularVelocity;  // radians per simulated second

    friend bool operator==(const CarPartSnapshot& a, const CarPartSnapshot& b)
    {
        return sameVector(a.position, b.position) && sameQuaternion(a.orientation, b.orientation) &&
               sameVector(a.linearVelocity, b.linearVelocity) && sameVector(a.angularVelocity, b.angularVelocity);
    }
};

struct CarSnapshot {
    std::array<CarPartSnapshot, kCarPartCount> parts{};
    std::array<std::uint8_t, kCarPartCount> hits{};  // 0 to 255
    std::uint8_t throttle = 0;  // the controls, for the engine's sound
    std::int8_t steer = 0;      // -127 to 127
    std::uint8_t brake = 0;

    friend bool operator==(const CarSnapshot&, const CarSnapshot&) = default;
};

struct PlayerSnapshot {
    Vector3 position;
    float yaw = 0.0f;
    float pitch = 0.0f;
    std::uint8_t gait = 0;
    bool inCar = false;
    std::uint8_t carIndex = 0;
    float animationMs = 0.0f;       // the walk's clock (SkeletonPose::currentTimeMs)
    float shotTimer = 0.0f;         // the muzzle flash
    bool targetLocked = false;      // the aim marker
    Vector3 targetPosition;
    // The match's record of the player (zero in free play).
    std::uint8_t hitsTaken = 0;
    float knockedOutSeconds = 0.0f;
    float protectionSeconds = 0.0f;
    std::uint8_t wheelsKnockedOff = 0;
    std::uint8_t knockOuts = 0;
    std::uint8_t timesKnockedOut = 0;

    friend bool operator==(const PlayerSnapshot& a, const PlayerSnapshot& b)
    {
        return sameVector(a.position, b.position) && a.yaw == b.yaw && a.pitch == b.pitch && a.gait == b.gait &&
               a.inCar == b.inCar && a.carIndex == b.carIndex && a.animationMs == b.animationMs &&
               a.shotTimer == b.shotTimer && a.targetLocked == b.targetLocked &&
               sameVector(a.targetPosition, b.targetPosition) && a.hitsTaken == b.hitsTaken &&
               a.knockedOutSeconds == b.knockedOutSeconds && a.protectionSeconds == b.protectionSeconds &&
               a.wheelsKnockedOff == b.wheelsKnockedOff && a.knockOuts == b.knockOuts &&
               a.timesKnockedOut == b.timesKnockedOut;
    }
};

struct ProjectileSnapshot {
    std::uint8_t slot = 0;          // its index in the world's pool
    std::uint8_t shooter = 0;
    bool locked = false;
    Vector3 muzzle;                 // where it was launched
    Vector3 launchVelocity;         // units per second
    std::uint32_t stepsFlown = 0;   // server ticks since launch, below kMaxProjectileSteps

    friend bool operator==(const ProjectileSnapshot& a, const ProjectileSnapshot& b)
    {
        return a.slot == b.slot && a.shooter == b.shooter && a.locked == b.locked && sameVector(a.muzzle, b.muzzle) &&
               sameVector(a.launchVelocity, b.launchVelocity) && a.stepsFlown == b.stepsFlown;
    }
};
// A client flies a shot this many steps at most (at 200 ticks a second,
// well over an hour); a capture leaves out any older.
inline constexpr std::uint32_t kMaxProjectileSteps = 1u << 20;

struct MatchSnapshot {
    bool running = false;           // false: free play, the rest is zero
    MatchPhase phase = MatchPhase::Countdown;
    std::uint8_t round = 0;
    float clock = 0.0f;
    float phaseSeconds = 0.0f;
    std::array<std::uint8_t, kTeamCount> scores{};
    std::array<std::uint8_t, kTeamCount> wheelsOff{};
    std::int8_t winner = -1;

    friend bool operator==(const MatchSnapshot&, const MatchSnapshot&) = default;
};

struct WorldSnapshot {
    std::uint32_t tick = 0;
    // The receiving client's newest input the server had applied by this
    // tick (its sequence; 0: none yet): what a client's prediction replays
    // on top. Set per client as it is sent, not by captureSnapshot.
    std::uint32_t inputSequence = 0;
    std::array<CarSnapshot, kCarCount> cars{};
    std::vector<PlayerSnapshot> players;         // the world's players, 1 to kMaxPlayers
    std::vector<ProjectileSnapshot> projectiles; // the live ones, by slot, ascending
    MatchSnapshot match;

    friend bool operator==(const WorldSnapshot&, const WorldSnapshot&) = default;
};

void captureSnapshot(const SimWorld& world, std::uint32_t tick, WorldSnapshot& out);
// Rounds every value to what the wire holds, so a captured snapshot compares
// equal to its decoded copy.
void quantiseSnapshot(WorldSnapshot& snapshot);
// Into a client's world: bodies placed, velocities set, wheels set free that
// the snapshot has free (a wheel free in the world but whole in the snapshot
// means a new round: the cars are rebuilt first), players, projectiles
// (flown from their launch by the world's own projectile step at
// tickSeconds a step) and the match. The world has its cars built and at
// least as many players.
void applySnapshot(const WorldSnapshot& snapshot, float tickSeconds, SimWorld& world);

// For a client that shows some of the world from another snapshot than the
// rest: one player and one car left as they are (-1: none), and the cars'
// make-up (wheels set free, a new round's rebuild) and the player count
// left to the last full apply, as an older snapshot must not undo them.
struct SnapshotOverlay {
    int keepPlayer = -1;
    int keepCar = -1;
};
void applySnapshotOverlay(const WorldSnapshot& snapshot, float tickSeconds, const SnapshotOverlay& overlay,
                          SimWorld& world);

// The world between a (at a.tick) and b (at b.tick, later) at tick, which
// lies between them: positions, velocities and clocks blended, orientations
// nlerped; what jumps (a respawn, a new round: more than kSnapshotJump
// apart, or kPlayerJump for a player on foot) and what does not blend (counts, flags, the match) taken from the
// nearer snapshot. Shots are b's flown back to tick, and a's that b no
// longer has while tick is nearer a.
inline constexpr float kSnapshotJump = 100.0f;  // units
// On foot a player runs at most kRunSpeed: in a few snapshot intervals, a
// few units. Further is a respawn beside the car, however near that is.
inline constexpr float kPlayerJump = 10.0f;
void interpolateSnapshots(const WorldSnapshot& a, const WorldSnapshot& b, std::uint32_t tick, WorldSnapshot& out);

// One car part's body as a snapshot holds it, and put back.
CarPartSnapshot carPartOf(const Car& car, int part);
void placeCarPart(Car& car, int part, const CarPartSnapshot& state);

// The wire: with a baseline (an earlier snapshot the client acknowledged),
// only what differs is written, and the packet names the baseline's tick;
// without, everything. A decode with a baseline tick needs that snapshot
// among history (else false).
void encodeSnapshot(const WorldSnapshot& snapshot, const WorldSnapshot* baseline, std::vector<std::uint8_t>& out);
bool decodeSnapshot(std::span<const std::uint8_t> bytes, std::span<const WorldSnapshot> history,
                    WorldSnapshot& out);
