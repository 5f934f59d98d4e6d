#pragma once
// The platform layer on a real display, through SDL2: a window with a GL
// compatibility context, full screen through a display-mode change, SDL's
// message boxes, SDL_GetTicks, the keyboard state by scancode, and mouse look
// through relative mouse mode (which also works on Wayland, where warping the
// cursor does not), and the gamepads (SdlGamepads) once the window is open.
// SIGINT and SIGTERM close the game, even while a box is up (StopSignals).

#include "app/platform.h"
#include "app/sdl_gamepads.h"
#include "app/sdl_gl.h"
#include "app/stop_signals.h"

#include <SDL_video.h>

#include <chrono>

class SdlPlatform : public Platform {
public:
    SdlPlatform();
    ~SdlPlatform() override;
    SdlPlatform(const SdlPlatform&) = delete;
    SdlPlatform& operator=(const SdlPlatform&) = delete;

    MessageBoxAnswer showMessageBox(const std::string& text, const std::string& caption,
                                    MessageBoxStyle style) override;
    bool changeDisplayMode(int width, int height, int bitsPerPixel) override;
    bool createWindow(const WindowRequest& request) override;
    void destroyWindow() override;
    void showWindow(bool visible) override;
    bool setFullscreen(bool fullscreen, bool desktop) override;
    void drawableSize(int& width, int& height) const override;
    bool pollEvent(WindowEvent& event) override;
    void swapBuffers() override;
    void setFramePacing(VsyncMode vsync, int maxFps) override;
    std::uint32_t ticks() override;
    bool isScancodeDown(int scancode) const override;
    bool isMouseButtonDown(int button) const override;
    PadState padState() const override { return pads_.state(); }
    void rumblePad(float strength, std::uint32_t durationMs) override { pads_.rumble(strength, durationMs); }
    PadState padState(int slot) const override { return pads_.state(slot); }
    void rumblePad(int slot, float strength, std::uint32_t durationMs) override
    {
        pads_.rumble(slot, strength, durationMs);
    }
    void takeMouseMotion(int& dx, int& dy) override;
    void setCursorVisible(bool visible) override;
    bool mousePosition(int& x, int& y) const override;
    bool stopRequested() const override { return stops_.stopped(); }

private:
    bool initVideo();
    void applyMouseCapture();
    void applySwapInterval();
    void sleepOutFrame();

    // First: the signals are blocked before SDL or anything else starts a thread.
    StopSignals stops_;
    bool videoReady_ = false;
    SdlGlWindow gl_;
    bool haveFullscreenMode_ = false;
    SDL_DisplayMode fullscreenMode_{};
    bool cursorVisible_ = true;
    bool focused_ = true;
    SdlGamepads pads_;
    VsyncMode vsync_ = VsyncMode::Adaptive;
    int maxFps_ = 0;
    bool haveFrameStart_ = false;
    std::chrono::steady_clock::time_point frameStart_;  // when the frame being drawn began, under the cap
};
