// Bots through the replay tool, as a player or a test would run them: a
// match of bots alone played for a bounded time, every state finite and
// describing each bot; the same seed giving the same lines; a lone player's
// default bot; and the tool's bot options held to the game's.

#include "bots/bots.h"

#include "tool_runner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr const char* kBotsAlone = "- --match --rounds 1 --round-minutes 0.25 --players 0 --bots 4";

// Tenth-of-a-second frames, a state every second: the countdown, the round's
// fifteen seconds and well into sudden death.
std::string boundedScript(int seconds)
{
    std::string script = "tick 100\n";
    for (int i = 0; i < seconds; ++i)
        script += "run 10\nstate\n";
    return script;
}

// The first number in the document that is not finite, as its path; empty when all are.
std::string firstNonFinite(const nlohmann::json& value, const std::string& path = "")
{
    if (value.is_number_float())
        return std::isfinite(value.get<double>()) ? "" : path;
    if (value.is_null())
        return path + " (null: a NaN or infinity written out)";
    if (value.is_object()) {
        for (auto it = value.begin(); it != value.end(); ++it)
            if (std::string bad = firstNonFinite(*it, path + "/" + it.key()); !bad.empty())
                return bad;
    }
    if (value.is_array()) {
        for (std::size_t i = 0; i < value.size(); ++i)
            if (std::string bad = firstNonFinite(value[i], path + "/" + std::to_string(i)); !bad.empty())
                return bad;
    }
    return "";
}

TEST(BotReplay, BotsAlonePlayABoundedMatchWithEveryStateFiniteAndEveryBotDescribed)
{
    const ToolResult r = runTool("turfwar-replay", std::string(kBotsAlone) + " --seed 7", boundedScript(40));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto states = stateLines(r.out);
    ASSERT_EQ(states.size(), 40u);
    std::set<std::string> phases;
    for (const nlohmann::json& state : states) {
        SCOPED_TRACE("frame " + state["frame"].dump());
        EXPECT_EQ(firstNonFinite(state), "");
        phases.insert(state["match"]["phase"].get<std::string>());

        // Four bots, players 0 to 3, the teams alternating and even.
        const nlohmann::json& bots = state["bots"];
        const nlohmann::json& players = state["match"]["players"];
        ASSERT_EQ(bots.size(), 4u);
        ASSERT_EQ(players.size(), 4u);
        ASSERT_EQ(state["players"].size(), 4u);
        std::set<std::string> names;
        for (int i = 0; i < 4; ++i) {
            const nlohmann::json& bot = bots[static_cast<std::size_t>(i)];
            const nlohmann::json& player = players[static_cast<std::size_t>(i)];
            EXPECT_EQ(bot["player"], i);
            EXPECT_EQ(bot["name"], std::string(botName(i)));
            EXPECT_EQ(player["name"], bot["name"]);
            EXPECT_EQ(player["bot"], true);
            EXPECT_EQ(player["team"], i % 2);
            EXPECT_EQ(bot["level"], "normal");
            ASSERT_TRUE(bot["stuckEvents"].is_number_integer());
            EXPECT_GE(bot["stuckEvents"].get<int>(), 0);
            EXPECT_GE(bot["longestStuckSeconds"].get<double>(), 0.0);
            EXPECT_TRUE(bot["goal"].is_string());
            names.insert(bot["name"].get<std::string>());
        }
        EXPECT_EQ(names.size(), 4u) << "every bot has a name of its own";
    }
    EXPECT_TRUE(phases.count("Countdown"));
    EXPECT_TRUE(phases.count("Playing"));
}

TEST(BotReplay, TheSameSeedGivesTheSameLinesAndTheCommandsOfEveryBotAreRecorded)
{
    const std::string script = boundedScript(12);
    const ToolResult first = runTool("turfwar-replay", std::string(kBotsAlone) + " --seed 7 --bot-level hard", script);
    const ToolResult again = runTool("turfwar-replay", std::string(kBotsAlone) + " --seed 7 --bot-level hard", script);
    ASSERT_EQ(first.status, 0) << first.err;
    ASSERT_EQ(again.status, 0) << again.err;
    ASSERT_FALSE(first.out.empty());
    EXPECT_EQ(first.out, again.out);
    EXPECT_EQ(stateLines(first.out).back()["bots"][0]["level"], "hard");
    // Another seed plays (it may or may not play otherwise).
    const ToolResult other = runTool("turfwar-replay", std::string(kBotsAlone) + " --seed 8 --bot-level hard", script);
    ASSERT_EQ(other.status, 0) << other.err;
    EXPECT_EQ(stateLines(other.out).size(), 12u);

    // Every frame's commands hold the four bots', for the simulation alone to step.
    const std::string commands = (std::filesystem::temp_directory_path() /
                                  ("turfwar-bot-commands-" + std::to_string(::getpid()) + ".txt"))
                                     .string();
    const ToolResult recorded =
        runTool("turfwar-replay", std::string(kBotsAlone) + " --record-commands " + commands, "run 3\n");
    ASSERT_EQ(recorded.status, 0) << recorded.err;
    std::istringstream lines(readWholeFile(commands));
    std::filesystem::remove(commands);
    int frames = 0;
    for (std::string line; std::getline(lines, line); ++frames) {
        std::istringstream words(line);
        std::vector<std::string> tokens;
        for (std::string word; words >> word;)
            tokens.push_back(word);
        ASSERT_GE(tokens.size(), 2u) << line;
        EXPECT_EQ(tokens[0], "frame");
        EXPECT_EQ((tokens.size() - 2) % 4, 0u) << "four players' commands: " << line;
        EXPECT_GT(tokens.size(), 2u + 4u) << line;
    }
    EXPECT_EQ(frames, 3);
}

// A match's lone player gets one bot on blue; --bots 0 and free play none.
TEST(BotReplay, ALonePlayersMatchDescribesItsBotAndNoBotsOrFreePlayDescribeNone)
{
    const std::string script = "run 1\nstate\n";
    const ToolResult lone = runTool("turfwar-replay", "- --match", script);
    ASSERT_EQ(lone.status, 0) << lone.err;
    const nlohmann::json state = stateLines(lone.out).at(0);
    ASSERT_EQ(state["bots"].size(), 1u);
    EXPECT_EQ(state["bots"][0]["player"], 1);
    ASSERT_EQ(state["match"]["players"].size(), 2u);
    EXPECT_EQ(state["match"]["players"][0]["bot"], false);
    EXPECT_EQ(state["match"]["players"][0]["name"], "P1");
    EXPECT_EQ(state["match"]["players"][1]["bot"], true);
    EXPECT_EQ(state["match"]["players"][1]["team"], 1);
    EXPECT_EQ(state["match"]["players"][1]["name"], std::string(botName(0)));

    const ToolResult none = runTool("turfwar-replay", "- --match --bots 0", script);
    ASSERT_EQ(none.status, 0) << none.err;
    const nlohmann::json alone = stateLines(none.out).at(0);
    EXPECT_FALSE(alone.contains("bots"));
    EXPECT_EQ(alone["match"]["players"].size(), 1u);

    const ToolResult freePlay = runTool("turfwar-replay", "- --bots 3", script);
    ASSERT_EQ(freePlay.status, 0) << freePlay.err;
    const nlohmann::json free = stateLines(freePlay.out).at(0);
    EXPECT_FALSE(free.contains("bots"));
    EXPECT_FALSE(free.contains("match"));
    EXPECT_FALSE(free.contains("players")) << "one player, as free play always had";
}

TEST(BotReplay, TheBotOptionsTakeTheGamesRangesAndCounts)
{
    struct Bad {
        const char* options;
        const char* says;
    };
    for (const Bad& b : {Bad{"--match --bots 8", "--bots"}, Bad{"--match --bots few", "--bots"},
                         Bad{"--match --bot-level insane", "--bot-level"}, Bad{"--match --seed -1", "--seed"},
                         Bad{"--match --seed 2147483648", "--seed"}, Bad{"--players 5", "--players"},
                         Bad{"--match --players 4 --bots 5", "4 local players and 5 bots make 9 players"},
                         Bad{"--match --players 0", "no one would play"},
                         Bad{"--players 0 --bots 2", "bots play only in a match"}}) {
        SCOPED_TRACE(b.options);
        const ToolResult r = runTool("turfwar-replay", std::string("- ") + b.options, "run 1\nstate\n");
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(r.out.empty());
        EXPECT_NE(r.err.find(b.says), std::string::npos) << r.err;
    }
    const ToolResult automatic = runTool("turfwar-replay", "- --match --players 3 --bots auto", "run 1\nstate\n");
    ASSERT_EQ(automatic.status, 0) << automatic.err;
    EXPECT_EQ(stateLines(automatic.out).at(0)["bots"].size(), 1u) << "three players get a fourth";
    const ToolResult help = runTool("turfwar-replay", "--help");
    for (const char* option : {"--bots", "--bot-level", "--seed", "0 to 4"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
}

}  // namespace
