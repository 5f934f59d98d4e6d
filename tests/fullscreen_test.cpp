// Full screen in its two modes: switching the display to the game's size (the
// original's way, the default) or taking the desktop's own resolution, chosen
// in the settings file or on the command line; and Alt+Enter between full
// screen and a window, run for real on the headless backend.

#include "app/command_line.h"
#include "app/game.h"
#include "app/headless_platform.h"
#include "app/settings_file.h"

#include "game_folder.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <string>

namespace {

TEST(FullscreenModeSetting, ReadFromTheFileAndTheCommandLine)
{
    EXPECT_EQ(Settings{}.video.fullscreenMode, FullscreenMode::Switch);
    SettingsFileResult read = parseSettingsText("[video]\nfullscreen_mode = \"desktop\"\n", "s.toml");
    EXPECT_TRUE(read.messages.empty());
    EXPECT_EQ(read.settings.video.fullscreenMode, FullscreenMode::Desktop);

    // A word it does not know keeps the default, with the file, line and key.
    read = parseSettingsText("[video]\nfullscreen_mode = \"stretch\"\n", "s.toml");
    ASSERT_EQ(read.messages.size(), 1u);
    EXPECT_NE(read.messages[0].find("s.toml:2"), std::string::npos) << read.messages[0];
    EXPECT_NE(read.messages[0].find("fullscreen_mode"), std::string::npos) << read.messages[0];
    EXPECT_EQ(read.settings.video.fullscreenMode, FullscreenMode::Switch);

    // The written file reads back to the same mode.
    Settings desktop;
    desktop.video.fullscreenMode = FullscreenMode::Desktop;
    EXPECT_EQ(parseSettingsText(settingsToToml(desktop), "w.toml").settings.video.fullscreenMode,
              FullscreenMode::Desktop);

    CommandLine line = parseCommandLine({"turfwar", "--fullscreen-mode", "desktop"});
    EXPECT_FALSE(line.exitNow);
    Settings settings;
    applyCommandLine(line.options, settings);
    EXPECT_EQ(settings.video.fullscreenMode, FullscreenMode::Desktop);

    line = parseCommandLine({"turfwar", "--fullscreen-mode", "wide"});
    EXPECT_TRUE(line.exitNow);
    EXPECT_NE(line.exitStatus, 0);
    EXPECT_NE(line.err.find("'wide' is not switch or desktop"), std::string::npos) << line.err;
}

// Runs the game until the pass runs a frame (a bounded number of passes).
void runUntilFrame(World& world)
{
    for (int pass = 0; pass < 100; ++pass) {
        if (runLoopPass(world) == LoopPass::FrameRun)
            return;
    }
    FAIL() << "no frame ran";
}

TEST(FullscreenMode, DesktopFillsTheDesktopWithoutAModeChange)
{
    GameFolder folder;
    HeadlessPlatform platform;
    platform.setDesktopSize(1280, 1024);
    World world(platform);
    world.settings.video.fullscreen = FullscreenChoice::Yes;
    world.settings.video.fullscreenMode = FullscreenMode::Desktop;
    ASSERT_EQ(startTurfwar(world), kExitOk);
    EXPECT_FALSE(platform.displayModeChanged());
    EXPECT_TRUE(world.window.fullscreen);
    EXPECT_TRUE(platform.messageBoxes().empty());
    runUntilFrame(world);
    EXPECT_EQ(world.window.width, 1280);
    EXPECT_EQ(world.window.height, 1024);
    // The frame ends in the inset: 0.4 x 0.35 of the desktop, in its top-left corner.
    int viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[1], 665);
    EXPECT_EQ(viewport[2], 512);
    EXPECT_EQ(viewport[3], 358);
    const FrameImage frame = platform.readFrame();
    EXPECT_EQ(frame.width, 1280);
    EXPECT_EQ(frame.height, 1024);

    // Alt+Enter: a window of the game's own size, and back to the desktop's.
    platform.pressAltEnter();
    runUntilFrame(world);
    EXPECT_FALSE(world.window.fullscreen);
    EXPECT_EQ(world.window.width, 800);
    EXPECT_EQ(world.window.height, 600);
    platform.pressAltEnter();
    runUntilFrame(world);
    EXPECT_TRUE(world.window.fullscreen);
    EXPECT_EQ(world.window.width, 1280);
    EXPECT_FALSE(platform.displayModeChanged());
    finishTurfwar(world);
}

TEST(FullscreenMode, AltEnterInTheSwitchModeChangesTheDisplayMode)
{
    GameFolder folder;
    HeadlessPlatform platform;
    World world(platform);
    world.settings.video.fullscreen = FullscreenChoice::No;
    ASSERT_EQ(startTurfwar(world), kExitOk);
    runUntilFrame(world);
    EXPECT_FALSE(world.window.fullscreen);
    EXPECT_FALSE(platform.displayModeChanged());

    platform.pressAltEnter();
    runUntilFrame(world);
    EXPECT_TRUE(world.window.fullscreen);
    EXPECT_TRUE(platform.displayModeChanged());
    EXPECT_EQ(world.window.width, 800);
    EXPECT_EQ(world.window.height, 600);
    platform.pressAltEnter();
    runUntilFrame(world);
    EXPECT_FALSE(world.window.fullscreen);

    // Without an 800 x 600 mode the window stays a window, and no box interrupts the game.
    platform.setDisplayModeAvailable(false);
    ::testing::internal::CaptureStderr();
    platform.pressAltEnter();
    runUntilFrame(world);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("no 800 x 600 mode"), std::string::npos);
    EXPECT_FALSE(world.window.fullscreen);
    EXPECT_TRUE(platform.messageBoxes().empty());
    finishTurfwar(world);
}

}  // namespace
