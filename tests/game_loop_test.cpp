// The entry point, the message pump and the frame loop, run for real on the
// headless backend: scripted answers, events, keys, mouse and clock; real GL.

#include "app/error_box.h"
#include "app/game.h"
#include "app/headless_platform.h"

#include "game_folder.h"

#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <array>
#include <climits>
#include <cmath>
#include <functional>
#include <string>

namespace {

WindowEvent otherEvent()
{
    WindowEvent event;
    event.type = WindowEvent::Type::Other;
    return event;
}

// A game started the way the entry point starts it, for tests that drive the
// loop pass by pass.
class StartedGame : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(world.window.create(kWindowBitsPerPixel, kWindowWidth, kWindowHeight, kWindowTitle, false));
        world.window.onButtonPress = [this](int b, int, int) { pressMouseButton(world.inputMemory[0], world.settings.keys, b); };
        platform.setTicks(5000);
        ASSERT_TRUE(initGame(world));
        platform.setCursorVisible(false);
    }

    GameFolder folder;
    HeadlessPlatform platform;
    World world{platform};
};

TEST(Startup, AsksTheQuestionAndRunsWindowedOnNo)
{
    GameFolder folder;
    HeadlessPlatform platform;
    World world(platform);
    platform.queueAnswer(MessageBoxAnswer::No);
    platform.setKeyDown(Key::Escape, true);

    EXPECT_EQ(runTurfwar(world), 0);

    ASSERT_EQ(platform.messageBoxes().size(), 1u);
    const RecordedMessageBox& box = platform.messageBoxes()[0];
    EXPECT_EQ(box.text,
              "Controls: \nMove: WASD, Run: Q, Enter/Exit Vehicle: E\nShoot: Left Click, Look: Mouse\n\n"
              "Would You Like To Run In Fullscreen Mode?");
    EXPECT_EQ(box.caption, "Start FullScreen?");
    EXPECT_EQ(box.style, MessageBoxStyle::YesNoQuestion);
    EXPECT_FALSE(platform.displayModeChanged());
    EXPECT_FALSE(world.window.fullscreen);
    EXPECT_EQ(world.window.width, 800);
    EXPECT_EQ(world.window.height, 600);
    // The cursor is given back and the window closed before the entry point returns.
    EXPECT_TRUE(platform.cursorVisible());
    EXPECT_FALSE(platform.windowOpen());
}

TEST(Startup, YesAsksForFullScreenAndFallsBackToAWindow)
{
    GameFolder folder;
    {
        HeadlessPlatform platform;
        World world(platform);
        platform.queueAnswer(MessageBoxAnswer::Yes);
        platform.onSwap = [&](int) {
            EXPECT_TRUE(platform.displayModeChanged());
            platform.setKeyDown(Key::Escape, true);
        };
        EXPECT_EQ(runTurfwar(world), 0);
        EXPECT_TRUE(world.window.fullscreen);
        EXPECT_EQ(platform.messageBoxes().size(), 1u);
    }
    {
        HeadlessPlatform platform;
        World world(platform);
        platform.queueAnswer(MessageBoxAnswer::Yes);
        platform.setDisplayModeAvailable(false);
        platform.setKeyDown(Key::Escape, true);
        EXPECT_EQ(runTurfwar(world), 0);
        EXPECT_FALSE(world.window.fullscreen);
        EXPECT_EQ(platform.swapCount(), 1);
        ASSERT_EQ(platform.messageBoxes().size(), 2u);
        EXPECT_EQ(platform.messageBoxes()[1].text, "Mode Switch Failed.\nRunning In Windowed Mode.");
        EXPECT_EQ(platform.messageBoxes()[1].caption, "Error");
    }
}

// A stop (SIGINT, SIGTERM) during a box of the start ends the game there:
// during the question no window is made, during a load's box the window is
// never shown and no frame runs; either way the status is success.
TEST(Startup, AStopDuringABoxEndsTheStart)
{
    GameFolder folder;
    {
        HeadlessPlatform platform;
        World world(platform);
        platform.onMessageBox = [&](const RecordedMessageBox&) { platform.requestStop(); };
        EXPECT_EQ(runTurfwar(world), 0);
        EXPECT_EQ(platform.messageBoxes().size(), 1u);
        EXPECT_FALSE(platform.windowOpen());
        EXPECT_EQ(platform.swapCount(), 0);
    }
    {
        folder.remove("car.3ds");
        HeadlessPlatform platform;
        World world(platform);
        world.settings.video.fullscreen = FullscreenChoice::No;
        platform.onMessageBox = [&](const RecordedMessageBox&) { platform.requestStop(); };
        EXPECT_EQ(runTurfwar(world), 0);
        ASSERT_GE(platform.messageBoxes().size(), 1u);
        EXPECT_NE(platform.messageBoxes()[0].text.find("car.3ds"), std::string::npos);
        EXPECT_FALSE(platform.windowVisible());
        EXPECT_FALSE(platform.windowOpen());
        EXPECT_EQ(world.framesRun, 0u);
    }
}

TEST(Startup, AWindowThatCannotBeMadeEndsWithAFailureStatus)
{
    GameFolder folder;
    HeadlessPlatform platform;
    World world(platform);
    platform.setWindowCreationFails(true);
    EXPECT_NE(runTurfwar(world), 0);
    ASSERT_EQ(platform.messageBoxes().size(), 2u);
    EXPECT_EQ(platform.messageBoxes()[1].text, "couldnt load window");
    EXPECT_EQ(platform.messageBoxes()[1].caption, kErrorBoxCaption);
    EXPECT_EQ(platform.swapCount(), 0);
    setErrorBoxPlatform(nullptr);
}

// An MS3D model that cannot be read shows no box and the start goes on with
// it empty, as it always has; standard error says which and why.
TEST(Startup, AnUnreadableModelIsNamedOnStandardErrorOnly)
{
    GameFolder folder;
    folder.remove("sky.ms3d");
    folder.write("data/gun.ms3d", "not a model");
    HeadlessPlatform platform;
    World world(platform);
    platform.queueAnswer(MessageBoxAnswer::No);
    platform.setKeyDown(Key::Escape, true);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runTurfwar(world), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "turfwar: " + folder.path().string() + "/data/gun.ms3d: not an MS3D file\n" +
                  "turfwar: " + folder.path().string() + "/sky.ms3d: No such file or directory\n");
    EXPECT_EQ(platform.messageBoxes().size(), 1u);  // the start question only
    EXPECT_EQ(platform.swapCount(), 1);
}

TEST(MainLoop, EscapeEndsTheLoopAfterThatFramesSwap)
{
    GameFolder folder;
    HeadlessPlatform platform;
    World world(platform);
    platform.onSwap = [&](int swaps) {
        if (swaps == 3)
            platform.setKeyDown(Key::Escape, true);
    };
    EXPECT_EQ(runTurfwar(world), 0);
    EXPECT_EQ(platform.swapCount(), 3);
    EXPECT_EQ(world.framesRun, 3u);
}

TEST(MainLoop, ClosingTheWindowEndsTheLoopAtTheNextPump)
{
    GameFolder folder;
    HeadlessPlatform platform;
    World world(platform);
    platform.onSwap = [&](int swaps) {
        if (swaps == 2)
            platform.requestClose();
    };
    EXPECT_EQ(runTurfwar(world), 0);
    EXPECT_EQ(platform.swapCount(), 2);
}

TEST_F(StartedGame, FramesRunOnlyWhenNoMessageIsPending)
{
    for (int i = 0; i < 3; ++i)
        platform.queueEvent(otherEvent());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(runLoopPass(world), LoopPass::MessageHandled);
    EXPECT_EQ(world.framesRun, 0u);
    EXPECT_EQ(runLoopPass(world), LoopPass::FrameRun);
    EXPECT_EQ(world.framesRun, 1u);

    // The close request is dispatched like any message; the quit it posts is
    // taken by the next pump, and the window is still there.
    platform.requestClose();
    EXPECT_EQ(runLoopPass(world), LoopPass::MessageHandled);
    EXPECT_EQ(runLoopPass(world), LoopPass::Quit);
    EXPECT_TRUE(platform.windowOpen());
}

TEST_F(StartedGame, FrameTimeCountsFromTheEndOfStartUp)
{
    platform.setTicks(5016);
    runLoopPass(world);
    EXPECT_FLOAT_EQ(world.lastFrameSeconds, 0.016f);

    // Two frames within one tick: the second measures nothing.
    runLoopPass(world);
    EXPECT_EQ(world.lastFrameSeconds, 0.0f);

    // A stall longer than a second counts as one second.
    platform.advanceTicks(2500);
    runLoopPass(world);
    EXPECT_FLOAT_EQ(world.lastFrameSeconds, 1.0f);
}

// After an hour away (a stopped process, a suspended laptop) the next frame
// costs no more than a one-second frame, and the game goes on from there.
TEST_F(StartedGame, AnHourLongFrameRunsNoMoreThanASecondsSteps)
{
    platform.advanceTicks(1000);
    runLoopPass(world);
    const int secondSteps = world.lastFramePhysicsSteps;
    EXPECT_GE(secondSteps, 199);

    // Driving, so the physics has something to do through the stall.
    world.sim.players[0].body.inCar = true;
    platform.setKeyDown(Key::W, true);
    platform.advanceTicks(3'600'000);
    runLoopPass(world);
    EXPECT_EQ(world.lastFrameSeconds, 1.0f);
    EXPECT_LE(world.lastFramePhysicsSteps, secondSteps + 1);
    EXPECT_LE(world.sim.physicsAccumulator, 0.005f + 1e-6f);

    for (int frame = 0; frame < 3; ++frame) {
        platform.advanceTicks(16);
        EXPECT_EQ(runLoopPass(world), LoopPass::FrameRun);
    }
    EXPECT_EQ(world.framesRun, 5u);
    for (const Car& car : world.sim.cars) {
        const Vector3 p = car.partPosition(0);
        EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
    }
    EXPECT_TRUE(std::isfinite(world.sim.players[0].body.viewerPosition.x) && std::isfinite(world.cameras[0].eye().x));
}

TEST(FrameTimer, TickWrapGivesTheSmallPositiveDifference)
{
    HeadlessPlatform platform;
    FrameTimer timer;
    platform.setTicks(0xFFFFFFF0u);
    EXPECT_EQ(frameTime(timer, platform), 0.0f);
    platform.setTicks(0x10u);
    EXPECT_FLOAT_EQ(frameTime(timer, platform), 0.032f);
}

TEST_F(StartedGame, MouseLookTurnsByPixelsWhateverTheFrameTime)
{
    const float startYaw = world.sim.players[0].body.yaw;
    EXPECT_EQ(startYaw, 180.0f);

    platform.moveMouse(-10, 0);  // ten pixels to the left
    platform.advanceTicks(1);
    runLoopPass(world);
    EXPECT_FLOAT_EQ(world.sim.players[0].body.yaw, startYaw + 10.0f);

    platform.moveMouse(-10, 0);
    platform.advanceTicks(900);
    runLoopPass(world);
    EXPECT_FLOAT_EQ(world.sim.players[0].body.yaw, startYaw + 20.0f);

    // Right and down turn the other way; the pitch only accumulates.
    platform.moveMouse(4, 7);
    runLoopPass(world);
    EXPECT_FLOAT_EQ(world.sim.players[0].body.yaw, startYaw + 16.0f);
    EXPECT_FLOAT_EQ(world.sim.players[0].body.pitch, -7.0f);
}

// Moves that add up past the int range stop at its ends instead of wrapping
// round to a turn the other way.
TEST_F(StartedGame, SummedMouseMovesStopAtTheIntRange)
{
    platform.moveMouse(INT_MAX, INT_MIN);
    platform.moveMouse(1000, -1000);
    platform.advanceTicks(16);
    runLoopPass(world);
    EXPECT_EQ(world.sim.players[0].body.yaw, 180.0f - static_cast<float>(INT_MAX));
    EXPECT_EQ(world.sim.players[0].body.pitch, 2147483648.0f);
}

TEST_F(StartedGame, MouseMovedBeforeTheGameTookItDoesNotTurn)
{
    HeadlessPlatform other;
    World fresh(other);
    ASSERT_TRUE(fresh.window.create(16, 800, 600, "t", false));
    other.moveMouse(-50, 0);  // while the desktop still has the cursor
    ASSERT_TRUE(initGame(fresh));
    other.setCursorVisible(false);
    runLoopPass(fresh);
    EXPECT_EQ(fresh.sim.players[0].body.yaw, 180.0f);
}

TEST_F(StartedGame, LeftButtonPressAsksForAShot)
{
    platform.click(2);
    while (runLoopPass(world) != LoopPass::FrameRun) {
    }
    EXPECT_FALSE(world.sim.players[0].weapon.fireRequested);
    platform.click(1, 300, 200);
    EXPECT_EQ(runLoopPass(world), LoopPass::MessageHandled);
    // Held for the next frame's command, which hands it to the weapon.
    EXPECT_TRUE(world.inputMemory[0].mouseFirePressed);
    world.sim.players[0].weapon.sinceShot = 0.0f;  // not due yet: the request stays
    platform.advanceTicks(1);
    while (runLoopPass(world) != LoopPass::FrameRun) {
    }
    EXPECT_FALSE(world.inputMemory[0].mouseFirePressed);
    EXPECT_TRUE(world.sim.players[0].weapon.fireRequested);
}

TEST_F(StartedGame, EveryFrameStartsFromTheGreyClear)
{
    float clear[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[0], 0.5f);
    EXPECT_FLOAT_EQ(clear[1], 0.5f);
    EXPECT_FLOAT_EQ(clear[2], 0.5f);
    EXPECT_FLOAT_EQ(clear[3], 0.0f);

    // Leave magenta (which nothing in the scene is) in the buffer: the next
    // frame must not show any of it.
    glClearColor(1.0f, 0.0f, 1.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0.5f, 0.5f, 0.5f, 0.0f);
    platform.setCaptureFrames(true);
    runLoopPass(world);
    const FrameImage& frame = platform.lastFrame();
    ASSERT_EQ(frame.width, 800);
    ASSERT_EQ(frame.height, 600);
    int magenta = 0;
    for (std::size_t i = 0; i + 2 < frame.rgb.size(); i += 3)
        magenta += frame.rgb[i] > 250 && frame.rgb[i + 1] < 5 && frame.rgb[i + 2] > 250;
    EXPECT_EQ(magenta, 0);
}

// --- projection, read back from the real context ---

struct GlState {
    float projection[16];
    int viewport[4];
};

GlState readGlState()
{
    GlState s{};
    glGetFloatv(GL_PROJECTION_MATRIX, s.projection);
    glGetIntegerv(GL_VIEWPORT, s.viewport);
    return s;
}

void expectPerspective(const GlState& s, double aspect)
{
    const double f = 1.0 / std::tan(22.5 * M_PI / 180.0);
    EXPECT_NEAR(s.projection[0], f / aspect, 1e-5);
    EXPECT_NEAR(s.projection[5], f, 1e-5);
    EXPECT_NEAR(s.projection[10], (2400.0 + 10.0) / (10.0 - 2400.0), 1e-5);
    EXPECT_NEAR(s.projection[11], -1.0, 1e-6);
    EXPECT_NEAR(s.projection[14], 2.0 * 2400.0 * 10.0 / (10.0 - 2400.0), 1e-3);
}

TEST_F(StartedGame, ViewportAndProjectionInBothModes)
{
    // A frame ends with the inset's viewport in the top-left corner, with
    // the perspective for its own size.
    runLoopPass(world);
    GlState s = readGlState();
    EXPECT_EQ(s.viewport[0], 0);
    EXPECT_EQ(s.viewport[1], 390);
    EXPECT_EQ(s.viewport[2], 320);
    EXPECT_EQ(s.viewport[3], 209);
    expectPerspective(s, 320.0 / 209.0);

    world.window.useOrtho();
    world.window.setViewport(200, 100, 10, 20);
    s = readGlState();
    EXPECT_EQ(s.viewport[0], 10);
    EXPECT_EQ(s.viewport[1], 20);
    EXPECT_EQ(s.viewport[2], 200);
    EXPECT_EQ(s.viewport[3], 100);
    // Origin at the top left, y down, one unit per pixel.
    EXPECT_FLOAT_EQ(s.projection[0], 2.0f / 200.0f);
    EXPECT_FLOAT_EQ(s.projection[5], -2.0f / 100.0f);
    EXPECT_FLOAT_EQ(s.projection[12], -1.0f);
    EXPECT_FLOAT_EQ(s.projection[13], 1.0f);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);

    // usePerspective alone touches no GL; the next setViewport applies it.
    world.window.usePerspective();
    EXPECT_FLOAT_EQ(readGlState().projection[0], 2.0f / 200.0f);
    world.window.setViewport(200, 100, 0, 0);
    expectPerspective(readGlState(), 2.0);
}

TEST_F(StartedGame, ResizeChangesTheNextFramesViewportAndMinimiseDoesNot)
{
    platform.resize(1000, 500);
    platform.minimize();
    while (runLoopPass(world) != LoopPass::FrameRun) {
    }
    EXPECT_EQ(world.window.width, 1000);
    EXPECT_EQ(world.window.height, 500);
    // Both passes follow the new size: the inset is 0.4 x 0.35 of it.
    GlState s = readGlState();
    EXPECT_EQ(s.viewport[1], 325);
    EXPECT_EQ(s.viewport[2], 400);
    EXPECT_EQ(s.viewport[3], 174);
    expectPerspective(s, 400.0 / 174.0);
}

// A window grown past its first size is drawn whole, up to its top-right
// corner (the sky there), not only its first 800 x 600; shrunk again, it
// reads back at its own size.
TEST_F(StartedGame, AGrownWindowIsDrawnWhole)
{
    platform.resize(1024, 768);
    while (runLoopPass(world) != LoopPass::FrameRun) {
    }
    const FrameImage big = platform.readFrame();
    ASSERT_EQ(big.width, 1024);
    ASSERT_EQ(big.height, 768);
    auto pixel = [](const FrameImage& image, int x, int y) {
        const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + x) * 3;
        return std::array<int, 3>{image.rgb[at], image.rgb[at + 1], image.rgb[at + 2]};
    };
    for (const int x : {0, 1023})
        EXPECT_GT(pixel(big, x, 767)[2], 150) << "not the sky at x " << x;

    platform.resize(300, 200);
    while (runLoopPass(world) != LoopPass::FrameRun) {
    }
    const FrameImage small = platform.readFrame();
    EXPECT_EQ(small.width, 300);
    EXPECT_EQ(small.height, 200);
    EXPECT_EQ(small.rgb.size(), 300u * 200u * 3u);
}

// A game's platform may go before the process does: once the game has ended,
// however it ended, a box goes to standard error and not to that platform.
TEST(ErrorBox, AfterTheGameEndsBoxesGoToStandardError)
{
    GameFolder folder;
    const auto boxAfter = [](const std::function<int(World&)>& run, HeadlessPlatform& platform) {
        World world(platform);
        platform.queueAnswer(MessageBoxAnswer::No);
        platform.setKeyDown(Key::Escape, true);
        run(world);
        const std::size_t shown = platform.messageBoxes().size();
        ::testing::internal::CaptureStderr();
        showErrorBox("after %s", "the end");
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), std::string(kErrorBoxCaption) + ": after the end\n");
        EXPECT_EQ(platform.messageBoxes().size(), shown);
    };
    {
        HeadlessPlatform platform;
        boxAfter(runTurfwar, platform);
    }
    {
        HeadlessPlatform platform;
        platform.setWindowCreationFails(true);
        boxAfter(runTurfwar, platform);
    }
    {
        // The start ends early on a marker it cannot read.
        folder.remove("aasdf.tga");
        HeadlessPlatform platform;
        boxAfter(startTurfwar, platform);
    }
}

TEST(ErrorBox, FormatsSafelyIntoAFixedBuffer)
{
    HeadlessPlatform platform;
    setErrorBoxPlatform(&platform);
    const std::string longName(3000, 'x');
    EXPECT_EQ(showErrorBox("cannot read %s (%d)", longName.c_str(), 7), 1);
    showErrorBox("%s", "short");
    setErrorBoxPlatform(nullptr);

    ASSERT_EQ(platform.messageBoxes().size(), 2u);
    EXPECT_EQ(platform.messageBoxes()[0].text.size(), 1023u);
    EXPECT_EQ(platform.messageBoxes()[0].text.substr(0, 13), "cannot read x");
    EXPECT_EQ(platform.messageBoxes()[1].text, "short");
    EXPECT_EQ(platform.messageBoxes()[1].style, MessageBoxStyle::OkError);
}

}  // namespace
