#pragma once
// The simulated world and its one step. Everything that decides what
// happens in the game lives here and nothing that shows it: the physics
// world with the two cars, the players (on foot or driving, each with a
// weapon and a pose of the shared player model), and the projectiles. It
// links no OpenGL, no SDL and no sound, so a test, a tool or a server can run
// the game with no window.
//
// stepWorld takes every player's command for the frame and the frame's real
// seconds, changes the world, and reports what happened as events.

#include "assets/skinned_model.h"
#include "physics/car.h"
#include "physics/physics_world.h"
#include "sim/match.h"
#include "sim/player.h"
#include "sim/player_command.h"
#include "sim/projectile.h"
#include "sim/step_events.h"
#include "sim/weapon.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Where the second car stands, from the first (both are built at the car
// file's own coordinates).
inline constexpr Vector3 kSecondCarOffset = {400.0f, 14.0f, 200.0f};

// A crash: the chassis's velocity changing by more than this in one frame.
// Driving over the grass, bumps and the gun's recoil stay well below; a wall
// or the other car stops a car at once. Units per simulated second.
inline constexpr float kCrashThreshold = 25.0f;
inline constexpr float kCrashFullChange = 60.0f;  // strength 1 from this change on
inline constexpr float kCrashCooldownSeconds = 0.3f;  // one crash, not one a frame while it grinds

struct SimPlayer {
    Player body;
    WeaponState weapon;
    float enterCooldown = 0.0f;  // seconds before the enter/leave control counts again
    Vector3 chassisVelocity;     // while driving: the driven chassis's, units per simulated second
    SkeletonPose pose;           // this player's walk, in the shared player model
    int footstep = -1;           // half walk cycles done, to place footsteps; -1 standing
    std::string name;            // shown on the scoreboard; empty: "P" and the number
};

struct SimWorld {
    // One player until addSimPlayers says how many: every game has at least one.
    SimWorld() : players(1) {}
    SimWorld(const SimWorld&) = delete;
    SimWorld& operator=(const SimWorld&) = delete;

    // Declared before the cars: the cars' ODE objects go with the world.
    PhysicsWorld physics;
    float physicsAccumulator = 0.0f;  // real seconds not yet simulated
    std::array<Car, kCarCount> cars;
    std::vector<SimPlayer> players;
    std::array<Projectile, kProjectileCount> projectiles;
    // The player model's skeleton and walk, shared by every player; not
    // owned, and may be empty (a model that could not be read).
    const SkinnedModel* playerModel = nullptr;

    // What the crash watch keeps from one step to the next.
    std::array<Vector3, kCarCount> lastChassisVelocity{};
    std::array<float, kCarCount> crashCooldown{};
    std::uint64_t steps = 0;  // stepWorld calls so far
    // The match's rules and state while one runs (startMatch); free play without.
    std::optional<MatchState> match;
};

// The physics world, before anything is put in it.
void createSimWorld(SimWorld& world);
// Both cars from the car file, the second moved beside the first. False with
// reason when the file cannot give them (nothing usable is left then).
bool buildSimCars(SimWorld& world, const char* carFileName, std::string& reason);
// Where each player after the first starts, in a row from the first (who
// starts at the origin): apart, and beyond a car's reach.
inline constexpr Vector3 kPlayerStartStep = {0.0f, 0.0f, -30.0f};

// count players (1 to kMaxPlayers) on foot in a row from the origin, facing
// the start yaw, each with its pose restarted in model (which the world keeps
// pointing at).
void addSimPlayers(SimWorld& world, int count, const SkinnedModel& model);

// One frame: the driven cars' controls, the physics steps the frame's real
// seconds buy, then each player in order (look, fire, move and aim, get in
// or out), the projectiles, the footsteps and the crash watch. commands[i]
// is player i's; a player without one stands still. Events are appended to
// events. Returns the physics steps taken.
int stepWorld(SimWorld& world, std::span<const PlayerCommand> commands, float dt, StepEvents& events);

// What the game calls player index: their name, or "P" and their number
// (from 1) when they have none.
std::string shownPlayerName(const SimWorld& world, int index);

// The index of the player driving car, or -1.
int driverOf(const SimWorld& world, int car);
