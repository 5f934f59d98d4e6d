// The per-frame input record: keys by their bound position, the mouse with
// its sensitivity and invert, the pad's sticks, triggers and buttons, and
// what the gameplay records make of them. No window is needed: the headless
// platform is only the devices here.

#include "app/frame_input.h"
#include "app/headless_platform.h"
#include "sim/weapon.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr int kUpArrow = 82;  // SDL_SCANCODE_UP

class Input : public ::testing::Test {
protected:
    PlayerCommand read(bool driving = false, float dt = 0.1f)
    {
        return readFrameInput(platform, settings, memory, driving, dt);
    }
    void hold(Key key, bool down = true) { platform.setKeyDown(key, down); }

    HeadlessPlatform platform;
    Settings settings;
    InputMemory memory;
};

TEST_F(Input, DefaultsGiveTheOriginalKeysAndWholeDegreesOfMouse)
{
    platform.setCursorVisible(false);  // captured, as in the game
    hold(Key::W);
    hold(Key::Q);
    hold(Key::E);
    platform.moveMouse(-10, 3);  // ten counts left, three down
    const PlayerCommand in = read();
    EXPECT_TRUE(in.forward);
    EXPECT_TRUE(in.run);
    EXPECT_TRUE(in.enterLeave);
    EXPECT_FALSE(in.back || in.left || in.right || in.fire);
    EXPECT_EQ(in.lookYaw, 10.0f);
    EXPECT_EQ(in.lookPitch, -3.0f);
    EXPECT_EQ(in.stickForward, 0.0f);
    EXPECT_EQ(in.throttle, 0);

    // The records gameplay gets hold the same booleans the keys always gave.
    const WalkControls walk = walkControlsOf(in);
    EXPECT_TRUE(walk.forward && walk.run);
    EXPECT_EQ(walk.stickForward, 0.0f);
    const DriveControls drive = driveControlsOf(in);
    EXPECT_TRUE(drive.throttle);
    EXPECT_FALSE(drive.brake || drive.left || drive.right);

    EXPECT_FALSE(quitHeld(platform, settings.keys));
    hold(Key::Escape);
    EXPECT_TRUE(quitHeld(platform, settings.keys));
}

TEST_F(Input, MouseSensitivityScalesAndInvertFlipsOnlyThePitch)
{
    platform.setCursorVisible(false);
    settings.mouse.sensitivity = 0.5f;
    platform.moveMouse(-10, -4);
    PlayerCommand in = read();
    EXPECT_EQ(in.lookYaw, 5.0f);
    EXPECT_EQ(in.lookPitch, 2.0f);

    settings.mouse.sensitivity = 1.0f;
    settings.mouse.invertY = true;
    platform.moveMouse(-10, -4);
    in = read();
    EXPECT_EQ(in.lookYaw, 10.0f);
    EXPECT_EQ(in.lookPitch, -4.0f);

    // The right stick looks the same way round: pushed up looks down when inverted.
    platform.connectPad();
    platform.setPadAxis(PadAxis::RightY, -1.0f);
    in = read(false, 0.1f);
    EXPECT_FLOAT_EQ(in.lookPitch, -settings.gamepad.lookSpeed * 0.1f);
}

TEST_F(Input, KeysFollowTheirBindingByPosition)
{
    settings.keys[Action::Forward] = {Binding::Kind::Key, kUpArrow};
    hold(Key::W);
    EXPECT_FALSE(read().forward);
    platform.setScancodeDown(kUpArrow, true);
    EXPECT_TRUE(read().forward);
    EXPECT_TRUE(driveControlsOf(read()).throttle);

    // A mouse button can hold an action too.
    settings.keys[Action::Back] = {Binding::Kind::MouseButton, 3};
    platform.click(2);  // the window's right button, SDL's 3: a press, then its release
    WindowEvent event;
    ASSERT_TRUE(platform.pollEvent(event));
    EXPECT_TRUE(read().back);
    ASSERT_TRUE(platform.pollEvent(event));
    EXPECT_FALSE(read().back);
}

TEST_F(Input, FireOnAKeyOrTheRightButtonTakesOneShotPerPress)
{
    settings.keys[Action::Fire] = {Binding::Kind::Key, scancodeOf(Key::E) + 1};  // F
    platform.setScancodeDown(scancodeOf(Key::E) + 1, true);
    EXPECT_TRUE(read().fire);
    EXPECT_FALSE(read().fire);  // held: no second shot
    platform.setScancodeDown(scancodeOf(Key::E) + 1, false);
    EXPECT_FALSE(read().fire);

    // The left button no longer fires; the window's right button does once
    // bound to it, in the next command only.
    pressMouseButton(memory, settings.keys, 1);
    EXPECT_FALSE(read().fire);
    settings.keys[Action::Fire] = {Binding::Kind::MouseButton, 3};
    pressMouseButton(memory, settings.keys, 2);
    EXPECT_TRUE(read().fire);
    EXPECT_FALSE(read().fire);
}

TEST_F(Input, DeadZoneCutsAndTheLookCurveReachesFullRate)
{
    EXPECT_EQ(pastDeadZone(0.1f, 0.15f), 0.0f);
    EXPECT_EQ(pastDeadZone(-0.5f, 0.15f), -0.5f);
    EXPECT_EQ(pastDeadZone(1.5f, 0.15f), 1.0f);
    EXPECT_EQ(pastDeadZone(std::numeric_limits<float>::quiet_NaN(), 0.15f), 0.0f);

    EXPECT_EQ(lookResponse(0.15f, 0.15f), 0.0f);
    EXPECT_EQ(lookResponse(1.0f, 0.15f), 1.0f);
    EXPECT_EQ(lookResponse(-1.0f, 0.15f), -1.0f);
    const float half = lookResponse(0.575f, 0.15f);  // halfway through the live travel
    EXPECT_NEAR(half, 0.25f, 1e-5f);
    EXPECT_EQ(lookResponse(1.0f, 1.0f), 0.0f);  // a dead zone of the whole travel leaves no look
}

TEST_F(Input, PadMapsOntoWalkingDrivingAndLook)
{
    platform.connectPad();
    platform.setPadAxis(PadAxis::LeftY, -0.5f);  // half forward
    platform.setPadAxis(PadAxis::LeftX, 0.5f);   // half right
    platform.setPadAxis(PadAxis::RightX, 1.0f);  // turning right at full rate
    platform.setPadAxis(PadAxis::RightTrigger, 0.5f);
    platform.setPadAxis(PadAxis::LeftTrigger, 0.1f);  // resting on it: inside the dead zone
    platform.setPadButton(PadButton::LeftStick, true);
    platform.setPadButton(PadButton::Y, true);
    PlayerCommand in = read(false, 0.25f);
    EXPECT_EQ(in.stickForward, 0.5f);
    EXPECT_EQ(in.stickLeft, -0.5f);
    EXPECT_EQ(in.steer, 0.5f);
    EXPECT_EQ(in.throttle, 50);
    EXPECT_EQ(in.brake, 0);
    EXPECT_TRUE(in.run);
    EXPECT_TRUE(in.enterLeave);
    EXPECT_FLOAT_EQ(in.lookYaw, -settings.gamepad.lookSpeed * 0.25f);
    EXPECT_TRUE(in.fire);  // the right trigger fires on foot

    const DriveControls drive = driveControlsOf(in);
    EXPECT_EQ(drive.steerAxis, 0.5f);
    EXPECT_EQ(drive.throttleAmount, 50);
    EXPECT_FALSE(drive.throttle);

    // In a car the right trigger is the throttle; only the right shoulder fires.
    platform.setPadAxis(PadAxis::RightTrigger, 0.0f);
    read(true);
    platform.setPadAxis(PadAxis::RightTrigger, 1.0f);
    EXPECT_FALSE(read(true).fire);
    platform.setPadButton(PadButton::RightShoulder, true);
    EXPECT_TRUE(read(true).fire);

    // Back and Start together quit; either alone does not.
    platform.setPadButton(PadButton::Back, true);
    EXPECT_FALSE(quitHeld(platform, settings.keys));
    platform.setPadButton(PadButton::Start, true);
    EXPECT_TRUE(quitHeld(platform, settings.keys));

    // Pulled out: everything at rest at once.
    platform.disconnectPad();
    in = read();
    EXPECT_EQ(in.steer, 0.0f);
    EXPECT_EQ(in.throttle, 0);
    EXPECT_FALSE(in.run || in.enterLeave || quitHeld(platform, settings.keys));
    EXPECT_EQ(in.lookYaw, 0.0f);
}

}  // namespace
