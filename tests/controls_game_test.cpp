// The controls in the running game, through the headless platform and the
// settings record: keys rebound by position, the pad's proportional steering
// against the keys' full lock, and the pad's rumble.

#include "app/error_box.h"
#include "app/game.h"
#include "app/headless_platform.h"

#include "game_folder.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr int kUpArrow = 82;  // SDL_SCANCODE_UP

// The default game on a small headless window, run frame by frame.
class ControlsGame : public ::testing::Test {
protected:
    void SetUp() override
    {
        setErrorBoxPlatform(&platform);
        ASSERT_TRUE(world.window.create(16, 160, 120, "test", false));
        world.window.onButtonPress = [this](int button, int, int) {
            pressMouseButton(world.inputMemory[0], world.settings.keys, button);
        };
        ASSERT_TRUE(initGame(world));
    }
    void TearDown() override
    {
        setErrorBoxPlatform(nullptr);
        world.window.destroy();
    }
    void frames(int count, std::uint32_t ms = 25)
    {
        for (int i = 0; i < count; ++i) {
            platform.advanceTicks(ms);
            while (runLoopPass(world) != LoopPass::FrameRun) {
            }
        }
    }
    // Into car 0 with the pad's Y, from a few units beside it.
    void enterCarWithY()
    {
        frames(40);  // let the cars settle on their wheels
        world.sim.players[0].body.position = {0.0f, 0.0f, -15.0f};
        platform.connectPad();
        platform.setPadButton(PadButton::Y, true);
        frames(1);
        platform.setPadButton(PadButton::Y, false);
        ASSERT_TRUE(world.sim.players[0].body.inCar);
        ASSERT_EQ(world.sim.players[0].body.carIndex, 0);
    }
    float frontWheelAngle() const
    {
        return static_cast<float>(dJointGetHinge2Angle1(world.sim.cars[0].joints[2]));
    }

    GameFolder folder;
    HeadlessPlatform platform;
    World world{platform};
};

TEST_F(ControlsGame, ForwardReboundToAnotherKeyMovesWithItAndNotWithW)
{
    world.settings.keys[Action::Forward] = {Binding::Kind::Key, kUpArrow};
    frames(1);
    const Vector3 start = world.sim.players[0].body.position;
    platform.setKeyDown(Key::W, true);
    frames(10);
    EXPECT_EQ(world.sim.players[0].body.position.z, start.z);
    EXPECT_EQ(world.sim.players[0].body.gait, 0);
    platform.setKeyDown(Key::W, false);
    platform.setScancodeDown(kUpArrow, true);
    frames(10);  // a quarter of a second at walking speed, facing -z
    EXPECT_NEAR(world.sim.players[0].body.position.z, start.z - 15.0f * 0.25f, 1e-3f);
    EXPECT_EQ(world.sim.players[0].body.gait, 1);
}

TEST_F(ControlsGame, HalfStickSteersAboutHalfAsFarAsTheKey)
{
    enterCarWithY();
    platform.setKeyDown(Key::D, true);
    frames(40);  // the steering motor turns at most 1 radian a second
    const float fullLock = frontWheelAngle();
    EXPECT_EQ(world.sim.cars[0].steer, 1.0f);
    platform.setKeyDown(Key::D, false);
    frames(40);  // back to straight
    EXPECT_NEAR(frontWheelAngle(), 0.0f, 0.02f);

    platform.setPadAxis(PadAxis::LeftX, 0.5f);
    frames(40);
    EXPECT_EQ(world.sim.cars[0].steer, 0.5f);
    EXPECT_GT(std::fabs(fullLock), 0.5f);
    EXPECT_NEAR(frontWheelAngle() / fullLock, 0.5f, 0.1f);

    // The key wins over the stick while both are held.
    platform.setKeyDown(Key::A, true);
    frames(1);
    EXPECT_EQ(world.sim.cars[0].steer, -1.0f);
}

TEST_F(ControlsGame, RumblesForEachShotAndLongerForAWheelComingOff)
{
    platform.connectPad();
    platform.setCursorVisible(false);
    frames(1);
    // Face the second car, as the replays do, so every shot locks on.
    platform.moveMouse(119, 0);
    frames(1);
    for (int i = 0; i < 8; ++i) {
        platform.setPadButton(PadButton::RightShoulder, true);
        frames(1, 500);  // more than the gun's interval: every press fires
        platform.setPadButton(PadButton::RightShoulder, false);
        frames(1, 25);
    }
    int pulses = 0, longOnes = 0;
    for (const RecordedRumble& r : platform.rumbles()) {
        if (r.durationMs == kShotRumbleMs)
            ++pulses;
        else if (r.durationMs == kWheelOffRumbleMs)
            ++longOnes;
    }
    EXPECT_EQ(pulses, 8);
    int wheelsOff = 0;
    for (int part = 1; part < kCarPartCount; ++part)
        wheelsOff += world.sim.cars[1].wheelDetached(part) ? 1 : 0;
    EXPECT_GE(wheelsOff, 1);
    EXPECT_EQ(longOnes, wheelsOff);

    // A pad without motors is left alone.
    platform.setPadRumbles(false);
    platform.setPadButton(PadButton::RightShoulder, true);
    frames(1, 500);
    EXPECT_EQ(static_cast<int>(platform.rumbles().size()), pulses + longOnes);
}

}  // namespace
