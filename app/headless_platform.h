#pragma once
// The platform layer without a display, for tests and tools. Whoever drives
// it supplies the clock, the held keys, the mouse motion, the window events
// and the answers to message boxes, and reads back what the game showed:
// every message box with its text and caption, and (on request) the pixels
// of the last frame. OpenGL is real: an SDL window on the offscreen video
// driver with Mesa behind it, its surface remade whenever the driver resizes
// the window beyond it (up to kMaxHeadlessWindowSide a side). SDL installs
// no signal handlers here: nothing would read the quit events they make, so
// SIGINT and SIGTERM keep their default effect unless the driver handles them.

#include "app/platform.h"
#include "app/sdl_gl.h"

#include <bitset>
#include <climits>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

struct RecordedMessageBox {
    std::string text;
    std::string caption;
    MessageBoxStyle style = MessageBoxStyle::OkError;
    MessageBoxAnswer answer = MessageBoxAnswer::Ok;  // what the box was answered (Ok for an error box)
};

// The largest window side the headless backend draws, in pixels. Frames are
// real offscreen surfaces and read back whole: at 4096 x 4096 the replay tool
// takes about 250 MB with a screenshot (100 MB at 800 x 600), beyond any
// common display (4K is 3840 x 2160) and still affordable on a test machine.
inline constexpr int kMaxHeadlessWindowSide = 4096;

// One rumble the game asked for, with the clock when it asked.
struct RecordedRumble {
    float strength = 0.0f;
    std::uint32_t durationMs = 0;
    std::uint32_t atTicks = 0;
    int slot = 0;  // the pad's
};

// The longest stretch of sound one headless frame renders, in seconds: a
// longer frame is heard for its last kMaxAudioSecondsPerFrame only.
inline constexpr int kMaxAudioSecondsPerFrame = 2;

// RGB rows, bottom row first (as glReadPixels gives them).
struct FrameImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

class HeadlessPlatform : public Platform {
public:
    HeadlessPlatform();
    ~HeadlessPlatform() override;
    HeadlessPlatform(const HeadlessPlatform&) = delete;
    HeadlessPlatform& operator=(const HeadlessPlatform&) = delete;

    // --- what the driver sets ---
    void setTicks(std::uint32_t ms) { ticks_ = ms; }
    void advanceTicks(std::uint32_t ms) { ticks_ += ms; }
    void setKeyDown(Key key, bool down);
    // Any key by scancode (0 to kScancodeCount - 1).
    void setScancodeDown(int scancode, bool down);
    void releaseAllKeys();
    // Pads in slots 0 to kPadSlots - 1 (slot 0 unless said), plugged in and
    // pulled out at will. Pulling one out puts every stick, trigger and
    // button back to rest; while it is out, axes and buttons set on it are
    // dropped, as a real pad sends nothing. The driving pad is the one used
    // last (slot 0 until another is). A slot out of range is ignored.
    void connectPad(int slot = 0);
    void disconnectPad(int slot = 0);
    // Sticks -1 to 1, triggers 0 to 1; values beyond are clamped.
    void setPadAxis(PadAxis axis, float value, int slot = 0);
    void setPadButton(PadButton button, bool down, int slot = 0);
    // Whether the pad can rumble (it can by default).
    void setPadRumbles(bool rumbles) { padRumbles_ = rumbles; }
    // Right and down positive, like a real mouse; it adds up until the game
    // reads it, stopping at INT_MAX and INT_MIN rather than wrapping.
    void moveMouse(int dx, int dy);
    // Where the pointer is over the window (read while the cursor shows).
    void setMousePosition(int x, int y)
    {
        pointerX_ = x;
        pointerY_ = y;
    }
    void queueEvent(const WindowEvent& event) { events_.push_back(event); }
    void requestClose();
    void click(int button = 1, int x = 0, int y = 0);  // a press and its release
    // As a restore or maximise would; each side 1 to kMaxHeadlessWindowSide.
    void resize(int width, int height);
    void minimize();
    // Answers for the coming questions, in order; with none left a question is answered No.
    void queueAnswer(MessageBoxAnswer answer) { answers_.push_back(answer); }
    void setDisplayModeAvailable(bool available) { displayModeAvailable_ = available; }
    void setWindowCreationFails(bool fails) { windowCreationFails_ = fails; }
    // The desktop's resolution, which full screen in the desktop mode takes.
    void setDesktopSize(int width, int height)
    {
        desktopWidth_ = width;
        desktopHeight_ = height;
    }
    // Alt+Enter as the window would report it.
    void pressAltEnter();
    // As SIGINT or SIGTERM would on the real backend: stopRequested answers true from now on.
    void requestStop() { stopRequested_ = true; }
    // Called after every swap with the number of swaps so far, so a test can
    // script what happens between frames while the real loop runs.
    std::function<void(int swaps)> onSwap;
    // Called as each message box is shown, once it has been answered.
    std::function<void(const RecordedMessageBox&)> onMessageBox;
    // Keep a copy of each frame as it is swapped (off by default: it costs a read-back).
    void setCaptureFrames(bool capture) { captureFrames_ = capture; }

    // Sound: by default a loopback device, rendered after every frame up to
    // the clock (kAudioSampleRate frames a second, the fraction carried to
    // the next frame), so the samples follow the scripted time exactly. With a
    // device name the system's device of that name opens instead, mixing on
    // its own (an unknown name gives a game without sound).
    void setAudioDeviceName(const std::string& name) { audioDeviceName_ = name; }
    // Keep every rendered sample (stereo, left first) for the driver to read.
    void setCaptureAudio(bool capture) { captureAudio_ = capture; }

    // --- what the driver reads ---
    const std::vector<RecordedMessageBox>& messageBoxes() const { return messageBoxes_; }
    int swapCount() const { return swaps_; }
    bool windowOpen() const { return gl_.window != nullptr; }
    bool windowVisible() const { return visible_; }
    bool cursorVisible() const { return cursorVisible_; }
    bool displayModeChanged() const { return displayModeChanged_; }
    // The pacing the game asked for (never applied here).
    VsyncMode vsync() const { return vsync_; }
    int maxFps() const { return maxFps_; }
    std::size_t pendingEvents() const { return events_.size(); }
    // Every rumble that reached a pad able to rumble, in order.
    const std::vector<RecordedRumble>& rumbles() const { return rumbles_; }
    const FrameImage& lastFrame() const { return lastFrame_; }
    const std::vector<std::int16_t>& capturedAudio() const { return capturedAudio_; }
    // Moves the samples kept so far into out and starts keeping anew, so a
    // long capture can be written as it is mixed instead of held whole.
    void takeCapturedAudio(std::vector<std::int16_t>& out)
    {
        out.clear();
        out.swap(capturedAudio_);
    }
    std::uint64_t audioFramesRendered() const { return audioFramesRendered_; }
    // Reads the current back buffer now.
    FrameImage readFrame() const;

    // --- Platform ---
    MessageBoxAnswer showMessageBox(const std::string& text, const std::string& caption,
                                    MessageBoxStyle style) override;
    bool changeDisplayMode(int width, int height, int bitsPerPixel) override;
    bool createWindow(const WindowRequest& request) override;
    void destroyWindow() override;
    void showWindow(bool visible) override { visible_ = visible; }
    bool setFullscreen(bool fullscreen, bool desktop) override;
    void drawableSize(int& width, int& height) const override;
    bool pollEvent(WindowEvent& event) override;
    void swapBuffers() override;
    void setFramePacing(VsyncMode vsync, int maxFps) override
    {
        vsync_ = vsync;
        maxFps_ = maxFps;
    }
    std::uint32_t ticks() override { return ticks_; }
    bool isScancodeDown(int scancode) const override;
    bool isMouseButtonDown(int button) const override;
    PadState padState() const override { return pads_[static_cast<std::size_t>(drivingPad_)]; }
    void rumblePad(float strength, std::uint32_t durationMs) override { rumblePad(drivingPad_, strength, durationMs); }
    PadState padState(int slot) const override;
    void rumblePad(int slot, float strength, std::uint32_t durationMs) override;
    void takeMouseMotion(int& dx, int& dy) override;
    void setCursorVisible(bool visible) override { cursorVisible_ = visible; }
    bool mousePosition(int& x, int& y) const override
    {
        x = pointerX_;
        y = pointerY_;
        return cursorVisible_;
    }
    bool stopRequested() const override { return stopRequested_; }
    bool openAudio(Audio& audio, std::string& reason) override;
    void renderAudio(Audio& audio) override;

private:
    std::uint32_t ticks_ = 0;
    std::bitset<kScancodeCount> keysDown_;
    unsigned mouseButtonsDown_ = 0;  // bit n for SDL button n, as the queued events leave them
    std::array<PadState, kPadSlots> pads_{};
    int drivingPad_ = 0;
    bool padRumbles_ = true;
    std::vector<RecordedRumble> rumbles_;
    int mouseDx_ = 0;
    int pointerX_ = 0;
    int pointerY_ = 0;
    int mouseDy_ = 0;
    std::deque<WindowEvent> events_;
    std::deque<MessageBoxAnswer> answers_;
    std::vector<RecordedMessageBox> messageBoxes_;
    bool displayModeAvailable_ = true;
    bool displayModeChanged_ = false;
    bool windowCreationFails_ = false;
    bool stopRequested_ = false;
    int desktopWidth_ = 1280;
    int desktopHeight_ = 1024;
    int windowedWidth_ = 0;  // the size the window was asked with
    int windowedHeight_ = 0;
    bool videoStarted_ = false;
    SdlGlWindow gl_;
    int width_ = 0;          // the window, as the game is told
    int height_ = 0;
    int surfaceWidth_ = 0;   // what GL draws to: never smaller than the window
    int surfaceHeight_ = 0;
    bool visible_ = false;
    bool cursorVisible_ = true;
    int swaps_ = 0;
    bool captureFrames_ = false;
    VsyncMode vsync_ = VsyncMode::Adaptive;
    int maxFps_ = 0;
    FrameImage lastFrame_;
    std::string audioDeviceName_;  // empty: the loopback device
    bool captureAudio_ = false;
    std::vector<std::int16_t> capturedAudio_;
    std::uint32_t audioTicks_ = 0;           // the clock when sound was last rendered
    std::uint64_t audioElapsedMs_ = 0;       // since the device opened
    std::uint64_t audioFramesRendered_ = 0;  // since the device opened
    std::int16_t audioBlock_[2 * 1024] = {};
};
