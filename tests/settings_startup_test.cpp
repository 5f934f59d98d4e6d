// The game started headless the way the entry point starts it, from a
// command line and a settings file: whatever the file holds the game starts,
// with exactly the settings documented for that file, and the full-screen
// question is asked only when nothing answered it.

#include "app/game.h"
#include "app/headless_platform.h"
#include "app/launch.h"
#include "app/settings_file.h"

#include "game_folder.h"
#include "settings_test_support.h"

#include <gtest/gtest.h>

#include <SDL_scancode.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

struct StartedFromSettings {
    int status = -1;
    int questions = 0;  // start questions shown
    bool fullscreen = false;
    bool displayModeChanged = false;
    VsyncMode vsync = VsyncMode::Adaptive;
    int maxFps = -1;
    int swaps = 0;
    Settings settings;
    std::string err;
};

// planLaunch, then the game for one frame ended by the quit key the settings
// bind; the question, if asked, is answered No.
StartedFromSettings startGame(const std::vector<std::string>& options, const std::optional<std::string>& file)
{
    std::vector<std::string> arguments = {"turfwar"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const Launch launch = planLaunch(arguments, file);
    StartedFromSettings started;
    started.err = launch.err;
    EXPECT_FALSE(launch.exitStatus) << launch.err;

    HeadlessPlatform platform;
    World world(platform);
    world.settings = launch.settings;
    platform.setScancodeDown(world.settings.keys[Action::Quit].code, true);
    platform.onSwap = [&](int) {
        started.fullscreen = world.window.fullscreen;
        started.displayModeChanged = platform.displayModeChanged();
    };
    started.status = runTurfwar(world);
    for (const RecordedMessageBox& box : platform.messageBoxes())
        started.questions += box.style == MessageBoxStyle::YesNoQuestion ? 1 : 0;
    started.vsync = platform.vsync();
    started.maxFps = platform.maxFps();
    started.swaps = platform.swapCount();
    started.settings = world.settings;
    return started;
}

void expectStartedWith(const StartedFromSettings& started, const Settings& expected)
{
    EXPECT_EQ(started.status, kExitOk) << started.err;
    EXPECT_EQ(started.swaps, 1);
    expectSameSettings(started.settings, expected);
    EXPECT_EQ(started.vsync, expected.video.vsync);
    EXPECT_EQ(started.maxFps, expected.video.maxFps);
    EXPECT_EQ(started.questions, expected.video.fullscreen == FullscreenChoice::Ask ? 1 : 0);
    EXPECT_EQ(started.fullscreen, expected.video.fullscreen == FullscreenChoice::Yes);
}

TEST(StartFromSettings, WindowedAndFullscreenSkipTheQuestion)
{
    GameFolder game;

    const StartedFromSettings asked = startGame({}, std::nullopt);
    EXPECT_EQ(asked.questions, 1);
    EXPECT_FALSE(asked.fullscreen);
    expectStartedWith(asked, Settings{});

    const StartedFromSettings windowed = startGame({"--windowed"}, std::nullopt);
    EXPECT_EQ(windowed.questions, 0);
    EXPECT_FALSE(windowed.fullscreen);
    EXPECT_FALSE(windowed.displayModeChanged);

    const StartedFromSettings fullscreen = startGame({"--fullscreen"}, std::nullopt);
    EXPECT_EQ(fullscreen.questions, 0);
    EXPECT_TRUE(fullscreen.fullscreen);
    EXPECT_TRUE(fullscreen.displayModeChanged);

    ScratchFolder folder;
    const std::string yes = folder.write("yes.toml", "[video]\nfullscreen = \"yes\"\n");
    const StartedFromSettings fromFile = startGame({}, yes);
    EXPECT_EQ(fromFile.questions, 0);
    EXPECT_TRUE(fromFile.fullscreen);
    const StartedFromSettings overridden = startGame({"--windowed"}, yes);
    EXPECT_EQ(overridden.questions, 0);
    EXPECT_FALSE(overridden.fullscreen);
}

// Every kind of settings file, good and bad: the game starts, and the
// settings are the documented ones for it.
TEST(StartFromSettings, TheGameStartsWithTheDocumentedSettingsWhateverTheFile)
{
    GameFolder game;
    ScratchFolder folder;
    const std::string bigFile =
        folder.write("big.toml", "[audio]\nvolume = 5\n" + std::string(2 * kMaxSettingsFileBytes, '#'));
    std::filesystem::create_directories(folder.path("folder.toml"));

    struct Case {
        std::string name;
        std::string path;
        std::vector<std::string> options;
        std::function<void(Settings&)> expect;
        std::size_t messages;
    };
    const std::vector<Case> cases = {
        {"full",
         folder.write("full.toml",
                      "[video]\nfullscreen = \"no\"\nvsync = \"on\"\nmax_fps = 90\n"
                      "[audio]\nvolume = 10\nmute = true\n[mouse]\nsensitivity = 2.0\ninvert_y = true\n"
                      "[keys]\nfire = \"Mouse3\"\nquit = \"F12\"\n[gamepad]\ndead_zone = 0.2\nlook_speed = 360\n"),
         {},
         [](Settings& s) {
             s.video = {FullscreenChoice::No, VsyncMode::On, 90};
             s.audio = {10, true};
             s.mouse = {2.0f, true};
             s.keys[Action::Fire] = {Binding::Kind::MouseButton, 3};
             s.keys[Action::Quit] = {Binding::Kind::Key, SDL_SCANCODE_F12};
             s.gamepad = {0.2f, 360.0f};
         },
         0},
        {"empty", folder.write("empty.toml", ""), {}, [](Settings&) {}, 0},
        {"video alone", folder.write("video.toml", "[video]\nvsync = \"off\"\nmax_fps = 60\n"), {},
         [](Settings& s) {
             s.video.vsync = VsyncMode::Off;
             s.video.maxFps = 60;
         },
         0},
        {"syntax error", folder.write("syntax.toml", "[video]\nfullscreen = \"no\"\nmax_fps = = 60\n"), {},
         [](Settings&) {}, 1},
        {"wrong types", folder.write("types.toml", "[video]\nfullscreen = \"no\"\nmax_fps = \"60\"\n"), {},
         [](Settings& s) { s.video.fullscreen = FullscreenChoice::No; }, 1},
        {"out of range", folder.write("range.toml", "[video]\nvsync = \"on\"\nmax_fps = 100000\n"), {},
         [](Settings& s) { s.video.vsync = VsyncMode::On; }, 1},
        {"unknown keys", folder.write("unknown.toml", "[video]\nmax_fps = 50\nfps = 10\n[net]\nport = 1\n"), {},
         [](Settings& s) { s.video.maxFps = 50; }, 2},
        {"a folder", folder.path("folder.toml"), {}, [](Settings&) {}, 1},
        {"missing, named", folder.path("missing.toml"), {"--config", folder.path("missing.toml")},
         [](Settings&) {}, 1},
        {"2 MiB", bigFile, {}, [](Settings&) {}, 1},
        {"options over a bad file", folder.path("folder.toml"), {"--max-fps", "30", "--vsync", "off", "--windowed"},
         [](Settings& s) {
             s.video = {FullscreenChoice::No, VsyncMode::Off, 30};
         },
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const StartedFromSettings started = startGame(c.options, c.path);
        Settings expected;
        c.expect(expected);
        expectStartedWith(started, expected);
        const auto lines = static_cast<std::size_t>(std::count(started.err.begin(), started.err.end(), '\n'));
        EXPECT_EQ(lines, c.messages) << started.err;
    }
}

// The headless platform with the title of each window it was asked for.
class TitledPlatform : public HeadlessPlatform {
public:
    bool createWindow(const WindowRequest& request) override
    {
        titles.push_back(request.title);
        return HeadlessPlatform::createWindow(request);
    }
    std::vector<std::string> titles;
};

// What the player reads before the first frame names the keys the settings
// bind, and with no settings it is the original's wording.
TEST(StartFromSettings, TheTitleAndTheQuestionNameTheBoundKeys)
{
    GameFolder game;
    ScratchFolder folder;
    const std::string rebound = folder.write("keys.toml", "[keys]\nquit = \"F1\"\nrun = \"Space\"\n");
    for (const std::optional<std::string>& file : {std::optional<std::string>(), std::optional<std::string>(rebound)}) {
        SCOPED_TRACE(file.value_or("no settings file"));
        const Launch launch = planLaunch({"turfwar"}, file);
        TitledPlatform platform;
        World world(platform);
        world.settings = launch.settings;
        platform.setScancodeDown(world.settings.keys[Action::Quit].code, true);
        EXPECT_EQ(runTurfwar(world), kExitOk);
        ASSERT_EQ(platform.titles.size(), 1u);
        ASSERT_FALSE(platform.messageBoxes().empty());
        if (!file) {
            EXPECT_EQ(platform.titles[0], kWindowTitle);
            EXPECT_EQ(platform.messageBoxes()[0].text, kStartQuestionText);
        } else {
            EXPECT_EQ(platform.titles[0],
                      "Move: WASD, Fire: L Click, Run: Space, Enter/Exit Vehicle: E, Close: F1");
            EXPECT_NE(platform.messageBoxes()[0].text.find("Run: Space, Enter/Exit Vehicle: E\n"), std::string::npos)
                << platform.messageBoxes()[0].text;
        }
    }
}

}  // namespace
