#include "game/chase_camera.h"

#include "offscreen_gl.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

namespace {

ChaseCamera startedCamera()
{
    ChaseCamera camera;
    camera.init(20.0f);
    return camera;
}

void feedOnFoot(ChaseCamera& camera, Vector3 position, Vector3 facing)
{
    camera.followPoint = position;
    camera.followDirection = facing;
    camera.followVelocity = {};
    camera.setLookHeight(kOnFootLookHeight);
    camera.setTarget(position);
}

TEST(ChaseCamera, StartsAtItsFixedEye)
{
    const ChaseCamera camera = startedCamera();
    EXPECT_EQ(camera.eye().x, -20.0f);
    EXPECT_EQ(camera.eye().y, 20.0f);
    EXPECT_EQ(camera.eye().z, 20.0f);
    EXPECT_FLOAT_EQ(camera.spring.damping, 4.0f);
}

TEST(ChaseCamera, SettlesBehindAndAboveAStandingPlayerWithoutOvershoot)
{
    ChaseCamera camera = startedCamera();
    const Vector3 player{100.0f, 0.0f, -40.0f};
    const Vector3 facing{0.0f, 0.0f, -1.0f};  // the start yaw of 180 degrees
    // Start the eye on the rest line, 30 units too far back, at rest height.
    camera.spring.position = {100.0f, 20.0f, 40.0f};
    const float restZ = -40.0f + 50.0f;
    float previousGap = 30.0f;
    float gapAtTimeConstant = 0.0f;
    for (int frame = 1; frame <= 1000; ++frame) {
        feedOnFoot(camera, player, facing);
        camera.update(0.01f);
        const float gap = camera.eye().z - restZ;
        EXPECT_GE(gap, -1e-4f) << "overshoot at frame " << frame;
        EXPECT_LE(gap, previousGap + 1e-5f) << "moved away at frame " << frame;
        previousGap = gap;
        if (frame == 50)
            gapAtTimeConstant = gap;
    }
    // Critically damped with a time constant of 0.5 s: (1 + t/T) e^(-t/T) of
    // the gap is left after one T.
    EXPECT_NEAR(gapAtTimeConstant / 30.0f, 2.0f * std::exp(-1.0f), 0.02f);
    EXPECT_NEAR(camera.eye().x, 100.0f, 1e-3f);
    EXPECT_NEAR(camera.eye().y, 20.0f, 1e-3f);
    EXPECT_NEAR(camera.eye().z, restZ, 1e-3f);
    // The view centre is 10 above the player.
    EXPECT_FLOAT_EQ(camera.lookAtPoint().y, 10.0f);
}

TEST(ChaseCamera, KeepsPaceBehindACarAtConstantSpeed)
{
    ChaseCamera camera = startedCamera();
    const Vector3 velocity{30.0f, 0.0f, 0.0f};
    Vector3 chassis{0.0f, 5.0f, 0.0f};
    const float dt = 0.016f;
    for (int frame = 0; frame < 1500; ++frame) {
        chassis.x += velocity.x * dt;
        camera.followPoint = chassis;
        camera.followDirection = {1.0f, 0.0f, 0.0f};
        camera.followVelocity = velocity;
        camera.setTarget(chassis);
        camera.update(dt);
    }
    // The same rest point relative to the chassis as for a car standing still.
    EXPECT_NEAR(camera.eye().x - chassis.x, -50.0f, 0.6f);
    EXPECT_NEAR(camera.eye().y - chassis.y, 20.0f, 1e-3f);
    EXPECT_NEAR(camera.eye().z, 0.0f, 1e-3f);
}

TEST(ChaseCamera, ASpinOnTheSpotSwingsTheEyeAlongACurve)
{
    ChaseCamera camera = startedCamera();
    const Vector3 player{};
    camera.spring.position = {0.0f, 20.0f, -50.0f};  // resting behind a player facing +z
    float yawDegrees = 0.0f;
    bool leftTheCircle = false;
    for (int frame = 0; frame < 60; ++frame) {
        yawDegrees += 3.0f;
        const float yaw = yawDegrees * static_cast<float>(M_PI / 180.0);
        feedOnFoot(camera, player, {std::sin(yaw), 0.0f, std::cos(yaw)});
        camera.update(0.016f);
        const float radius = std::hypot(camera.eye().x, camera.eye().z);
        if (radius < 49.0f)
            leftTheCircle = true;  // cuts inside: a smooth swing, not a rigid arm
        // The eye trails the turn: it never reaches the rest angle mid-turn.
        const float eyeAngle = std::atan2(-camera.eye().x, -camera.eye().z) * static_cast<float>(180.0 / M_PI);
        EXPECT_LT(eyeAngle, yawDegrees);
    }
    EXPECT_TRUE(leftTheCircle);
}

TEST(ChaseCamera, AFrameOfNoTimeLeavesTheEyeWhereItIs)
{
    ChaseCamera camera = startedCamera();
    feedOnFoot(camera, {300.0f, 0.0f, 300.0f}, {1.0f, 0.0f, 0.0f});
    camera.update(0.0f);
    EXPECT_EQ(camera.eye().x, -20.0f);
    EXPECT_EQ(camera.eye().y, 20.0f);
    EXPECT_EQ(camera.eye().z, 20.0f);
}

bool finite(Vector3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// A long frame is the same spring as a run of tenth-of-a-second frames: on
// foot to the last bit; in a car, with the chassis moving through the frame,
// to rounding.
TEST(ChaseCamera, ALongFrameStepsLikeTenthOfASecondFrames)
{
    for (const float seconds : {1.0f, 10.0f}) {
        SCOPED_TRACE(seconds);
        const Vector3 player{120.0f, 0.0f, -300.0f};
        const Vector3 facing{0.6f, 0.0f, 0.8f};
        ChaseCamera once = startedCamera(), tenths = startedCamera();
        feedOnFoot(once, player, facing);
        once.update(seconds);
        const int frames = static_cast<int>(std::lround(seconds / 0.1f));
        for (int i = 0; i < frames; ++i) {
            feedOnFoot(tenths, player, facing);
            tenths.update(0.1f);
        }
        EXPECT_EQ(once.eye().x, tenths.eye().x);
        EXPECT_EQ(once.eye().y, tenths.eye().y);
        EXPECT_EQ(once.eye().z, tenths.eye().z);

        const Vector3 velocity{-40.0f, 0.0f, 25.0f};
        auto feedCar = [&](ChaseCamera& camera, float t) {
            camera.followPoint = {velocity.x * t, 5.0f, velocity.z * t};
            camera.followDirection = {1.0f, 0.0f, 0.0f};
            camera.followVelocity = velocity;
        };
        ChaseCamera carOnce = startedCamera(), carTenths = startedCamera();
        feedCar(carOnce, seconds);
        carOnce.update(seconds);
        for (int i = 1; i <= frames; ++i) {
            feedCar(carTenths, 0.1f * static_cast<float>(i));
            carTenths.update(0.1f);
        }
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_NEAR(carOnce.eye()[axis], carTenths.eye()[axis], 1e-3f) << "axis " << axis;
    }
}

// Single steps of a second or more used to throw the eye out (NaN after about
// 45 one-second frames; 1,700 units off after one 2 s frame in a car).
TEST(ChaseCamera, LongFramesKeepTheEyeNearItsRestPoint)
{
    for (const float seconds : {0.5f, 1.0f, 2.0f, 10.0f}) {
        SCOPED_TRACE(seconds);
        // On foot, turning a quarter and walking 30 units every long frame.
        ChaseCamera camera = startedCamera();
        Vector3 player{};
        for (int frame = 0; frame < 100; ++frame) {
            const float yaw = static_cast<float>(frame % 4) * static_cast<float>(M_PI / 2.0);
            const Vector3 facing{std::sin(yaw), 0.0f, std::cos(yaw)};
            player = {player.x + 30.0f * facing.x, 0.0f, player.z + 30.0f * facing.z};
            feedOnFoot(camera, player, facing);
            camera.update(seconds);
            ASSERT_TRUE(finite(camera.eye())) << "frame " << frame;
            EXPECT_LT(std::hypot(camera.eye().x - player.x, camera.eye().z - player.z), 150.0f) << "frame " << frame;
            EXPECT_GT(camera.eye().y, 0.0f) << "frame " << frame;
        }

        // Driving at 200 units a second along +x: the eye keeps its place behind.
        ChaseCamera car = startedCamera();
        const Vector3 velocity{200.0f, 0.0f, 0.0f};
        float t = 0.0f;
        for (int frame = 0; frame < 20; ++frame) {
            t += seconds;
            car.followPoint = {velocity.x * t, 5.0f, 0.0f};
            car.followDirection = {1.0f, 0.0f, 0.0f};
            car.followVelocity = velocity;
            car.update(seconds);
            ASSERT_TRUE(finite(car.eye())) << "frame " << frame;
        }
        // Where ten frames a second keep it: semi-implicit Euler holds the eye
        // one step's travel (200 x 0.1 units) ahead of the rest point.
        EXPECT_NEAR(car.eye().x - velocity.x * t, -50.0f + 20.0f, 1e-2f);
        EXPECT_NEAR(car.eye().y, 25.0f, 1.0f);
        EXPECT_NEAR(car.eye().z, 0.0f, 1e-3f);
    }
}

TEST(ChaseCamera, ApplyMultipliesInTheViewFromTheEye)
{
    OffscreenGl gl;
    ASSERT_TRUE(gl.ok());
    ChaseCamera camera = startedCamera();
    feedOnFoot(camera, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f});
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    GLint depthBefore = 0, depthAfter = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
    camera.apply();
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
    EXPECT_EQ(depthAfter, depthBefore);  // the caller pushes and pops
    // The eye maps to the origin of eye space.
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    const Vector3 e = camera.eye();
    for (int row = 0; row < 3; ++row)
        EXPECT_NEAR(m[row] * e.x + m[4 + row] * e.y + m[8 + row] * e.z + m[12 + row], 0.0f, 1e-4f);
}

}  // namespace
