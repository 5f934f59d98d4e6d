// The real gamepad backend on SDL's virtual joysticks: pads plugged in and
// pulled out while it runs, the pad used last driving, rumble reaching the
// device, and a pad without a mapping named once on standard error until a
// gamecontrollerdb.txt in the settings folder maps it; that file read within
// bounds.

#include "app/sdl_gamepads.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Rumbles {
    int calls = 0;
    Uint16 low = 0;
};

int SDLCALL recordRumble(void* userdata, Uint16 low, Uint16)
{
    Rumbles* r = static_cast<Rumbles*>(userdata);
    ++r->calls;
    r->low = low;
    return 0;
}

// A virtual pad with the whole GameController layout, or a bare stick of
// two axes and two buttons that SDL has no mapping for.
int attachPad(const char* name, Rumbles* rumbles = nullptr)
{
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.name = name;
    desc.userdata = rumbles;
    desc.Rumble = rumbles != nullptr ? recordRumble : nullptr;
    return SDL_JoystickAttachVirtualEx(&desc);
}
int attachBareStick()
{
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_UNKNOWN;
    desc.naxes = 2;
    desc.nbuttons = 2;
    desc.vendor_id = 0x1234;
    desc.product_id = 0x5678;
    desc.name = "Bare Test Stick";
    return SDL_JoystickAttachVirtualEx(&desc);
}

int deviceIndexOf(SDL_JoystickID id)
{
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) == id)
            return i;
    }
    return -1;
}

class SdlPads : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The settings folder of this test alone.
        if (const char* old = std::getenv("XDG_CONFIG_HOME"))
            oldConfig_ = old;
        config_ = fs::temp_directory_path() / ("turfwar-pads-" + std::to_string(::getpid()));
        fs::create_directories(config_ / "turfwar");
        ::setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    }
    void TearDown() override
    {
        pads.stop();
        for (SDL_Joystick* j : held_)
            SDL_JoystickClose(j);
        while (SDL_NumJoysticks() > 0)
            SDL_JoystickDetachVirtual(0);
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
        if (oldConfig_)
            ::setenv("XDG_CONFIG_HOME", oldConfig_->c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(config_);
    }
    // What the game's message pump does between frames.
    void pump()
    {
        SDL_Event e;
        while (SDL_PollEvent(&e))
            pads.handleEvent(e);
    }
    // The test's own handle on a virtual device, to move its sticks and buttons.
    SDL_Joystick* handle(int deviceIndex)
    {
        SDL_Joystick* j = SDL_JoystickOpen(deviceIndex);
        held_.push_back(j);
        return j;
    }

    SdlGamepads pads;
    fs::path config_;
    std::optional<std::string> oldConfig_;
    std::vector<SDL_Joystick*> held_;
};

TEST_F(SdlPads, PlugInUseLastAndPullOut)
{
    ASSERT_TRUE(pads.start());
    pump();
    EXPECT_FALSE(pads.state().connected);

    Rumbles firstRumbles;
    const int first = attachPad("First Test Pad", &firstRumbles);
    ASSERT_GE(first, 0) << SDL_GetError();
    SDL_Joystick* one = handle(first);
    const SDL_JoystickID oneId = SDL_JoystickInstanceID(one);
    pump();
    ASSERT_TRUE(pads.state().connected);  // the first pad drives at once

    SDL_JoystickSetVirtualAxis(one, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767);
    SDL_JoystickSetVirtualAxis(one, SDL_CONTROLLER_AXIS_LEFTX, -32768);
    SDL_JoystickSetVirtualButton(one, SDL_CONTROLLER_BUTTON_Y, 1);
    pump();
    PadState s = pads.state();
    EXPECT_EQ(s.axis(PadAxis::RightTrigger), 1.0f);
    EXPECT_EQ(s.axis(PadAxis::LeftX), -1.0f);
    EXPECT_TRUE(s.button(PadButton::Y));
    pads.rumble(0.5f, 100);
    EXPECT_EQ(firstRumbles.calls, 1);
    EXPECT_NEAR(firstRumbles.low, 32767, 1);

    // A second pad drives once it is used; until then the first still does.
    const int second = attachPad("Second Test Pad");
    ASSERT_GE(second, 0) << SDL_GetError();
    SDL_Joystick* two = handle(second);
    pump();
    EXPECT_TRUE(pads.state().button(PadButton::Y));
    SDL_JoystickSetVirtualButton(two, SDL_CONTROLLER_BUTTON_A, 1);
    pump();
    s = pads.state();
    EXPECT_TRUE(s.button(PadButton::A));
    EXPECT_FALSE(s.button(PadButton::Y));
    EXPECT_EQ(s.axis(PadAxis::RightTrigger), 0.0f);

    // Back to the first by using it, then pull it out with its trigger held:
    // nothing stays held, though the second pad is still plugged in.
    SDL_JoystickSetVirtualButton(one, SDL_CONTROLLER_BUTTON_B, 1);
    pump();
    EXPECT_EQ(pads.state().axis(PadAxis::RightTrigger), 1.0f);
    SDL_JoystickClose(one);
    held_.erase(held_.begin());
    ASSERT_EQ(SDL_JoystickDetachVirtual(deviceIndexOf(oneId)), 0) << SDL_GetError();
    pump();
    s = pads.state();
    EXPECT_FALSE(s.connected);
    EXPECT_EQ(s.axis(PadAxis::RightTrigger), 0.0f);
    EXPECT_FALSE(s.button(PadButton::Y));
    pads.rumble(1.0f, 100);  // no pad drives: nothing to shake, nothing breaks

    SDL_JoystickSetVirtualAxis(two, SDL_CONTROLLER_AXIS_LEFTY, 32767);
    pump();
    EXPECT_EQ(pads.state().axis(PadAxis::LeftY), 1.0f);
}

TEST_F(SdlPads, AnUnmappedPadIsNamedOnceAndTheSettingsFolderCanMapIt)
{
    const int bare = attachBareStick();
    ASSERT_GE(bare, 0) << SDL_GetError();
    char guid[33] = {};
    SDL_JoystickGetGUIDString(SDL_JoystickGetDeviceGUID(bare), guid, sizeof guid);

    testing::internal::CaptureStderr();
    ASSERT_TRUE(pads.start());
    pump();
    pump();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(pads.state().connected);
    EXPECT_NE(said.find("Bare Test Stick"), std::string::npos) << said;
    EXPECT_NE(said.find(guid), std::string::npos) << said;
    EXPECT_NE(said.find((config_ / "turfwar" / "gamecontrollerdb.txt").string()), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    pads.stop();

    // With a mapping in the settings folder the same stick is a pad.
    std::ofstream(config_ / "turfwar" / "gamecontrollerdb.txt")
        << "# a line for the test stick\n"
        << guid << ",Bare Test Stick,a:b0,b:b1,leftx:a0,lefty:a1,platform:Linux,\n";
    ASSERT_TRUE(pads.start());
    pump();
    ASSERT_TRUE(pads.state().connected);
    SDL_Joystick* j = handle(bare);
    SDL_JoystickSetVirtualButton(j, 1, 1);
    pump();
    EXPECT_TRUE(pads.state().button(PadButton::B));
}

// Which lines of a mapping file reach SDL: this platform's, as SDL's own
// reader picks them, and no more than the bound.
TEST(GamepadMappingFile, OnlyThisPlatformsMappingsUpToTheBound)
{
    const std::string text = "# a comment naming platform:Linux,\n"
                             "\n"
                             "030000001,Pad One,a:b0,platform:Linux,\r\n"
                             "030000002,Pad Two,a:b0,platform:Windows,\n"
                             "030000003,Pad Three,a:b0,platform:linux,\n"
                             "030000004,Pad Four,a:b0,\n"
                             "030000005,Pad Five,a:b0,platform:Linux\n"
                             "030000006,Pad Six,a:b0,platform:Linuxish,\n"
                             "030000007,Pad Seven,a:b0,platform:Linux,";
    const GamepadMappingLines all = gamepadMappingsFor(text, "Linux");
    const std::vector<std::string> expected = {"030000001,Pad One,a:b0,platform:Linux,",
                                               "030000003,Pad Three,a:b0,platform:linux,",
                                               "030000007,Pad Seven,a:b0,platform:Linux,"};
    EXPECT_EQ(all.lines, expected);
    EXPECT_EQ(all.skipped, 0u);

    const GamepadMappingLines bounded = gamepadMappingsFor(text, "Linux", 2);
    EXPECT_EQ(bounded.lines, std::vector<std::string>(expected.begin(), expected.begin() + 2));
    EXPECT_EQ(bounded.skipped, 1u);
    EXPECT_TRUE(gamepadMappingsFor("", "Linux").lines.empty());
}

// A mapping file that could hold up the start, or is no file, is refused in
// one line; one with more mappings than the bound gives SDL the first ones
// and says how many it skipped.
TEST_F(SdlPads, AMappingFileIsReadWithinBounds)
{
    const fs::path file = config_ / "turfwar" / "gamecontrollerdb.txt";
    auto startSaying = [this]() {
        testing::internal::CaptureStderr();
        EXPECT_TRUE(pads.start());
        const std::string said = testing::internal::GetCapturedStderr();
        pads.stop();
        return said;
    };

    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    EXPECT_EQ(startSaying(), "turfwar: " + file.string() + ": Not a regular file; no pad mappings read from it\n");
    fs::remove(file);
    fs::create_directory(file);
    EXPECT_EQ(startSaying(), "turfwar: " + file.string() + ": Is a directory; no pad mappings read from it\n");
    fs::remove(file);

    const std::size_t many = kMaxGamepadMappings + 1000;
    {
        std::ofstream out(file);
        out << "no name platform:" << SDL_GetPlatform() << ",\n";  // a mapping SDL refuses
        for (std::size_t i = 0; i < many; ++i) {
            char guid[33];
            std::snprintf(guid, sizeof guid, "05%030zx", i + 1);
            out << guid << ",Test Pad " << i << ",a:b0,b:b1,leftx:a0,lefty:a1,platform:" << SDL_GetPlatform()
                << ",\n";
        }
    }
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER), 0);
    const int before = SDL_GameControllerNumMappings();
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(pads.start());
    const std::string said = testing::internal::GetCapturedStderr();
    const int added = SDL_GameControllerNumMappings() - before;
    EXPECT_EQ(added, static_cast<int>(kMaxGamepadMappings) - 1);
    EXPECT_EQ(said, "turfwar: " + file.string() + ": used " + std::to_string(kMaxGamepadMappings - 1) + " of its " +
                        std::to_string(many + 1) + " pad mappings for " + SDL_GetPlatform() +
                        "; 1 SDL could not read; " + std::to_string(many + 1 - kMaxGamepadMappings) +
                        " past the first " + std::to_string(kMaxGamepadMappings) + " skipped\n");
}

}  // namespace
