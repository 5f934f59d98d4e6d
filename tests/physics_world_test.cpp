#include "car_rig.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(PhysicsAccumulator, StepsPerFrameFromEmpty)
{
    PhysicsWorld physics;
    createPhysicsWorld(physics);
    struct Case {
        float frameSeconds;
        int steps;
    };
    for (const Case c : {Case{0.004f, 0}, Case{0.01f, 1}, Case{0.1f, 19}, Case{0.5f, 100}, Case{1.0f, 200}}) {
        float accumulator = 0.0f;
        EXPECT_EQ(advancePhysics(physics, accumulator, c.frameSeconds), c.steps) << c.frameSeconds;
        EXPECT_GE(accumulator, 0.0f);
        EXPECT_LE(accumulator, 0.005f) << c.frameSeconds;
    }
    // What was not simulated waits for the next frame.
    float accumulator = 0.0f;
    advancePhysics(physics, accumulator, 0.004f);
    EXPECT_EQ(accumulator, 0.004f);
    EXPECT_EQ(advancePhysics(physics, accumulator, 0.004f), 1);
}

// A ball thrown hard at each wall in turn ends up inside the arena, on the floor.
TEST(PhysicsWorldPlanes, FloorAndWallsHoldABody)
{
    PhysicsWorld physics;
    createPhysicsWorld(physics);
    const float radius = 5.0f;
    dBodyID ball = dBodyCreate(physics.world);
    dMass mass;
    dMassSetSphereTotal(&mass, 1.0, radius);
    dBodySetMass(ball, &mass);
    dGeomID geom = dCreateSphere(physics.space, radius);
    dGeomSetBody(geom, ball);

    const float towardWall[4][3] = {{-200, 0, 0}, {200, 0, 0}, {0, 0, 200}, {0, 0, -200}};
    for (const auto& v : towardWall) {
        dBodySetPosition(ball, 900.0 * v[0] / 200.0, 50.0, 900.0 * v[2] / 200.0);
        dBodySetLinearVel(ball, v[0], -20.0, v[2]);
        dBodySetAngularVel(ball, 0, 0, 0);
        for (int i = 0; i < 400; ++i)
            stepPhysics(physics, kStepSeconds);
        const dReal* p = dBodyGetPosition(ball);
        EXPECT_LE(std::abs(p[0]), 1000.0 - radius + 0.5) << v[0] << " " << v[2];
        EXPECT_LE(std::abs(p[2]), 1000.0 - radius + 0.5) << v[0] << " " << v[2];
        EXPECT_GT(p[1], radius - 0.5);
    }
}

// Parts of one car may overlap as they like: only a shot-off wheel touches its car.
TEST(PhysicsContacts, PartsOfOneCarNeverTouch)
{
    CarParams params = shippedCarParams();
    params.chassisY = 200.0f;  // in the air, away from the floor
    params.wheelRadius = 6.0f;
    params.rearTrack = params.frontTrack = 0.0f;  // every wheel inside the chassis
    params.rearAxleX = params.frontAxleX = 2.0f;
    CarRig rig(params);
    Car& car = rig.cars[0];
    for (int part = 1; part < kCarPartCount; ++part)
        dBodySetPosition(car.bodies[part], 0.0, 201.0, 0.0);

    collidePhysics(rig.physics);
    EXPECT_EQ(contactJointsOn(car), 0);
    dJointGroupEmpty(rig.physics.contactGroup);

    for (int i = 0; i < kWheelDetachHits; ++i)
        car.hit(3);
    collidePhysics(rig.physics);
    // Every contact now has the loose wheel on one side.
    const int wheelContacts = contactJointsOn(car.bodies[3]);
    EXPECT_GT(wheelContacts, 0);
    EXPECT_EQ(contactJointsOn(car), 2 * wheelContacts);
    dJointGroupEmpty(rig.physics.contactGroup);
}

// Two cars on one spot whose wheels all overlap touch at far more than 20
// points; the pair still gets 20 joints, shared by all its parts.
TEST(PhysicsContacts, APairGetsAtMostTwentyJoints)
{
    CarParams params = shippedCarParams();
    params.wheelRadius = 6.0f;
    params.rearTrack = params.frontTrack = 10.0f;
    params.rearAxleX = params.frontAxleX = 5.0f;
    CarRig rig(params, false);
    for (Car& car : rig.cars)
        car.translate({0.0f, 300.0f, 0.0f});  // away from the floor

    dContact unlimited[64];
    const int touching = dCollide(reinterpret_cast<dGeomID>(rig.cars[0].carSpace),
                                  reinterpret_cast<dGeomID>(rig.cars[1].carSpace), 64, &unlimited[0].geom,
                                  sizeof(dContact));
    ASSERT_GT(touching, kMaxContactsPerPair);

    collidePhysics(rig.physics);
    EXPECT_EQ(contactJointsOn(rig.cars[0]), kMaxContactsPerPair);
    EXPECT_EQ(contactJointsOn(rig.cars[1]), kMaxContactsPerPair);
    dJointGroupEmpty(rig.physics.contactGroup);
}

TEST(PhysicsContacts, WheelOnFloorSurface)
{
    CarRig rig;
    rig.run(40);
    const Car& car = rig.cars[0];
    dContact contacts[kMaxContactsPerPair];
    const int n = findContacts(car.geoms[1], rig.physics.groundPlane, contacts);
    ASSERT_GE(n, 1);
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(contacts[i].geom.g1, car.geoms[1]);
        EXPECT_NEAR(contacts[i].geom.normal[1], 1.0, 1e-3);
    }
    // Through the car's own space the callback finds the same wheel.
    collidePhysics(rig.physics);
    EXPECT_GE(contactJointsOn(car.bodies[1]), 1);
    dJointGroupEmpty(rig.physics.contactGroup);
}

// What the floor's grip does: a car standing on flat ground stays where it
// stands, and a car sliding sideways across its wheels is slowed (the
// contacts slip by design, so it slides on a while).
TEST(PhysicsContacts, TheFloorHoldsAStandingCarAndBrakesARollingOne)
{
    CarRig rig;
    rig.run(40);  // settled on its wheels
    const Vector3 standing = rig.cars[0].partPosition(0);
    rig.run(400);  // ten real seconds
    const Vector3 later = rig.cars[0].partPosition(0);
    EXPECT_LT(std::hypot(later.x - standing.x, later.z - standing.z), 0.5f) << "the parked car crept";

    for (dBodyID body : rig.cars[0].bodies)
        dBodySetLinearVel(body, 0.0, 0.0, 20.0);  // sideways, across the wheels
    rig.run(1);
    const float rolling = speedOf(rig.cars[0]);
    rig.run(80);
    EXPECT_LT(speedOf(rig.cars[0]), 0.75f * rolling) << "the floor did not grip";
}

}  // namespace
