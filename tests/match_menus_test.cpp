// The match's menus: navigation as data (nearest item, held-direction
// repeat, pointer hover and click), and in a headless match the pause menu
// freezing everything, opened by Escape, a pad's Start or lost focus, with
// Resume, Restart match and Quit; the results screen at the match's end.

#include "app/error_box.h"
#include "app/game.h"
#include "app/headless_platform.h"
#include "app/menus.h"
#include "sim/match.h"
#include "tools/replay/sim_state.h"

#include "game_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// Four items in a 2 x 2 grid, 100 x 40 each with gaps: 0 1 over 2 3.
Menu gridMenu()
{
    Menu menu;
    menu.items = {{"a", 0, {0, 0, 100, 40}}, {"b", 1, {150, 0, 100, 40}},
                  {"c", 2, {0, 60, 100, 40}}, {"d", 3, {150, 60, 100, 40}}};
    return menu;
}

MenuInput held(MenuDirection direction)
{
    MenuInput input;
    input.direction = direction;
    return input;
}

// The mean of every channel of every pixel.
double brightness(const FrameImage& frame)
{
    double sum = 0.0;
    for (const std::uint8_t v : frame.rgb)
        sum += v;
    return frame.rgb.empty() ? 0.0 : sum / static_cast<double>(frame.rgb.size());
}

}  // namespace

TEST(MenuNavigation, FocusMovesToTheNearestItemInThePressedDirection)
{
    const Menu grid = gridMenu();
    EXPECT_EQ(nearestItem(grid, 0, MenuDirection::Right), 1);
    EXPECT_EQ(nearestItem(grid, 0, MenuDirection::Down), 2);
    EXPECT_EQ(nearestItem(grid, 3, MenuDirection::Up), 1);
    EXPECT_EQ(nearestItem(grid, 3, MenuDirection::Left), 2);
    // Nothing that way: the focus stays.
    EXPECT_EQ(nearestItem(grid, 0, MenuDirection::Up), 0);
    EXPECT_EQ(nearestItem(grid, 1, MenuDirection::Right), 1);
    // Straight on beats the diagonal, even a little nearer.
    Menu column;
    column.items = {{"top", 0, {0, 0, 100, 40}}, {"side", 1, {120, 45, 100, 40}}, {"below", 2, {0, 60, 100, 40}}};
    EXPECT_EQ(nearestItem(column, 0, MenuDirection::Down), 2);
}

TEST(MenuNavigation, AHeldDirectionRepeatsAfterHalfASecondThenEveryTenth)
{
    Menu menu;
    for (int i = 0; i < 12; ++i)
        menu.items.push_back({"item", i, {0, static_cast<float>(i) * 50.0f, 100, 40}});
    // Pressed: one move at once.
    updateMenu(menu, held(MenuDirection::Down), 0.016f);
    EXPECT_EQ(menu.focus, 1);
    // Held to 0.49 s: no more.
    for (int f = 0; f < 49; ++f)
        updateMenu(menu, held(MenuDirection::Down), 0.01f);
    EXPECT_EQ(menu.focus, 1);
    updateMenu(menu, held(MenuDirection::Down), 0.015f);  // past 0.5 s
    EXPECT_EQ(menu.focus, 2);
    for (int f = 0; f < 9; ++f)
        updateMenu(menu, held(MenuDirection::Down), 0.01f);  // 0.595 s
    EXPECT_EQ(menu.focus, 2);
    updateMenu(menu, held(MenuDirection::Down), 0.01f);  // 0.605 s
    EXPECT_EQ(menu.focus, 3);
    // A long frame owes every repeat it covered.
    updateMenu(menu, held(MenuDirection::Down), 0.3f);
    EXPECT_EQ(menu.focus, 6);
    // Let go and pressed again: at once, and the delay starts again.
    updateMenu(menu, held(MenuDirection::None), 0.01f);
    updateMenu(menu, held(MenuDirection::Down), 0.01f);
    EXPECT_EQ(menu.focus, 7);
    updateMenu(menu, held(MenuDirection::Down), 0.2f);
    EXPECT_EQ(menu.focus, 7);
    // Turning to another direction moves at once that way.
    updateMenu(menu, held(MenuDirection::Up), 0.01f);
    EXPECT_EQ(menu.focus, 6);
}

TEST(MenuNavigation, PointerHoverFocusesAndAClickChooses)
{
    Menu menu = gridMenu();
    MenuInput hover;
    hover.pointerMoved = true;
    hover.pointerX = 160;
    hover.pointerY = 70;
    EXPECT_EQ(updateMenu(menu, hover, 0.016f).chosen, -1);
    EXPECT_EQ(menu.focus, 3);
    // Off every item: the focus stays where it was.
    hover.pointerX = 120;
    updateMenu(menu, hover, 0.016f);
    EXPECT_EQ(menu.focus, 3);
    // A click between items chooses nothing; on one, that one, wherever the focus is.
    MenuInput click;
    click.clicked = true;
    click.clickX = 120;
    click.clickY = 10;
    EXPECT_EQ(updateMenu(menu, click, 0.016f).chosen, -1);
    click.clickX = 10;
    EXPECT_EQ(updateMenu(menu, click, 0.016f).chosen, 0);
    EXPECT_EQ(menu.focus, 0);
    // Choose takes the focused item; back is only back when nothing was chosen.
    MenuInput both;
    both.choose = true;
    both.back = true;
    const MenuOutcome outcome = updateMenu(menu, both, 0.016f);
    EXPECT_EQ(outcome.chosen, 0);
    EXPECT_FALSE(outcome.back);
}

namespace {

// A one-player match on the headless backend, its window wired as
// startTurfwar wires it.
class MatchMenuGame : public ::testing::Test {
protected:
    MatchMenuGame()
    {
        setErrorBoxPlatform(&platform);
        world.window.onButtonPress = [this](int button, int x, int y) { pressMouseButtons(world, button, x, y); };
        world.window.onFocusLost = [this] { noteFocusLost(world); };
    }
    ~MatchMenuGame() override
    {
        world.window.destroy();
        setErrorBoxPlatform(nullptr);
    }

    void start(int players = 1)
    {
        world.settings.game.players = players;
        world.settings.game.mode = GameMode::Match;
        ASSERT_TRUE(world.window.create(16, 800, 600, "menus", false));
        ASSERT_TRUE(initGame(world));
        platform.setCursorVisible(false);
    }
    void frame(int ms = 50)
    {
        platform.advanceTicks(static_cast<std::uint32_t>(ms));
        while (runLoopPass(world) != LoopPass::FrameRun) {
        }
    }
    void tap(Key key)
    {
        platform.setKeyDown(key, true);
        frame();
        platform.setKeyDown(key, false);
        frame();
    }
    void tapScancode(int scancode)
    {
        platform.setScancodeDown(scancode, true);
        frame();
        platform.setScancodeDown(scancode, false);
        frame();
    }
    void tapPad(PadButton button)
    {
        platform.setPadButton(button, true);
        frame();
        platform.setPadButton(button, false);
        frame();
    }
    // Everything that decides what happens next, as text.
    std::string state() const
    {
        nlohmann::json j;
        describeSimWorld(world.sim, j);
        const MatchState& m = *world.sim.match;
        j["match"] = {{"phase", static_cast<int>(m.phase)}, {"round", m.round},      {"clock", m.clock},
                      {"phaseSeconds", m.phaseSeconds},     {"scores", m.scores},    {"winner", m.winner}};
        j["steps"] = world.sim.steps;
        return j.dump();
    }
    const MenuRect& itemRect(const std::string& label) const
    {
        const auto& items = world.menus.menu.items;
        const auto it = std::find_if(items.begin(), items.end(), [&](const MenuItem& i) { return i.label == label; });
        EXPECT_NE(it, items.end()) << label;
        return it->rect;
    }

    static constexpr int kReturn = 40;
    static constexpr int kDown = 81;

    GameFolder folder;
    HeadlessPlatform platform;
    World world{platform};
};

}  // namespace

TEST_F(MatchMenuGame, PauseFreezesEverythingAndResumeGoesOnWithoutABurst)
{
    start();
    // Past the countdown, driving forward so everything moves.
    platform.setKeyDown(Key::W, true);
    for (int f = 0; f < 80; ++f)
        frame();
    const int normalSteps = world.lastFramePhysicsSteps;
    ASSERT_GT(normalSteps, 0);
    ASSERT_EQ(world.sim.match->phase, MatchPhase::Playing);
    platform.setCaptureFrames(true);
    frame();
    const double before = brightness(platform.lastFrame());

    platform.setKeyDown(Key::Escape, true);
    frame();
    EXPECT_EQ(world.menus.screen, MatchScreen::Pause);
    // Drawn over the game, dimmed, with text: one player's game loads the
    // font for the menu.
    EXPECT_TRUE(world.text.loaded());
    EXPECT_LT(brightness(platform.lastFrame()), before * 0.8);
    platform.setCaptureFrames(false);
    EXPECT_FALSE(world.quitRequested) << "in a match Escape pauses";
    EXPECT_TRUE(platform.cursorVisible());
    platform.setKeyDown(Key::Escape, false);
    const std::string frozen = state();
    const int swaps = platform.swapCount();
    for (int f = 0; f < 100; ++f) {
        platform.moveMouse(7, 3);
        frame(50);
    }
    EXPECT_EQ(state(), frozen);
    EXPECT_EQ(world.lastFramePhysicsSteps, 0);
    EXPECT_EQ(platform.swapCount(), swaps + 100) << "the frozen game is still drawn";
    EXPECT_EQ(world.menus.screen, MatchScreen::Pause);

    // Escape again resumes: the cursor hides and the next frame steps one
    // frame's worth, not the five seconds spent in the menu.
    const float clock = world.sim.match->clock;
    tap(Key::Escape);
    EXPECT_EQ(world.menus.screen, MatchScreen::None);
    EXPECT_FALSE(platform.cursorVisible());
    EXPECT_EQ(world.lastFramePhysicsSteps, normalSteps);
    EXPECT_NE(state(), frozen);
    EXPECT_LT(world.sim.match->clock, clock);
    EXPECT_GT(world.sim.match->clock, clock - 0.5f);
    EXPECT_FALSE(world.quitRequested);
}

TEST_F(MatchMenuGame, PausedTheEnginesFallSilentAndSoundAgainOnResume)
{
    platform.setCaptureAudio(true);
    start();
    for (int f = 0; f < 20; ++f)
        frame();
    const auto loudest = [this] {
        std::vector<std::int16_t> samples;
        platform.takeCapturedAudio(samples);
        int peak = 0;
        for (const std::int16_t v : samples)
            peak = std::max(peak, std::abs(static_cast<int>(v)));
        return peak;
    };
    loudest();
    frame();
    ASSERT_GT(loudest(), 50) << "the idling engines are heard";
    tap(Key::Escape);
    loudest();
    for (int f = 0; f < 10; ++f)
        frame();
    // The mixer's rounding leaves a least bit or so; the engines idle at hundreds.
    EXPECT_LE(loudest(), 2);
    tap(Key::Escape);
    frame();
    EXPECT_GT(loudest(), 50);
}

TEST_F(MatchMenuGame, LosingFocusPausesAndAClickOverTheMenuChoosesWithoutFiring)
{
    start();
    for (int f = 0; f < 70; ++f)
        frame();
    WindowEvent lost;
    lost.type = WindowEvent::Type::FocusLost;
    platform.queueEvent(lost);
    frame();
    ASSERT_EQ(world.menus.screen, MatchScreen::Pause);

    // Hover focuses.
    const MenuRect restart = itemRect("Restart match");
    platform.setMousePosition(static_cast<int>(restart.x + 5), static_cast<int>(restart.y + 5));
    frame();
    EXPECT_EQ(world.menus.menu.focus, 1);
    // A click on Resume resumes, and is no shot.
    const MenuRect resume = itemRect("Resume");
    platform.click(1, static_cast<int>(resume.x + resume.width / 2), static_cast<int>(resume.y + resume.height / 2));
    frame();
    EXPECT_EQ(world.menus.screen, MatchScreen::None);
    EXPECT_FALSE(world.inputMemory[0].mouseFirePressed);
    // Outside a menu the same click fires again.
    platform.click(1, 10, 10);
    platform.advanceTicks(50);
    runLoopPass(world);  // the press
    EXPECT_TRUE(world.inputMemory[0].mouseFirePressed);
}

TEST_F(MatchMenuGame, RestartFromTheMenuRestartsTheMatchAndQuitQuits)
{
    start();
    for (int f = 0; f < 70; ++f)
        frame();
    world.sim.match->scores = {2, 1};
    world.sim.match->round = 4;
    tap(Key::Escape);
    tapScancode(kDown);
    EXPECT_EQ(world.menus.menu.focus, 1);
    tapScancode(kReturn);
    EXPECT_EQ(world.menus.screen, MatchScreen::None);
    EXPECT_EQ(world.sim.match->round, 1);
    EXPECT_EQ(world.sim.match->scores, (std::array<int, kTeamCount>{0, 0}));
    EXPECT_EQ(world.sim.match->phase, MatchPhase::Countdown);
    EXPECT_FALSE(world.quitRequested);

    tap(Key::Escape);
    tapScancode(kDown);
    tapScancode(kDown);
    EXPECT_EQ(world.menus.menu.focus, 2);
    platform.setScancodeDown(kReturn, true);
    frame();
    EXPECT_TRUE(world.quitRequested);
}

TEST_F(MatchMenuGame, APadsStartPausesAndItsButtonsNavigate)
{
    start();
    platform.connectPad(0);
    for (int f = 0; f < 70; ++f)
        frame();
    tapPad(PadButton::Start);
    ASSERT_EQ(world.menus.screen, MatchScreen::Pause);
    tapPad(PadButton::B);
    EXPECT_EQ(world.menus.screen, MatchScreen::None);
    EXPECT_FALSE(platform.cursorVisible());

    tapPad(PadButton::Start);
    ASSERT_EQ(world.menus.screen, MatchScreen::Pause);
    // The stick held down: one move, then repeats (three items: it stops at the last).
    platform.setPadAxis(PadAxis::LeftY, 1.0f);
    frame(16);
    EXPECT_EQ(world.menus.menu.focus, 1);
    platform.setPadAxis(PadAxis::LeftY, 0.0f);
    frame(16);
    tapPad(PadButton::DpadUp);
    EXPECT_EQ(world.menus.menu.focus, 0);
    world.sim.match->round = 2;
    tapPad(PadButton::DpadDown);
    tapPad(PadButton::A);
    EXPECT_EQ(world.sim.match->round, 1);
    EXPECT_EQ(world.menus.screen, MatchScreen::None);
}

TEST_F(MatchMenuGame, AFreePadsStartJoinsWithoutPausing)
{
    start(2);
    platform.connectPad(1);
    frame();  // arrives: seated with player 2
    platform.connectPad(2);
    frame();  // no one left to seat it
    platform.disconnectPad(1);
    frame();  // player 2 waits
    for (int f = 0; f < 70; ++f)
        frame();
    ASSERT_EQ(playerOfPad(world.padSeats, 2), -1);
    // The free pad's Start is its join, held over several frames.
    platform.setPadButton(PadButton::Start, true, 2);
    for (int f = 0; f < 3; ++f)
        frame();
    EXPECT_EQ(playerOfPad(world.padSeats, 2), 1);
    EXPECT_EQ(world.menus.screen, MatchScreen::None);
    // Seated, its next Start pauses.
    platform.setPadButton(PadButton::Start, false, 2);
    frame();
    platform.setPadButton(PadButton::Start, true, 2);
    frame();
    EXPECT_EQ(world.menus.screen, MatchScreen::Pause);
}

TEST_F(MatchMenuGame, ResultsShowTheWinnerAndScoreAndRematchRestarts)
{
    start();
    for (int f = 0; f < 70; ++f)
        frame();
    MatchState& m = *world.sim.match;
    m.phase = MatchPhase::MatchOver;
    m.winner = 1;
    m.scores = {1, 3};
    m.players[0].wheelsKnockedOff = 2;
    m.players[0].knockOuts = 1;
    m.players[0].timesKnockedOut = 4;
    // The last round's result shows first, as every round's does.
    for (int f = 0; f < 59; ++f)
        frame();
    EXPECT_EQ(world.menus.screen, MatchScreen::None);
    frame();
    frame();
    ASSERT_EQ(world.menus.screen, MatchScreen::Results);
    EXPECT_TRUE(platform.cursorVisible());
    const std::vector<std::string> lines = resultsLines(world);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Blue wins the match");
    EXPECT_EQ(lines[1], "Red 1 - 3 Blue");
    EXPECT_EQ(lines[2], "P1 (Red): 2 wheels knocked off, 1 knock-out, knocked out 4 times");
    // The lone player's bot, by its name.
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3], std::string(botName(0)) + " (Blue): 0 wheels knocked off, 0 knock-outs, knocked out 0 times");
    // Escape is no way out of the results; only its items are.
    tap(Key::Escape);
    EXPECT_EQ(world.menus.screen, MatchScreen::Results);
    EXPECT_FALSE(world.quitRequested);
    // The items sit below every line.
    EXPECT_EQ(world.menus.menu.items.size(), 2u);
    tapScancode(kReturn);  // Rematch has the focus
    EXPECT_EQ(world.menus.screen, MatchScreen::None);
    EXPECT_EQ(world.sim.match->phase, MatchPhase::Countdown);
    EXPECT_EQ(world.sim.match->scores, (std::array<int, kTeamCount>{0, 0}));

    world.sim.match->phase = MatchPhase::MatchOver;
    world.sim.match->winner = 0;
    for (int f = 0; f < 61; ++f)
        frame();
    ASSERT_EQ(world.menus.screen, MatchScreen::Results);
    EXPECT_EQ(resultsLines(world)[0], "Red wins the match");
    const MenuRect quit = itemRect("Quit");
    platform.click(1, static_cast<int>(quit.x + 3), static_cast<int>(quit.y + 3));
    frame();
    EXPECT_TRUE(world.quitRequested);
}

// A rematch starts the bots afresh from the match's seed, as a new game
// would; what they have done (their stats) is kept.
TEST_F(MatchMenuGame, RestartStartsTheBotsAfreshFromTheSeed)
{
    world.settings.match.seed = 42;
    start();
    for (int f = 0; f < 70; ++f)
        frame();
    ASSERT_EQ(world.bots.bots.size(), 1u);
    Bot& bot = world.bots.bots[0];
    bot.random.next();
    bot.thinkTimer = 9.0f;
    bot.targetPlayer = 0;
    bot.stats.stuckEvents = 3;

    tap(Key::Escape);
    tapScancode(kDown);
    // The frame that restarts steps nothing: the bots are as the rematch
    // left them, before they think again.
    platform.setScancodeDown(kReturn, true);
    frame();
    ASSERT_EQ(world.menus.screen, MatchScreen::None);
    ASSERT_EQ(world.sim.match->phase, MatchPhase::Countdown);
    // The same draws a new game with seed 42 gives its bot.
    SimWorld fresh;
    fresh.players.resize(2);
    BotSet expected;
    addBots(expected, fresh, 1, world.settings.match.botLevel, 42);
    BotRandom rematch = world.bots.bots[0].random;
    BotRandom newGame = expected.bots[0].random;
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(rematch.next(), newGame.next());
    EXPECT_EQ(world.bots.bots[0].targetPlayer, -1);
    EXPECT_EQ(world.bots.bots[0].thinkTimer, expected.bots[0].thinkTimer);
    EXPECT_EQ(world.bots.bots[0].stats.stuckEvents, 3);
    EXPECT_EQ(world.bots.bots[0].player, 1);
}

TEST_F(MatchMenuGame, FreePlayEscapeStillQuits)
{
    world.settings.game.players = 1;
    ASSERT_TRUE(world.window.create(16, 800, 600, "menus", false));
    ASSERT_TRUE(initGame(world));
    frame();
    platform.setKeyDown(Key::Escape, true);
    frame();
    EXPECT_TRUE(world.quitRequested);
    EXPECT_EQ(world.menus.screen, MatchScreen::None);
}
