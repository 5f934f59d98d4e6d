#include "app/sdl_platform.h"

#include "app/sdl_gl.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

static_assert(scancodeOf(Key::W) == SDL_SCANCODE_W && scancodeOf(Key::Escape) == SDL_SCANCODE_ESCAPE &&
              kScancodeCount == SDL_NUM_SCANCODES, "our scancodes are SDL's");

SdlPlatform::SdlPlatform()
{
    // Real relative motion, not a cursor warped back to the centre: warping
    // does nothing on Wayland.
    SDL_SetHint(SDL_HINT_MOUSE_RELATIVE_MODE_WARP, "0");
    // SDL's own handlers would only queue a quit that a box never reads.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
}

SdlPlatform::~SdlPlatform()
{
    pads_.stop();
    destroyWindow();
    if (videoReady_)
        stopSdlVideo();
}

bool SdlPlatform::initVideo()
{
    if (!videoReady_)
        videoReady_ = startSdlVideo();
    return videoReady_;
}

MessageBoxAnswer SdlPlatform::showMessageBox(const std::string& text, const std::string& caption,
                                             MessageBoxStyle style)
{
    // The game is ending: what the box would say still reaches the player.
    if (stops_.stopped()) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return style == MessageBoxStyle::OkError ? MessageBoxAnswer::Ok : MessageBoxAnswer::No;
    }
    if (style == MessageBoxStyle::OkError) {
        stops_.setBoxShowing(true);
        const int shown = SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), text.c_str(), gl_.window);
        stops_.setBoxShowing(false);
        if (shown == 0 || stops_.stopped())
            return MessageBoxAnswer::Ok;
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return MessageBoxAnswer::Ok;
    }

    // Return answers Yes and Escape answers No, as keyboard users expect.
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
    };
    SDL_MessageBoxData data{};
    data.flags = SDL_MESSAGEBOX_INFORMATION;
    data.window = gl_.window;
    data.title = caption.c_str();
    data.message = text.c_str();
    data.numbuttons = 2;
    data.buttons = buttons;
    int pressed = -1;
    stops_.setBoxShowing(true);
    const int shown = SDL_ShowMessageBox(&data, &pressed);
    stops_.setBoxShowing(false);
    if (stops_.stopped())
        return MessageBoxAnswer::No;
    if (shown != 0) {
        // SDL's reason says what is missing (no display, no fonts for its X11
        // box, no zenity), so a player can mend it.
        std::fprintf(stderr, "%s: %s\n(no dialog could be shown: %s; answering No)\n", caption.c_str(),
                     text.c_str(), SDL_GetError());
        return MessageBoxAnswer::No;
    }
    return pressed == 1 ? MessageBoxAnswer::Yes : MessageBoxAnswer::No;
}

bool SdlPlatform::changeDisplayMode(int width, int height, int bitsPerPixel)
{
    (void)bitsPerPixel;  // SDL chooses the pixel format among the modes of that size
    if (!initVideo())
        return false;
    SDL_DisplayMode wanted{};
    wanted.w = width;
    wanted.h = height;
    SDL_DisplayMode found{};
    if (SDL_GetClosestDisplayMode(0, &wanted, &found) == nullptr)
        return false;
    if (found.w != width || found.h != height)
        return false;
    haveFullscreenMode_ = true;
    fullscreenMode_ = found;
    return true;
}

bool SdlPlatform::createWindow(const WindowRequest& request)
{
    if (!initVideo())
        return false;
    // Without a display server SDL falls back to a driver that shows nothing;
    // a game nobody can see or stop is worse than no game.
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool invisible = driver != nullptr
                        && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    if (invisible && std::getenv("SDL_VIDEODRIVER") == nullptr) {
        std::fprintf(stderr, "turfwar: no display to open a window on (is DISPLAY or WAYLAND_DISPLAY set?)\n");
        return false;
    }
    const unsigned fullscreenFlag = request.desktopFullscreen ? static_cast<unsigned>(SDL_WINDOW_FULLSCREEN_DESKTOP)
                                                              : static_cast<unsigned>(SDL_WINDOW_FULLSCREEN);
    const unsigned flags = SDL_WINDOW_ALLOW_HIGHDPI | (request.fullscreen ? fullscreenFlag : static_cast<unsigned>(SDL_WINDOW_RESIZABLE));
    if (!openSdlGlWindow(request, flags, gl_))
        return false;
    if (request.fullscreen && !request.desktopFullscreen && haveFullscreenMode_)
        SDL_SetWindowDisplayMode(gl_.window, &fullscreenMode_);
    // Pads are looked for once there is a game to play with them.
    pads_.start();
    applySwapInterval();
    return true;
}

void SdlPlatform::destroyWindow()
{
    if (gl_.window == nullptr)
        return;
    SDL_SetRelativeMouseMode(SDL_FALSE);
    // Closing a full-screen window gives the desktop its own mode back.
    closeSdlGlWindow(gl_);
}

void SdlPlatform::showWindow(bool visible)
{
    if (gl_.window == nullptr)
        return;
    if (visible) {
        SDL_ShowWindow(gl_.window);
        SDL_RaiseWindow(gl_.window);
    } else {
        SDL_HideWindow(gl_.window);
    }
}

bool SdlPlatform::setFullscreen(bool fullscreen, bool desktop)
{
    if (gl_.window == nullptr)
        return false;
    Uint32 flags = 0;
    if (fullscreen) {
        flags = desktop ? SDL_WINDOW_FULLSCREEN_DESKTOP : SDL_WINDOW_FULLSCREEN;
        if (!desktop && haveFullscreenMode_)
            SDL_SetWindowDisplayMode(gl_.window, &fullscreenMode_);
    }
    if (SDL_SetWindowFullscreen(gl_.window, flags) != 0) {
        std::fprintf(stderr, "turfwar: cannot switch full screen %s: %s\n", fullscreen ? "on" : "off", SDL_GetError());
        return false;
    }
    if (!fullscreen)
        SDL_SetWindowResizable(gl_.window, SDL_TRUE);
    return true;
}

void SdlPlatform::drawableSize(int& width, int& height) const
{
    width = height = 0;
    if (gl_.window != nullptr)
        SDL_GL_GetDrawableSize(gl_.window, &width, &height);
}

namespace {

// SDL gives the pointer in the window's points; the game lays its menus out
// in the drawable's pixels, more of them on a HiDPI screen.
void toDrawablePixels(SDL_Window* window, int& x, int& y)
{
    int w = 0, h = 0, dw = 0, dh = 0;
    SDL_GetWindowSize(window, &w, &h);
    SDL_GL_GetDrawableSize(window, &dw, &dh);
    if (w > 0 && h > 0 && (w != dw || h != dh)) {
        x = static_cast<int>(static_cast<long long>(x) * dw / w);
        y = static_cast<int>(static_cast<long long>(y) * dh / h);
    }
}

}  // namespace

bool SdlPlatform::pollEvent(WindowEvent& event)
{
    event = WindowEvent{};
    if (stops_.takeStop()) {
        event.type = WindowEvent::Type::CloseRequested;
        return true;
    }
    SDL_Event e;
    if (SDL_PollEvent(&e) == 0)
        return false;
    // A pad's events count as messages like any other; the pad's state is
    // read whole at the start of each frame.
    if (pads_.handleEvent(e))
        return true;
    switch (e.type) {
    case SDL_QUIT:
        event.type = WindowEvent::Type::CloseRequested;
        break;
    case SDL_WINDOWEVENT:
        switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            event.type = WindowEvent::Type::CloseRequested;
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED:
            event.type = WindowEvent::Type::Resized;
            drawableSize(event.width, event.height);
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            event.type = WindowEvent::Type::Minimized;
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            event.type = WindowEvent::Type::FocusGained;
            focused_ = true;
            applyMouseCapture();
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            event.type = WindowEvent::Type::FocusLost;
            focused_ = false;
            applyMouseCapture();
            break;
        default:
            break;
        }
        break;
    case SDL_KEYDOWN:
        if ((e.key.keysym.sym == SDLK_RETURN || e.key.keysym.sym == SDLK_KP_ENTER) && (e.key.keysym.mod & KMOD_ALT) != 0 &&
            e.key.repeat == 0)
            event.type = WindowEvent::Type::ToggleFullscreen;
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (e.button.button == SDL_BUTTON_LEFT || e.button.button == SDL_BUTTON_RIGHT ||
            e.button.button == SDL_BUTTON_MIDDLE) {
            event.type = e.type == SDL_MOUSEBUTTONDOWN ? WindowEvent::Type::ButtonDown
                                                       : WindowEvent::Type::ButtonUp;
            event.button = sdlMouseButtonOf(e.button.button);  // the same swap both ways
            event.x = e.button.x;
            event.y = e.button.y;
            if (gl_.window != nullptr)
                toDrawablePixels(gl_.window, event.x, event.y);
        }
        break;
    default:
        break;
    }
    return true;
}

void SdlPlatform::swapBuffers()
{
    if (gl_.window == nullptr)
        return;
    SDL_GL_SwapWindow(gl_.window);
    sleepOutFrame();
}

void SdlPlatform::setFramePacing(VsyncMode vsync, int maxFps)
{
    vsync_ = vsync;
    maxFps_ = maxFps;
    haveFrameStart_ = false;
    applySwapInterval();
}

void SdlPlatform::applySwapInterval()
{
    if (gl_.window == nullptr)
        return;
    switch (vsync_) {
    case VsyncMode::Adaptive:
        // Late frames are shown at once (tearing) rather than held to the
        // next refresh, which would halve the rate. Not every driver has it;
        // where none can wait at all (a virtual display) the default is quiet.
        if (SDL_GL_SetSwapInterval(-1) != 0)
            SDL_GL_SetSwapInterval(1);
        break;
    case VsyncMode::On:
        if (SDL_GL_SetSwapInterval(1) != 0)
            std::fprintf(stderr, "turfwar: the display cannot wait for vsync: %s\n", SDL_GetError());
        break;
    case VsyncMode::Off:
        SDL_GL_SetSwapInterval(0);
        break;
    }
}

// Sleeps until the frame's share of a second under the cap has passed since
// the frame began. Frames begin a whole period apart so the rate does not
// drift; after a frame more than a period late the count starts afresh
// instead of letting the next frames hurry to catch up.
void SdlPlatform::sleepOutFrame()
{
    if (maxFps_ <= 0)
        return;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point now = Clock::now();
    if (!haveFrameStart_) {
        haveFrameStart_ = true;
        frameStart_ = now;
        return;
    }
    const auto period = std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(1'000'000'000 / maxFps_));
    const Clock::time_point end = frameStart_ + period;
    if (now < end)
        std::this_thread::sleep_until(end);
    frameStart_ = now > end + period ? now : end;
}

std::uint32_t SdlPlatform::ticks() { return SDL_GetTicks(); }

bool SdlPlatform::isScancodeDown(int scancode) const
{
    int count = 0;
    const Uint8* state = SDL_GetKeyboardState(&count);
    return state != nullptr && scancode >= 0 && scancode < count && state[scancode] != 0;
}

bool SdlPlatform::isMouseButtonDown(int button) const
{
    return button >= 1 && button <= 31 && (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON(button)) != 0;
}

void SdlPlatform::takeMouseMotion(int& dx, int& dy)
{
    dx = dy = 0;
    int x = 0, y = 0;
    SDL_GetRelativeMouseState(&x, &y);  // also clears what has accumulated
    if (!cursorVisible_ && focused_) {
        dx = x;
        dy = y;
    }
}

bool SdlPlatform::mousePosition(int& x, int& y) const
{
    x = y = 0;
    if (cursorVisible_ == false || gl_.window == nullptr)
        return false;
    SDL_GetMouseState(&x, &y);
    toDrawablePixels(gl_.window, x, y);
    return true;
}

void SdlPlatform::setCursorVisible(bool visible)
{
    cursorVisible_ = visible;
    applyMouseCapture();
}

void SdlPlatform::applyMouseCapture()
{
    if (gl_.window == nullptr)
        return;
    // The game keeps running unfocused, but it gives the mouse back to the desktop.
    const bool capture = !cursorVisible_ && focused_;
    SDL_SetRelativeMouseMode(capture ? SDL_TRUE : SDL_FALSE);
    SDL_ShowCursor(capture ? SDL_DISABLE : SDL_ENABLE);
    int ignored = 0;
    SDL_GetRelativeMouseState(&ignored, &ignored);  // no jump from motion made while released
}
