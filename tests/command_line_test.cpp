// The command line: each option, combinations, the options over the settings
// file, and every malformed form ending with status 2 and the usage. The
// game itself is run for --help, --version and --print-config, which must
// answer without opening anything.

#include "app/command_line.h"
#include "app/game.h"
#include "app/launch.h"
#include "app/settings_file.h"

#include "settings_test_support.h"
#include "tool_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

CommandLine parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "turfwar");
    return parseCommandLine(args);
}

Launch plan(std::vector<std::string> args, const std::optional<std::string>& defaultFile = std::nullopt)
{
    args.insert(args.begin(), "turfwar");
    return planLaunch(args, defaultFile);
}

TEST(CommandLine, NoOptionsChangeNothing)
{
    const CommandLine line = parse({});
    EXPECT_FALSE(line.exitNow);
    EXPECT_TRUE(line.out.empty());
    EXPECT_TRUE(line.err.empty());
    Settings settings;
    applyCommandLine(line.options, settings);
    expectSameSettings(settings, Settings{});
}

TEST(CommandLine, EachOptionSetsItsSetting)
{
    ScratchFolder folder;
    const std::string dataDir = folder.dir().string();
    struct Case {
        std::vector<std::string> args;
        void (*expect)(Settings& s, const std::string& dataDir);
    };
    const Case cases[] = {
        {{"--fullscreen"}, [](Settings& s, const std::string&) { s.video.fullscreen = FullscreenChoice::Yes; }},
        {{"--windowed"}, [](Settings& s, const std::string&) { s.video.fullscreen = FullscreenChoice::No; }},
        {{"--data", dataDir}, [](Settings& s, const std::string& d) { s.dataFolder = d; }},
        {{"--data=" + dataDir}, [](Settings& s, const std::string& d) { s.dataFolder = d; }},
        {{"--mute"}, [](Settings& s, const std::string&) { s.audio.mute = true; }},
        {{"--volume", "0"}, [](Settings& s, const std::string&) { s.audio.volume = 0; }},
        {{"--volume=100"}, [](Settings& s, const std::string&) { s.audio.volume = 100; }},
        {{"--mouse-sensitivity", "2.5"}, [](Settings& s, const std::string&) { s.mouse.sensitivity = 2.5f; }},
        {{"--mouse-sensitivity", "3"}, [](Settings& s, const std::string&) { s.mouse.sensitivity = 3.0f; }},
        {{"--invert-y"}, [](Settings& s, const std::string&) { s.mouse.invertY = true; }},
        {{"--vsync", "on"}, [](Settings& s, const std::string&) { s.video.vsync = VsyncMode::On; }},
        {{"--vsync", "off"}, [](Settings& s, const std::string&) { s.video.vsync = VsyncMode::Off; }},
        {{"--vsync", "adaptive"}, [](Settings& s, const std::string&) { s.video.vsync = VsyncMode::Adaptive; }},
        {{"--max-fps", "60"}, [](Settings& s, const std::string&) { s.video.maxFps = 60; }},
        {{"--max-fps", "0"}, [](Settings& s, const std::string&) { s.video.maxFps = 0; }},
        {{"--max-fps", "1000"}, [](Settings& s, const std::string&) { s.video.maxFps = 1000; }},
        {{"--match"}, [](Settings& s, const std::string&) { s.game.mode = GameMode::Match; }},
        {{"--rounds", "1"}, [](Settings& s, const std::string&) { s.match.rounds = 1; }},
        {{"--rounds=99"}, [](Settings& s, const std::string&) { s.match.rounds = 99; }},
        {{"--round-minutes", "0.25"}, [](Settings& s, const std::string&) { s.match.roundMinutes = 0.25f; }},
        {{"--round-minutes", "60"}, [](Settings& s, const std::string&) { s.match.roundMinutes = 60.0f; }},
        {{"--respawn-seconds", "0"}, [](Settings& s, const std::string&) { s.match.respawnSeconds = 0.0f; }},
        {{"--match", "--players", "2", "--rounds", "2", "--round-minutes", "1.5", "--respawn-seconds", "10"},
         [](Settings& s, const std::string&) {
             s.game.mode = GameMode::Match;
             s.game.players = 2;
             s.match.rounds = 2;
             s.match.roundMinutes = 1.5f;
             s.match.respawnSeconds = 10.0f;
         }},
        {{"--windowed", "--mute", "--volume", "40", "--invert-y", "--max-fps", "30", "--vsync", "off"},
         [](Settings& s, const std::string&) {
             s.video = {FullscreenChoice::No, VsyncMode::Off, 30};
             s.audio = {40, true};
             s.mouse.invertY = true;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const CommandLine line = parse(c.args);
        ASSERT_FALSE(line.exitNow) << line.err;
        Settings settings;
        applyCommandLine(line.options, settings);
        Settings expected;
        c.expect(expected, dataDir);
        expectSameSettings(settings, expected);
    }
    EXPECT_EQ(parse({"--config", "/some/file.toml"}).options.configFile, "/some/file.toml");
    EXPECT_TRUE(parse({"--print-config"}).options.printConfig);
}

TEST(CommandLine, HelpAndVersionAnswerOnStandardOutput)
{
    for (const char* help : {"-h", "--help"}) {
        const CommandLine line = parse({help});
        EXPECT_TRUE(line.exitNow);
        EXPECT_EQ(line.exitStatus, 0);
        EXPECT_TRUE(line.err.empty());
        EXPECT_NE(line.out.find("Usage: turfwar [OPTIONS]"), std::string::npos) << line.out;
        for (const char* option : {"--fullscreen", "--windowed", "--data", "--mute", "--volume", "--mouse-sensitivity",
                                   "--invert-y", "--vsync", "--max-fps", "--config", "--print-config", "--version"})
            EXPECT_NE(line.out.find(option), std::string::npos) << option;
    }
    const CommandLine version = parse({"--version"});
    EXPECT_TRUE(version.exitNow);
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.out, "turfwar 1.0.0\n");
}

// Every malformed form: status 2, nothing for standard output, one line of
// reason and then the usage for standard error.
TEST(CommandLine, MalformedCommandLinesEndWithStatusTwoAndTheUsage)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},
        {"-x"},
        {"stray"},
        {"--fullscreen", "--windowed"},
        {"--data"},
        {"--data", "/no/such/folder"},
        {"--data", TURFWAR_SOURCE_DIR "/README.md"},
        {"--volume"},
        {"--volume", "101"},
        {"--volume", "-1"},
        {"--volume", "fifty"},
        {"--volume", "50.5"},
        {"--volume", "50%"},
        {"--volume", ""},
        {"--volume", "99999999999999999999"},
        {"--mouse-sensitivity"},
        {"--mouse-sensitivity", "0"},
        {"--mouse-sensitivity", "101"},
        {"--mouse-sensitivity", "nan"},
        {"--mouse-sensitivity", "inf"},
        {"--mouse-sensitivity", "1,5"},
        {"--vsync"},
        {"--vsync", "sometimes"},
        {"--vsync", "ON"},
        {"--max-fps"},
        {"--max-fps", "-1"},
        {"--max-fps", "1001"},
        {"--max-fps", "60fps"},
        {"--config"},
        {"--mute=maybe"},
        {"--rounds", "0"},
        {"--rounds", "100"},
        {"--rounds", "2.5"},
        {"--round-minutes", "0.2"},
        {"--round-minutes", "61"},
        {"--round-minutes", "nan"},
        {"--respawn-seconds", "-1"},
        {"--respawn-seconds", "60.5"},
        {"--match=maybe"},
        {"--host", "65536"},
        {"--host", "port"},
        {"--host", "27615", "--connect", "example.org"},
        {"--connect"},
        {"--connect", ""},
        {"--connect", ":27615"},
        {"--connect", "example.org:"},
        {"--connect", "example.org:0"},
        {"--connect", "example.org:65536"},
        {"--connect", "example.org:http"},
        {"--connect", "::1"},
        {"--connect", "two words"},
        {"--name", std::string(kMaxNameBytes + 1, 'n')},
        {"--password", std::string(kMaxPasswordBytes + 1, 'p')},
    };
    for (const auto& args : bad) {
        SCOPED_TRACE(testing::PrintToString(args));
        const CommandLine line = parse(args);
        EXPECT_TRUE(line.exitNow);
        EXPECT_EQ(line.exitStatus, kExitBadOptions);
        EXPECT_TRUE(line.out.empty());
        const std::size_t firstLineEnd = line.err.find('\n');
        ASSERT_NE(firstLineEnd, std::string::npos) << line.err;
        EXPECT_EQ(line.err.rfind("turfwar: ", 0), 0u) << line.err;
        EXPECT_GT(firstLineEnd, std::string("turfwar: ").size());
        EXPECT_EQ(line.err.find("Usage: turfwar [OPTIONS]"), firstLineEnd + 1) << line.err;
    }
    // The reason names what was wrong.
    EXPECT_NE(parse({"--volume", "101"}).err.find("'101' is not a whole number from 0 to 100"), std::string::npos);
    EXPECT_NE(parse({"--bogus"}).err.find("--bogus"), std::string::npos);
    EXPECT_NE(parse({"--rounds", "100"}).err.find("'100' is not a whole number from 1 to 99"), std::string::npos);
}

// --host and --connect choose a network match; the port they give stands
// over [network] port, the name and password come from their rows.
TEST(CommandLine, HostAndConnectChooseTheNetworkMatchAndItsPort)
{
    ScratchFolder folder;
    const std::string file = folder.write("settings.toml", "[network]\nport = 30000\nname = \"Filed\"\n");
    const Launch none = plan({}, file);
    EXPECT_EQ(none.settings.network.role, NetworkRole::None);
    EXPECT_EQ(none.settings.network.port, 30000);
    EXPECT_EQ(none.settings.network.name, "Filed");

    const Launch host = plan({"--host"}, file);
    ASSERT_FALSE(host.exitStatus) << host.err;
    EXPECT_EQ(host.settings.network.role, NetworkRole::Host);
    EXPECT_EQ(host.settings.network.port, 30000);
    EXPECT_FALSE(host.settings.network.anyPort);
    const Launch hostOn = plan({"--host", "31000", "--windowed"}, file);
    ASSERT_FALSE(hostOn.exitStatus) << hostOn.err;
    EXPECT_EQ(hostOn.settings.network.port, 31000);
    EXPECT_EQ(hostOn.settings.video.fullscreen, FullscreenChoice::No);
    const Launch anyPort = plan({"--host", "0"});
    ASSERT_FALSE(anyPort.exitStatus) << anyPort.err;
    EXPECT_TRUE(anyPort.settings.network.anyPort);
    EXPECT_EQ(anyPort.settings.network.port, kDefaultPort) << "the row stays in its range";

    const Launch join = plan({"--connect", "localhost", "--name", "Me\x01", "--password", "pw"}, file);
    ASSERT_FALSE(join.exitStatus) << join.err;
    EXPECT_EQ(join.settings.network.role, NetworkRole::Join);
    EXPECT_EQ(join.settings.network.joinHost, "localhost");
    EXPECT_EQ(join.settings.network.port, 30000);
    EXPECT_EQ(join.settings.network.name, "Me") << "control bytes go, as the server drops them";
    EXPECT_EQ(join.settings.network.password, "pw");
    const Launch joinOn = plan({"--connect", "127.0.0.1:4000"}, file);
    ASSERT_FALSE(joinOn.exitStatus) << joinOn.err;
    EXPECT_EQ(joinOn.settings.network.joinHost, "127.0.0.1");
    EXPECT_EQ(joinOn.settings.network.port, 4000);

    // One player at this machine in a network match.
    EXPECT_EQ(plan({"--connect", "localhost", "--players", "2"}).exitStatus, kExitBadOptions);
    EXPECT_FALSE(plan({"--connect", "localhost", "--players", "1"}).exitStatus);

    // The help lists the exit statuses of a network match.
    const std::string help = parse({"--help"}).out;
    for (const char* word : {"--host [PORT]", "--connect HOST[:PORT]", "--name NAME", "--password P", "4 when",
                             "5 when", "6 when"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
    EXPECT_NE(parse({"--host", "1", "--connect", "a"}).err.find("excludes"), std::string::npos);
}

// The password given is never printed back: not by --print-config, not in
// a message about it.
TEST(Launch, ThePasswordIsNeverPrinted)
{
    ScratchFolder folder;
    const std::string file = folder.write("settings.toml", "[network]\npassword = \"filedSecret\"\n");
    const Launch printed = plan({"--print-config"}, file);
    ASSERT_EQ(printed.exitStatus, 0);
    EXPECT_EQ(printed.out.find("filedSecret"), std::string::npos) << printed.out;
    const Launch given = plan({"--print-config", "--password", "givenSecret"}, file);
    EXPECT_EQ(given.out.find("givenSecret"), std::string::npos) << given.out;
    EXPECT_NE(given.out.find("password"), std::string::npos) << "the key is shown, without its value";
    // Read back, the printed file leaves the password at its default.
    const SettingsFileResult back = parseSettingsText(given.out, "printed");
    EXPECT_TRUE(back.messages.empty());
    EXPECT_EQ(back.settings.network.password, "");

    const std::string longSecret(kMaxPasswordBytes + 1, 's');
    const Launch tooLong = plan({"--password", longSecret});
    EXPECT_EQ(tooLong.exitStatus, kExitBadOptions);
    EXPECT_EQ(tooLong.err.find(longSecret), std::string::npos);
    const std::string longFile = folder.write("long.toml", "[network]\npassword = \"" + longSecret + "\"\n");
    const Launch fromFile = plan({}, longFile);
    EXPECT_FALSE(fromFile.exitStatus);
    EXPECT_NE(fromFile.err.find("network.password"), std::string::npos) << fromFile.err;
    EXPECT_EQ(fromFile.err.find(longSecret), std::string::npos) << fromFile.err;
    EXPECT_EQ(fromFile.settings.network.password, "");
}

// The settings file under the options: what an option names comes from the
// option, everything else from the file.
TEST(Launch, OptionsWinOverTheFileAndTheFileOverTheDefaults)
{
    ScratchFolder folder;
    const std::string file = folder.write("settings.toml",
                                          "[video]\nfullscreen = \"yes\"\nvsync = \"on\"\nmax_fps = 30\n"
                                          "[audio]\nvolume = 20\nmute = false\n"
                                          "[mouse]\nsensitivity = 4.0\n"
                                          "[keys]\nquit = \"Q\"\nrun = \"Left Shift\"\n");
    const Launch fileOnly = plan({}, file);
    EXPECT_FALSE(fileOnly.exitStatus);
    EXPECT_TRUE(fileOnly.err.empty()) << fileOnly.err;
    EXPECT_EQ(fileOnly.settings.video.fullscreen, FullscreenChoice::Yes);
    EXPECT_EQ(fileOnly.settings.video.maxFps, 30);
    EXPECT_EQ(fileOnly.settings.audio.volume, 20);

    const Launch both = plan({"--windowed", "--vsync", "adaptive", "--max-fps", "120", "--volume", "70", "--mute",
                              "--mouse-sensitivity", "0.5", "--invert-y"},
                             file);
    EXPECT_TRUE(both.err.empty()) << both.err;
    Settings expected = readSettingsFile(file, false).settings;
    expected.video = {FullscreenChoice::No, VsyncMode::Adaptive, 120};
    expected.audio = {70, true};
    expected.mouse = {0.5f, true};
    expectSameSettings(both.settings, expected);

    // --config replaces the default file, which is then not read at all.
    const std::string other = folder.write("other.toml", "[audio]\nvolume = 55\n");
    const Launch configured = plan({"--config", other}, file);
    Settings onlyOther;
    onlyOther.audio.volume = 55;
    expectSameSettings(configured.settings, onlyOther);
}

TEST(Launch, FileProblemsGoToStandardErrorAndTheGameGoesOn)
{
    ScratchFolder folder;
    const std::string file = folder.write("settings.toml", "[audio]\nvolume = 500\nmute = true\n");
    const Launch launch = plan({"--max-fps", "60"}, file);
    EXPECT_FALSE(launch.exitStatus);
    EXPECT_EQ(launch.err, "turfwar: " + file +
                              ":2:10: audio.volume: 500 is out of range (0 to 100); using the default 100\n");
    EXPECT_TRUE(launch.settings.audio.mute);
    EXPECT_EQ(launch.settings.audio.volume, 100);
    EXPECT_EQ(launch.settings.video.maxFps, 60);

    // A --config file that is not there is named; the default one may be missing quietly.
    const Launch named = plan({"--config", folder.path("missing.toml")});
    EXPECT_FALSE(named.exitStatus);
    EXPECT_NE(named.err.find("missing.toml: cannot read (No such file or directory)"), std::string::npos);
    EXPECT_TRUE(plan({}, folder.path("missing.toml")).err.empty());

    // A bad command line ends before any file is read.
    const Launch bad = plan({"--volume", "500"}, file);
    EXPECT_EQ(bad.exitStatus, kExitBadOptions);
    EXPECT_EQ(bad.err.find(file), std::string::npos);
}

TEST(Launch, PrintConfigWritesTheMergedSettingsAsAFileThatReadsBack)
{
    ScratchFolder folder;
    const std::string file = folder.write("settings.toml", "[keys]\nfire = \"Space\"\n[gamepad]\ndead_zone = 0.25\n");
    const Launch printed = plan({"--print-config", "--volume", "30", "--fullscreen"}, file);
    ASSERT_EQ(printed.exitStatus, 0);
    EXPECT_TRUE(printed.err.empty()) << printed.err;

    const SettingsFileResult back = parseSettingsText(printed.out, "printed");
    EXPECT_TRUE(back.messages.empty());
    Settings expected;
    expected.keys[Action::Fire] = {Binding::Kind::Key, 44};  // Space
    expected.gamepad.deadZone = 0.25f;
    expected.audio.volume = 30;
    expected.video.fullscreen = FullscreenChoice::Yes;
    expectSameSettings(back.settings, expected);
}

// The flags take an explicit value, so that an option can turn off what the
// settings file turned on.
TEST(Launch, BooleanOptionsTurnOffWhatTheFileTurnedOn)
{
    ScratchFolder folder;
    const std::string file = folder.write("settings.toml", "[audio]\nmute = true\n[mouse]\ninvert_y = true\n");
    const Launch off = plan({"--mute=false", "--invert-y=false"}, file);
    ASSERT_FALSE(off.exitStatus) << off.err;
    EXPECT_FALSE(off.settings.audio.mute);
    EXPECT_FALSE(off.settings.mouse.invertY);

    const Launch fileOnly = plan({}, file);
    EXPECT_TRUE(fileOnly.settings.audio.mute);
    EXPECT_TRUE(fileOnly.settings.mouse.invertY);

    const Launch on = plan({"--mute=true", "--invert-y"});
    EXPECT_TRUE(on.settings.audio.mute);
    EXPECT_TRUE(on.settings.mouse.invertY);
    EXPECT_EQ(parse({}).options.given("audio", "mute"), nullptr);  // not given: the file decides
}

// An option where a value belongs is a missing value, never a file or a
// folder of that name; a negative number is still a number out of range.
TEST(CommandLine, AnOptionWhereAValueBelongsIsAMissingValue)
{
    ScratchFolder folder;
    folder.write("--windowed", "[audio]\nvolume = 5\n");
    std::filesystem::create_directories(folder.path("-data"));
    const std::string here = std::filesystem::current_path().string();
    std::filesystem::current_path(folder.dir());
    for (const char* option : {"--config", "--data", "--volume", "--mouse-sensitivity", "--vsync", "--max-fps"}) {
        for (const char* next : {"--windowed", "-data", "-h"}) {
            SCOPED_TRACE(std::string(option) + " " + next);
            const CommandLine line = parse({option, next});
            EXPECT_TRUE(line.exitNow);
            EXPECT_EQ(line.exitStatus, kExitBadOptions);
            EXPECT_NE(line.err.find(std::string("missing value ('") + next + "' is an option)"), std::string::npos)
                << line.err;
        }
    }
    std::filesystem::current_path(here);
    EXPECT_NE(parse({"--volume", "-5"}).err.find("'-5' is not a whole number from 0 to 100"), std::string::npos);
    EXPECT_NE(parse({"--mouse-sensitivity", "-.5"}).err.find("'-.5' is not a number"), std::string::npos);
    EXPECT_FALSE(parse({"--config", "./--windowed"}).exitNow);

    // Whatever an argument holds, the reason is one line.
    const CommandLine odd = parse({"--data", "/no/such\nfolder\x1b[2J"});
    EXPECT_EQ(odd.exitStatus, kExitBadOptions);
    EXPECT_EQ(odd.err.rfind("turfwar: --data: '/no/such\\nfolder\\x1b[2J' is not a folder\nUsage:", 0), 0u)
        << odd.err;
}

// The window's title and the start question name the keys as bound; with
// the original's keys they are the original's texts.
TEST(Launch, TheTitleAndTheStartQuestionNameTheBoundKeys)
{
    const KeyBindings original;
    EXPECT_EQ(windowTitle(original), kWindowTitle);
    EXPECT_EQ(startQuestionText(original), kStartQuestionText);

    ScratchFolder folder;
    const std::string file = folder.write("settings.toml", "[keys]\nquit = \"F1\"\nforward = \"I\"\nleft = \"J\"\n"
                                                           "back = \"K\"\nright = \"L\"\nrun = \"Left Shift\"\n"
                                                           "enter_leave = \"Return\"\nfire = \"Mouse3\"\n");
    const Launch rebound = plan({}, file);
    EXPECT_TRUE(rebound.err.empty()) << rebound.err;
    EXPECT_EQ(windowTitle(rebound.settings.keys),
              "Move: IJKL, Fire: R Click, Run: Left Shift, Enter/Exit Vehicle: Return, Close: F1");
    EXPECT_EQ(startQuestionText(rebound.settings.keys),
              "Controls: \nMove: IJKL, Run: Left Shift, Enter/Exit Vehicle: Return\nShoot: Right Click, Look: Mouse\n\n"
              "Would You Like To Run In Fullscreen Mode?");

    KeyBindings arrows;
    arrows[Action::Forward] = *bindingFromName("Up");
    arrows[Action::Back] = *bindingFromName("Down");
    arrows[Action::Fire] = *bindingFromName("Mouse4");
    EXPECT_EQ(windowTitle(arrows), "Move: Up/A/Down/D, Fire: Mouse4, Run: Q, Enter/Exit Vehicle: E, Close: Escape");
}

// The game binary, as help2man and a player run it: nothing opens (no
// display is needed) and the default settings file comes from XDG_CONFIG_HOME.
TEST(GameCommandLine, AnswersWithoutOpeningAnything)
{
    ScratchFolder config;
    config.write("turfwar/settings.toml", "[video]\nmax_fps = 75\n[audio]\nvolume = 101\n");
    // The child reads the default file from the environment it inherits.
    const char* previous = std::getenv("XDG_CONFIG_HOME");
    const std::optional<std::string> saved = previous ? std::optional<std::string>(previous) : std::nullopt;
    ::setenv("XDG_CONFIG_HOME", config.dir().c_str(), 1);
    auto game = [](const std::string& args) { return runTool("turfwar", args); };

    const ToolResult help = game("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: turfwar [OPTIONS]"), std::string::npos);
    EXPECT_TRUE(help.err.empty()) << help.err;

    const ToolResult version = game("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "turfwar 1.0.0\n");

    const ToolResult printed = game("--print-config --mute");
    EXPECT_EQ(printed.status, 0);
    EXPECT_NE(printed.out.find("max_fps = 75"), std::string::npos) << printed.out;
    EXPECT_NE(printed.out.find("volume = 100"), std::string::npos) << printed.out;
    EXPECT_NE(printed.out.find("mute = true"), std::string::npos) << printed.out;
    EXPECT_NE(printed.err.find("audio.volume: 101 is out of range"), std::string::npos) << printed.err;

    const ToolResult bad = game("--max-fps lots");
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.out.empty());
    EXPECT_EQ(bad.err.rfind("turfwar: --max-fps: 'lots' is not a whole number from 0 to 1000\nUsage:", 0), 0u)
        << bad.err;
    if (saved)
        ::setenv("XDG_CONFIG_HOME", saved->c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
