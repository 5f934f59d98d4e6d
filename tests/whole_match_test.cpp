// A whole two-player match in split screen, played from start to finish:
// player 1 shoots with the mouse, player 2 with a pad's shoulder button (or
// a key bound to them in the settings), and each round one team knocks more
// wheels off than the other. Through the
// replay tool the state lines follow it round by round (the clock, each
// round's winner and score, the cars rebuilt for the next round, the match's
// end); on the headless game the same match ends on the results screen.

#include "app/error_box.h"
#include "app/game.h"
#include "app/headless_platform.h"
#include "app/menus.h"
#include "sim/match.h"

#include "game_folder.h"
#include "tool_runner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Shots each team fires in a round: red 9 to blue's 3 knocks off more
// wheels (three hits a wheel, a few shots lost to the other player or to a
// wheel falling while a shot flies), and the other way round for blue.
struct RoundPlan {
    int redShots;
    int blueShots;
    int winner;
};
constexpr std::array<RoundPlan, 3> kPlan{{{9, 3, 0}, {3, 9, 1}, {9, 3, 0}}};
constexpr int kShotPairs = 9;

// Each round lasts 21 s of game time: 3.5 s in half-second frames (the 3 s
// countdown and half a second of play), the shots in quarter-second frames
// (press, then release) over 4.5 s, then 13 s in half-second frames for the
// rest of the 15-second clock and the 3 s of the round's result. Every frame
// is followed by a state line.
constexpr int kOpeningFrames = 7;
constexpr int kClosingFrames = 26;

// How player 2 fires: the first pad's shoulder button, or a key of their
// own from the settings (then they take no pad).
enum class BlueFire { Pad, Key };

std::string matchScript(BlueFire fire)
{
    std::string s = fire == BlueFire::Pad ? "resize 200 150\npad connect\n" : "resize 200 150\n";
    const std::string press = fire == BlueFire::Pad ? "pad press rightshoulder\n" : "player 2 press \"Right Ctrl\"\n";
    const std::string release =
        fire == BlueFire::Pad ? "pad release rightshoulder\n" : "player 2 release \"Right Ctrl\"\n";
    const auto frames = [&s](int n) {
        for (int i = 0; i < n; ++i)
            s += "run 1\nstate\n";
    };
    for (const RoundPlan& round : kPlan) {
        s += "tick 500\n";
        frames(kOpeningFrames);
        s += "tick 250\n";
        for (int i = 0; i < kShotPairs; ++i) {
            if (i < round.redShots)
                s += "click\n";
            if (i < round.blueShots)
                s += press;
            s += "run 1\nstate\n" + release + "run 1\nstate\n";
        }
        s += "tick 500\n";
        frames(kClosingFrames);
    }
    frames(4);  // the match is over: nothing starts again
    return s;
}

// A NaN or an infinity is written as null: both count as not finite.
bool allFinite(const nlohmann::json& j)
{
    if (j.is_null())
        return false;
    if (j.is_number_float())
        return std::isfinite(j.get<double>());
    if (j.is_array() || j.is_object()) {
        for (const auto& item : j)
            if (!allFinite(item))
                return false;
    }
    return true;
}

double distance(const nlohmann::json& a, const nlohmann::json& b, bool withHeight = true)
{
    double sum = 0.0;
    for (int i = 0; i < 3; ++i) {
        const double d = (i == 1 && !withHeight) ? 0.0 : a[i].get<double>() - b[i].get<double>();
        sum += d * d;
    }
    return std::sqrt(sum);
}

// How far each part of each car is from where it was in another line.
double carsApart(const nlohmann::json& a, const nlohmann::json& b, bool withHeight)
{
    double most = 0.0;
    for (std::size_t c = 0; c < a["cars"].size(); ++c)
        for (std::size_t p = 0; p < a["cars"][c]["parts"].size(); ++p)
            most = std::max(most, distance(a["cars"][c]["parts"][p]["position"],
                                           b["cars"][c]["parts"][p]["position"], withHeight));
    return most;
}

bool ends(const std::string& phase) { return phase == "RoundOver" || phase == "MatchOver"; }

// Plays the match with the replay tool and follows it through its lines.
void playAndFollowTheMatch(BlueFire fire)
{
    GameFolder scratch(GameFolder::Contents::Empty);
    scratch.write("keys.toml", "[player2]\nfire = \"Right Ctrl\"\n");
    const std::string config =
        fire == BlueFire::Key ? " --config " + (scratch.path() / "keys.toml").string() : std::string();
    const ToolResult r =
        runTool("turfwar-replay", "- --match --players 2 --rounds 2 --round-minutes 0.25" + config, matchScript(fire));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto states = stateLines(r.out);
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.front().contains("pad"), fire == BlueFire::Pad);

    // Cut the lines into rounds by the round number.
    std::vector<std::vector<const nlohmann::json*>> rounds(kPlan.size());
    for (const nlohmann::json& state : states) {
        ASSERT_TRUE(allFinite(state)) << state.dump();
        const int round = state["match"]["round"].get<int>();
        ASSERT_GE(round, 1);
        ASSERT_LE(round, static_cast<int>(kPlan.size())) << "no round after the match is won";
        rounds[static_cast<std::size_t>(round - 1)].push_back(&state);
    }

    const nlohmann::json& start = states.front();
    const nlohmann::json* startSettled = nullptr;
    std::array<int, 2> scores{0, 0};
    std::array<int, 2> wheelsOverTheMatch{0, 0};
    for (std::size_t index = 0; index < kPlan.size(); ++index) {
        SCOPED_TRACE("round " + std::to_string(index + 1));
        const auto& lines = rounds[index];
        ASSERT_FALSE(lines.empty());
        const RoundPlan& plan = kPlan[index];

        // The round opens on its countdown, everything as at the match's
        // start: the cars whole and where they stood, the players beside
        // them, no wheel off yet.
        const nlohmann::json& first = *lines.front();
        const nlohmann::json& m0 = first["match"];
        EXPECT_EQ(m0["phase"], "Countdown");
        EXPECT_FLOAT_EQ(m0["clock"].get<float>(), 15.0f);
        EXPECT_EQ(m0["scores"], nlohmann::json(scores));
        EXPECT_EQ(m0["wheelsOff"], nlohmann::json::array({0, 0}));
        EXPECT_EQ(m0["winner"], -1);
        ASSERT_EQ(first["cars"].size(), 2u);
        for (std::size_t c = 0; c < 2; ++c) {
            const nlohmann::json& car = first["cars"][c];
            EXPECT_EQ(m0["cars"][c]["wheels"], 4) << "car " << c;
            EXPECT_EQ(car["wheelsAttached"], 4) << "car " << c;
            for (const auto& hits : car["hits"])
                EXPECT_EQ(hits, 0) << "car " << c;
            ASSERT_EQ(car["parts"].size(), start["cars"][c]["parts"].size());
        }
        ASSERT_EQ(first["players"].size(), 2u);
        for (std::size_t p = 0; p < 2; ++p) {
            EXPECT_LT(distance(first["players"][p]["position"], start["players"][p]["position"]), 0.5)
                << "player " << p + 1;
            EXPECT_FALSE(first["players"][p]["inCar"].get<bool>());
            EXPECT_EQ(m0["players"][p]["knockedOutSeconds"], 0.0);
            EXPECT_EQ(m0["players"][p]["hitsTaken"], 0);
        }
        EXPECT_EQ(first["projectiles"], 0) << "no shot of the last round flies on";

        // Countdown, then play on a running clock, then the round's end:
        // in that order, never a sudden death (the wheels are never level).
        const std::vector<std::string> order{"Countdown", "Playing", index + 1 == kPlan.size() ? "MatchOver"
                                                                                              : "RoundOver"};
        std::size_t at = 0;
        float lastClock = 15.0f;
        const nlohmann::json* lastCountdown = nullptr;
        const nlohmann::json* lastPlaying = nullptr;
        const nlohmann::json* roundEnd = nullptr;
        for (const nlohmann::json* line : lines) {
            const nlohmann::json& m = (*line)["match"];
            const std::string phase = m["phase"].get<std::string>();
            while (at < order.size() && order[at] != phase)
                ++at;
            ASSERT_LT(at, order.size()) << "phase " << phase << " out of order";
            const float clock = m["clock"].get<float>();
            EXPECT_GE(clock, 0.0f);
            EXPECT_LE(clock, lastClock);
            lastClock = clock;
            if (phase == "Countdown") {
                // Built where they stood at the start, dropped onto their
                // wheels as then: by the countdown's end they stand as they
                // stood at the match's first.
                EXPECT_LT(carsApart(*line, start, false), 0.01);
                lastCountdown = line;
                EXPECT_FLOAT_EQ(clock, 15.0f) << "the clock waits for the countdown";
                EXPECT_EQ(m["cars"][0]["wheels"], 4);
                EXPECT_EQ(m["cars"][1]["wheels"], 4);
            }
            if (phase == "Playing")
                lastPlaying = line;
            if (ends(phase) && !roundEnd)
                roundEnd = line;
        }
        ASSERT_NE(lastCountdown, nullptr);
        if (index == 0)
            startSettled = lastCountdown;
        EXPECT_LT(carsApart(*lastCountdown, *startSettled, true), 0.05);
        ASSERT_NE(lastPlaying, nullptr);
        ASSERT_NE(roundEnd, nullptr) << "the clock ran out";
        EXPECT_LT((*lastPlaying)["match"]["clock"].get<float>(), 1.0f) << "played down to the clock's end";

        // The winner knocked off more wheels, and both teams knocked some off.
        const nlohmann::json& end = (*roundEnd)["match"];
        const int red = end["wheelsOff"][0].get<int>();
        const int blue = end["wheelsOff"][1].get<int>();
        EXPECT_GE(std::min(red, blue), 1);
        if (plan.winner == 0)
            EXPECT_GT(red, blue);
        else
            EXPECT_GT(blue, red);
        EXPECT_EQ(end["cars"][0]["wheels"], 4 - blue);
        EXPECT_EQ(end["cars"][1]["wheels"], 4 - red);
        ++scores[static_cast<std::size_t>(plan.winner)];
        EXPECT_EQ(end["scores"], nlohmann::json(scores));
        wheelsOverTheMatch[0] += red;
        wheelsOverTheMatch[1] += blue;
        // The result stays up, unchanged, until the next countdown.
        for (const nlohmann::json* line : lines)
            if (ends((*line)["match"]["phase"].get<std::string>())) {
                EXPECT_EQ((*line)["match"]["scores"], end["scores"]);
                EXPECT_EQ((*line)["match"]["wheelsOff"], end["wheelsOff"]);
            }
    }

    // The match is over on red's second round: it stays over.
    const nlohmann::json& last = states.back()["match"];
    EXPECT_EQ(last["phase"], "MatchOver");
    EXPECT_EQ(last["round"], 3);
    EXPECT_EQ(last["winner"], 0);
    EXPECT_EQ(last["scores"], nlohmann::json::array({2, 1}));
    // Each player's count over the match is their team's, round by round.
    EXPECT_EQ(last["players"][0]["wheelsKnockedOff"], wheelsOverTheMatch[0]);
    EXPECT_EQ(last["players"][1]["wheelsKnockedOff"], wheelsOverTheMatch[1]);
}

}  // namespace

TEST(WholeMatch, TwoPlayersPlayThreeRoundsToTheEndAndRedWinsTwoToOne)
{
    playAndFollowTheMatch(BlueFire::Pad);
}

TEST(WholeMatch, TheSecondPlayerFiresWithAKeyOfTheirOwnAndTheMatchEndsTheSame)
{
    playAndFollowTheMatch(BlueFire::Key);
}

namespace {

// The same match on the headless game, its window wired as startTurfwar
// wires it, in a window of its own size.
class WholeMatchGame : public ::testing::Test {
protected:
    WholeMatchGame()
    {
        setErrorBoxPlatform(&platform);
        world.window.onButtonPress = [this](int button, int x, int y) { pressMouseButtons(world, button, x, y); };
    }
    ~WholeMatchGame() override
    {
        world.window.destroy();
        setErrorBoxPlatform(nullptr);
    }
    void frame(int ms)
    {
        platform.advanceTicks(static_cast<std::uint32_t>(ms));
        while (runLoopPass(world) != LoopPass::FrameRun) {
        }
    }

    GameFolder folder;
    HeadlessPlatform platform;
    World world{platform};
};

}  // namespace

TEST_F(WholeMatchGame, TheResultsScreenNamesTheWinnerAndTheScore)
{
    world.settings.game.players = 2;
    world.settings.game.mode = GameMode::Match;
    world.settings.match.rounds = 2;
    world.settings.match.roundMinutes = 0.25f;
    ASSERT_TRUE(world.window.create(16, 200, 150, "whole match", false));
    ASSERT_TRUE(initGame(world));
    platform.setCursorVisible(false);
    platform.connectPad(0);

    for (const RoundPlan& round : kPlan) {
        for (int f = 0; f < kOpeningFrames; ++f)
            frame(500);
        for (int i = 0; i < kShotPairs; ++i) {
            if (i < round.redShots)
                platform.click(1, 10, 10);
            platform.setPadButton(PadButton::RightShoulder, i < round.blueShots);
            frame(250);
            platform.setPadButton(PadButton::RightShoulder, false);
            frame(250);
        }
        for (int f = 0; f < kClosingFrames; ++f)
            frame(500);
        ASSERT_FALSE(world.quitRequested);
    }
    ASSERT_TRUE(world.sim.match.has_value());
    const MatchState& m = *world.sim.match;
    ASSERT_EQ(m.phase, MatchPhase::MatchOver);
    EXPECT_EQ(m.winner, 0);
    EXPECT_EQ(m.scores, (std::array<int, kTeamCount>{2, 1}));

    // The last round's result, then the results screen.
    for (int f = 0; f < 8 && world.menus.screen != MatchScreen::Results; ++f)
        frame(500);
    ASSERT_EQ(world.menus.screen, MatchScreen::Results);
    const std::vector<std::string> lines = resultsLines(world);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Red wins the match");
    EXPECT_EQ(lines[1], "Red 2 - 1 Blue");
    for (std::size_t p = 0; p < 2; ++p) {
        SCOPED_TRACE("player " + std::to_string(p + 1));
        const std::string wheels = std::to_string(m.players[p].wheelsKnockedOff) + " wheel";
        EXPECT_EQ(lines[p + 2].rfind(std::string("P") + std::to_string(p + 1) + (p == 0 ? " (Red): " : " (Blue): ") +
                                         wheels, 0),
                  0u)
            << lines[p + 2];
        EXPECT_GE(m.players[p].wheelsKnockedOff, 3) << "both teams knocked wheels off in every round";
    }
}
