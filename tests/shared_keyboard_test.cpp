// Several players at one keyboard: each moves and fires by keys of their
// own, the mouse looks for the player the settings name, and a player on the
// keyboard leaves the pads to the others.

#include "app/error_box.h"
#include "app/game.h"
#include "app/headless_platform.h"
#include "app/settings_file.h"

#include "game_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class SharedKeyboard : public ::testing::Test {
protected:
    void start(int players, const std::string& settingsText)
    {
        const SettingsFileResult file = parseSettingsText(settingsText, "settings.toml");
        ASSERT_TRUE(file.messages.empty()) << file.messages.front();
        world.settings = file.settings;
        world.settings.game.players = players;
        ASSERT_TRUE(world.window.create(16, 320, 240, "keyboard", false));
        world.window.onButtonPress = [this](int button, int, int) { pressMouseButtons(world, button); };
        ASSERT_TRUE(initGame(world));
        platform.setCursorVisible(false);  // mouse look, as the start turns it on
        for (int i = 0; i < 20; ++i)
            frame();
    }
    void TearDown() override
    {
        world.window.destroy();
        setErrorBoxPlatform(nullptr);
    }
    void frame()
    {
        platform.advanceTicks(50);
        while (runLoopPass(world) != LoopPass::FrameRun) {
        }
    }
    const Player& body(int p) const { return world.sim.players[static_cast<std::size_t>(p)].body; }
    int shotsBy(int p) const
    {
        int n = 0;
        for (const StepEvent& event : world.events)
            n += event.kind == StepEventKind::ShotFired && event.player == p ? 1 : 0;
        return n;
    }

    GameFolder folder;
    HeadlessPlatform platform;
    World world{platform};
    int errorBoxes = (setErrorBoxPlatform(&platform), 0);
};

constexpr int kW = 26, kUp = 82, kRightCtrl = 228;

const char* const kSecondAtTheArrows = R"([player2]
forward = "Up"
back = "Down"
left = "Left"
right = "Right"
fire = "Right Ctrl"
)";

}  // namespace

TEST_F(SharedKeyboard, EachPlayerMovesAndFiresByTheirOwnKeysOnly)
{
    start(2, kSecondAtTheArrows);
    const float firstZ = body(0).position.z, secondZ = body(1).position.z;

    platform.setScancodeDown(kUp, true);
    frame();
    frame();
    platform.setScancodeDown(kUp, false);
    EXPECT_LT(body(1).position.z, secondZ);  // forward, facing -z
    EXPECT_EQ(body(0).position.z, firstZ);

    const float movedZ = body(1).position.z;
    platform.setScancodeDown(kW, true);
    frame();
    frame();
    platform.setScancodeDown(kW, false);
    EXPECT_LT(body(0).position.z, firstZ);
    EXPECT_EQ(body(1).position.z, movedZ);

    // Right Ctrl is the second player's fire, the left button the first's.
    platform.setScancodeDown(kRightCtrl, true);
    frame();
    platform.setScancodeDown(kRightCtrl, false);
    EXPECT_EQ(shotsBy(1), 1);
    EXPECT_EQ(shotsBy(0), 0);
    frame();  // the gun's interval
    frame();
    platform.click(1);
    frame();
    EXPECT_EQ(shotsBy(0), 1);
    EXPECT_EQ(shotsBy(1), 0);

    // The mouse looks for the first player by default.
    const float firstYaw = body(0).yaw, secondYaw = body(1).yaw;
    platform.moveMouse(-40, 0);
    frame();
    EXPECT_NE(body(0).yaw, firstYaw);
    EXPECT_EQ(body(1).yaw, secondYaw);
}

TEST_F(SharedKeyboard, TheMouseLooksForThePlayerTheSettingsName)
{
    start(3, std::string(kSecondAtTheArrows) + "\n[mouse]\nplayer = 3\ninvert_y = true\n");
    const float yaws[] = {body(0).yaw, body(1).yaw, body(2).yaw};
    const float pitch = body(2).pitch;
    platform.moveMouse(-40, -20);
    frame();
    EXPECT_EQ(body(0).yaw, yaws[0]);
    EXPECT_EQ(body(1).yaw, yaws[1]);
    EXPECT_NE(body(2).yaw, yaws[2]);
    EXPECT_NE(body(2).pitch, pitch);
    // The third player has the mouse: no pad is theirs to wait for, and the
    // second, on the arrows, takes none either.
    platform.connectPad(0);
    frame();
    EXPECT_EQ(world.padSeats.slotOf[1], -1);
    EXPECT_EQ(world.padSeats.slotOf[2], -1);
    EXPECT_EQ(playerOfPad(world.padSeats, 0), -1);
}

TEST_F(SharedKeyboard, APlayerOnTheKeyboardLeavesThePadsToTheOthers)
{
    start(3, kSecondAtTheArrows);
    platform.connectPad(1);
    frame();
    EXPECT_EQ(world.padSeats.slotOf[1], -1);  // on the arrows
    EXPECT_EQ(world.padSeats.slotOf[2], 1);
    const float thirdZ = body(2).position.z;
    platform.setPadAxis(PadAxis::LeftY, -1.0f, 1);
    frame();
    EXPECT_LT(body(2).position.z, thirdZ);
}

// The other players' keys in the file: read by name, "none" for none, and
// one input bound for two players named with both lines.
TEST(SharedKeyboardSettings, OtherPlayersKeysAreReadAndCheckedAcrossPlayers)
{
    const Settings defaults;
    EXPECT_FALSE(defaults.player2.keys.anyBound());
    EXPECT_EQ(defaults.mouse.player, 1);

    const SettingsFileResult read = parseSettingsText("[player3]\nforward = \"keypad 8\"\nfire = \"Mouse3\"\n"
                                                      "[keys]\nrun = \"none\"\n",
                                                      "s.toml");
    EXPECT_TRUE(read.messages.empty());
    EXPECT_EQ(read.settings.player3.keys[Action::Forward], (Binding{Binding::Kind::Key, 96}));
    EXPECT_EQ(read.settings.player3.keys[Action::Fire], (Binding{Binding::Kind::MouseButton, 3}));
    EXPECT_FALSE(read.settings.keys[Action::Run].bound());
    // Written back as read: "none" names the unbound.
    const std::string written = settingsToToml(read.settings);
    EXPECT_NE(written.find("run = \"none\""), std::string::npos) << written;
    EXPECT_EQ(parseSettingsText(written, "again.toml").settings.player3.keys[Action::Forward],
              read.settings.player3.keys[Action::Forward]);

    // The first player's default W taken by the second; the unbound actions
    // of every other player share nothing.
    const SettingsFileResult shared = parseSettingsText("[player2]\n\nforward = \"w\"\n", "s.toml");
    ASSERT_EQ(shared.messages.size(), 1u);
    EXPECT_EQ(shared.messages[0], "s.toml:3:11: keys.forward (its default) and player2.forward (line 3) are both "
                                  "\"W\"; both actions will happen on it");
    EXPECT_EQ(parseSettingsText("[mouse]\nplayer = 5\n", "s.toml").messages.size(), 1u);
}
