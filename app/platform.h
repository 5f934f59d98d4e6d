#pragma once
// The platform layer: everything the game needs from the operating system,
// behind one narrow interface with two backends. SdlPlatform talks to a real
// display; HeadlessPlatform is driven by a test or a script and renders through
// SDL's offscreen driver, so frames are real GL and can be read back.
//
// Only app/ sees this interface. The window, the clock, the keyboard and the
// mouse reach the rest of the game as numbers handed down by the frame driver.

#include "audio/audio.h"

#include <cstdint>
#include <string>

enum class Key { W, A, S, D, Q, E, Escape };

// What the window reports between frames, already reduced to the meanings the
// game gives them.
struct WindowEvent {
    enum class Type {
        CloseRequested,  // the user asked to close the window
        Resized,         // restored, maximised or resized: width, height hold the drawable size
        Minimized,       // the size did not change
        ButtonDown,      // button 1 left, 2 right; x, y in window pixels
        ButtonUp,
        FocusGained,
        FocusLost,
        Other,           // anything else the system delivers; it still counts as a message
    };
    Type type = Type::Other;
    int width = 0;
    int height = 0;
    int button = 0;
    int x = 0;
    int y = 0;
};

enum class MessageBoxStyle { YesNoQuestion, OkError };
enum class MessageBoxAnswer { Ok, Yes, No };

struct WindowRequest {
    int width = 0;
    int height = 0;
    int colourBits = 16;  // asked for; the system may give more
    int depthBits = 16;
    std::string title;
    bool fullscreen = false;  // only after changeDisplayMode succeeded
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
    // The size GL draws to, in pixels (larger than the window on HiDPI screens).
    virtual void drawableSize(int& width, int& height) const = 0;
    // Takes one pending event; false when none is pending.
    virtual bool pollEvent(WindowEvent& event) = 0;
    virtual void swapBuffers() = 0;

    // Milliseconds since some fixed start, wrapping at 2^32.
    virtual std::uint32_t ticks() = 0;
    virtual bool isKeyDown(Key key) const = 0;
    // The mouse's movement since the last call, in pixels, right and down
    // positive; zero while the mouse is not captured.
    virtual void takeMouseMotion(int& dx, int& dy) = 0;
    // Hidden means captured for mouse look (relative mode while focused).
    virtual void setCursorVisible(bool visible) = 0;

    // Opens the game's sound output: the system's default device, mixing on
    // its own. False with a reason when there is none (the game runs silent).
    virtual bool openAudio(Audio& audio, std::string& reason) { return audio.openDevice(nullptr, reason); }
    // After each frame's swap: mixes the frame's sound where nothing else
    // does (the headless backend's loopback device); a real device needs nothing.
    virtual void renderAudio(Audio& audio) { (void)audio; }
};
