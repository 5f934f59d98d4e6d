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

#include <cmath>
#include <filesystem>
#include <optional>
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

namespace {

float distance(const Vector3& a, const Vector3& b)
{
    const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// A lone player meets a bot on blue by default, and plays it as one player
// always has: every device (the keyboard, any pad) is theirs.
TEST_F(MatchGame, ALonePlayerMeetsOneBotOnBlueAndPlaysWithEveryDevice)
{
    world.settings.match.botLevel = BotLevel::Hard;
    world.settings.match.seed = 7;
    ASSERT_TRUE(start(1, std::nullopt));
    EXPECT_EQ(world.localPlayers, 1);
    ASSERT_EQ(world.sim.players.size(), 2u);
    ASSERT_EQ(world.sim.match->players.size(), 2u);
    EXPECT_EQ(world.sim.match->players[0].team, 0);
    EXPECT_EQ(world.sim.match->players[1].team, 1);
    EXPECT_TRUE(world.sim.players[0].name.empty()) << "the person is P1";
    EXPECT_EQ(world.sim.players[1].name, botName(0));
    ASSERT_EQ(world.bots.bots.size(), 1u);
    EXPECT_EQ(world.bots.bots[0].player, 1);
    EXPECT_EQ(world.bots.bots[0].level, BotLevel::Hard);

    // Past the countdown, a pad in slot 0's stick walks player 1 (index 0)
    // forward, as a lone player's pad always has.
    for (int i = 0; i < 70; ++i)
        frame();
    ASSERT_EQ(world.sim.match->phase, MatchPhase::Playing);
    platform.connectPad(0);
    const Vector3 before = world.sim.players[0].body.position;
    platform.setPadAxis(PadAxis::LeftY, -1.0f, 0);
    for (int i = 0; i < 10; ++i)
        frame();
    EXPECT_GT(distance(world.sim.players[0].body.position, before), 5.0f) << "the pad plays the lone player";
    EXPECT_FALSE(world.quitRequested);
}

TEST_F(MatchGame, NoBotsLeaveTheBlueCarEmpty)
{
    ASSERT_TRUE(start(1, 0));
    EXPECT_EQ(world.sim.players.size(), 1u);
    EXPECT_TRUE(world.bots.bots.empty());
}

// Free play ignores the bots, however many are asked for.
TEST_F(MatchGame, FreePlayHasNoBotsWhateverTheCount)
{
    world.settings.game.players = 1;
    world.settings.match.bots = 3;
    ASSERT_TRUE(world.window.create(16, 160, 120, "free", false) && initGame(world));
    EXPECT_EQ(world.sim.players.size(), 1u);
    EXPECT_TRUE(world.bots.bots.empty());
}

// A record filled in by hand is held to what the world can hold: at most
// eight in all, and someone in it.
TEST_F(MatchGame, AHandFilledRecordIsHeldToTheWorldsPlayers)
{
    ASSERT_TRUE(start(4, 7));
    EXPECT_EQ(world.localPlayers, 4);
    EXPECT_EQ(world.sim.players.size(), static_cast<std::size_t>(kMaxPlayers));
    EXPECT_EQ(world.bots.bots.size(), 4u);
    frame();
}

// Bots alone: one view follows player 0 (a bot), and no key, mouse or pad
// plays anyone.
TEST(BotsAlone, OneViewFollowsTheFirstBotAndNoDevicePlaysAnyone)
{
    const std::string options = "- --players 0 --bots 2 --seed 3" + std::string(kShortMatch);
    std::string frames;
    for (int i = 0; i < 8; ++i)
        frames += "run 10\nstate\n";
    const std::string devices = "pad connect\npad axis lefty -1\npad axis rightx 1\npad axis righttrigger 1\npad press rightshoulder a\n"
                                "press W Q E\nmouse 40 -10\nclick\n";
    const ToolResult still = runTool("turfwar-replay", options, "tick 50\n" + frames);
    const ToolResult played = runTool("turfwar-replay", options, "tick 50\n" + devices + frames);
    ASSERT_EQ(still.status, 0) << still.err;
    ASSERT_EQ(played.status, 0) << played.err;
    auto quiet = stateLines(still.out);
    auto busy = stateLines(played.out);
    ASSERT_EQ(quiet.size(), 8u);
    ASSERT_EQ(busy.size(), quiet.size());
    for (std::size_t i = 0; i < quiet.size(); ++i) {
        busy[i].erase("pad");  // what the pad's rumble did, described once a pad is seen
        EXPECT_EQ(busy[i], quiet[i]) << "state " << i;
    }
    const nlohmann::json& last = quiet.back();
    EXPECT_EQ(last["match"]["phase"], "Playing");
    ASSERT_EQ(last["bots"].size(), 2u);
    EXPECT_EQ(last["bots"][0]["player"], 0);
    EXPECT_EQ(last["match"]["players"][0]["bot"], true);
    // The one camera looks at player 0.
    const nlohmann::json& lookAt = last["camera"]["lookAt"];
    const nlohmann::json& at = last["player"]["position"];
    const Vector3 look{lookAt[0].get<float>(), lookAt[1].get<float>(), lookAt[2].get<float>()};
    const Vector3 first{at[0].get<float>(), at[1].get<float>(), at[2].get<float>()};
    EXPECT_LT(distance(look, first), 30.0f);
}

}  // namespace
