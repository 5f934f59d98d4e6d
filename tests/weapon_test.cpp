// The weapon: rate limit, the projectile pool, the auto-aim and its hits, on
// real cars in a real ODE world.
#include "assets/model_ms3d.h"
#include "car_rig.h"
#include "sim/player.h"
#include "game/scene.h"
#include "sim/weapon.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>

namespace {

using Pool = std::array<Projectile, kProjectileCount>;

void placeBody(Car& car, int part, Vector3 at) { dBodySetPosition(car.bodies[part], at.x, at.y, at.z); }

// Every body of both cars far out of range, so a test places only what it means.
void clearTheField(CarRig& rig)
{
    for (int c = 0; c < kCarCount; ++c)
        for (int p = 0; p < kCarPartCount; ++p)
            placeBody(rig.cars[static_cast<std::size_t>(c)], p, {5000.0f + 100.0f * static_cast<float>(p), 0.0f, 5000.0f * static_cast<float>(c + 1)});
}

struct Shots {
    int fired = 0;
    void step(WeaponState& weapon, Pool& pool, CarRig& rig, float dt)
    {
        weaponStep(
            weapon, dt,
            [this](Vector3& muzzle, Vector3& velocity) {
                ++fired;
                muzzle = {0.0f, 10.0f, 0.0f};
                velocity = {300.0f, 0.0f, 0.0f};
            },
            pool, rig.cars);
    }
};

TEST(Weapon, ShotsWaitForMoreThanTheIntervalAndManyClicksGiveOneShot)
{
    CarRig rig;
    Pool pool;
    WeaponState weapon;
    Shots shots;

    // The first shot waits too: sinceShot starts at 0.
    weapon.fireRequested = true;
    for (int i = 0; i < 5; ++i)
        shots.step(weapon, pool, rig, 0.1f);  // 0.1 .. 0.5 gathered
    EXPECT_EQ(shots.fired, 0);
    shots.step(weapon, pool, rig, 0.1f);      // 0.5 > 0.45: the shot
    EXPECT_EQ(shots.fired, 1);
    EXPECT_FALSE(weapon.fireRequested);
    EXPECT_EQ(weapon.sinceShot, 0.0f);
    EXPECT_EQ(weapon.shotTimer, kShotTimerStart);
    EXPECT_TRUE(pool[0].active);

    // Clicks in between are one request; the right button asks for nothing.
    for (int i = 0; i < 4; ++i) {
        weapon.fireRequested = true;
        shots.step(weapon, pool, rig, 0.1f);
    }
    EXPECT_EQ(shots.fired, 1);
    for (int i = 0; i < 3; ++i)
        shots.step(weapon, pool, rig, 0.1f);
    EXPECT_EQ(shots.fired, 2);
    EXPECT_TRUE(pool[1].active);
}

TEST(Weapon, AFullPoolDelaysTheShotUntilARecordIsFree)
{
    CarRig rig;
    Pool pool;
    for (Projectile& p : pool)
        p.launch({0.0f, 100.0f, 0.0f}, {});
    WeaponState weapon;
    weapon.fireRequested = true;
    weapon.sinceShot = 1.0f;
    EXPECT_FALSE(fireWeapon(weapon, pool, rig.cars, {1.0f, 2.0f, 3.0f}, {}));
    EXPECT_TRUE(weapon.fireRequested);
    EXPECT_EQ(weapon.sinceShot, 1.0f);
    EXPECT_EQ(weapon.shotTimer, 0.0f);

    pool[137].position.y = -1.0f;
    updateProjectiles(pool, 0.01f);  // 137 goes under the floor and is retired
    ASSERT_FALSE(pool[137].active);
    EXPECT_TRUE(fireWeapon(weapon, pool, rig.cars, {1.0f, 2.0f, 3.0f}, {}));
    EXPECT_TRUE(pool[137].active);
    EXPECT_EQ(pool[137].position.x, 1.0f);
}

TEST(Weapon, TheAutoAimLocksInsideTheConeAndRangeOnly)
{
    CarRig rig;
    clearTheField(rig);
    Car& car = rig.cars[1];
    const Vector3 viewer = {0.0f, 0.0f, 0.0f};
    const Vector3 aim = {0.0f, 0.0f, 2.0f};  // need not be a unit vector
    int targetCar = -1;
    int targetPart = -1;
    Vector3 position;

    placeBody(car, 3, {0.0f, 0.0f, 499.0f});
    ASSERT_TRUE(findTarget(rig.cars, viewer, aim, targetCar, targetPart, position, -1));
    EXPECT_EQ(targetCar, 1);
    EXPECT_EQ(targetPart, 3);
    EXPECT_FLOAT_EQ(position.z, 499.0f);

    placeBody(car, 3, {0.0f, 0.0f, 500.0f});
    targetCar = targetPart = -1;
    EXPECT_FALSE(findTarget(rig.cars, viewer, aim, targetCar, targetPart, position, -1));
    EXPECT_EQ(targetCar, -1);  // outputs left alone

    // cos 0.949 is outside the cone, 0.951 inside.
    const auto atCosine = [](float c) { return Vector3{100.0f * std::sqrt(1.0f - c * c), 0.0f, 100.0f * c}; };
    placeBody(car, 3, atCosine(0.949f));
    EXPECT_FALSE(findTarget(rig.cars, viewer, aim, targetCar, targetPart, position, -1));
    placeBody(car, 3, atCosine(0.951f));
    EXPECT_TRUE(findTarget(rig.cars, viewer, aim, targetCar, targetPart, position, -1));

    // The best distance is an integer: 100.2 does not beat 100.7 (best 100),
    // 99.9 does.
    placeBody(car, 0, {0.0f, 0.0f, 100.7f});
    placeBody(car, 3, {0.0f, 0.0f, 100.2f});
    ASSERT_TRUE(findTarget(rig.cars, viewer, aim, targetCar, targetPart, position, -1));
    EXPECT_EQ(targetPart, 0);
    placeBody(car, 4, {0.0f, 0.0f, 99.9f});
    ASSERT_TRUE(findTarget(rig.cars, viewer, aim, targetCar, targetPart, position, -1));
    EXPECT_EQ(targetPart, 4);

    // The car left out (the one being driven) is never locked.
    EXPECT_FALSE(findTarget(rig.cars, viewer, aim, targetCar, targetPart, position, 1));
    placeBody(rig.cars[0], 2, {0.0f, 0.0f, 300.0f});
    ASSERT_TRUE(findTarget(rig.cars, viewer, aim, targetCar, targetPart, position, 1));
    EXPECT_EQ(targetCar, 0);
    EXPECT_EQ(targetPart, 2);
}

TEST(Weapon, ALockedShotFliesAt800AndHitsAtOnceAndTheThirdHitFreesAWheel)
{
    CarRig rig;
    Pool pool;
    WeaponState weapon;
    // From 60 units out on the wheel's side, the other bodies are farther.
    const Vector3 wheel = rig.cars[1].partPosition(1);
    const Vector3 muzzle = add(wheel, Vector3{0.0f, 0.0f, 60.0f});
    weapon.targetLocked = findTarget(rig.cars, muzzle, subtract(wheel, muzzle), weapon.targetCar,
                                     weapon.targetPart, weapon.targetPosition, -1);
    ASSERT_TRUE(weapon.targetLocked);
    ASSERT_EQ(weapon.targetCar, 1);
    ASSERT_EQ(weapon.targetPart, 1);

    for (int shot = 1; shot <= 4; ++shot) {
        ASSERT_TRUE(fireWeapon(weapon, pool, rig.cars, muzzle, {300.0f, 0.0f, 0.0f}));
        const Projectile& p = pool[static_cast<std::size_t>(shot - 1)];
        EXPECT_NEAR(magnitude(p.velocity), 800.0f, 0.01f);
        const Vector3 along = normalize(subtract(weapon.targetPosition, muzzle));
        const Vector3 flying = normalize(p.velocity);
        EXPECT_NEAR(along.x * flying.x + along.y * flying.y + along.z * flying.z, 1.0f, 1e-5f);
        EXPECT_EQ(rig.cars[1].hits[1], shot);
        EXPECT_EQ(rig.cars[1].wheelDetached(1), shot >= 3) << "after shot " << shot;
    }
    rig.run(20);  // the loose wheel collides with everything without trouble
    EXPECT_TRUE(rig.cars[1].wheelDetached(1));

    // Without a lock the gun's own velocity is kept and nothing is hit.
    weapon.targetLocked = false;
    ASSERT_TRUE(fireWeapon(weapon, pool, rig.cars, muzzle, {300.0f, 0.0f, 0.0f}));
    EXPECT_EQ(pool[4].velocity.x, 300.0f);
    EXPECT_EQ(rig.cars[1].hits[1], 4);
}

TEST(Weapon, MuzzlesFollowTheYawAndTheCarsVelocity)
{
    // No joint 37 in an empty model: the point stays in the model frame.
    ModelMs3d noSkeleton;
    Player player;
    player.position = {100.0f, 0.0f, 50.0f};
    player.yaw = 180.0f;
    Vector3 muzzle;
    Vector3 velocity;
    handGunMuzzle(noSkeleton, noSkeleton.ownPose, player, muzzle, velocity);
    // (20, 2, 5) turned half round, lifted by 35, a quarter of the size.
    EXPECT_NEAR(muzzle.x, 100.0f - 5.0f, 1e-4f);
    EXPECT_NEAR(muzzle.y, 37.0f * 0.25f, 1e-4f);
    EXPECT_NEAR(muzzle.z, 50.0f - 1.25f, 1e-4f);
    EXPECT_NEAR(velocity.x, -300.0f, 1e-3f);
    EXPECT_NEAR(velocity.z, 0.0f, 1e-3f);

    CarRig rig;
    Vector3 still;
    Vector3 stillVelocity;
    carGunMuzzle(rig.cars[0], {}, still, stillVelocity);
    carGunMuzzle(rig.cars[0], {1.0f, 2.0f, -3.0f}, muzzle, velocity);
    EXPECT_EQ(muzzle.x, still.x);
    EXPECT_NEAR(velocity.x - stillVelocity.x, 10.0f, 1e-3f);
    EXPECT_NEAR(velocity.y - stillVelocity.y, 20.0f, 1e-3f);
    EXPECT_NEAR(velocity.z - stillVelocity.z, -30.0f, 1e-3f);
    EXPECT_NEAR(magnitude(stillVelocity), std::sqrt(500.0f * 500.0f + 25.0f), 0.01f);
}

TEST(Weapon, TheCarGunKicksTheChassisAtItsMountInTheChassisFrameOnlyRightAfterAShot)
{
    CarRig rig;
    Car& car = rig.cars[0];
    // A quarter turn about y tells a force in the chassis frame from one in the world's.
    dMatrix3 r;
    dRFromAxisAndAngle(r, 0.0, 1.0, 0.0, std::numbers::pi / 2.0);
    dBodySetRotation(car.bodies[0], r);
    auto vectorOf = [](const dReal* v) {
        return Vector3{static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])};
    };

    WeaponState weapon;
    weapon.shotTimer = kRecoilAbove;  // strictly above only
    applyRecoil(weapon, car);
    EXPECT_EQ(magnitude(vectorOf(dBodyGetForce(car.bodies[0]))), 0.0f);

    weapon.shotTimer = kShotTimerStart;
    applyRecoil(weapon, car);
    // (-45, 2, 0) at the mount (2, 6, -1), chassis x turned to world -z.
    const Vector3 force = vectorOf(dBodyGetForce(car.bodies[0]));
    EXPECT_NEAR(force.x, 0.0f, 1e-4f);
    EXPECT_NEAR(force.y, 2.0f, 1e-4f);
    EXPECT_NEAR(force.z, 45.0f, 1e-4f);
    // The mount crossed with the force, (2, 45, 274) in the chassis frame.
    const Vector3 torque = vectorOf(dBodyGetTorque(car.bodies[0]));
    EXPECT_NEAR(torque.x, 274.0f, 1e-3f);
    EXPECT_NEAR(torque.y, 45.0f, 1e-3f);
    EXPECT_NEAR(torque.z, -2.0f, 1e-3f);
}

TEST(Weapon, TheFlashRunsFrames0To14OverHalfASecondAndNeverPastTheLast)
{
    EXPECT_EQ(fireFrameAt(0.5f), 0);
    EXPECT_EQ(fireFrameAt(0.49f), 0);
    EXPECT_EQ(fireFrameAt(0.25f), 7);
    EXPECT_EQ(fireFrameAt(0.034f), 13);
    EXPECT_EQ(fireFrameAt(0.033f), 14);
    // So close to 0 that 1 - t / 0.5 rounds to 1 in floats.
    EXPECT_EQ(fireFrameAt(1e-9f), 14);
    int last = 0;
    for (float t = 0.5f; t > 0.0f; t -= 0.016f) {
        EXPECT_GE(fireFrameAt(t), last);
        last = fireFrameAt(t);
    }
    EXPECT_EQ(last, 14);
}

}  // namespace
