#include "app/input.h"

float frameTime(FrameTimer& timer, Platform& platform)
{
    if (!timer.started) {
        timer.lastTicks = platform.ticks();
        timer.started = true;
    }
    const std::uint32_t elapsedMs = platform.ticks() - timer.lastTicks;
    const float elapsed = static_cast<float>(elapsedMs) / 1000.0f;
    // A fresh reading, after the subtraction: what passes in between is not
    // counted in any frame.
    timer.lastTicks = platform.ticks();
    return elapsed < kMaxFrameSeconds ? elapsed : kMaxFrameSeconds;
}

void readMouseLook(Platform& platform, float* look)
{
    int dx = 0, dy = 0;
    platform.takeMouseMotion(dx, dy);
    if (look == nullptr)
        return;
    // Negated as floats: -INT_MIN does not fit an int, and rounding is
    // symmetric, so every other value comes out as before.
    look[0] = -static_cast<float>(dx);
    look[1] = -static_cast<float>(dy);
}
