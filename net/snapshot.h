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
// - timers: 1/1000 s in 16 bits, clamped.
// Projectiles are sent as their launch (muzzle, velocity, shooter) and the
// steps flown since: their flight is exact arithmetic the client repeats.

#include "math/quaternion.h"
#include "math/vector3.h"
#include "physics/car.h"
#include "sim/match.h"
#include "sim/player_command.h"
#include "sim/projectile.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

struct SimWorld;

struct CarPartSnapshot {
    Vector3 position;
    Quaternion orientation;   // x, y, z, w (ODE keeps w first)
    Vector3 linearVelocity;   // units per simulated second
    Vector3 angularVelocity;  // radians per simulated second
};

struct CarSnapshot {
    std::array<CarPartSnapshot, kCarPartCount> parts{};
    std::array<std::uint8_t, kCarPartCount> hits{};  // 0 to 255
    std::uint8_t throttle = 0;  // the controls, for the engine's sound
    std::int8_t steer = 0;      // -127 to 127
    std::uint8_t brake = 0;
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
};

struct ProjectileSnapshot {
    std::uint8_t slot = 0;          // its index in the world's pool
    std::uint8_t shooter = 0;
    bool locked = false;
    Vector3 muzzle;                 // where it was launched
    Vector3 launchVelocity;         // units per second
    std::uint16_t stepsFlown = 0;   // server ticks since launch
};

struct MatchSnapshot {
    bool running = false;           // false: free play, the rest is zero
    MatchPhase phase = MatchPhase::Countdown;
    std::uint8_t round = 0;
    float clock = 0.0f;
    float phaseSeconds = 0.0f;
    std::array<std::uint8_t, kTeamCount> scores{};
    std::array<std::uint8_t, kTeamCount> wheelsOff{};
    std::int8_t winner = -1;
};

struct WorldSnapshot {
    std::uint32_t tick = 0;
    std::array<CarSnapshot, kCarCount> cars{};
    std::vector<PlayerSnapshot> players;         // the world's players, 1 to kMaxPlayers
    std::vector<ProjectileSnapshot> projectiles; // the live ones, by slot
    MatchSnapshot match;
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

// The wire: with a baseline (an earlier snapshot the client acknowledged),
// only what differs is written, and the packet names the baseline's tick;
// without, everything. A decode with a baseline tick needs that snapshot
// among history (else false).
void encodeSnapshot(const WorldSnapshot& snapshot, const WorldSnapshot* baseline, std::vector<std::uint8_t>& out);
bool decodeSnapshot(std::span<const std::uint8_t> bytes, std::span<const WorldSnapshot> history,
                    WorldSnapshot& out);
