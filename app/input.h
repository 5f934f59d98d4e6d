#pragma once
// Input and frame timing, polled once per frame by the frame driver and
// handed down as numbers: the frame time in seconds and the mouse-look
// displacement in pixels.

#include "app/platform.h"

#include <cstdint>

struct FrameTimer {
    std::uint32_t lastTicks = 0;  // milliseconds
    bool started = false;
};

// The longest frame the game simulates, in seconds. After a stall (a stopped
// process, a debugger, a suspended laptop) the rest is dropped: simulating it
// all would freeze the game for a while and keep a quit waiting. Every frame
// of the recorded scripts (the longest 0.7 s) is shorter.
inline constexpr float kMaxFrameSeconds = 1.0f;

// Seconds since the previous call, from 32-bit millisecond ticks: a wrap of
// the counter still gives the small positive difference. Capped at
// kMaxFrameSeconds, otherwise no smoothing: two calls within a tick give 0.
// The first call measures 0 and starts the timer.
float frameTime(FrameTimer& timer, Platform& platform);

// Writes the mouse displacement since the last call into look[0], look[1]
// when look is given: left and up positive, one unit per pixel, not scaled
// by the frame time. Without an output it only drops what has accumulated.
// (The cursor is never put back to a point of the screen: relative mouse
// mode reports motion on every platform we run on.)
void readMouseLook(Platform& platform, float* look);
