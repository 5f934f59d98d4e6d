// The match's heads-up display: what each view would show, read as data
// from a match stepped without a window (clock, scores, wheels, own hits,
// messages from events and their timers, the scoreboard, the scale with the
// view), and the HUD drawn for real on the headless backend, in a match only.

#include "app/error_box.h"
#include "app/game.h"
#include "app/headless_platform.h"
#include "app/hud.h"
#include "bots/bots.h"
#include "assets/model_ms3d.h"
#include "sim/sim_world.h"

#include "game_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>
#include <string>
#include <tuple>

namespace {

// Every glyph half as wide as the line is high: widths the layout can centre by.
float fixedWidth(std::string_view text, float height)
{
    return static_cast<float>(text.size()) * height * 0.5f;
}

bool sameColour(const TextColour& a, const TextColour& b)
{
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

class HudLayout : public ::testing::Test {
protected:
    void start(int players)
    {
        createSimWorld(world);
        std::string reason;
        ASSERT_TRUE(buildSimCars(world, "car.txt", reason)) << reason;
        ASSERT_TRUE(model.loadWithoutTextures("data\\model.ms3d", &reason)) << reason;
        addSimPlayers(world, players, model);
        startMatch(world, MatchRules{});
    }
    std::vector<HudItem> items(int viewer, bool scoreboard = false, int width = 800, int height = 600) const
    {
        return hudItems(hud, world, viewer, width, height, scoreboard, fixedWidth);
    }
    static std::optional<HudItem> find(const std::vector<HudItem>& list, const std::string& text)
    {
        for (const HudItem& item : list)
            if (item.text == text)
                return item;
        return std::nullopt;
    }
    static bool has(const std::vector<HudItem>& list, const std::string& text) { return find(list, text).has_value(); }
    void event(StepEventKind kind, int player, int car, int part, int target = -1)
    {
        StepEvent e{kind, player, car, part, 0.0f, {}};
        e.target = target;
        events.add(e);
    }
    void update(float dt)
    {
        updateHud(hud, events, world, dt);
        events.clear();
    }

    GameFolder folder;
    SimWorld world;
    ModelMs3d model;
    HudState hud;
    StepEvents events;
};

}  // namespace

TEST_F(HudLayout, FreePlayShowsNothing)
{
    createSimWorld(world);
    event(StepEventKind::WheelOff, 0, 1, 2);
    update(0.1f);
    EXPECT_TRUE(hud.messages.empty());
    EXPECT_TRUE(items(0).empty());
}

TEST_F(HudLayout, ClockScoresAndRoundAtTheTop)
{
    start(2);
    MatchState& m = *world.match;
    // The countdown: the full clock, and its whole seconds large in the middle.
    m.phaseSeconds = 2.2f;
    auto list = items(0);
    EXPECT_TRUE(has(list, "3:00"));
    EXPECT_TRUE(has(list, "Red 0"));
    EXPECT_TRUE(has(list, "Blue 0"));
    EXPECT_TRUE(has(list, "Round 1"));
    const auto count = find(list, "3");
    ASSERT_TRUE(count);
    EXPECT_GT(count->height, find(list, "3:00")->height * 2.0f);
    EXPECT_NEAR(count->x + fixedWidth("3", count->height) * 0.5f, 400.0f, 0.01f);

    // Playing: a part second shows as the whole second it counts down to.
    m.phase = MatchPhase::Playing;
    m.clock = 65.4f;
    m.scores = {2, 1};
    m.round = 4;
    list = items(0);
    EXPECT_FALSE(has(list, "3"));
    const auto clock = find(list, "1:06");
    ASSERT_TRUE(clock);
    EXPECT_NEAR(clock->x + fixedWidth("1:06", clock->height) * 0.5f, 400.0f, 0.01f);
    const auto red = find(list, "Red 2");
    const auto blue = find(list, "Blue 1");
    ASSERT_TRUE(red && blue);
    EXPECT_LT(red->x + fixedWidth("Red 2", red->height), clock->x);
    EXPECT_GT(blue->x, clock->x + fixedWidth("1:06", clock->height));
    EXPECT_TRUE(sameColour(red->colour, kTeamColours[0]));
    EXPECT_TRUE(sameColour(blue->colour, kTeamColours[1]));
    EXPECT_TRUE(has(list, "Round 4"));

    // Driving, the inset takes the top left: the scores keep clear of it.
    world.players[0].body.inCar = true;
    const float insetRight = static_cast<float>(insetOf({0, 0, 800, 600}).width);
    EXPECT_GT(find(items(0), "Red 2")->x, insetRight);
    EXPECT_LT(find(items(1), "Red 2")->x, insetRight);  // the other player is on foot
    world.players[0].body.inCar = false;

    m.phase = MatchPhase::SuddenDeath;
    m.clock = 9.0f;
    EXPECT_TRUE(has(items(0), "0:09"));
    EXPECT_TRUE(has(items(0), "Round 4 - Sudden death"));
    m.clock = 0.0f;
    EXPECT_TRUE(has(items(0), "0:00"));

    // "Go" for a moment once the countdown ends, then not.
    m.phase = MatchPhase::Playing;
    event(StepEventKind::RoundStarted, -1, -1, 1);
    update(0.0f);
    EXPECT_TRUE(has(items(1), "Go"));
    update(kHudGoSeconds);
    EXPECT_FALSE(has(items(1), "Go"));
}

TEST_F(HudLayout, WheelMarksShowHitsAndGoneWheelsForBothCars)
{
    start(2);
    world.cars[1].hits[1] = 0;
    world.cars[1].hits[2] = 1;
    world.cars[1].hits[3] = 2;
    world.cars[1].hits[4] = 3;
    world.cars[0].hits[3] = 1;
    const auto list = items(0);
    const auto marksOf = [&](const std::string& name) {
        const auto at = std::find_if(list.begin(), list.end(), [&](const HudItem& i) { return i.text == name; });
        EXPECT_NE(at, list.end()) << name;
        std::vector<HudItem> marks;
        for (auto it = at + 1; it != list.end() && marks.size() < 4; ++it)
            marks.push_back(*it);
        return marks;
    };
    const auto blue = marksOf("Blue car");
    ASSERT_EQ(blue.size(), 4u);
    EXPECT_EQ(blue[0].text, "0");
    EXPECT_EQ(blue[1].text, "1");
    EXPECT_EQ(blue[2].text, "2");
    EXPECT_EQ(blue[3].text, "x");
    // Each step of hits in its own colour, and a gone wheel dimmed.
    EXPECT_FALSE(sameColour(blue[0].colour, blue[1].colour));
    EXPECT_FALSE(sameColour(blue[1].colour, blue[2].colour));
    EXPECT_LT(blue[3].colour.a, 1.0f);
    const auto red = marksOf("Red car");
    ASSERT_EQ(red.size(), 4u);
    EXPECT_EQ(red[0].text + red[1].text + red[2].text + red[3].text, "0010");
    // Apart, in one row a car, inside the view.
    for (std::size_t i = 1; i < 4; ++i) {
        EXPECT_GT(blue[i].x, blue[i - 1].x);
        EXPECT_EQ(blue[i].y, blue[0].y);
    }
    EXPECT_GT(blue[0].y, red[0].y);
    EXPECT_LE(blue[3].x + fixedWidth("x", blue[3].height), 800.0f);
}

TEST_F(HudLayout, OwnHitsProtectionAndLockAreTheViewersOwn)
{
    start(2);
    MatchState& m = *world.match;
    m.players[0].hitsTaken = 2;
    m.players[1].protectionSeconds = 0.5f;
    world.players[1].weapon.targetLocked = true;
    const auto first = items(0);
    const auto second = items(1);
    const auto hits = find(first, "Hits 2/3");
    ASSERT_TRUE(hits);
    EXPECT_GT(hits->y, 300.0f);  // at the bottom
    EXPECT_TRUE(has(second, "Hits 0/3"));
    EXPECT_FALSE(has(first, "Protected"));
    EXPECT_TRUE(has(second, "Protected"));
    EXPECT_FALSE(has(first, "[  ]"));
    const auto lock = find(second, "[  ]");
    ASSERT_TRUE(lock);
    EXPECT_NEAR(lock->y + lock->height * 0.5f, 300.0f, 0.01f);
}

TEST_F(HudLayout, EventsBecomeMessagesForTheirViewsAndTimeOut)
{
    start(2);
    MatchState& m = *world.match;
    m.phase = MatchPhase::Playing;

    event(StepEventKind::WheelOff, 0, 1, 2);
    update(0.0f);
    EXPECT_TRUE(has(items(0), "Blue wheel off"));
    EXPECT_TRUE(has(items(1), "Blue wheel off"));

    // P1 knocks out P2: P2 counts down the whole seconds until they are back.
    m.players[1].knockedOutSeconds = 2.5f;
    event(StepEventKind::KnockedOut, 0, -1, -1, 1);
    update(0.5f);
    EXPECT_TRUE(has(items(1), "Knocked out - back in 3"));
    EXPECT_FALSE(has(items(0), "Knocked out - back in 3"));
    EXPECT_TRUE(has(items(0), "You knocked out P2"));
    EXPECT_FALSE(has(items(1), "You knocked out P2"));
    // Newest on top.
    EXPECT_LT(find(items(0), "You knocked out P2")->y, find(items(0), "Blue wheel off")->y);

    m.players[1].knockedOutSeconds = 1.2f;
    update(1.0f);
    EXPECT_TRUE(has(items(1), "Knocked out - back in 2"));
    // Two seconds on, the wheel's message has gone, the knock-out's lasts while P2 is out.
    update(0.6f);
    EXPECT_FALSE(has(items(1), "Blue wheel off"));
    EXPECT_TRUE(has(items(1), "Knocked out - back in 2"));
    m.players[1].knockedOutSeconds = 0.0f;
    update(0.05f);
    for (const HudItem& item : items(1))
        EXPECT_EQ(item.text.rfind("Knocked out", 0), std::string::npos) << item.text;

    // Round and match results, at most three at once, newest first.
    event(StepEventKind::WheelOff, 1, 0, 1);
    event(StepEventKind::RoundEnded, -1, -1, -1);
    event(StepEventKind::RoundEnded, -1, -1, 0);
    event(StepEventKind::MatchEnded, -1, -1, 1);
    update(0.0f);
    const auto list = items(0);
    EXPECT_FALSE(has(list, "Red wheel off"));
    const auto drawn = find(list, "Round drawn");
    const auto red = find(list, "Red takes the round");
    const auto wins = find(list, "Blue wins the match");
    ASSERT_TRUE(drawn && red && wins);
    EXPECT_LT(wins->y, red->y);
    EXPECT_LT(red->y, drawn->y);
    EXPECT_TRUE(sameColour(wins->colour, kTeamColours[1]));

    update(kRoundResultSeconds + 0.1f);
    EXPECT_FALSE(has(items(0), "Blue wins the match"));
}

TEST_F(HudLayout, TheScoreboardListsEveryPlayerWhileHeld)
{
    start(3);
    MatchState& m = *world.match;
    m.players[0].wheelsKnockedOff = 4;
    m.players[1].knockOuts = 2;
    m.players[2].timesKnockedOut = 7;
    EXPECT_FALSE(has(items(0), "Knock-outs"));
    const auto list = items(0, true);
    ASSERT_TRUE(has(list, "Knock-outs"));
    // A row a player: name, team, wheels off, knock-outs, times knocked out, left to right.
    const auto row = [&](const std::string& name) {
        const auto at = std::find_if(list.begin(), list.end(), [&](const HudItem& i) { return i.text == name; });
        std::string cells;
        float lastX = -1.0f;
        for (auto it = at; it != list.end() && it < at + 5; ++it) {
            EXPECT_EQ(it->y, at->y);
            EXPECT_GT(it->x, lastX);
            lastX = it->x;
            cells += it->text + " ";
        }
        return cells;
    };
    EXPECT_EQ(row("P1"), "P1 Red 4 0 0 ");
    EXPECT_EQ(row("P2"), "P2 Blue 0 2 0 ");
    EXPECT_EQ(row("P3"), "P3 Red 0 0 7 ");
    EXPECT_TRUE(sameColour(find(list, "P2")->colour, kTeamColours[1]));
    EXPECT_LT(find(list, "P1")->y, find(list, "P2")->y);
}

// Bots are called by their names wherever the HUD names a player; the
// people stay P1, P2...
TEST_F(HudLayout, TheScoreboardAndTheMessagesCallBotsByTheirNames)
{
    start(3);
    BotSet bots;
    addBots(bots, world, 1, BotLevel::Normal, kDefaultBotSeed);
    const std::string first(botName(0));
    const std::string second(botName(1));
    ASSERT_NE(first, second);
    MatchState& m = *world.match;
    m.phase = MatchPhase::Playing;
    m.players[1].knockOuts = 2;

    const auto list = items(0, true);
    const auto p1 = find(list, "P1");
    const auto ada = find(list, first);
    const auto bolt = find(list, second);
    ASSERT_TRUE(p1 && ada && bolt);
    EXPECT_FALSE(has(list, "P2"));
    EXPECT_FALSE(has(list, "P3"));
    EXPECT_TRUE(sameColour(ada->colour, kTeamColours[1]));
    EXPECT_TRUE(sameColour(bolt->colour, kTeamColours[0]));
    EXPECT_LT(p1->y, ada->y);
    EXPECT_LT(ada->y, bolt->y);
    // Its row carries its own numbers.
    const auto knockOuts = std::find_if(list.begin(), list.end(), [&](const HudItem& i) {
        return i.y == ada->y && i.x > ada->x && i.text == "2";
    });
    EXPECT_NE(knockOuts, list.end());

    // A knock-out made on a bot names it; a bot's on a person names them.
    m.players[1].knockedOutSeconds = 3.0f;
    event(StepEventKind::KnockedOut, 0, -1, -1, 1);
    m.players[0].knockedOutSeconds = 3.0f;
    event(StepEventKind::KnockedOut, 1, -1, -1, 0);
    update(0.0f);
    EXPECT_TRUE(has(items(0), "You knocked out " + first));
    EXPECT_TRUE(has(items(1), "You knocked out P1"));
}

TEST_F(HudLayout, SizesFollowTheViewsHeightWithAPixelFloor)
{
    start(2);
    const auto small = items(0, true, 800, 600);
    const auto large = items(0, true, 3840, 2160);
    ASSERT_EQ(small.size(), large.size());
    for (std::size_t i = 0; i < small.size(); ++i) {
        EXPECT_EQ(small[i].text, large[i].text);
        EXPECT_NEAR(large[i].height, small[i].height * 3.6f, 0.01f) << small[i].text;
    }
    EXPECT_GE(hudTextHeight(600), 20.0f);  // readable at 800 x 600
    // A quarter of a small window keeps the floor.
    EXPECT_EQ(hudTextHeight(150), kHudMinTextPixels);
    for (const HudItem& item : items(0, true, 400, 150))
        EXPECT_GE(item.height, kHudMinTextPixels * 0.7f) << item.text;
    // Everything inside the view at both sizes.
    for (const auto& [list, w, h] : {std::tuple{small, 800.0f, 600.0f}, std::tuple{large, 3840.0f, 2160.0f}})
        for (const HudItem& item : list) {
            EXPECT_GE(item.x, 0.0f) << item.text;
            EXPECT_GE(item.y, 0.0f) << item.text;
            EXPECT_LE(item.x + fixedWidth(item.text, item.height), w) << item.text;
            EXPECT_LE(item.y + item.height, h) << item.text;
        }
}

namespace {

// Pixels near colour in the window's top band, centre half, where the clock
// and the scores sit over the sky: within 40 a channel, for the small text's
// blended edges and the 16-bit window's rounding.
int countInTopBand(const FrameImage& frame, const TextColour& colour, int bandHeight)
{
    int n = 0;
    for (int y = frame.height - bandHeight; y < frame.height; ++y)
        for (int x = frame.width / 4; x < frame.width * 3 / 4; ++x) {
            const std::size_t at =
                (static_cast<std::size_t>(y) * static_cast<std::size_t>(frame.width) + static_cast<std::size_t>(x)) * 3;
            const float want[3] = {colour.r, colour.g, colour.b};
            bool same = true;
            for (int c = 0; c < 3; ++c)
                same = same && std::abs(static_cast<int>(frame.rgb[at + static_cast<std::size_t>(c)]) -
                                        static_cast<int>(want[c] * 255.0f + 0.5f)) <= 40;
            n += same ? 1 : 0;
        }
    return n;
}

class HudGame : public ::testing::Test {
protected:
    HudGame() { setErrorBoxPlatform(&platform); }
    ~HudGame() override
    {
        world.window.destroy();
        setErrorBoxPlatform(nullptr);
    }
    bool start(int players, GameMode mode = GameMode::Match)
    {
        world.settings.game.players = players;
        world.settings.game.mode = mode;
        platform.setCaptureFrames(true);
        return world.window.create(16, 800, 600, "hud", false) && initGame(world);
    }
    void frames(int n)
    {
        for (int i = 0; i < n; ++i) {
            platform.advanceTicks(16);
            while (runLoopPass(world) != LoopPass::FrameRun) {
            }
        }
    }

    GameFolder folder;
    HeadlessPlatform platform;
    World world{platform};
};

}  // namespace

TEST_F(HudGame, FreePlayDrawsNoScores)
{
    ASSERT_TRUE(start(1, GameMode::Free));
    frames(3);
    const int band = 60;
    EXPECT_EQ(countInTopBand(platform.lastFrame(), kTeamColours[0], band), 0);
    EXPECT_EQ(countInTopBand(platform.lastFrame(), kTeamColours[1], band), 0);
}

TEST_F(HudGame, OnePlayersMatchDrawsTheScores)
{
    ASSERT_TRUE(start(1));
    frames(3);
    const int band = 60;
    EXPECT_GE(countInTopBand(platform.lastFrame(), kTeamColours[0], band), 10);
    EXPECT_GE(countInTopBand(platform.lastFrame(), kTeamColours[1], band), 10);
}

TEST_F(HudGame, EachSplitViewCarriesItsOwnHud)
{
    ASSERT_TRUE(start(2));
    frames(3);
    // The top view's clock band, and the bottom view's (its top is the window's middle).
    const FrameImage& frame = platform.lastFrame();
    EXPECT_GE(countInTopBand(frame, kTeamColours[0], 40), 10);
    FrameImage lower = frame;
    lower.height = frame.height / 2;
    lower.rgb.resize(static_cast<std::size_t>(lower.width * lower.height * 3));
    EXPECT_GE(countInTopBand(lower, kTeamColours[0], 40), 10);
}

TEST_F(HudGame, ALonePlayersScoreboardNamesTheirBot)
{
    ASSERT_TRUE(start(1));
    frames(2);
    const auto items = hudItems(world.hud, world.sim, 0, 800, 600, true, fixedWidth);
    const auto named = [&](const std::string& text) {
        return std::any_of(items.begin(), items.end(), [&](const HudItem& i) { return i.text == text; });
    };
    EXPECT_TRUE(named("P1"));
    EXPECT_TRUE(named(std::string(botName(0))));
    EXPECT_FALSE(named("P2"));
}

TEST_F(HudGame, TabOrThePadsBackHoldsTheScoreboard)
{
    ASSERT_TRUE(start(1));
    EXPECT_FALSE(scoreboardHeld(world, 0));
    platform.setScancodeDown(world.settings.keys[Action::Scoreboard].code, true);
    EXPECT_TRUE(scoreboardHeld(world, 0));
    platform.setScancodeDown(world.settings.keys[Action::Scoreboard].code, false);
    platform.connectPad(0);
    platform.setPadButton(PadButton::Back, true, 0);
    EXPECT_TRUE(scoreboardHeld(world, 0));
}
