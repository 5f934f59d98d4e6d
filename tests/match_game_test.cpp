// A match started from the options: the replay tool's description of it as
// it runs (countdown, clock, teams, a round won on wheels, the sounds of its
// events), and the game started headless in match mode with the blue paint
// and without it.

#include "app/error_box.h"
#include "app/game.h"
#include "app/headless_platform.h"

#include "game_folder.h"
#include "tool_runner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::set<std::string> soundsPlaying(const nlohmann::json& state)
{
    std::set<std::string> names;
    for (const auto& voice : state["audio"]["voices"])
        names.insert(voice["sound"].get<std::string>());
    return names;
}

constexpr const char* kShortMatch = " --match --rounds 1 --round-minutes 0.25";

TEST(MatchReplay, TwoPlayersCountDownThenPlayOnARunningClockAsRedAndBlue)
{
    // Half-second frames: the countdown (3 s) is six of them.
    std::string script = "tick 500\n";
    for (int i = 0; i < 9; ++i)
        script += "run 1\nstate\n";
    const ToolResult r = runTool("turfwar-replay", std::string("- --players 2") + kShortMatch, script);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto states = stateLines(r.out);
    ASSERT_EQ(states.size(), 9u);
    EXPECT_EQ(states[0]["match"]["phase"], "Countdown");
    EXPECT_FLOAT_EQ(states[0]["match"]["clock"].get<float>(), 15.0f);
    EXPECT_EQ(states.back()["match"]["phase"], "Playing");
    float lastClock = 16.0f;
    bool counting = false;
    for (const nlohmann::json& state : states) {
        const nlohmann::json& match = state["match"];
        EXPECT_EQ(match["round"], 1);
        EXPECT_EQ(match["scores"], nlohmann::json::array({0, 0}));
        EXPECT_EQ(match["winner"], -1);
        ASSERT_EQ(match["players"].size(), 2u);
        EXPECT_EQ(match["players"][0]["team"], 0);
        EXPECT_EQ(match["players"][1]["team"], 1);
        for (const auto& player : match["players"]) {
            EXPECT_EQ(player["hitsTaken"], 0);
            EXPECT_EQ(player["knockedOutSeconds"], 0.0);
        }
        ASSERT_EQ(match["cars"].size(), 2u);
        for (const auto& car : match["cars"])
            EXPECT_EQ(car["wheels"], 4);
        const float clock = match["clock"].get<float>();
        EXPECT_LE(clock, lastClock);
        counting = counting || (match["phase"] == "Playing" && clock < 15.0f);
        lastClock = clock;
    }
    EXPECT_TRUE(counting) << "the clock runs once the countdown is over";

    // Free play's lines say nothing of a match.
    const ToolResult free = runTool("turfwar-replay", "- --players 2", "run 1\nstate\n");
    ASSERT_EQ(free.status, 0) << free.err;
    EXPECT_FALSE(stateLines(free.out).at(0).contains("match"));
}

TEST(MatchReplay, ALonePlayerShootsTheEmptyBlueCarsWheelsOffAndWinsWhenTheClockRunsOut)
{
    GameFolder scratch(GameFolder::Contents::Empty);
    const std::string wav = (scratch.path() / "sound.wav").string();
    // Half-second frames to the end of the countdown (six of them), then
    // shots. The player starts beside the red car facing the blue one, its wheels
    // locked in turn: twelve shots knock two of them off.
    std::string script = "tick 500\nrun 5\nstate\nrun 1\nstate\nrun 1\nstate\n";
    for (int i = 0; i < 12; ++i)
        script += "click\nrun 1\nstate\n";
    // Short frames for the clock's last seconds: a tick is over well within
    // half a second, and a state shows only what still plays.
    script += "run 7\ntick 50\n";
    for (int i = 0; i < 110; ++i)
        script += "run 1\nstate\n";
    // No bot: the blue car stands empty.
    const ToolResult r =
        runTool("turfwar-replay", std::string("- --bots 0 --audio-out ") + wav + kShortMatch, script);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto states = stateLines(r.out);
    ASSERT_GE(states.size(), 4u);

    const nlohmann::json& end = states.back()["match"];
    EXPECT_EQ(end["phase"], "MatchOver");
    EXPECT_EQ(end["winner"], 0);
    EXPECT_EQ(end["scores"], nlohmann::json::array({1, 0}));
    EXPECT_GE(end["wheelsOff"][0].get<int>(), 1);
    EXPECT_EQ(end["wheelsOff"][1], 0);
    EXPECT_EQ(end["cars"][0]["wheels"], 4);
    EXPECT_EQ(end["cars"][1]["wheels"].get<int>(), 4 - end["wheelsOff"][0].get<int>());
    ASSERT_EQ(end["players"].size(), 1u);
    EXPECT_EQ(end["players"][0]["wheelsKnockedOff"], end["wheelsOff"][0]);

    // The match's events are heard: the round's start once the countdown
    // ends, the clock's last seconds, and the round's end.
    std::set<std::string> heard;
    for (const nlohmann::json& state : states)
        for (const std::string& name : soundsPlaying(state))
            heard.insert(name);
    EXPECT_TRUE(heard.count("roundStart"));
    EXPECT_TRUE(heard.count("clockTick"));
    EXPECT_TRUE(heard.count("roundEnd"));
    EXPECT_FALSE(heard.count("knockOut")) << "no one was knocked out";
    EXPECT_FALSE(soundsPlaying(states[0]).count("roundStart")) << "not before the countdown is over";
}

TEST(MatchReplay, TheMatchOptionsTakeTheGamesRanges)
{
    for (const char* bad : {"--rounds 0", "--rounds 100", "--round-minutes 0.1", "--respawn-seconds 61"}) {
        const ToolResult r = runTool("turfwar-replay", std::string("- --match ") + bad, "run 1\nstate\n");
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_TRUE(r.out.empty()) << bad;
    }
    const ToolResult help = runTool("turfwar-replay", "--help");
    for (const char* option : {"--match", "--rounds", "--round-minutes", "--respawn-seconds"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
}

// The game itself, headless, started in match mode as the entry point starts it.
class MatchGame : public ::testing::Test {
protected:
    MatchGame() { setErrorBoxPlatform(&platform); }
    ~MatchGame() override
    {
        world.window.destroy();
        setErrorBoxPlatform(nullptr);
    }
    // No bot unless asked for: these are the people's matches.
    bool start(int players, std::optional<int> bots = 0)
    {
        world.settings.game.players = players;
        world.settings.match.bots = bots;
        world.settings.game.mode = GameMode::Match;
        world.settings.match.rounds = 2;
        return world.window.create(16, 160, 120, "match", false) && initGame(world);
    }
    void frame(int ms = 50)
    {
        platform.advanceTicks(ms);
        while (runLoopPass(world) != LoopPass::FrameRun) {
        }
    }

    GameFolder folder;
    HeadlessPlatform platform;
    World world{platform};
};

TEST_F(MatchGame, StartsTheMatchWithTheSettingsRulesAndTheBluePaint)
{
    ASSERT_TRUE(start(2));
    ASSERT_TRUE(world.sim.match.has_value());
    EXPECT_EQ(world.sim.match->rules.rounds, 2);
    EXPECT_EQ(world.sim.match->rules.roundSeconds, kDefaultRoundSeconds);
    EXPECT_EQ(world.sim.match->phase, MatchPhase::Countdown);
    ASSERT_EQ(world.sim.match->players.size(), 2u);
    EXPECT_EQ(world.sim.match->players[1].team, 1);
    // The paint and the roof have blue versions; the trim is both cars'.
    EXPECT_EQ(world.blueSwaps.size(), 2u);
    for (int i = 0; i < 5; ++i)
        frame();
    EXPECT_FALSE(world.quitRequested);
}

TEST_F(MatchGame, WithoutTheBluePaintTheNoteIsOneLineAndTheMatchGoesOn)
{
    folder.remove("carpaint_blue.bmp");
    testing::internal::CaptureStderr();
    const bool started = start(1);
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(started);
    EXPECT_NE(err.find("carpaint_blue.bmp: no such file"), std::string::npos) << err;
    // The roof still turns blue; the paint stays red.
    EXPECT_EQ(world.blueSwaps.size(), 1u);
    ASSERT_TRUE(world.sim.match.has_value());
    EXPECT_EQ(world.sim.match->players.size(), 1u);
    for (int i = 0; i < 5; ++i)
        frame();
    EXPECT_FALSE(world.quitRequested);
}

TEST_F(MatchGame, FreePlayStartsNoMatchAndLoadsNoPaint)
{
    world.settings.game.players = 1;
    ASSERT_TRUE(world.window.create(16, 160, 120, "free", false) && initGame(world));
    EXPECT_FALSE(world.sim.match.has_value());
    EXPECT_TRUE(world.blueSwaps.empty());
}

}  // namespace
