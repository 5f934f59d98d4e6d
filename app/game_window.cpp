#include "app/game_window.h"

#include "app/error_box.h"

#include <GL/gl.h>
#include <cstdio>
#include <GL/glu.h>

bool changeDisplayMode(Platform& platform, int width, int height, int bitsPerPixel)
{
    return platform.changeDisplayMode(width, height, bitsPerPixel);
}

bool GameWindow::create(int bits, int w, int h, const std::string& title, bool wantFullscreen, FullscreenMode mode)
{
    fullscreenMode = mode;
    windowedWidth_ = w;
    windowedHeight_ = h;
    const bool desktop = mode == FullscreenMode::Desktop;
    width = w;
    height = h;
    bitsPerPixel = bits;
    fullscreen = wantFullscreen;

    if (fullscreen && !desktop && !changeDisplayMode(platform_, width, height, bitsPerPixel)) {
        platform_.showMessageBox("Mode Switch Failed.\nRunning In Windowed Mode.", "Error",
                                 MessageBoxStyle::OkError);
        fullscreen = false;
    }

    WindowRequest request;
    request.width = width;
    request.height = height;
    request.colourBits = bitsPerPixel;
    request.depthBits = 16;
    request.title = title;
    request.fullscreen = fullscreen;
    request.desktopFullscreen = desktop;
    if (!platform_.createWindow(request))
        return false;
    open_ = true;
    quitPosted_ = false;

    // On HiDPI screens the drawable is larger than the window: draw it whole.
    int drawableWidth = 0, drawableHeight = 0;
    platform_.drawableSize(drawableWidth, drawableHeight);
    if (drawableWidth > 0 && drawableHeight > 0) {
        width = drawableWidth;
        height = drawableHeight;
    }
    perspective = true;
    return true;
}

void GameWindow::destroy()
{
    if (!open_)
        return;
    platform_.destroyWindow();
    open_ = false;
}

void GameWindow::show(bool visible) { platform_.showWindow(visible); }

int GameWindow::pumpMessage()
{
    if (quitPosted_) {
        quitPosted_ = false;
        return kQuitMessageTaken;
    }
    WindowEvent event;
    if (!platform_.pollEvent(event))
        return kNoMessagePending;
    handleEvent(event);
    return kMessageDispatched;
}

void GameWindow::handleEvent(const WindowEvent& event)
{
    switch (event.type) {
    case WindowEvent::Type::CloseRequested:
        // The window stays: only the entry point destroys it, after the loop.
        quitPosted_ = true;
        break;
    case WindowEvent::Type::Resized:
        width = event.width;
        height = event.height;
        break;
    case WindowEvent::Type::ButtonDown:
        if (onButtonPress)
            onButtonPress(event.button, event.x, event.y);
        break;
    case WindowEvent::Type::ToggleFullscreen:
        toggleFullscreen();
        break;
    case WindowEvent::Type::FocusLost:
        if (onFocusLost)
            onFocusLost();
        break;
    case WindowEvent::Type::ButtonUp:  // a shot is fired on the press alone
    case WindowEvent::Type::Minimized:
    case WindowEvent::Type::FocusGained:
    case WindowEvent::Type::Other:
        break;
    }
}

void GameWindow::toggleFullscreen()
{
    if (!open_)
        return;
    const bool want = !fullscreen;
    const bool desktop = fullscreenMode == FullscreenMode::Desktop;
    // Mid-game a missing mode is a line, not a modal box.
    if (want && !desktop && !changeDisplayMode(platform_, windowedWidth_, windowedHeight_, bitsPerPixel)) {
        std::fprintf(stderr, "turfwar: the display has no %d x %d mode; staying in a window\n", windowedWidth_,
                     windowedHeight_);
        return;
    }
    if (platform_.setFullscreen(want, desktop))
        fullscreen = want;
}

void GameWindow::swapBuffers() { platform_.swapBuffers(); }

void GameWindow::setViewport(int w, int h, int left, int bottom)
{
    glViewport(left, bottom, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (perspective)
        gluPerspective(kFieldOfViewDegrees, static_cast<double>(w) / static_cast<double>(h), kNearPlane,
                       kFarPlane);
    else
        glOrtho(0.0, w, h, 0.0, 0.0, 1.0);  // origin top left, y down, one unit per pixel
    glMatrixMode(GL_MODELVIEW);
}
