// The bots' settings: [match] bots ("auto" or a number), bot_level and seed
// in the file and as options, and the local players and bots held to what
// can play together (at most kMaxPlayers, and someone at all): a bad option
// ends the start, the file's values are fitted with a message.

#include "app/command_line.h"
#include "app/launch.h"
#include "app/settings_file.h"
#include "app/settings_table.h"

#include "settings_test_support.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

std::string joined(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& line : lines)
        out += line + "\n";
    return out;
}

SettingsFileResult parsed(const std::string& text) { return parseSettingsText(text, "s.toml"); }

CommandLine parsedLine(std::vector<std::string> args)
{
    args.insert(args.begin(), "turfwar");
    return parseCommandLine(args);
}

TEST(BotSettings, TheFileTakesAutoANumberALevelAndASeed)
{
    // The defaults: auto, normal, seed 1, and "auto" as the printed file says it.
    const Settings defaults;
    EXPECT_FALSE(defaults.match.bots.has_value());
    EXPECT_EQ(defaults.match.botLevel, BotLevel::Normal);
    EXPECT_EQ(defaults.match.seed, static_cast<int>(kDefaultBotSeed));
    const std::string printed = settingsToToml(defaults);
    EXPECT_NE(printed.find("\nbots = \"auto\"  # "), std::string::npos) << printed;
    EXPECT_NE(printed.find("\nbot_level = \"normal\"  # "), std::string::npos) << printed;
    EXPECT_NE(printed.find("\nseed = 1  # "), std::string::npos) << printed;

    const SettingsFileResult set =
        parsed("[game]\nplayers = 3\n[match]\nbots = 5\nbot_level = \"hard\"\nseed = 2147483647\n");
    EXPECT_TRUE(set.messages.empty()) << joined(set.messages);
    EXPECT_EQ(set.settings.match.bots, 5);
    EXPECT_EQ(set.settings.match.botLevel, BotLevel::Hard);
    EXPECT_EQ(set.settings.match.seed, 2147483647);
    // A number prints as a number and reads back; so does "auto" after one.
    const SettingsFileResult back = parsed(settingsToToml(set.settings));
    EXPECT_TRUE(back.messages.empty()) << joined(back.messages);
    expectSameSettings(back.settings, set.settings);
    const SettingsFileResult automatic = parsed("[match]\nbots = \"auto\"\nseed = 0\n");
    EXPECT_TRUE(automatic.messages.empty()) << joined(automatic.messages);
    EXPECT_FALSE(automatic.settings.match.bots.has_value());
    EXPECT_EQ(automatic.settings.match.seed, 0);

    // Each refused value is named, with the default kept.
    struct Refused {
        const char* line;
        const char* says;
    };
    for (const Refused& r : {
             Refused{"bots = \"three\"", "match.bots: \"three\" is not a whole number or \"auto\"; using the default \"auto\""},
             Refused{"bots = \"Auto\"", "match.bots: \"Auto\" is not a whole number or \"auto\""},
             Refused{"bots = 8", "match.bots: 8 is out of range (0 to 7); using the default \"auto\""},
             Refused{"bots = -1", "match.bots: -1 is out of range (0 to 7)"},
             Refused{"bots = 1.0", "match.bots: expected an integer or \"auto\", found a floating-point number"},
             Refused{"bots = true", "match.bots: expected an integer or \"auto\", found a boolean"},
             Refused{"bot_level = \"insane\"", "match.bot_level: \"insane\" is not one of \"easy\", \"normal\" or "
                                               "\"hard\"; using the default \"normal\""},
             Refused{"seed = -1", "match.seed: -1 is out of range (0 to 2147483647); using the default 1"},
             Refused{"seed = 2147483648", "match.seed: 2147483648 is out of range"},
             Refused{"seed = \"7\"", "match.seed: expected an integer, found a string"},
         }) {
        SCOPED_TRACE(r.line);
        const SettingsFileResult result = parsed(std::string("[match]\n") + r.line + "\n");
        ASSERT_EQ(result.messages.size(), 1u) << joined(result.messages);
        EXPECT_EQ(result.messages[0].rfind("s.toml:2:", 0), 0u) << result.messages[0];
        EXPECT_NE(result.messages[0].find(r.says), std::string::npos) << result.messages[0];
        expectSameSettings(result.settings, defaults);
    }

    // The row's words are the bots' own names for their levels.
    const SettingRow* level = findSettingRow("match", "bot_level");
    ASSERT_NE(level, nullptr);
    ASSERT_EQ(level->choices.size(), 3u);
    for (const SettingChoice& choice : level->choices)
        EXPECT_STREQ(botLevelName(static_cast<BotLevel>(choice.value)), choice.name);
}

TEST(BotSettings, TheOptionsTakeANumberAutoALevelAndASeed)
{
    struct Good {
        std::vector<std::string> args;
        std::optional<int> bots;
        BotLevel level;
        int seed;
    };
    for (const Good& g : {
             Good{{"--bots", "0"}, 0, BotLevel::Normal, 1},
             Good{{"--bots", "7", "--bot-level", "easy"}, 7, BotLevel::Easy, 1},
             Good{{"--bots=3", "--seed", "0"}, 3, BotLevel::Normal, 0},
             Good{{"--bots", "auto", "--bot-level", "hard", "--seed", "2147483647"}, std::nullopt, BotLevel::Hard,
                  2147483647},
         }) {
        SCOPED_TRACE(testing::PrintToString(g.args));
        const CommandLine line = parsedLine(g.args);
        ASSERT_FALSE(line.exitNow) << line.err;
        Settings settings;
        settings.match.bots = 2;  // as a file might have set it: "auto" on the command line unsets it
        applyCommandLine(line.options, settings);
        EXPECT_EQ(settings.match.bots, g.bots);
        EXPECT_EQ(settings.match.botLevel, g.level);
        EXPECT_EQ(settings.match.seed, g.seed);
    }
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--bots", "8"}, {"--bots", "-1"}, {"--bots", "two"}, {"--bots", "AUTO"}, {"--bots"},
             {"--bot-level", "insane"}, {"--bot-level", "Easy"},
             {"--seed", "-1"}, {"--seed", "2147483648"}, {"--seed", "1.5"}, {"--seed", "seven"},
             {"--players", "5"}, {"--players", "-1"}}) {
        SCOPED_TRACE(testing::PrintToString(bad));
        const CommandLine line = parsedLine(bad);
        EXPECT_EQ(line.exitStatus, kExitBadOptions);
        EXPECT_EQ(line.err.rfind("turfwar: ", 0), 0u) << line.err;
    }
    const std::string help = parsedLine({"--help"}).out;
    for (const char* shown : {"--bots N|auto", "--bot-level easy|normal|hard", "--seed N", "none in free play",
                              "the same seed and the same play give the same match"})
        EXPECT_NE(help.find(shown), std::string::npos) << shown << "\n" << help;
}

// "auto" is one bot for an odd number of local players, none for an even
// one, and bots play only in a match.
TEST(BotSettings, AutoEvensTheTeamsInAMatchAndFreePlayHasNoBots)
{
    Settings settings;
    EXPECT_EQ(settings.botsPlaying(), 0) << "free play";
    settings.match.bots = 5;
    EXPECT_EQ(settings.botsPlaying(), 0) << "free play, whatever the count";
    settings.game.mode = GameMode::Match;
    EXPECT_EQ(settings.botsPlaying(), 5);
    settings.match.bots.reset();
    for (const auto& [players, bots] : {std::pair{0, 0}, {1, 1}, {2, 0}, {3, 1}, {4, 0}}) {
        settings.game.players = players;
        EXPECT_EQ(settings.botsPlaying(), bots) << players << " local players";
    }
}

struct Planned {
    std::optional<int> exitStatus;
    std::string err;
    Settings settings;
};

Planned plan(const std::vector<std::string>& options, const std::optional<std::string>& file = std::nullopt)
{
    std::vector<std::string> arguments = {"turfwar"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const Launch launch = planLaunch(arguments, file);
    return {launch.exitStatus, launch.err, launch.settings};
}

TEST(BotSettings, LocalPlayersAndBotsMakeAtMostEightAndSomeoneMustPlay)
{
    // Up to eight in all, and bots alone in a match.
    for (const std::vector<std::string>& fits : std::vector<std::vector<std::string>>{
             {"--match", "--players", "4", "--bots", "4"},
             {"--match", "--players", "1", "--bots", "7"},
             {"--match", "--players", "0", "--bots", "1"},
             {"--match", "--players", "0", "--bots", "7"},
             {"--match", "--players", "3"},
             {"--players", "4", "--bots", "4"}}) {
        SCOPED_TRACE(testing::PrintToString(fits));
        const Planned p = plan(fits);
        EXPECT_FALSE(p.exitStatus) << p.err;
        EXPECT_TRUE(p.err.empty()) << p.err;
    }

    // On the command line too many, or no one, is a bad option.
    struct Bad {
        std::vector<std::string> options;
        const char* says;
    };
    for (const Bad& b : {
             Bad{{"--match", "--players", "4", "--bots", "5"},
                 "turfwar: 4 local players and 5 bots make 9 players; at most 8 can play\n"},
             Bad{{"--match", "--players", "2", "--bots", "7"}, "2 local players and 7 bots make 9 players"},
             // Bots are counted in free play too: the record must hold a match's worth.
             Bad{{"--players", "4", "--bots", "7"}, "make 11 players"},
             Bad{{"--match", "--players", "0"}, "turfwar: no one would play: no local player and no bot\n"},
             Bad{{"--match", "--players", "0", "--bots", "0"}, "no local player and no bot"},
             Bad{{"--players", "0", "--bots", "3"}, "no local player, and bots play only in a match"},
             Bad{{"--players", "0", "--print-config"}, "no one would play"},
         }) {
        SCOPED_TRACE(testing::PrintToString(b.options));
        const Planned p = plan(b.options);
        EXPECT_EQ(p.exitStatus, kExitBadOptions);
        EXPECT_NE(p.err.find(b.says), std::string::npos) << p.err;
    }

    // The file's own values are held to fit, with a message at the line.
    ScratchFolder folder;
    const std::string crowded = folder.write("crowded.toml", "[game]\nplayers = 4\nmode = \"match\"\n\n[match]\nbots = 7\n");
    const SettingsFileResult read = readSettingsFile(crowded, false);
    ASSERT_EQ(read.messages.size(), 1u) << joined(read.messages);
    EXPECT_EQ(read.messages[0], crowded + ":6:8: match.bots: 4 local players and 7 bots make 11 players; at most 8 "
                                          "can play; using 4");
    EXPECT_EQ(read.settings.match.bots, 4);
    EXPECT_EQ(read.settings.game.players, 4);
    const Planned fromFile = plan({}, crowded);
    EXPECT_FALSE(fromFile.exitStatus) << fromFile.err;
    EXPECT_EQ(fromFile.settings.match.bots, 4);
    // Bots only the file set, made too many by an option, are the option's fault.
    const Planned overFile = plan({"--players", "2"}, folder.write("seven.toml", "[match]\nbots = 7\n"));
    EXPECT_EQ(overFile.exitStatus, kExitBadOptions);
    EXPECT_NE(overFile.err.find("2 local players and 7 bots make 9 players"), std::string::npos) << overFile.err;

    // No one to play from the file alone: one local player, with a message.
    const std::string empty = folder.write("empty.toml", "[game]\nplayers = 0\n");
    const Planned alone = plan({}, empty);
    EXPECT_FALSE(alone.exitStatus) << alone.err;
    EXPECT_EQ(alone.err, "turfwar: " + empty + ": game.players: no one would play: no local player, and bots play "
                                               "only in a match; using 1\n");
    EXPECT_EQ(alone.settings.game.players, 1);
    // ...but the options can make the same file's players a match of bots.
    const Planned watched = plan({"--match", "--bots", "2"}, empty);
    EXPECT_FALSE(watched.exitStatus) << watched.err;
    EXPECT_TRUE(watched.err.empty()) << watched.err;
    EXPECT_EQ(watched.settings.game.players, 0);
    EXPECT_EQ(watched.settings.botsPlaying(), 2);
}

}  // namespace
