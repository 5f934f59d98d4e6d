#pragma once
// The one game window with its GL context, on top of the platform layer.
// It pumps window events one at a time for the frame loop, with the meanings
// the game gives them: a close request becomes a quit message that the next
// pump takes, a restore, maximise or resize updates the size (a minimise does
// not), and mouse buttons reach the weapon through onButtonPress. It also sets
// the viewport with a perspective or an orthographic projection.

#include "app/platform.h"

#include <functional>
#include <string>

// What GameWindow::pumpMessage answers.
inline constexpr int kQuitMessageTaken = 0;
inline constexpr int kNoMessagePending = 1;
inline constexpr int kMessageDispatched = 2;

class GameWindow {
public:
    explicit GameWindow(Platform& platform) : platform_(platform) {}
    ~GameWindow() { destroy(); }
    GameWindow(const GameWindow&) = delete;
    GameWindow& operator=(const GameWindow&) = delete;

    // Asks for a full-screen mode first when fullscreen is set and falls back
    // to a window, with a message, when there is none. False when the window
    // or its GL context cannot be made.
    // In the desktop mode full screen takes the desktop's resolution and the
    // display mode is left alone.
    bool create(int bitsPerPixel, int width, int height, const std::string& title, bool fullscreen,
                FullscreenMode mode = FullscreenMode::Switch);
    // Releases the window and its context; safe to call more than once.
    void destroy();
    void show(bool visible);
    // kNoMessagePending, kQuitMessageTaken or kMessageDispatched.
    int pumpMessage();
    void swapBuffers();
    // Size first, then corner: the reverse of glViewport's order, kept
    // because every caller of the game is written this way. Draws to the
    // width x height pixels whose lower-left corner is (left, bottom) in
    // GL's window pixels (origin bottom left), then loads the projection for
    // that size which usePerspective or useOrtho chose.
    void setViewport(int width, int height, int left, int bottom);
    void usePerspective() { perspective = true; }
    void useOrtho() { perspective = false; }

    // The window procedure: what one event means to the game.
    void handleEvent(const WindowEvent& event);
    // Full screen to window or back, in the mode create was given; on
    // failure the window stays as it is, with a line on standard error.
    void toggleFullscreen();

    int width = 0;          // drawable pixels; set by create, then by resizes
    int height = 0;
    int bitsPerPixel = 0;   // colour depth asked for
    bool fullscreen = false;
    FullscreenMode fullscreenMode = FullscreenMode::Switch;
    bool perspective = false;
    // Button 1 is the left, 2 the right; x, y in window pixels.
    std::function<void(int button, int x, int y)> onButtonPress;
    // The window lost the keyboard's focus (another window came to the front).
    std::function<void()> onFocusLost;

private:
    Platform& platform_;
    bool open_ = false;
    bool quitPosted_ = false;
    int windowedWidth_ = 0;  // as create was asked: the switch mode's display size
    int windowedHeight_ = 0;
};

// Switches the display to width x height for full screen; false when the
// display has no such mode.
bool changeDisplayMode(Platform& platform, int width, int height, int bitsPerPixel);

// The projection matrices setViewport loads, for readers that want to check them.
inline constexpr double kFieldOfViewDegrees = 45.0;
inline constexpr double kNearPlane = 10.0;
inline constexpr double kFarPlane = 2400.0;
