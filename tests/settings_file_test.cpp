// The settings file: what each well-formed file sets, what each bad one
// reports (file, line, column, key) and which settings it leaves at their
// defaults, and the file cases around the text (folders, unreadable, large).

#include "app/settings_file.h"

#include "settings_test_support.h"
#include "tool_runner.h"

#include <gtest/gtest.h>

#include <SDL_scancode.h>
#include <SDL_keyboard.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr const char* kFile = "settings.toml";

std::string joined(const std::vector<std::string>& messages)
{
    std::string all;
    for (const std::string& m : messages)
        all += m + "\n";
    return all;
}

Binding key(int scancode) { return {Binding::Kind::Key, scancode}; }
Binding mouse(int button) { return {Binding::Kind::MouseButton, button}; }

const char* const kFullExample = R"(# every key, none at its default
[video]
fullscreen = "no"
vsync = "off"
max_fps = 144

[audio]
volume = 35
mute = true

[mouse]
sensitivity = 0.25
invert_y = true

[keys]
forward = "Up"
back = "down"
left = "Left"
right = "RIGHT"
run = "Left Shift"
enter_leave = "Return"
fire = "Space"
quit = "F10"

[gamepad]
dead_zone = 0.3
look_speed = 90
)";

Settings fullExampleSettings()
{
    Settings s;
    s.video = {FullscreenChoice::No, VsyncMode::Off, 144};
    s.audio = {35, true};
    s.mouse = {0.25f, true};
    s.keys[Action::Forward] = key(SDL_SCANCODE_UP);
    s.keys[Action::Back] = key(SDL_SCANCODE_DOWN);
    s.keys[Action::Left] = key(SDL_SCANCODE_LEFT);
    s.keys[Action::Right] = key(SDL_SCANCODE_RIGHT);
    s.keys[Action::Run] = key(SDL_SCANCODE_LSHIFT);
    s.keys[Action::EnterLeave] = key(SDL_SCANCODE_RETURN);
    s.keys[Action::Fire] = key(SDL_SCANCODE_SPACE);
    s.keys[Action::Quit] = key(SDL_SCANCODE_F10);
    s.gamepad = {0.3f, 90.0f};
    return s;
}

TEST(SettingsText, AFullFileSetsEveryKeyAndAnEmptyOneNone)
{
    const SettingsFileResult full = parseSettingsText(kFullExample, kFile);
    EXPECT_TRUE(full.messages.empty()) << joined(full.messages);
    expectSameSettings(full.settings, fullExampleSettings());

    for (const char* empty : {"", "\n\n", "# only a comment\n", "[video]\n[audio]\n[mouse]\n[keys]\n[gamepad]\n"}) {
        const SettingsFileResult none = parseSettingsText(empty, kFile);
        EXPECT_TRUE(none.messages.empty()) << joined(none.messages);
        expectSameSettings(none.settings, Settings{});
    }
}

TEST(SettingsText, EachSectionAloneSetsOnlyItsOwnSettings)
{
    const Settings full = fullExampleSettings();
    struct Case {
        const char* text;
        void (*take)(Settings& s, const Settings& from);
    };
    const Case cases[] = {
        {"[video]\nfullscreen = \"no\"\nvsync = \"off\"\nmax_fps = 144\n",
         [](Settings& s, const Settings& from) { s.video = from.video; }},
        {"[audio]\nvolume = 35\nmute = true\n", [](Settings& s, const Settings& from) { s.audio = from.audio; }},
        {"[mouse]\nsensitivity = 0.25\ninvert_y = true\n",
         [](Settings& s, const Settings& from) { s.mouse = from.mouse; }},
        {"[keys]\nforward = \"Up\"\nback = \"down\"\nleft = \"Left\"\nright = \"RIGHT\"\nrun = \"Left Shift\"\n"
         "enter_leave = \"Return\"\nfire = \"Space\"\nquit = \"F10\"\n",
         [](Settings& s, const Settings& from) { s.keys = from.keys; }},
        {"[gamepad]\ndead_zone = 0.3\nlook_speed = 90\n",
         [](Settings& s, const Settings& from) { s.gamepad = from.gamepad; }},
        // Dotted keys at the top level mean the same as the sections.
        {"video.max_fps = 144\nvideo.vsync = \"off\"\nvideo.fullscreen = \"no\"\n",
         [](Settings& s, const Settings& from) { s.video = from.video; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const SettingsFileResult result = parseSettingsText(c.text, kFile);
        EXPECT_TRUE(result.messages.empty()) << joined(result.messages);
        Settings expected;
        c.take(expected, full);
        expectSameSettings(result.settings, expected);
    }
}

// A syntax error anywhere throws the whole file out, with the place named.
TEST(SettingsText, ASyntaxErrorNamesTheLineAndColumnAndKeepsEveryDefault)
{
    using namespace std::string_view_literals;
    struct Case {
        std::string_view text;
        const char* where;
    };
    const Case cases[] = {
        {"[video\nmax_fps = 30\n", "settings.toml:1:7: "},                      // unclosed header
        {"[audio]\nvolume = 35\nmute = tru\n", "settings.toml:3:11: "},          // bad value
        {"[audio]\nvolume = 35\nvolume = 40\n", "settings.toml:3:10: "},         // a key twice
        {"[mouse]\nsensitivity = 0.5\n\n\n  invert_y true\n", "settings.toml:5:12: "},  // no '='
        {"[keys]\nfire = \"Space\n", "settings.toml:2:14: "},                   // unterminated string
        {"[video]\nmax_fps = 30\n[video]\n", "settings.toml:3:1: "},            // a section twice
        {"\xff\xfe[video]\n", "settings.toml:1:1: "},                           // not UTF-8
        // Letters from beyond ASCII where a space may come.
        {"[audio]\nvolume = \xc3\xa9\n", "settings.toml:2:10: "},
        {"[video]\nmax_fps = 19:\xd0\x90\n", "settings.toml:2:14: "},
        {"[video] \xef\xb9\x90\n", "settings.toml:1:9: "},
        // No key after a table's [: a NUL, a sign, a control character.
        {"[\0"sv, "settings.toml:1:2: "},
        {"[@", "settings.toml:1:2: "},
        {"[audio]\n[\x07video]\n", "settings.toml:2:2: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const SettingsFileResult result = parseSettingsText(c.text, kFile);
        ASSERT_EQ(result.messages.size(), 1u) << joined(result.messages);
        const std::string& message = result.messages[0];
        EXPECT_EQ(message.rfind(c.where, 0), 0u) << message;
        EXPECT_NE(message.find("using every default"), std::string::npos) << message;
        expectSameSettings(result.settings, Settings{});
    }
}

std::string repeated(std::string_view piece, std::size_t times)
{
    std::string out;
    for (std::size_t i = 0; i < times; ++i)
        out += piece;
    return out;
}

// The parser recurses once per level; files deep enough to overflow the
// stack (thousands of levels fit well under the size limit) are refused
// before it sees them, and nothing a real settings file holds comes near.
TEST(SettingsText, DeeplyNestedFilesAreRefusedBeforeParsing)
{
    const std::size_t deep = 160000;
    struct Case {
        std::string text;
        const char* where;
    };
    const std::vector<Case> cases = {
        {"[a" + repeated(".a", deep) + "]\n", "settings.toml:1:65: "},
        {"# a comment\nb" + repeated(".b", deep) + " = 1\n", "settings.toml:2:64: "},
        {"[video]\nmax_fps = 30\nx = " + repeated("{b = ", deep) + "1" + repeated("}", deep) + "\n",
         "settings.toml:3:"},
        {"x = " + repeated("[", deep) + repeated("]", deep) + "\n", "settings.toml:1:"},
        {"x = [\n" + repeated("[{a.b.c = [\n", deep / 4) + "\n", "settings.toml:"},
        {"[[a" + repeated(".\"quoted part\"", 40) + "]]\n", "settings.toml:1:"},
        {"[keys]\n" + repeated("k.", 40) + "k = \"W\"\n", "settings.toml:2:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 80));
        const SettingsFileResult result = parseSettingsText(c.text, kFile);
        ASSERT_EQ(result.messages.size(), 1u) << joined(result.messages);
        EXPECT_EQ(result.messages[0].rfind(c.where, 0), 0u) << result.messages[0];
        EXPECT_NE(result.messages[0].find("not a valid settings file: nested more than 32 levels deep"),
                  std::string::npos)
            << result.messages[0];
        EXPECT_NE(result.messages[0].find("using every default"), std::string::npos);
        expectSameSettings(result.settings, Settings{});
    }

    // Brackets and dots inside strings and comments are no nesting, and a
    // deep but bounded file reaches the parser, which reads it as usual.
    const std::string notDeep =
        "[keys]  # " + repeated("[{.", 100) + "\n" +
        "fire = \"[\"\n" +
        "quit = '" + repeated("[", 100) + "'\n" +
        "\"" + repeated("a.", 100) + "\" = 1\n" +
        "[video]\n" +
        "max_fps = 30\n" +
        "notes = \"\"\"\n" + repeated("[{.\\\"\n", 100) + "\"\"\"\"\n" +
        "more = '''" + repeated("[{.'\n", 100) + "'''''\n" +
        "levels = " + repeated("[", 30) + repeated("]", 30) + "\n" +
        "[mouse" + repeated(".m", 30) + "]\n";
    const SettingsFileResult result = parseSettingsText(notDeep, kFile);
    for (const std::string& message : result.messages)
        EXPECT_EQ(message.find("not a valid settings file"), std::string::npos) << message;
    EXPECT_EQ(result.settings.video.maxFps, 30);
    EXPECT_EQ(result.settings.keys[Action::Fire], key(SDL_SCANCODE_LEFTBRACKET));

    // The same refusal as the default file at the start: one message, every default.
    ScratchFolder folder;
    const std::string file = folder.write("deep.toml", "[audio]\nvolume = 5\n" + repeated("a.", deep) + "a = 1\n");
    const SettingsFileResult read = readSettingsFile(file, true);
    ASSERT_EQ(read.messages.size(), 1u) << joined(read.messages);
    EXPECT_EQ(read.messages[0].rfind(file + ":3:", 0), 0u) << read.messages[0];
    expectSameSettings(read.settings, Settings{});
}

// In a well-formed file each bad key is named once and keeps its default;
// the good keys around it still apply.
TEST(SettingsText, WrongTypesAndOutOfRangeValuesFallBackKeyByKey)
{
    const std::string text =
        "[video]\n"
        "fullscreen = true\n"          // 2: a boolean, not "yes"
        "vsync = \"sometimes\"\n"      // 3: not a mode
        "max_fps = 1001\n"             // 4: above the range
        "[audio]\n"
        "volume = 50.0\n"              // 6: a float, not an integer
        "mute = \"yes\"\n"             // 7: a string, not a boolean
        "[mouse]\n"
        "sensitivity = nan\n"          // 9: NaN is out of every range
        "invert_y = true\n"            // 10: good
        "[keys]\n"
        "forward = 26\n"               // 12: a number, not a name
        "back = \"Not A Key\"\n"       // 13: no such key
        "fire = \"Mouse6\"\n"          // 14: no such button
        "quit = \"\"\n"                // 15: empty
        "run = \"Left Shift\"\n"       // 16: good
        "[gamepad]\n"
        "dead_zone = -0.1\n"           // 18: below the range
        "look_speed = inf\n";          // 19: above the range
    const SettingsFileResult result = parseSettingsText(text, kFile);

    const std::vector<std::pair<std::string, std::string>> expected = {
        {"settings.toml:2:14: video.fullscreen: expected a string", "using the default \"ask\""},
        {"settings.toml:3:9: video.vsync: \"sometimes\" is not one of", "using the default \"adaptive\""},
        {"settings.toml:4:11: video.max_fps: 1001 is out of range (0 to 1000)", "using the default 0"},
        {"settings.toml:6:10: audio.volume: expected an integer, found a floating-point number",
         "using the default 100"},
        {"settings.toml:7:8: audio.mute: expected true or false, found a string", "using the default false"},
        {"settings.toml:9:15: mouse.sensitivity: nan is out of range", "using the default 1.0"},
        {"settings.toml:12:11: keys.forward: expected a key name, found an integer", "using the default \"W\""},
        {"settings.toml:13:8: keys.back: \"Not A Key\" is not a key or mouse button name",
         "using the default \"S\""},
        {"settings.toml:14:8: keys.fire: \"Mouse6\" is not", "using the default \"Mouse1\""},
        {"settings.toml:15:8: keys.quit: \"\" is not", "using the default \"Escape\""},
        {"settings.toml:18:13: gamepad.dead_zone: -0.1 is out of range (0.0 to 0.9)", "using the default 0.15"},
        {"settings.toml:19:14: gamepad.look_speed: inf is out of range (1.0 to 1000.0)",
         "using the default 180.0"},
    };
    ASSERT_EQ(result.messages.size(), expected.size()) << joined(result.messages);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(result.messages[i].rfind(expected[i].first, 0), 0u) << result.messages[i];
        EXPECT_NE(result.messages[i].find(expected[i].second), std::string::npos) << result.messages[i];
    }

    Settings applied;
    applied.mouse.invertY = true;
    applied.keys[Action::Run] = key(SDL_SCANCODE_LSHIFT);
    expectSameSettings(result.settings, applied);
}

TEST(SettingsText, RangesIncludeTheirEnds)
{
    const SettingsFileResult low = parseSettingsText(
        "[video]\nmax_fps = 0\n[audio]\nvolume = 0\n[mouse]\nsensitivity = 0.01\n"
        "[gamepad]\ndead_zone = 0\nlook_speed = 1\n",
        kFile);
    EXPECT_TRUE(low.messages.empty()) << joined(low.messages);
    EXPECT_EQ(low.settings.audio.volume, 0);
    EXPECT_EQ(low.settings.mouse.sensitivity, 0.01f);
    EXPECT_EQ(low.settings.gamepad.deadZone, 0.0f);
    EXPECT_EQ(low.settings.gamepad.lookSpeed, 1.0f);

    const SettingsFileResult high = parseSettingsText(
        "[video]\nmax_fps = 1000\n[audio]\nvolume = 100\n[mouse]\nsensitivity = 100\n"
        "[gamepad]\ndead_zone = 0.9\nlook_speed = 1000.0\n",
        kFile);
    EXPECT_TRUE(high.messages.empty()) << joined(high.messages);
    EXPECT_EQ(high.settings.video.maxFps, 1000);
    EXPECT_EQ(high.settings.mouse.sensitivity, 100.0f);
    EXPECT_EQ(high.settings.gamepad.deadZone, 0.9f);

    const SettingsFileResult past = parseSettingsText(
        "[video]\nmax_fps = -1\n[audio]\nvolume = 101\n[mouse]\nsensitivity = 0\n"
        "[gamepad]\ndead_zone = 0.95\nlook_speed = 0.5\n",
        kFile);
    EXPECT_EQ(past.messages.size(), 5u) << joined(past.messages);
    expectSameSettings(past.settings, Settings{});

    // A value just past an end is shown with the digits that put it there.
    const SettingsFileResult justPast = parseSettingsText("[gamepad]\ndead_zone = 0.9000001\n", kFile);
    ASSERT_EQ(justPast.messages.size(), 1u) << joined(justPast.messages);
    EXPECT_NE(justPast.messages[0].find("0.9000001 is out of range (0.0 to 0.9)"), std::string::npos)
        << justPast.messages[0];

    // Integers beyond any int do not wrap into the range.
    const SettingsFileResult huge = parseSettingsText("[audio]\nvolume = 4294967346\n", kFile);
    EXPECT_EQ(huge.messages.size(), 1u);
    EXPECT_EQ(huge.settings.audio.volume, 100);
}

// The match: the mode and its three rules, their ends taken and the values
// past them refused one by one with the default kept.
TEST(SettingsText, TheMatchRowsReadTheirRangesAndRefuseWhatIsPast)
{
    EXPECT_EQ(Settings{}.game.mode, GameMode::Free);
    EXPECT_EQ(Settings{}.match.rules().rounds, kDefaultRounds);
    EXPECT_EQ(Settings{}.match.rules().roundSeconds, kDefaultRoundSeconds);
    EXPECT_EQ(Settings{}.match.rules().respawnSeconds, kDefaultRespawnSeconds);

    const SettingsFileResult ends = parseSettingsText(
        "[game]\nmode = \"match\"\n[match]\nrounds = 99\nround_minutes = 0.25\nrespawn_seconds = 0\n", kFile);
    EXPECT_TRUE(ends.messages.empty()) << joined(ends.messages);
    EXPECT_EQ(ends.settings.game.mode, GameMode::Match);
    EXPECT_EQ(ends.settings.match.rounds, 99);
    EXPECT_EQ(ends.settings.match.rules().roundSeconds, 15.0f);
    EXPECT_EQ(ends.settings.match.respawnSeconds, 0.0f);

    const SettingsFileResult whole = parseSettingsText("[match]\nround_minutes = 60\nrespawn_seconds = 60\n", kFile);
    EXPECT_TRUE(whole.messages.empty()) << joined(whole.messages);
    EXPECT_EQ(whole.settings.match.rules().roundSeconds, 3600.0f);

    const SettingsFileResult past = parseSettingsText(
        "[game]\nmode = \"duel\"\n[match]\nrounds = 0\nround_minutes = 0.2\nrespawn_seconds = 61\n", kFile);
    const std::vector<std::string> expected = {
        "settings.toml:2:8: game.mode: \"duel\" is not one of",
        "settings.toml:4:10: match.rounds: 0 is out of range (1 to 99)",
        "settings.toml:5:17: match.round_minutes: 0.2 is out of range (0.25 to 60.0)",
        "settings.toml:6:19: match.respawn_seconds: 61 is out of range (0.0 to 60.0)",
    };
    ASSERT_EQ(past.messages.size(), expected.size()) << joined(past.messages);
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(past.messages[i].rfind(expected[i], 0), 0u) << past.messages[i];
    expectSameSettings(past.settings, Settings{});
}

TEST(SettingsText, UnknownKeysAndSectionsAreNamedAndIgnored)
{
    const SettingsFileResult result = parseSettingsText(
        "volume = 20\n"               // 1: a key outside any section
        "[video]\n"
        "fulscreen = \"yes\"\n"       // 3: misspelt
        "max_fps = 60\n"              // 4: good
        "[video.extra]\n"             // 5: a table where a key belongs
        "[sound]\n"                   // 6: no such section
        "volume = 20\n"
        "[keys]\n"
        "jump = \"Space\"\n",         // 9: no such action
        kFile);
    const std::vector<std::string> expected = {
        "settings.toml:1:1: volume: unknown key, ignored",
        "settings.toml:3:1: video.fulscreen: unknown key, ignored",
        "settings.toml:5:8: video.extra: unknown key, ignored",
        "settings.toml:6:2: sound: unknown section, ignored",
        "settings.toml:9:1: keys.jump: unknown key, ignored",
    };
    EXPECT_EQ(result.messages, expected);
    Settings applied;
    applied.video.maxFps = 60;
    expectSameSettings(result.settings, applied);

    // Whatever a name or value holds, its message is one short line.
    const SettingsFileResult odd = parseSettingsText(
        "[video]\n\"line\\nbreak\" = 1\nvsync = \"" + std::string(5000, 'v') + "\"\n", kFile);
    ASSERT_EQ(odd.messages.size(), 2u) << joined(odd.messages);
    EXPECT_EQ(odd.messages[0], "settings.toml:2:1: video.line\\nbreak: unknown key, ignored");
    EXPECT_LT(odd.messages[1].size(), 200u);
    EXPECT_NE(odd.messages[1].find("\"vvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvv...\" is not one of"), std::string::npos)
        << odd.messages[1];

    // A section written as a value, or as an array of tables.
    const SettingsFileResult notTables = parseSettingsText("audio = 5\n[[mouse]]\ninvert_y = true\n", kFile);
    ASSERT_EQ(notTables.messages.size(), 2u) << joined(notTables.messages);
    EXPECT_EQ(notTables.messages[0].rfind("settings.toml:1:9: audio: expected a section ([audio]), found an integer", 0),
              0u)
        << notTables.messages[0];
    EXPECT_NE(notTables.messages[1].find("mouse: expected a section ([mouse]), found an array"), std::string::npos)
        << notTables.messages[1];
    expectSameSettings(notTables.settings, Settings{});
}

TEST(SettingsText, KeysAreNamedBySdlScancodeNameOrMouseButton)
{
    EXPECT_EQ(bindingFromName("W"), key(SDL_SCANCODE_W));
    EXPECT_EQ(bindingFromName("w"), key(SDL_SCANCODE_W));
    EXPECT_EQ(bindingFromName("left shift"), key(SDL_SCANCODE_LSHIFT));
    EXPECT_EQ(bindingFromName("Keypad 8"), key(SDL_SCANCODE_KP_8));
    EXPECT_EQ(bindingFromName("Mouse1"), mouse(1));
    EXPECT_EQ(bindingFromName("mouse3"), mouse(3));
    EXPECT_EQ(bindingFromName("MOUSE5"), mouse(5));
    for (const char* bad : {"", "Mouse0", "Mouse6", "Mouse10", "Mouse", "Nope", "W2"})
        EXPECT_FALSE(bindingFromName(bad)) << bad;
    // SDL stops reading at a NUL: "W" followed by anything is not "W".
    EXPECT_FALSE(bindingFromName(std::string_view("W\0junk", 6)));
    EXPECT_FALSE(parseSettingsText("[keys]\nfire = \"W\\u0000junk\"\n", kFile).messages.empty());

    // The defaults are the original's keys.
    const Settings defaults;
    EXPECT_EQ(bindingName(defaults.keys[Action::Forward]), "W");
    EXPECT_EQ(bindingName(defaults.keys[Action::Quit]), "Escape");
    EXPECT_EQ(bindingName(defaults.keys[Action::Fire]), "Mouse1");
}

TEST(SettingsText, TwoActionsOnOneInputAreReportedAndKeptAsWritten)
{
    const SettingsFileResult result = parseSettingsText("[keys]\nfire = \"W\"\n", kFile);
    ASSERT_EQ(result.messages.size(), 1u) << joined(result.messages);
    EXPECT_EQ(result.messages[0], "settings.toml:2:8: keys.forward (its default) and keys.fire (line 2) are both "
                                  "\"W\"; both actions will happen on it");
    EXPECT_EQ(result.settings.keys[Action::Fire], key(SDL_SCANCODE_W));
    EXPECT_EQ(result.settings.keys[Action::Forward], key(SDL_SCANCODE_W));

    // Each line named is the one that set the key: the later of the two in
    // the file (not in the list of actions), and never a refused value's.
    const SettingsFileResult both = parseSettingsText("[keys]\nquit = \"X\"\n\nforward = \"X\"\n", kFile);
    ASSERT_EQ(both.messages.size(), 1u) << joined(both.messages);
    EXPECT_EQ(both.messages[0], "settings.toml:4:11: keys.forward (line 4) and keys.quit (line 2) are both \"X\"; "
                                "both actions will happen on it");
    const SettingsFileResult refused = parseSettingsText("[keys]\nforward = \"Q\"\nrun = \"Nope\"\n", kFile);
    ASSERT_EQ(refused.messages.size(), 2u) << joined(refused.messages);
    EXPECT_EQ(refused.messages[0], "settings.toml:2:11: keys.forward (line 2) and keys.run (its default) are both "
                                   "\"Q\"; both actions will happen on it");
    EXPECT_EQ(refused.messages[1].rfind("settings.toml:3:7: keys.run: \"Nope\" is not", 0), 0u);
    // Dotted keys outside the section are lines of the file like any other.
    const SettingsFileResult dotted = parseSettingsText("keys.back = \"E\"\n", kFile);
    ASSERT_EQ(dotted.messages.size(), 1u) << joined(dotted.messages);
    EXPECT_EQ(dotted.messages[0].rfind("settings.toml:1:13: keys.back (line 1) and keys.enter_leave (its default)", 0),
              0u)
        << dotted.messages[0];

    // Swapping two keys is no clash.
    EXPECT_TRUE(parseSettingsText("[keys]\nforward = \"S\"\nback = \"W\"\n", kFile).messages.empty());
}

// What --print-config writes is a settings file that reads back the same,
// for every key SDL can name and floats that are not short decimals.
TEST(SettingsText, PrintedSettingsReadBackTheSame)
{
    const Settings full = fullExampleSettings();
    const SettingsFileResult again = parseSettingsText(settingsToToml(full), kFile);
    EXPECT_TRUE(again.messages.empty()) << joined(again.messages);
    expectSameSettings(again.settings, full);

    Settings odd;
    odd.mouse.sensitivity = 1.0f / 3.0f;
    odd.gamepad.deadZone = 0.1f + 0.2f;
    odd.gamepad.lookSpeed = 1000.0f;
    odd.video.fullscreen = FullscreenChoice::Yes;
    odd.video.vsync = VsyncMode::On;
    const SettingsFileResult oddAgain = parseSettingsText(settingsToToml(odd), kFile);
    EXPECT_TRUE(oddAgain.messages.empty()) << joined(oddAgain.messages);
    expectSameSettings(oddAgain.settings, odd);

    // SDL gives a few keys the name of another ("Return" for Return2): those
    // read back as the key that has that name first, which is the same name.
    int named = 0;
    for (int code = 1; code < SDL_NUM_SCANCODES; ++code) {
        const std::string name = SDL_GetScancodeName(static_cast<SDL_Scancode>(code));
        if (name.empty())
            continue;
        ++named;
        Settings s;
        s.keys[Action::Quit] = key(code);
        const SettingsFileResult back = parseSettingsText(settingsToToml(s), kFile);
        EXPECT_EQ(bindingName(back.settings.keys[Action::Quit]), name);
    }
    EXPECT_GT(named, 200);
}

// The README's example is the complete file of defaults.
TEST(SettingsText, TheReadmeShowsEveryKeyWithItsDefault)
{
    const std::string readme = readWholeFile(TURFWAR_SOURCE_DIR "/README.md");
    const std::string example = settingsToToml(Settings{});
    EXPECT_NE(readme.find("```toml\n" + example + "```\n"), std::string::npos)
        << "README.md should hold this example:\n```toml\n" << example << "```";
}

TEST(SettingsFile, TheDefaultPlaceFollowsXdgConfigHome)
{
    EXPECT_EQ(defaultSettingsPath("/x/config", "/home/p"), "/x/config/turfwar/settings.toml");
    EXPECT_EQ(defaultSettingsPath(nullptr, "/home/p"), "/home/p/.config/turfwar/settings.toml");
    EXPECT_EQ(defaultSettingsPath("", "/home/p"), "/home/p/.config/turfwar/settings.toml");
    EXPECT_EQ(defaultSettingsPath("relative/config", "/home/p"), "/home/p/.config/turfwar/settings.toml");
    EXPECT_EQ(defaultSettingsPath(nullptr, nullptr), std::nullopt);
    EXPECT_EQ(defaultSettingsPath(nullptr, ""), std::nullopt);
}

TEST(SettingsFile, ReadsAFileAndNamesItInMessages)
{
    ScratchFolder folder;
    const std::string good = folder.write("good.toml", kFullExample);
    const SettingsFileResult read = readSettingsFile(good, false);
    EXPECT_TRUE(read.messages.empty()) << joined(read.messages);
    expectSameSettings(read.settings, fullExampleSettings());

    const std::string bad = folder.write("bad.toml", "[audio]\nvolume = 500\n");
    const SettingsFileResult badRead = readSettingsFile(bad, false);
    ASSERT_EQ(badRead.messages.size(), 1u);
    EXPECT_EQ(badRead.messages[0].rfind(bad + ":2:10: audio.volume: 500 is out of range", 0), 0u)
        << badRead.messages[0];
}

// Whatever is at the path, the game gets the defaults and one message.
TEST(SettingsFile, WhatCannotBeReadGivesOneMessageAndEveryDefault)
{
    ScratchFolder folder;
    auto expectRefused = [](const std::string& path, const std::string& why) {
        SCOPED_TRACE(path);
        const SettingsFileResult result = readSettingsFile(path, true);
        ASSERT_EQ(result.messages.size(), 1u) << joined(result.messages);
        EXPECT_EQ(result.messages[0].rfind(path + ": ", 0), 0u) << result.messages[0];
        EXPECT_NE(result.messages[0].find(why), std::string::npos) << result.messages[0];
        EXPECT_NE(result.messages[0].find("using every default"), std::string::npos) << result.messages[0];
        expectSameSettings(result.settings, Settings{});
    };

    std::filesystem::create_directories(folder.path("settings.toml"));
    expectRefused(folder.path("settings.toml"), "a folder, not a settings file");

    std::filesystem::create_symlink("loop", folder.path("loop"));
    expectRefused(folder.path("loop"), "cannot read (Too many levels of symbolic links)");
    const std::string plain = folder.write("plain", "");
    expectRefused(plain + "/settings.toml", "cannot read (Not a directory)");

    // Permissions stop everyone but root.
    const std::string locked = folder.write("locked.toml", "[audio]\nvolume = 5\n");
    ::chmod(locked.c_str(), 0);
    if (::access(locked.c_str(), R_OK) != 0)
        expectRefused(locked, "cannot read (Permission denied)");

    // 2 MiB of valid TOML is refused unread, as is a file just over the limit;
    // one of exactly 1 MiB is read.
    const std::string line = "# a comment line, sixty-four bytes long, to fill the file up...\n";
    ASSERT_EQ(line.size(), 64u);
    std::string big;
    for (std::size_t i = 0; i < 2 * kMaxSettingsFileBytes / line.size(); ++i)
        big += line;
    expectRefused(folder.write("big.toml", "[audio]\nvolume = 5\n" + big), "larger than 1 MiB, not read");
    const std::string atLimit = "[audio]\nvolume = 5\n#" + std::string(kMaxSettingsFileBytes - 21, 'x') + "\n";
    ASSERT_EQ(atLimit.size(), kMaxSettingsFileBytes);
    expectRefused(folder.write("over.toml", atLimit + "\n"), "larger than 1 MiB, not read");
    const SettingsFileResult limit = readSettingsFile(folder.write("limit.toml", atLimit), true);
    EXPECT_TRUE(limit.messages.empty()) << joined(limit.messages);
    EXPECT_EQ(limit.settings.audio.volume, 5);

    // A device is read only up to the limit, not for ever.
    expectRefused("/dev/zero", "larger than 1 MiB, not read");
}

TEST(SettingsFile, AMissingFileIsQuietOnlyWhenItIsTheDefaultOne)
{
    ScratchFolder folder;
    const std::string missing = folder.path("nothing.toml");
    const SettingsFileResult quiet = readSettingsFile(missing, true);
    EXPECT_TRUE(quiet.messages.empty());
    expectSameSettings(quiet.settings, Settings{});

    const SettingsFileResult named = readSettingsFile(missing, false);
    ASSERT_EQ(named.messages.size(), 1u);
    EXPECT_EQ(named.messages[0], missing + ": cannot read (No such file or directory); using every default");

    // A path holding a line break or an escape still gives one line.
    const std::string oddPath = folder.path("new\nline\x1b[31m.toml");
    const SettingsFileResult odd = readSettingsFile(oddPath, false);
    ASSERT_EQ(odd.messages.size(), 1u);
    EXPECT_EQ(odd.messages[0], folder.path("new\\nline\\x1b[31m.toml") +
                                   ": cannot read (No such file or directory); using every default");
    const SettingsFileResult oddText = parseSettingsText("[audio]\nvolume = 500\n", "a\rb");
    ASSERT_EQ(oddText.messages.size(), 1u);
    EXPECT_EQ(oddText.messages[0].rfind("a\\x0db:2:10: audio.volume", 0), 0u) << oddText.messages[0];

    // /dev/null is an empty settings file, and a FIFO nobody writes does not hold up the start.
    EXPECT_TRUE(readSettingsFile("/dev/null", false).messages.empty());
    const std::string fifo = folder.path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const SettingsFileResult fromFifo = readSettingsFile(fifo, false);
    EXPECT_TRUE(fromFifo.messages.empty()) << joined(fromFifo.messages);
}

}  // namespace
