// Split screen drawn for real (headless, Mesa): each local player's view
// shows that player's label in their colour, in that view only, and one
// player's game has no label at all.

#include "app/error_box.h"
#include "app/game.h"
#include "app/headless_platform.h"
#include "app/split_views.h"
#include "game/scene.h"

#include "game_folder.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>

namespace {

// Pixels of this colour (give or take the 16-bit window's rounding) inside
// rect of a frame, both with GL's bottom-left origin.
int countColour(const FrameImage& frame, const ViewRect& rect, const std::array<float, 3>& colour)
{
    int n = 0;
    for (int y = rect.y; y < rect.y + rect.height; ++y) {
        const int row = y;
        for (int x = rect.x; x < rect.x + rect.width; ++x) {
            const std::size_t at = (static_cast<std::size_t>(row) * static_cast<std::size_t>(frame.width) +
                                    static_cast<std::size_t>(x)) * 3;
            bool same = true;
            for (int c = 0; c < 3; ++c)
                same = same && std::abs(static_cast<int>(frame.rgb[at + static_cast<std::size_t>(c)]) -
                                        static_cast<int>(colour[static_cast<std::size_t>(c)] * 255.0f + 0.5f)) <= 8;
            n += same ? 1 : 0;
        }
    }
    return n;
}

// A game of several local players on the headless backend, started in the
// game folder as the game starts it (the mouse's buttons wired as
// startTurfwar wires them) in a window of its own; a test sets what it needs
// in world.settings, then calls start.
class SplitScreenGame : public ::testing::Test {
protected:
    SplitScreenGame()
    {
        setErrorBoxPlatform(&platform);
        world.window.onButtonPress = [this](int button, int, int) {
            pressMouseButton(world.inputMemory[0], world.settings.keys, button);
        };
    }
    ~SplitScreenGame() override
    {
        world.window.destroy();
        setErrorBoxPlatform(nullptr);
    }

    bool start(int players, int width = 320, int height = 240)
    {
        world.settings.game.players = players;
        return world.window.create(16, width, height, "split", false) && initGame(world);
    }
    // Time moves on by ms, then passes run until one has run a frame.
    void frame(int ms = 50)
    {
        platform.advanceTicks(ms);
        while (runLoopPass(world) != LoopPass::FrameRun) {
        }
    }

    GameFolder folder;  // first: the platform and the world start in it
    HeadlessPlatform platform;
    World world{platform};
};

// The same, once for each count of players.
class SplitScreenLabels : public SplitScreenGame, public ::testing::WithParamInterface<int> {};

}  // namespace

TEST_P(SplitScreenLabels, EachViewShowsItsOwnPlayersLabelOnly)
{
    const int players = GetParam();
    ASSERT_TRUE(start(players, 800, 600));
    platform.setCaptureFrames(true);
    for (int n = 0; n < 3; ++n) {
        platform.advanceTicks(16);
        runLoopPass(world);
    }
    const FrameImage frame = platform.lastFrame();
    ASSERT_EQ(frame.width, 800);
    ASSERT_EQ(frame.height, 600);
    const auto views = splitViews(players, SplitLayout::TopBottom, 800, 600);
    // The first player's label is white, which the sky's clouds hold too;
    // the others' colours are the labels' alone.
    for (int p = 1; p < players; ++p) {
        const auto& colour = kPlayerColours[static_cast<std::size_t>(p)];
        for (int v = 0; v < players; ++v) {
            const int n = countColour(frame, views[static_cast<std::size_t>(v)], colour);
            if (v == p)
                EXPECT_GE(n, 4) << n << " player " << p + 1 << "'s label missing from their view";
            else
                EXPECT_EQ(n, 0) << "player " << p + 1 << "'s label colour in view " << v + 1;
        }
    }
    if (players == 3) {
        // The fourth quarter stays the clear colour.
        const ViewRect spare{400, 0, 400, 300};
        EXPECT_EQ(countColour(frame, spare, {0.5f, 0.5f, 0.5f}), 400 * 300);
    }
}
INSTANTIATE_TEST_SUITE_P(Players, SplitScreenLabels, ::testing::Values(2, 3, 4));

TEST(SplitScreen, ViewsShareTheWindowWithoutGapsOrOverlap)
{
    for (const int players : {1, 2, 3, 4}) {
        for (const SplitLayout layout : {SplitLayout::TopBottom, SplitLayout::SideBySide}) {
            for (const auto& [w, h] : {std::pair{800, 600}, std::pair{801, 599}, std::pair{1, 1}}) {
                const auto views = splitViews(players, layout, w, h);
                std::vector<int> covered(static_cast<std::size_t>(w * h), 0);
                for (int i = 0; i < players; ++i)
                    for (int y = views[i].y; y < views[i].y + views[i].height; ++y)
                        for (int x = views[i].x; x < views[i].x + views[i].width; ++x)
                            ++covered[static_cast<std::size_t>(y * w + x)];
                int once = 0;
                for (const int c : covered) {
                    EXPECT_LE(c, 1);
                    once += c == 1 ? 1 : 0;
                }
                // Three players leave the fourth quarter to the clear colour.
                const int expected = players == 3 ? w * h - (w / 2) * (h / 2) : w * h;
                EXPECT_EQ(once, expected) << players << " players, " << w << "x" << h;
                // The inset stays inside its view.
                const ViewRect inset = insetOf(views[0]);
                EXPECT_LE(inset.width, views[0].width);
                EXPECT_LE(inset.y + inset.height, views[0].y + views[0].height);
            }
        }
    }
}

// Pads seat players in the order they come, a pulled pad leaves its player
// standing with the note, and a pad plugged in (or a free pad's Start)
// takes the first player waiting.
TEST_F(SplitScreenGame, PadsSeatPlayersAndAPulledPadLeavesItsPlayerWaiting)
{
    ASSERT_TRUE(start(3));
    const auto z = [&](int p) { return world.sim.players[static_cast<std::size_t>(p)].body.position.z; };

    platform.connectPad(2);  // in before the first frame: the first waiting player's
    frame();
    EXPECT_EQ(world.padSeats.slotOf[1], 2);
    EXPECT_EQ(world.padSeats.slotOf[2], -1);

    platform.setPadAxis(PadAxis::LeftY, -1.0f, 2);
    frame();
    const float walked = z(1);
    EXPECT_LT(walked, -30.0f);  // forward from the start, facing -z
    EXPECT_EQ(z(2), -60.0f);    // no pad: stands

    platform.disconnectPad(2);
    frame();
    frame();
    EXPECT_EQ(world.padSeats.slotOf[1], -1);
    EXPECT_EQ(z(1), walked);  // stands while it waits

    // A pad plugged in takes the first player waiting: the second again.
    platform.connectPad(0);
    frame();
    EXPECT_EQ(world.padSeats.slotOf[1], 0);
    platform.connectPad(1);
    frame();
    EXPECT_EQ(world.padSeats.slotOf[2], 1);
    platform.setPadAxis(PadAxis::LeftY, -1.0f, 1);
    frame();
    EXPECT_LT(z(2), -60.0f);

    // A pad that comes when no one waits stays free; once a player waits,
    // its Start seats them.
    platform.connectPad(3);
    frame();
    EXPECT_EQ(playerOfPad(world.padSeats, 3), -1);
    platform.disconnectPad(0);
    frame();
    EXPECT_EQ(world.padSeats.slotOf[1], -1);
    platform.setPadButton(PadButton::Start, true, 3);
    frame();
    EXPECT_EQ(world.padSeats.slotOf[1], 3);
    // The keyboard stays the first player's: a pad moves no one else.
    EXPECT_EQ(world.sim.players[0].body.position.z, 0.0f);
}

// One listener for the whole screen: each player's shot is heard as their
// own view hears it, close by, not across the arena.
TEST_F(SplitScreenGame, EachPlayersShotIsHeardBesideTheListener)
{
    platform.setCaptureAudio(true);
    ASSERT_TRUE(start(2));
    platform.connectPad(0);
    frame();
    ASSERT_EQ(world.padSeats.slotOf[1], 0);
    world.sim.players[1].body.position = {600.0f, 0.0f, -600.0f};  // far across the arena
    for (int i = 0; i < 80; ++i)
        frame();  // the second camera settles behind its player

    platform.click();
    platform.setPadButton(PadButton::RightShoulder, true, 0);
    frame();
    VoiceInfo voices[kVoiceCount];
    const int n = world.audio.playingVoices(voices, kVoiceCount);
    const Vector3 ear = world.audio.listener().position;
    int shots = 0;
    for (int i = 0; i < n; ++i) {
        if (std::string(voices[i].soundName) != "handGun")
            continue;
        ++shots;
        EXPECT_LT(magnitude(subtract(voices[i].position, ear)), 120.0f) << "a shot heard far away";
    }
    int fired = 0;
    for (const StepEvent& e : world.events)
        fired += e.kind == StepEventKind::ShotFired ? 1 : 0;
    EXPECT_EQ(fired, 2);
    EXPECT_EQ(shots, 2);
    EXPECT_GT(magnitude(subtract(world.sim.players[1].weapon.shotOrigin, ear)), 500.0f);
}

// A pad player's own feel: [player2]'s inverted look and look speed turn
// that player's view only.
TEST_F(SplitScreenGame, APadPlayersOwnFeelTurnsTheirLookOnly)
{
    world.settings.player2.invertY = true;
    world.settings.player2.gamepad.lookSpeed = 360.0f;
    ASSERT_TRUE(start(3));
    platform.connectPad(0);
    platform.connectPad(1);
    frame();
    ASSERT_EQ(world.padSeats.slotOf[1], 0);
    ASSERT_EQ(world.padSeats.slotOf[2], 1);
    for (int slot = 0; slot < 2; ++slot)
        platform.setPadAxis(PadAxis::RightY, -1.0f, slot);  // full tilt up
    frame(100);
    const float second = world.sim.players[1].body.pitch;
    const float third = world.sim.players[2].body.pitch;
    EXPECT_GT(third, 0.0f);  // up looks up
    EXPECT_FLOAT_EQ(second, -2.0f * third);  // inverted, twice as fast
    EXPECT_EQ(world.sim.players[0].body.pitch, 0.0f);
}

// A settings record filled in by hand can ask for more players than there
// are views: the game holds it to the views, and every player it keeps has
// a camera and a rectangle of the window.
TEST_F(SplitScreenGame, MorePlayersThanViewsAreHeldToTheViews)
{
    ASSERT_TRUE(start(kMaxLocalPlayers + 2));
    EXPECT_EQ(world.sim.players.size(), static_cast<std::size_t>(kMaxLocalPlayers));
    frame();
    frame();
    EXPECT_EQ(world.framesRun, 2u);
}
