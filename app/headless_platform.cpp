#include "app/headless_platform.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <algorithm>
#include <cassert>
#include <cstdio>

namespace {

int saturatedSum(int a, int b)
{
    const long long sum = static_cast<long long>(a) + b;
    return static_cast<int>(std::clamp<long long>(sum, INT_MIN, INT_MAX));
}

}  // namespace

HeadlessPlatform::HeadlessPlatform()
{
    // Real GL without a display server: EGL on Mesa behind SDL's offscreen driver.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    // SDL would turn SIGINT and SIGTERM into quit events, which nothing here
    // reads: a script could then be neither interrupted nor timed out.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
}

HeadlessPlatform::~HeadlessPlatform()
{
    destroyWindow();
    if (videoStarted_)
        stopSdlVideo();
}

void HeadlessPlatform::setKeyDown(Key key, bool down) { setScancodeDown(scancodeOf(key), down); }

void HeadlessPlatform::setScancodeDown(int scancode, bool down)
{
    assert(scancode >= 0 && scancode < kScancodeCount && "scancodes run from 0 to kScancodeCount - 1");
    keysDown_.set(static_cast<std::size_t>(scancode), down);
}

void HeadlessPlatform::releaseAllKeys() { keysDown_.reset(); }

namespace {
bool padSlotInRange(int slot) { return slot >= 0 && slot < kPadSlots; }
}  // namespace

void HeadlessPlatform::connectPad(int slot)
{
    if (padSlotInRange(slot))
        pads_[static_cast<std::size_t>(slot)].connected = true;
}

void HeadlessPlatform::disconnectPad(int slot)
{
    if (padSlotInRange(slot))
        pads_[static_cast<std::size_t>(slot)] = PadState{};
}

void HeadlessPlatform::setPadAxis(PadAxis axis, float value, int slot)
{
    if (!padSlotInRange(slot) || !pads_[static_cast<std::size_t>(slot)].connected)
        return;
    const bool trigger = axis == PadAxis::LeftTrigger || axis == PadAxis::RightTrigger;
    pads_[static_cast<std::size_t>(slot)].axes[static_cast<int>(axis)] =
        std::clamp(value, trigger ? 0.0f : -1.0f, 1.0f);
    drivingPad_ = slot;
}

void HeadlessPlatform::setPadButton(PadButton button, bool down, int slot)
{
    if (!padSlotInRange(slot) || !pads_[static_cast<std::size_t>(slot)].connected)
        return;
    pads_[static_cast<std::size_t>(slot)].buttons[static_cast<int>(button)] = down;
    drivingPad_ = slot;
}

PadState HeadlessPlatform::padState(int slot) const
{
    return padSlotInRange(slot) ? pads_[static_cast<std::size_t>(slot)] : PadState{};
}

void HeadlessPlatform::rumblePad(int slot, float strength, std::uint32_t durationMs)
{
    if (padSlotInRange(slot) && pads_[static_cast<std::size_t>(slot)].connected && padRumbles_)
        rumbles_.push_back({strength, durationMs, ticks_, slot});
}

void HeadlessPlatform::moveMouse(int dx, int dy)
{
    mouseDx_ = saturatedSum(mouseDx_, dx);
    mouseDy_ = saturatedSum(mouseDy_, dy);
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
    assert(width >= 1 && width <= kMaxHeadlessWindowSide && height >= 1 && height <= kMaxHeadlessWindowSide &&
           "headless window sides run from 1 to kMaxHeadlessWindowSide pixels");
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
    MessageBoxAnswer answer = MessageBoxAnswer::Ok;
    if (style != MessageBoxStyle::OkError) {
        answer = MessageBoxAnswer::No;
        if (!answers_.empty()) {
            answer = answers_.front();
            answers_.pop_front();
        }
    }
    messageBoxes_.push_back({text, caption, style, answer});
    if (onMessageBox)
        onMessageBox(messageBoxes_.back());
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
    windowedWidth_ = request.width;
    windowedHeight_ = request.height;
    WindowRequest sized = request;
    if (request.fullscreen && request.desktopFullscreen) {
        sized.width = desktopWidth_;
        sized.height = desktopHeight_;
    }
    if (!openSdlGlWindow(sized, 0, gl_))
        return false;
    width_ = surfaceWidth_ = sized.width;
    height_ = surfaceHeight_ = sized.height;
    return true;
}

bool HeadlessPlatform::setFullscreen(bool fullscreen, bool desktop)
{
    if (gl_.window == nullptr)
        return false;
    if (fullscreen && !desktop)
        resize(windowedWidth_, windowedHeight_);  // the display switched to the window's size
    else if (fullscreen)
        resize(desktopWidth_, desktopHeight_);
    else
        resize(windowedWidth_, windowedHeight_);
    return true;
}

void HeadlessPlatform::pressAltEnter()
{
    WindowEvent event;
    event.type = WindowEvent::Type::ToggleFullscreen;
    queueEvent(event);
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
    if (event.type == WindowEvent::Type::ButtonDown || event.type == WindowEvent::Type::ButtonUp) {
        const int sdlButton = sdlMouseButtonOf(event.button);
        if (sdlButton >= 1 && sdlButton < 32) {
            if (event.type == WindowEvent::Type::ButtonDown)
                mouseButtonsDown_ |= 1u << sdlButton;
            else
                mouseButtonsDown_ &= ~(1u << sdlButton);
        }
    }
    if (event.type == WindowEvent::Type::Resized && gl_.window != nullptr) {
        // The offscreen driver sizes a window's surface once, when it is
        // made, so a window that outgrows its surface moves the context to a
        // new window large enough for it. A smaller window draws into the
        // bottom-left corner of the surface it has: Mesa rounds a few pixels
        // differently on a surface of another size, and pictures of a
        // shrunken window stay as they were.
        const int needWidth = std::max(event.width, surfaceWidth_), needHeight = std::max(event.height, surfaceHeight_);
        if (needWidth == surfaceWidth_ && needHeight == surfaceHeight_) {
            width_ = event.width;
            height_ = event.height;
        } else if (resizeSdlGlSurface(gl_, needWidth, needHeight)) {
            surfaceWidth_ = needWidth;
            surfaceHeight_ = needHeight;
            width_ = event.width;
            height_ = event.height;
        }
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

bool HeadlessPlatform::isScancodeDown(int scancode) const
{
    return scancode >= 0 && scancode < kScancodeCount && keysDown_.test(static_cast<std::size_t>(scancode));
}

bool HeadlessPlatform::isMouseButtonDown(int button) const
{
    return button >= 1 && button < 32 && (mouseButtonsDown_ & (1u << button)) != 0;
}

void HeadlessPlatform::takeMouseMotion(int& dx, int& dy)
{
    // As on a real display: motion reaches the game only while it holds the mouse.
    dx = cursorVisible_ ? 0 : mouseDx_;
    dy = cursorVisible_ ? 0 : mouseDy_;
    mouseDx_ = mouseDy_ = 0;
}

bool HeadlessPlatform::openAudio(Audio& audio, std::string& reason)
{
    audioTicks_ = ticks_;
    audioElapsedMs_ = 0;
    audioFramesRendered_ = 0;
    capturedAudio_.clear();
    if (!audioDeviceName_.empty())
        return audio.openDevice(audioDeviceName_.c_str(), reason);
    return audio.openLoopback(reason);
}

void HeadlessPlatform::renderAudio(Audio& audio)
{
    if (!audio.isLoopback())
        return;
    // Whole milliseconds add up exactly; the frames due are counted from the
    // start, so each frame's fraction of a sample frame goes to the next.
    audioElapsedMs_ += static_cast<std::uint32_t>(ticks_ - audioTicks_);
    audioTicks_ = ticks_;
    std::uint64_t due = audioElapsedMs_ * kAudioSampleRate / 1000;
    // A script may jump the clock by hours (or wrap it); a frame is heard
    // for at most kMaxAudioSecondsPerFrame, the rest is skipped, not mixed.
    constexpr std::uint64_t kMostFrames = std::uint64_t{kMaxAudioSecondsPerFrame} * kAudioSampleRate;
    if (due - audioFramesRendered_ > kMostFrames)
        audioFramesRendered_ = due - kMostFrames;
    constexpr int kBlockFrames = static_cast<int>(sizeof audioBlock_ / sizeof audioBlock_[0]) / kAudioChannels;
    while (audioFramesRendered_ < due) {
        const int frames = static_cast<int>(std::min<std::uint64_t>(kBlockFrames, due - audioFramesRendered_));
        audio.render(audioBlock_, frames);
        if (captureAudio_)
            capturedAudio_.insert(capturedAudio_.end(), audioBlock_, audioBlock_ + frames * kAudioChannels);
        audioFramesRendered_ += static_cast<std::uint64_t>(frames);
    }
}
