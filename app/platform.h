#pragma once
// The platform layer: everything the game needs from the operating system,
// behind one narrow interface with two backends. SdlPlatform talks to a real
// display; HeadlessPlatform is driven by a test or a script and renders through
// SDL's offscreen driver, so frames are real GL and can be read back.
//
// Only app/ sees this interface. The window, the clock, the keyboard, the
// mouse and the pads reach the rest of the game as numbers handed down by the
// frame driver.

#include "app/settings.h"

#include "audio/audio.h"

#include <cstdint>
#include <string>

// The keys of the default bindings, by name for tests and scripts; the game
// itself reads every key through its binding (isScancodeDown).
enum class Key { W, A, S, D, Q, E, Escape };

// The keys' positions as USB HID usage numbers, which are SDL's scancodes:
// key bindings name keys this way, so they follow the key's place, not its
// letter, across keyboard layouts.
inline constexpr int kScancodeCount = 512;
constexpr int scancodeOf(Key key)
{
    switch (key) {
    case Key::W: return 26;
    case Key::A: return 4;
    case Key::S: return 22;
    case Key::D: return 7;
    case Key::Q: return 20;
    case Key::E: return 8;
    case Key::Escape: return 41;
    }
    return 0;
}

// A gamepad in SDL's GameController layout (an Xbox pad's names, whatever
// the pad), in SDL's own order.
enum class PadAxis { LeftX, LeftY, RightX, RightY, LeftTrigger, RightTrigger };
inline constexpr int kPadAxisCount = 6;
enum class PadButton {
    A, B, X, Y, Back, Guide, Start, LeftStick, RightStick, LeftShoulder, RightShoulder,
    DpadUp, DpadDown, DpadLeft, DpadRight,
};
inline constexpr int kPadButtonCount = 15;
// Pads told apart for several players, one a slot.
inline constexpr int kPadSlots = 4;

// A pad as it is now: the pad that drives a one-player game (of several,
// the one used last), or the pad in one slot. With none connected
// everything is at rest.
struct PadState {
    bool connected = false;
    // Sticks -1 ... 1, right and down positive; triggers 0 ... 1 (pulled).
    float axes[kPadAxisCount] = {};
    bool buttons[kPadButtonCount] = {};

    float axis(PadAxis a) const { return axes[static_cast<int>(a)]; }
    bool button(PadButton b) const { return buttons[static_cast<int>(b)]; }
};

// What the window reports between frames, already reduced to the meanings the
// game gives them.
struct WindowEvent {
    enum class Type {
        CloseRequested,  // the user asked to close the window
        Resized,         // restored, maximised or resized: width, height hold the drawable size
        Minimized,       // the size did not change
        ButtonDown,      // button 1 left, 2 right, 3 middle; x, y in window (drawable) pixels
        ButtonUp,
        FocusGained,
        FocusLost,
        ToggleFullscreen,  // Alt+Enter: full screen to window or back
        Other,           // anything else the system delivers; it still counts as a message
    };
    Type type = Type::Other;
    int width = 0;
    int height = 0;
    int button = 0;
    int x = 0;
    int y = 0;
};

// A window event's button in SDL's numbering (1 left, 2 middle, 3 right),
// which bindings use: the window numbers them as the original's messages did.
constexpr int sdlMouseButtonOf(int windowButton)
{
    return windowButton == 2 ? 3 : windowButton == 3 ? 2 : windowButton;
}

enum class MessageBoxStyle { YesNoQuestion, OkError };
enum class MessageBoxAnswer { Ok, Yes, No };

struct WindowRequest {
    int width = 0;
    int height = 0;
    int colourBits = 16;  // asked for; the system may give more
    int depthBits = 16;
    std::string title;
    bool fullscreen = false;  // only after changeDisplayMode succeeded, or with desktopFullscreen
    bool desktopFullscreen = false;  // full screen at the desktop's resolution, no mode change
};

class Platform {
public:
    virtual ~Platform() = default;

    // A modal box. Where no box can be shown the text goes to standard error
    // and a question takes its No answer, so nothing blocks or dies on a dialog.
    virtual MessageBoxAnswer showMessageBox(const std::string& text, const std::string& caption,
                                            MessageBoxStyle style) = 0;

    // Asks for a full-screen display mode of this size; false when there is none.
    virtual bool changeDisplayMode(int width, int height, int bitsPerPixel) = 0;
    // Window and current GL compatibility context; false when either fails
    // (nothing is left open then).
    virtual bool createWindow(const WindowRequest& request) = 0;
    // Closes the window and its context and restores the desktop mode; safe
    // to call with nothing open.
    virtual void destroyWindow() = 0;
    virtual void showWindow(bool visible) = 0;
    // Switches the open window between full screen (at the display mode
    // changeDisplayMode found, or at the desktop's own with desktop) and a
    // window of the size it was made with. The new size arrives as a Resized
    // event. False, with the window as it was, when the system refuses.
    virtual bool setFullscreen(bool fullscreen, bool desktop)
    {
        (void)fullscreen;
        (void)desktop;
        return false;
    }
    // The size GL draws to, in pixels (larger than the window on HiDPI screens).
    virtual void drawableSize(int& width, int& height) const = 0;
    // Takes one pending event; false when none is pending.
    virtual bool pollEvent(WindowEvent& event) = 0;
    virtual void swapBuffers() = 0;
    // How swaps are paced, for the window open now and any made later: the
    // vsync mode, and a cap of maxFps frames a second (0: none) that
    // swapBuffers keeps by sleeping out the rest of each frame. The headless
    // backend only records it and never waits.
    virtual void setFramePacing(VsyncMode vsync, int maxFps) = 0;

    // Milliseconds since some fixed start, wrapping at 2^32.
    virtual std::uint32_t ticks() = 0;
    // Any key by its scancode (0 to kScancodeCount - 1; others are never down).
    virtual bool isScancodeDown(int scancode) const = 0;
    // A mouse button held now, numbered as SDL does: 1 left, 2 middle, 3 right.
    virtual bool isMouseButtonDown(int button) const = 0;
    // The driving pad as it is now.
    virtual PadState padState() const = 0;
    // Shakes the driving pad, strength 0 to 1, for durationMs; nothing
    // happens where there is no pad or it cannot rumble.
    virtual void rumblePad(float strength, std::uint32_t durationMs) = 0;
    // The pads by slot, for several players: a pad plugged in takes the
    // lowest free slot (0 to kPadSlots - 1) and keeps it until it is pulled
    // out, so a player keeps their pad. An empty slot is a pad at rest, not
    // connected; a slot out of range is empty.
    virtual PadState padState(int slot) const = 0;
    virtual void rumblePad(int slot, float strength, std::uint32_t durationMs) = 0;
    // The mouse's movement since the last call, in pixels, right and down
    // positive; zero while the mouse is not captured.
    virtual void takeMouseMotion(int& dx, int& dy) = 0;
    // Hidden means captured for mouse look (relative mode while focused).
    virtual void setCursorVisible(bool visible) = 0;
    // Where the pointer is over the window, in drawable pixels from its
    // top-left corner, while the cursor is shown; false while it is captured
    // (or where the backend cannot tell), so a menu has no hover then.
    virtual bool mousePosition(int& x, int& y) const
    {
        x = y = 0;
        return false;
    }
    // The system asked the game to end (SIGINT, SIGTERM): the start stops
    // where it is, and the loop's next pump gets a close request.
    virtual bool stopRequested() const { return false; }

    // Opens the game's sound output: the system's default device, mixing on
    // its own. False with a reason when there is none (the game runs silent).
    virtual bool openAudio(Audio& audio, std::string& reason) { return audio.openDevice(nullptr, reason); }
    // After each frame's swap: mixes the frame's sound where nothing else
    // does (the headless backend's loopback device); a real device needs nothing.
    virtual void renderAudio(Audio& audio) { (void)audio; }
};
