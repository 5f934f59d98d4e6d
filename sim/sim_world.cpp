#include "sim/sim_world.h"

#include "sim/driving.h"

#include <algorithm>
#include <cmath>

namespace {

float ramp(float value, float from, float to) { return std::clamp((value - from) / (to - from), 0.0f, 1.0f); }

// Which cars someone drives now.
std::array<bool, kCarCount> carsTaken(const SimWorld& world)
{
    std::array<bool, kCarCount> taken{};
    for (const SimPlayer& p : world.players)
        if (p.body.inCar && p.body.carIndex >= 0 && p.body.carIndex < kCarCount)
            taken[static_cast<std::size_t>(p.body.carIndex)] = true;
    return taken;
}

void applyCarControls(SimWorld& world, std::span<const PlayerCommand> commands)
{
    std::array<DriverInput, kMaxPlayers> drivers;
    const std::size_t count = std::min(world.players.size(), drivers.size());
    for (std::size_t i = 0; i < count; ++i) {
        drivers[i].player = &world.players[i].body;
        drivers[i].controls = i < commands.size() ? driveControlsOf(commands[i]) : DriveControls{};
    }
    applyDriverControls(world.cars, std::span<const DriverInput>(drivers.data(), count));
}

// A shot that went out, and what it hit: the events in the order they
// happened (the shot, the hit, the wheel it set free).
void reportShot(SimWorld& world, int index, int fromCar, bool locked, int car, int part, bool wasOff,
                StepEvents& events)
{
    const SimPlayer& shooter = world.players[static_cast<std::size_t>(index)];
    events.add({StepEventKind::ShotFired, index, fromCar, -1, 0.0f, shooter.weapon.shotOrigin});
    if (!locked)
        return;
    const Car& target = world.cars[static_cast<std::size_t>(car)];
    events.add({StepEventKind::PartHit, index, car, part, 0.0f, target.partPosition(part)});
    if (!wasOff && target.wheelDetached(part))
        events.add({StepEventKind::WheelOff, index, car, part, 0.0f, target.partPosition(part)});
}

// The weapon step with what it needs to report: the lock as it stood when
// the shot left.
template <typename MuzzleFn>
void stepWeapon(SimWorld& world, int index, float dt, int fromCar, MuzzleFn muzzle, StepEvents& events)
{
    WeaponState& weapon = world.players[static_cast<std::size_t>(index)].weapon;
    const bool locked = weapon.targetLocked;
    const int car = weapon.targetCar;
    const int part = weapon.targetPart;
    const int player = weapon.targetPlayer;
    if (locked && player >= 0) {
        if (weaponStep(weapon, dt, muzzle, world.projectiles, world.cars, index)) {
            reportShot(world, index, fromCar, false, car, part, false, events);
            hitPlayer(world, index, player, events);
        }
        return;
    }
    const bool wasOff = locked && world.cars[static_cast<std::size_t>(car)].wheelDetached(part);
    if (weaponStep(weapon, dt, muzzle, world.projectiles, world.cars, index))
        reportShot(world, index, fromCar, locked, car, part, wasOff, events);
}

// In a match the aim also takes enemy players on foot, and never the own
// team's car (nor the car driven); the nearer of the part and the player wins.
bool aim(SimWorld& world, int index, Vector3 viewer, Vector3 direction, int leaveOut)
{
    WeaponState& weapon = world.players[static_cast<std::size_t>(index)].weapon;
    weapon.targetPlayer = -1;
    if (!world.match)
        return findTarget(world.cars, viewer, direction, weapon.targetCar, weapon.targetPart,
                          weapon.targetPosition, leaveOut);
    const int ownCar = index % kTeamCount;
    bool found = false;
    float best = 0.0f;
    for (int c = 0; c < kCarCount; ++c) {
        if (c == ownCar || c == leaveOut)
            continue;
        int car = 0;
        int part = 0;
        Vector3 at;
        if (findTarget(std::span<const Car>(&world.cars[static_cast<std::size_t>(c)], 1), viewer, direction, car,
                       part, at, -1)) {
            const float d = magnitude(subtract(at, viewer));
            if (!found || d < best) {
                found = true;
                best = d;
                weapon.targetCar = c;
                weapon.targetPart = part;
                weapon.targetPosition = at;
            }
        }
    }
    int player = -1;
    Vector3 at;
    if (findPlayerTarget(world, index, viewer, direction, player, at) &&
        (!found || magnitude(subtract(at, viewer)) < best)) {
        weapon.targetPlayer = player;
        weapon.targetPosition = at;
        found = true;
    }
    return found;
}

void moveAndAimOnFoot(SimWorld& world, int index, float dt, const PlayerCommand& command, StepEvents& events)
{
    SimPlayer& p = world.players[static_cast<std::size_t>(index)];
    const SkinnedModel& model = *world.playerModel;
    p.body.updateOnFoot(dt, walkControlsOf(command), model, p.pose);

    WeaponState& weapon = p.weapon;
    weapon.targetLocked = aim(world, index, p.body.position, p.body.facing, -1);
    stepWeapon(
        world, index, dt, -1,
        [&model, &p](Vector3& muzzle, Vector3& velocity) { handGunMuzzle(model, p.pose, p.body, muzzle, velocity); },
        events);
}

void moveAndAimInCar(SimWorld& world, int index, float dt, StepEvents& events)
{
    SimPlayer& p = world.players[static_cast<std::size_t>(index)];
    Car& car = world.cars[static_cast<std::size_t>(p.body.carIndex)];
    updateDrivingView(car, p.body, p.chassisVelocity);

    WeaponState& weapon = p.weapon;
    weapon.targetLocked = aim(world, index, p.body.viewerPosition, p.body.viewerDirection, p.body.carIndex);
    stepWeapon(
        world, index, dt, p.body.carIndex,
        [&car, &p](Vector3& muzzle, Vector3& velocity) { carGunMuzzle(car, p.chassisVelocity, muzzle, velocity); },
        events);
    applyRecoil(weapon, car);
}

void enterOrLeave(SimWorld& world, int index, float dt, bool held, StepEvents& events)
{
    SimPlayer& p = world.players[static_cast<std::size_t>(index)];
    std::array<bool, kCarCount> taken = carsTaken(world);
    if (p.body.inCar)
        taken[static_cast<std::size_t>(p.body.carIndex)] = false;  // its own seat
    const CarDoor door = enterOrLeaveCar(world.cars, p.body, p.enterCooldown, held, dt, taken);
    if (door == CarDoor::None)
        return;
    const Car& car = world.cars[static_cast<std::size_t>(p.body.carIndex)];
    events.add({door == CarDoor::Entered ? StepEventKind::EnteredCar : StepEventKind::LeftCar, index,
                p.body.carIndex, -1, 0.0f, car.partPosition(0)});
}

// Two steps to a walk cycle; the cycle runs faster when running, so do the
// steps. A first step as the walk starts, then one each half cycle.
void footsteps(SimWorld& world, int index, StepEvents& events)
{
    SimPlayer& p = world.players[static_cast<std::size_t>(index)];
    const SkinnedModel& model = *world.playerModel;
    const bool walking = !p.body.inCar && p.body.gait > 0;
    const double cycle = model.totalTimeMs - model.startTimeMs;
    int step = 0;
    if (walking && cycle > 0.0)
        step = static_cast<int>(std::floor((p.pose.currentTimeMs - model.startTimeMs) * 2.0 / cycle));
    if (walking && (p.footstep < 0 || step != p.footstep))
        events.add({StepEventKind::Footstep, index, -1, -1, p.body.gait > 1 ? 1.0f : 0.0f, p.body.position});
    p.footstep = walking ? step : -1;
}

// A chassis whose velocity changed sharply since the last step crashed; one
// crash per car until the cooldown has run out. Nothing to compare with on
// the first step.
void watchForCrashes(SimWorld& world, float dt, StepEvents& events)
{
    for (int c = 0; c < kCarCount; ++c) {
        const Car& car = world.cars[static_cast<std::size_t>(c)];
        if (!car.built())
            continue;
        float& cooldown = world.crashCooldown[static_cast<std::size_t>(c)];
        Vector3& last = world.lastChassisVelocity[static_cast<std::size_t>(c)];
        const Vector3 velocity = car.partVelocity(0);
        cooldown = std::max(0.0f, cooldown - dt);
        const float change = magnitude(subtract(velocity, last));
        if (world.steps > 0 && change > kCrashThreshold && cooldown <= 0.0f) {
            events.add({StepEventKind::Crash, -1, c, 0, ramp(change, kCrashThreshold, kCrashFullChange),
                        car.partPosition(0)});
            cooldown = kCrashCooldownSeconds;
        }
        last = velocity;
    }
}

}  // namespace

WalkControls walkControlsOf(const PlayerCommand& command)
{
    WalkControls keys;
    keys.forward = command.forward;
    keys.left = command.left;
    keys.back = command.back;
    keys.right = command.right;
    keys.run = command.run;
    keys.stickForward = command.stickForward;
    keys.stickLeft = command.stickLeft;
    return keys;
}

DriveControls driveControlsOf(const PlayerCommand& command)
{
    DriveControls keys;
    keys.left = command.left;
    keys.right = command.right;
    keys.throttle = command.forward;
    keys.brake = command.back;
    keys.steerAxis = command.steer;
    keys.throttleAmount = command.throttle;
    keys.brakeAmount = command.brake;
    return keys;
}

void createSimWorld(SimWorld& world) { createPhysicsWorld(world.physics); }

bool buildSimCars(SimWorld& world, const char* carFileName, std::string& reason)
{
    for (Car& car : world.cars)
        if (!car.build(carFileName, world.physics.world, world.physics.space, &reason))
            return false;
    world.cars[1].translate(kSecondCarOffset);
    return true;
}

void addSimPlayers(SimWorld& world, int count, const SkinnedModel& model)
{
    world.playerModel = &model;
    world.players.clear();
    world.players.resize(static_cast<std::size_t>(std::clamp(count, 1, kMaxPlayers)));
    for (std::size_t i = 0; i < world.players.size(); ++i) {
        SimPlayer& p = world.players[i];
        // The first stays exactly at the origin (a product with 0 would give -0).
        const float step = static_cast<float>(i);
        if (i > 0)
            p.body.position = {kPlayerStartStep.x * step, kPlayerStartStep.y * step, kPlayerStartStep.z * step};
        p.body.yaw = kStartYawDegrees;
        model.restartAnimation(p.pose);
    }
}

std::string shownPlayerName(const SimWorld& world, int index)
{
    if (index >= 0 && static_cast<std::size_t>(index) < world.players.size() &&
        !world.players[static_cast<std::size_t>(index)].name.empty())
        return world.players[static_cast<std::size_t>(index)].name;
    return "P" + std::to_string(index + 1);
}

int driverOf(const SimWorld& world, int car)
{
    for (std::size_t i = 0; i < world.players.size(); ++i)
        if (world.players[i].body.inCar && world.players[i].body.carIndex == car)
            return static_cast<int>(i);
    return -1;
}

int stepWorld(SimWorld& world, std::span<const PlayerCommand> commands, float dt, StepEvents& events)
{
    const std::size_t firstEvent = events.size();
    std::array<PlayerCommand, kMaxPlayers> allowed{};
    if (world.match) {
        const std::size_t count = std::min(world.players.size(), allowed.size());
        filterMatchCommands(world, commands, std::span<PlayerCommand>(allowed.data(), count));
        commands = std::span<const PlayerCommand>(allowed.data(), count);
    }
    applyCarControls(world, commands);
    const int steps = advancePhysics(world.physics, world.physicsAccumulator, dt);

    const int count = static_cast<int>(world.players.size());
    for (int i = 0; i < count; ++i) {
        const PlayerCommand command =
            static_cast<std::size_t>(i) < commands.size() ? commands[static_cast<std::size_t>(i)] : PlayerCommand{};
        SimPlayer& p = world.players[static_cast<std::size_t>(i)];
        p.body.yaw += command.lookYaw;
        p.body.pitch += command.lookPitch;
        if (command.fire)
            p.weapon.fireRequested = true;
        if (!p.body.inCar)
            moveAndAimOnFoot(world, i, dt, command, events);
        else
            moveAndAimInCar(world, i, dt, events);
        enterOrLeave(world, i, dt, command.enterLeave, events);
    }
    std::array<Vector3, kProjectileCount> before;
    if (world.match)
        for (std::size_t k = 0; k < before.size(); ++k)
            before[k] = world.projectiles[k].position;
    updateProjectiles(world.projectiles, dt);
    if (world.match)
        hitPlayersOnPaths(world, before, events);
    for (SimPlayer& p : world.players)
        runDownShotTimer(p.weapon, dt);
    for (int i = 0; i < count; ++i)
        footsteps(world, i, events);
    watchForCrashes(world, dt, events);
    if (world.match)
        stepMatch(world, dt, firstEvent, events);
    ++world.steps;
    return steps;
}
