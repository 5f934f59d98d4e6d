#include "sim/weapon.h"

#include "assets/skinned_model.h"
#include "sim/player.h"
#include "math/matrix4.h"
#include "physics/car.h"

bool findTarget(std::span<const Car> cars, Vector3 viewer, Vector3 aim, int& car, int& part,
                Vector3& position, int leaveOut)
{
    const Vector3 a = normalize(aim);
    // Held as an integer on purpose: a candidate must beat the current
    // distance rounded down, which decides near-ties toward the earlier one.
    int best = 1000;
    bool found = false;
    int foundCar = 0;
    int foundPart = 0;
    Vector3 foundPosition;
    for (int c = 0; c < static_cast<int>(cars.size()); ++c) {
        const Car& candidate = cars[static_cast<std::size_t>(c)];
        if (c == leaveOut || !candidate.built())
            continue;
        for (int p = 0; p < kCarPartCount; ++p) {
            const Vector3 body = candidate.partPosition(p);
            Vector3 v = subtract(body, viewer);
            const float dist = magnitude(v);
            v = normalize(v);  // a body at the viewer gives NaN, which fails the cone test
            const float cosine = v.x * a.x + v.y * a.y + v.z * a.z;
            if (cosine > kTargetCosine && static_cast<float>(best) > dist && dist < kTargetRange) {
                found = true;
                foundCar = c;
                foundPart = p;
                foundPosition = body;
                best = static_cast<int>(dist);
            }
        }
    }
    if (!found)
        return false;
    car = foundCar;
    part = foundPart;
    position = foundPosition;
    return true;
}

bool fireWeapon(WeaponState& weapon, std::span<Projectile> projectiles, std::span<Car> cars,
                Vector3 muzzle, Vector3 velocity, int shooter)
{
    Projectile* free = nullptr;
    for (Projectile& p : projectiles) {
        if (!p.active) {
            free = &p;
            break;
        }
    }
    if (free == nullptr)
        return false;

    if (weapon.targetLocked) {
        const Vector3 toTarget = subtract(weapon.targetPosition, muzzle);
        const float distance = magnitude(toTarget);
        // A muzzle exactly at the target has no direction; a NaN velocity
        // would keep the projectile in the pool for ever (NaN is never below
        // the floor), so it keeps the gun's own velocity instead.
        if (distance > 0.0f) {
            const Vector3 d = divide(toTarget, distance);
            velocity = {d.x * kLockedShotSpeed, d.y * kLockedShotSpeed, d.z * kLockedShotSpeed};
        }
        // A locked player is hit by the match's step, which knows the teams.
        if (weapon.targetPlayer < 0)
            cars[static_cast<std::size_t>(weapon.targetCar)].hit(weapon.targetPart);
    }
    free->launch(muzzle, velocity, shooter);
    free->locked = weapon.targetLocked;
    weapon.shotOrigin = muzzle;
    weapon.shotTimer = kShotTimerStart;
    weapon.sinceShot = 0.0f;
    weapon.fireRequested = false;
    return true;
}

void handGunMuzzle(const SkinnedModel& playerModel, const SkeletonPose& pose, const Player& player,
                   Vector3& muzzle, Vector3& velocity)
{
    float p[3] = {kMuzzleInHand.x, kMuzzleInHand.y, kMuzzleInHand.z};
    float d[3] = {300.0f, 0.0f, 0.0f};
    playerModel.transformByJoint(pose, kGunJoint, d, false);
    playerModel.transformByJoint(pose, kGunJoint, p, true);

    playerModelToWorld(playerModelTransform(player), p, d, muzzle, velocity);
}

PlayerModelTransform playerModelTransform(const Player& player)
{
    return {player.position, kModelScale, kPlayerModelLift, player.yaw};
}

void playerModelToWorld(const PlayerModelTransform& transform, const float point[3], const float direction[3],
                        Vector3& worldPoint, Vector3& worldDirection)
{
    Matrix4 m;
    const float angles[3] = {0.0f, transform.yawDegrees, 0.0f};
    m.setEulerDegrees(angles);
    m.setTranslationPart(transform.lift.toArray().data());
    Vector4 p(point);
    p.transformPoint(m);
    Vector4 d(direction);
    d.transformDirection(m);
    const float s = transform.scale;
    worldPoint = add(Vector3{p[0] * s, p[1] * s, p[2] * s}, transform.position);
    worldDirection = {d[0], d[1], d[2]};
}

void carGunMuzzle(const Car& car, Vector3 chassisVelocity, Vector3& muzzle, Vector3& velocity)
{
    car.partToWorld(0, kCarGunMount, {500.0f, 5.0f, 0.0f}, muzzle, velocity);
    velocity = add(velocity, Vector3{10.0f * chassisVelocity.x, 10.0f * chassisVelocity.y,
                                     10.0f * chassisVelocity.z});
}

void applyRecoil(const WeaponState& weapon, Car& car)
{
    if (weapon.shotTimer > kRecoilAbove)
        car.pushPart(0, {-45.0f, 2.0f, 0.0f}, kCarGunMount);
}

void updateProjectiles(std::span<Projectile> projectiles, float dt)
{
    for (Projectile& p : projectiles)
        p.update(dt);
}

void runDownShotTimer(WeaponState& weapon, float dt)
{
    if (weapon.shotTimer > 0.0f)
        weapon.shotTimer -= dt;
}
