#include "app/headless_platform.h"

#include <SDL.h>
#include <SDL_opengl.h>

namespace {

unsigned bitOf(Key key) { return 1u << static_cast<unsigned>(key); }

}  // namespace

HeadlessPlatform::HeadlessPlatform()
{
    // Real GL without a display server: EGL on Mesa behind SDL's offscreen driver.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
}

HeadlessPlatform::~HeadlessPlatform()
{
    destroyWindow();
    if (videoStarted_)
        stopSdlVideo();
}

void HeadlessPlatform::setKeyDown(Key key, bool down)
{
    if (down)
        keysDown_ |= bitOf(key);
    else
        keysDown_ &= ~bitOf(key);
}

void HeadlessPlatform::releaseAllKeys() { keysDown_ = 0; }

void HeadlessPlatform::moveMouse(int dx, int dy)
{
    mouseDx_ += dx;
    mouseDy_ += dy;
}

void HeadlessPlatform::requestClose()
{
    WindowEvent event;
    event.type = WindowEvent::Type::CloseRequested;
    queueEvent(event);
}

void HeadlessPlatform::click(int button, int x, int y)
{
    WindowEvent event;
    event.button = button;
    event.x = x;
    event.y = y;
    event.type = WindowEvent::Type::ButtonDown;
    queueEvent(event);
    event.type = WindowEvent::Type::ButtonUp;
    queueEvent(event);
}

void HeadlessPlatform::resize(int width, int height)
{
    WindowEvent event;
    event.type = WindowEvent::Type::Resized;
    event.width = width;
    event.height = height;
    queueEvent(event);
}

void HeadlessPlatform::minimize()
{
    WindowEvent event;
    event.type = WindowEvent::Type::Minimized;
    queueEvent(event);
}

MessageBoxAnswer HeadlessPlatform::showMessageBox(const std::string& text, const std::string& caption,
                                                  MessageBoxStyle style)
{
    messageBoxes_.push_back({text, caption, style});
    if (style == MessageBoxStyle::OkError)
        return MessageBoxAnswer::Ok;
    if (answers_.empty())
        return MessageBoxAnswer::No;
    const MessageBoxAnswer answer = answers_.front();
    answers_.pop_front();
    return answer;
}

bool HeadlessPlatform::changeDisplayMode(int, int, int)
{
    displayModeChanged_ = displayModeAvailable_;
    return displayModeAvailable_;
}

bool HeadlessPlatform::createWindow(const WindowRequest& request)
{
    if (windowCreationFails_)
        return false;
    if (!videoStarted_) {
        videoStarted_ = startSdlVideo();
        if (!videoStarted_)
            return false;
    }
    if (!openSdlGlWindow(request, 0, gl_))
        return false;
    width_ = request.width;
    height_ = request.height;
    return true;
}

void HeadlessPlatform::destroyWindow()
{
    closeSdlGlWindow(gl_);
    displayModeChanged_ = false;
    visible_ = false;
}

void HeadlessPlatform::drawableSize(int& width, int& height) const
{
    width = width_;
    height = height_;
}

bool HeadlessPlatform::pollEvent(WindowEvent& event)
{
    if (events_.empty())
        return false;
    event = events_.front();
    events_.pop_front();
    if (event.type == WindowEvent::Type::Resized && gl_.window != nullptr) {
        // Keep the real surface the size the game is told about.
        SDL_SetWindowSize(gl_.window, event.width, event.height);
        width_ = event.width;
        height_ = event.height;
    }
    return true;
}

void HeadlessPlatform::swapBuffers()
{
    if (gl_.window == nullptr)
        return;
    if (captureFrames_)
        lastFrame_ = readFrame();
    SDL_GL_SwapWindow(gl_.window);
    ++swaps_;
    if (onSwap)
        onSwap(swaps_);
}

FrameImage HeadlessPlatform::readFrame() const
{
    FrameImage image;
    if (gl_.window == nullptr)
        return image;
    image.width = width_;
    image.height = height_;
    image.rgb.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, image.rgb.data());
    return image;
}

bool HeadlessPlatform::isKeyDown(Key key) const { return (keysDown_ & bitOf(key)) != 0; }

void HeadlessPlatform::takeMouseMotion(int& dx, int& dy)
{
    // As on a real display: motion reaches the game only while it holds the mouse.
    dx = cursorVisible_ ? 0 : mouseDx_;
    dy = cursorVisible_ ? 0 : mouseDy_;
    mouseDx_ = mouseDy_ = 0;
}
