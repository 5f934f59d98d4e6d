#include "car_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <string>

namespace {

constexpr float kTol = 1e-4f;

void expectAt(Vector3 v, float x, float y, float z, float tol = kTol)
{
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

Vector3 toVector(const dReal* v)
{
    return {static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])};
}

CarParams distinctParams()
{
    CarParams p;
    p.chassisSizeX = 30;
    p.chassisSizeY = 8;
    p.chassisSizeZ = 16;
    p.chassisX = 1.5f;
    p.chassisY = 7;
    p.chassisZ = -0.5f;
    p.wheelRadius = 4.5f;
    p.rearTrack = 22;
    p.frontTrack = 18;
    p.rearAxleX = 11;
    p.frontAxleX = 9;
    return p;
}

TEST(CarBuild, LayoutOfBodiesJointsAndSpace)
{
    CarRig rig(distinctParams(), false);
    const Car& car = rig.cars[0];

    expectAt(car.partPosition(0), 1.5f, 8.0f, -0.5f);
    expectAt(car.partPosition(1), -11.0f, 5.5f, 11.0f);
    expectAt(car.partPosition(2), -11.0f, 5.5f, -11.0f);
    expectAt(car.partPosition(3), 9.0f, 5.5f, 9.0f);
    expectAt(car.partPosition(4), 9.0f, 5.5f, -9.0f);

    // Wheels 2 and 4 are turned half round about x: y and z flip.
    for (int part = 0; part < kCarPartCount; ++part) {
        const dReal* r = dBodyGetRotation(car.bodies[part]);
        const float flip = (part == 2 || part == 4) ? -1.0f : 1.0f;
        EXPECT_NEAR(r[0], 1.0, kTol) << part;
        EXPECT_NEAR(r[5], flip, kTol) << part;
        EXPECT_NEAR(r[10], flip, kTol) << part;
    }

    for (int k = 0; k < kCarJointCount; ++k) {
        const dJointID joint = car.joints[k];
        EXPECT_EQ(dJointGetType(joint), dJointTypeHinge2);
        EXPECT_EQ(dJointGetBody(joint, 0), car.bodies[0]);
        EXPECT_EQ(dJointGetBody(joint, 1), car.bodies[k + 1]);
        dVector3 v;
        dJointGetHinge2Anchor(joint, v);
        const Vector3 wheel = car.partPosition(k + 1);
        expectAt(toVector(v), wheel.x, wheel.y, wheel.z);
        dJointGetHinge2Axis1(joint, v);
        expectAt(toVector(v), 0, 1, 0);
        dJointGetHinge2Axis2(joint, v);
        expectAt(toVector(v), 0, 0, 1);
    }

    // The five geometries sit in the car's own space, which sits in the hash space.
    EXPECT_EQ(dGeomGetSpace(reinterpret_cast<dGeomID>(car.carSpace)), rig.physics.space);
    EXPECT_EQ(dSpaceGetCleanup(car.carSpace), 0);
    ASSERT_EQ(dSpaceGetNumGeoms(car.carSpace), kCarPartCount);
    for (int part = 0; part < kCarPartCount; ++part) {
        EXPECT_EQ(dGeomGetSpace(car.geoms[part]), car.carSpace);
        EXPECT_EQ(dGeomGetBody(car.geoms[part]), car.bodies[part]);
    }
    EXPECT_EQ(dGeomGetClass(car.geoms[0]), dBoxClass);
    dVector3 sides;
    dGeomBoxGetLengths(car.geoms[0], sides);
    expectAt(toVector(sides), 30, 8, 16);
    EXPECT_FLOAT_EQ(static_cast<float>(dGeomSphereGetRadius(car.geoms[3])), 4.5f);
}

TEST(CarBuild, BothCarsSettleOnTheirWheels)
{
    CarRig rig;
    rig.run(160);  // four real seconds
    const float radius = rig.cars[0].params.wheelRadius;
    for (const Car& car : rig.cars) {
        for (int part = 1; part < kCarPartCount; ++part)
            EXPECT_NEAR(car.partPosition(part).y, radius, 0.1f) << part;
        const Vector3 chassis = car.partPosition(0);
        EXPECT_GT(chassis.y - car.params.chassisSizeY / 2, 0.5f);  // the body rides clear of the floor
        Vector3 point, up;
        car.partToWorld(0, {}, {0, 1, 0}, point, up);
        EXPECT_GT(up.y, 0.99f);
        EXPECT_LT(speedOf(car), 0.5f);
    }
    // The suspension is soft and barely damped: the chassis still bobs a little.
    const Vector3 apart = subtract(rig.cars[1].partPosition(0), rig.cars[0].partPosition(0));
    EXPECT_NEAR(apart.x, 400.0f, 0.2f);
    EXPECT_NEAR(apart.z, 200.0f, 0.2f);
}

TEST(CarPose, PartToWorldAndPose)
{
    CarRig rig(distinctParams(), false);
    Car& car = rig.cars[0];
    // A quarter turn about y takes the car's +x to world -z.
    dMatrix3 r;
    dRFromAxisAndAngle(r, 0, 1, 0, std::numbers::pi / 2);
    dBodySetRotation(car.bodies[0], r);
    dBodySetPosition(car.bodies[0], 10, 20, 30);
    Vector3 point, direction;
    car.partToWorld(0, {1, 2, 3}, {1, 0, 0}, point, direction);
    expectAt(point, 13, 22, 29);
    expectAt(direction, 0, 0, -1);

    // The pose matrix is column-major: x axis, y axis, z axis, position.
    float m[16];
    car.partPose(0, m);
    EXPECT_NEAR(m[2], -1.0f, kTol);
    EXPECT_NEAR(m[5], 1.0f, kTol);
    EXPECT_NEAR(m[8], 1.0f, kTol);
    EXPECT_EQ(m[12], 10.0f);
    EXPECT_EQ(m[13], 20.0f);
    EXPECT_EQ(m[14], 30.0f);
    EXPECT_EQ(m[3], 0.0f);
    EXPECT_EQ(m[15], 1.0f);
}

// --- Driving ---

float steeringAngle(const Car& car) { return static_cast<float>(dJointGetHinge2Angle1(car.joints[2])); }

// Turns a whole car about the world's y axis through the origin.
void turnCar(Car& car, double radians)
{
    dMatrix3 turn;
    dRFromAxisAndAngle(turn, 0, 1, 0, radians);
    for (dBodyID body : car.bodies) {
        dVector3 p;
        dMultiply0_331(p, turn, dBodyGetPosition(body));
        dBodySetPosition(body, p[0], p[1], p[2]);
        dMatrix3 r;
        dMultiply0_333(r, turn, dBodyGetRotation(body));
        dBodySetRotation(body, r);
    }
}

TEST(CarDriving, ThrottleMovesAlongTheCarsOwnX)
{
    CarRig rig;
    Car& car = rig.cars[0];
    turnCar(car, std::numbers::pi / 2);  // its +x now points along world -z
    rig.player.inCar = true;
    rig.run(80);
    Vector3 start, forward;
    car.partToWorld(0, {}, {1, 0, 0}, start, forward);
    ASSERT_NEAR(forward.z, -1.0f, 0.01f);

    DriveControls w;
    w.throttle = true;
    rig.run(80, w);
    const Vector3 moved = subtract(car.partPosition(0), start);
    EXPECT_LT(moved.z, -20.0f);
    EXPECT_LT(std::abs(moved.x), 0.05f * std::abs(moved.z));
    // The motor: full speed target at a quarter of the throttle.
    EXPECT_EQ(car.throttle, 100);
    EXPECT_FLOAT_EQ(static_cast<float>(dJointGetHinge2Param(car.joints[0], dParamVel2)), 10.0f);
    EXPECT_FLOAT_EQ(static_cast<float>(dJointGetHinge2Param(car.joints[3], dParamFMax2)), 25.0f);
    // The car that nobody drives rolls freely.
    EXPECT_EQ(dJointGetHinge2Param(rig.cars[1].joints[0], dParamFMax2), 0.0);
}

TEST(CarDriving, BrakeStopsTheCarAndWinsOverThrottle)
{
    CarRig rig;
    rig.player.inCar = true;
    DriveControls w;
    w.throttle = true;
    rig.run(120, w);
    Car& car = rig.cars[0];
    const float cruising = speedOf(car);
    ASSERT_GT(cruising, 5.0f);

    DriveControls ws = w;
    ws.brake = true;
    rig.run(1, ws);
    EXPECT_EQ(dJointGetHinge2Param(car.joints[1], dParamVel2), 0.0);
    EXPECT_EQ(dJointGetHinge2Param(car.joints[2], dParamFMax2), 1000.0);

    DriveControls s;
    s.brake = true;
    rig.run(600, s);  // fifteen real seconds: the tyres slip, so it is a long stop
    EXPECT_LT(speedOf(car), 0.01f * cruising);
    const Vector3 stopped = car.partPosition(0);
    rig.run(40, s);
    EXPECT_LT(magnitude(subtract(car.partPosition(0), stopped)), 0.5f);
}

TEST(CarDriving, SteeringLocksAndReturns)
{
    CarRig rig;
    rig.player.inCar = true;
    rig.run(40);
    Car& car = rig.cars[0];

    DriveControls a;
    a.left = true;
    rig.run(40, a);
    EXPECT_NEAR(steeringAngle(car), -0.75f, 0.03f);
    EXPECT_NEAR(static_cast<float>(dJointGetHinge2Angle1(car.joints[3])), -0.75f, 0.03f);

    rig.run(40, {});
    EXPECT_NEAR(steeringAngle(car), 0.0f, 0.03f);

    DriveControls d;
    d.right = true;
    rig.run(40, d);
    EXPECT_NEAR(steeringAngle(car), 0.75f, 0.03f);

    DriveControls both;
    both.left = both.right = true;
    rig.run(1, both);
    EXPECT_EQ(car.steer, 1.0f);

    // The rear wheels never steer, whatever the front ones do.
    for (int k = 0; k < 2; ++k)
        EXPECT_NEAR(static_cast<float>(dJointGetHinge2Angle1(car.joints[k])), 0.0f, 0.03f) << k;

    // From straight ahead the front wheels reach the lock in a few frames,
    // and never past it.
    rig.run(40, {});
    float widest = 0.0f;
    for (int frame = 0; frame < 10; ++frame) {
        rig.run(1, d);
        widest = std::max(widest, steeringAngle(car));
    }
    EXPECT_NEAR(steeringAngle(car), 0.75f, 0.03f);
    EXPECT_LT(widest, 0.78f);
}

// Driven hard through turns for half a minute, every wheel stays on its
// hinge: the suspension gives, but no joint drifts apart.
TEST(CarDriving, WheelsKeepTheirAnchorsThroughHardDriving)
{
    CarRig rig;
    rig.player.inCar = true;
    DriveControls keys;
    keys.throttle = true;
    float worstGap = 0.0f;
    float fastest = 0.0f;
    for (int second = 0; second < 30; ++second) {
        keys.left = second % 6 < 3;
        keys.right = !keys.left;
        rig.run(40, keys);
        fastest = std::max(fastest, speedOf(rig.cars[0]));
        for (const dJointID joint : rig.cars[0].joints) {
            // The suspension lets the wheel travel along the steering axis;
            // across it, the wheel must stay on its hinge.
            dVector3 onChassis, onWheel, axis;
            dJointGetHinge2Anchor(joint, onChassis);
            dJointGetHinge2Anchor2(joint, onWheel);
            dJointGetHinge2Axis1(joint, axis);
            const Vector3 gap = subtract(toVector(onWheel), toVector(onChassis));
            const Vector3 up = toVector(axis);
            const float along = gap.x * up.x + gap.y * up.y + gap.z * up.z;
            const Vector3 across = {gap.x - along * up.x, gap.y - along * up.y, gap.z - along * up.z};
            worstGap = std::max(worstGap, magnitude(across));
        }
    }
    EXPECT_GT(fastest, 5.0f);
    EXPECT_LT(worstGap, 0.5f) << "a wheel came loose from its hinge";
}

// On foot, the car driven last keeps its brake on; the other rolls on.
TEST(CarDriving, ParkedCarHoldsItsBrake)
{
    CarRig rig;
    rig.run(120);
    rig.player.carIndex = 1;
    for (const Car& car : rig.cars)
        for (dBodyID body : car.bodies)
            dBodySetLinearVel(body, 3.0, 0.0, 0.0);
    rig.run(120);
    EXPECT_EQ(rig.cars[1].brake, 100);
    EXPECT_EQ(rig.cars[0].brake, 0);
    EXPECT_GT(speedOf(rig.cars[0]), 2.5f);
    EXPECT_LT(speedOf(rig.cars[1]), 0.3f * speedOf(rig.cars[0]));
}

// --- Hits ---

TEST(CarHits, ThirdHitTakesAWheelOffAndTheChassisStays)
{
    CarRig rig;
    rig.run(80);
    Car& car = rig.cars[0];

    car.hit(1);
    car.hit(1);
    EXPECT_FALSE(car.wheelDetached(1));
    EXPECT_EQ(dGeomGetSpace(car.geoms[1]), car.carSpace);
    EXPECT_EQ(toVector(dBodyGetForce(car.bodies[1])).y, 100.0f);  // pushed, applied at the next step

    car.hit(1);
    EXPECT_TRUE(car.wheelDetached(1));
    EXPECT_EQ(dJointGetBody(car.joints[0], 1), nullptr);
    EXPECT_EQ(dGeomGetSpace(car.geoms[1]), rig.physics.space);
    EXPECT_EQ(dSpaceGetNumGeoms(car.carSpace), kCarPartCount - 1);

    car.hit(1);
    EXPECT_EQ(car.hits[1], 4);
    EXPECT_EQ(dGeomGetSpace(car.geoms[1]), rig.physics.space);

    for (int i = 0; i < 5; ++i)
        car.hit(0);
    EXPECT_EQ(dGeomGetSpace(car.geoms[0]), car.carSpace);
    for (int k = 0; k < kCarJointCount; ++k)
        EXPECT_EQ(dJointGetBody(car.joints[k], 0), k == 0 ? nullptr : car.bodies[0]);

    // The car still drives, steers and collides with what came off it.
    rig.player.inCar = true;
    DriveControls keys;
    keys.throttle = keys.left = true;
    rig.run(80, keys);
    for (int part = 0; part < kCarPartCount; ++part)
        EXPECT_FALSE(std::isnan(car.partPosition(part).x));
    dBodySetPosition(car.bodies[1], car.partPosition(0).x, car.partPosition(0).y, car.partPosition(0).z);
    collidePhysics(rig.physics);
    EXPECT_GT(contactJointsOn(car.bodies[1]), 0);
    dJointGroupEmpty(rig.physics.contactGroup);
}

// --- Stability ---

// Ten minutes of real time: full throttle, the wheel swung from lock to lock
// and held straight in between, into the walls and into the other car, with
// a wheel shot off half way.
TEST(CarStability, TenMinutesOfRammingStaysSound)
{
    CarRig rig;
    rig.cars[1].translate({-250.0f, -14.0f, -200.0f});  // straight ahead of car 0
    rig.player.inCar = true;
    const float radius = rig.cars[0].params.wheelRadius;
    constexpr int kSteps = 120000;
    const Vector3 otherStart = rig.cars[1].partPosition(0);
    float nearestXWall = 1000.0f;
    float nearestZWall = 1000.0f;
    float otherPushed = 0.0f;
    int step = 0;
    while (step < kSteps) {
        DriveControls keys;
        keys.throttle = true;
        const int phase = (step / 1500) % 4;
        keys.left = phase == 1;
        keys.right = phase == 3;
        rig.applyControls(keys);
        step += advancePhysics(rig.physics, rig.accumulator, 0.025f);
        if (step == 60000)
            for (int i = 0; i < kWheelDetachHits; ++i)
                rig.cars[1].hit(4);
        const Vector3 driven = rig.cars[0].partPosition(0);
        nearestXWall = std::min(nearestXWall, 1000.0f - std::abs(driven.x));
        nearestZWall = std::min(nearestZWall, 1000.0f - std::abs(driven.z));
        otherPushed = std::max(otherPushed, magnitude(subtract(rig.cars[1].partPosition(0), otherStart)));
        if (step % 1000 != 0)
            continue;
        for (const Car& car : rig.cars) {
            for (int part = 0; part < kCarPartCount; ++part) {
                const Vector3 p = car.partPosition(part);
                ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) << step;
                ASSERT_GT(p.y, -radius) << "step " << step << " part " << part;
                ASSERT_LE(std::abs(p.x), 1000.0f) << "step " << step << " part " << part;
                ASSERT_LE(std::abs(p.z), 1000.0f) << "step " << step << " part " << part;
            }
        }
    }
    // It did go where it hurts: walls across x, where friction direction 1
    // lies in the wall, and across z, where it points into the wall.
    EXPECT_LT(nearestXWall, 20.0f);
    EXPECT_LT(nearestZWall, 20.0f);
    EXPECT_GT(otherPushed, 20.0f);
}

// --- Limits of the car file ---

// Whether every number of every body's state is finite and a float can hold it.
bool stateHoldsInFloats(const Car& car, std::string& what)
{
    constexpr double kLargest = std::numeric_limits<float>::max();
    for (int part = 0; part < kCarPartCount; ++part) {
        const dBodyID body = car.bodies[part];
        const dReal* vectors[] = {dBodyGetPosition(body), dBodyGetQuaternion(body), dBodyGetLinearVel(body),
                                  dBodyGetAngularVel(body)};
        for (const dReal* v : vectors) {
            for (int i = 0; i < 3; ++i) {
                if (!(std::abs(v[i]) < kLargest)) {
                    what = "part " + std::to_string(part) + ": " + std::to_string(v[i]);
                    return false;
                }
            }
        }
    }
    return true;
}

// Cars at the ends of the car file's ranges, read from text as the game reads
// them and placed as the game places both: full throttle with the wheel held
// over for 2000 frames of 16 ms, the driven car and the other one alike. Each
// end of every range is in one of the first two cars; the other two pair a
// tiny chassis with big wheels far out, and the other way round.
TEST(CarLimits, CarsAtTheEndsOfTheRangesDriveWithAFiniteState)
{
    // One letter per number: l its least, h its greatest, s the shipped value.
    const char* cars[] = {"lllllllllll", "hhhhhhhhhhh", "lllssshhhhh", "hhhssslllll"};
    const char* shipped[kCarParamCount] = {"30", "8", "16", "0", "7", "0", "4.5", "20", "20", "10", "10"};
    for (int c = 0; c < static_cast<int>(std::size(cars)); ++c) {
        std::string text;
        for (int i = 0; i < kCarParamCount; ++i) {
            char number[32];
            const char pick = cars[c][i];
            std::snprintf(number, sizeof number, "%.9g ",
                          static_cast<double>(pick == 'l' ? kCarParamRanges[i].min : kCarParamRanges[i].max));
            text += pick == 'l' || pick == 'h' ? number : std::string(shipped[i]) + " ";
        }
        const CarFileResult file = parseCarParams(text, "car.txt");
        ASSERT_TRUE(file.params) << text << ": " << file.reason;
        CarRig rig(*file.params);
        rig.player.inCar = true;
        rig.player.carIndex = c % 2;
        DriveControls keys;
        keys.throttle = true;
        keys.left = c % 4 < 2;
        keys.right = !keys.left;
        for (int frame = 0; frame < 2000; ++frame) {
            rig.run(1, keys, 0.016f);  // the replay tool's frame
            for (const Car& car : rig.cars) {
                std::string what;
                ASSERT_TRUE(stateHoldsInFloats(car, what)) << text << " frame " << frame << " " << what;
            }
        }
    }
}

// A body's numbers beyond a float's range read back as the largest float of
// their sign; a NaN stays a NaN.
TEST(CarLimits, ReadingsBeyondAFloatAreHeldAtTheLargestFloat)
{
    CarRig rig;
    Car& car = rig.cars[0];
    constexpr float kLargest = std::numeric_limits<float>::max();
    dBodySetPosition(car.bodies[0], 1e300, -1e39, 12.5);
    expectAt(car.partPosition(0), kLargest, -kLargest, 12.5f, 0.0f);
    float pose[16];
    car.partPose(0, pose);
    EXPECT_EQ(pose[12], kLargest);
    EXPECT_EQ(pose[13], -kLargest);
    dBodySetLinearVel(car.bodies[0], std::numeric_limits<double>::quiet_NaN(), 1e40, 0.0);
    rig.player.inCar = true;
    Vector3 velocity;
    updateDrivingView(car, rig.player, velocity);
    EXPECT_TRUE(std::isnan(velocity.x));
    EXPECT_EQ(velocity.y, kLargest);
    EXPECT_EQ(rig.player.viewerPosition.x, kLargest);
}

}  // namespace
