#include "game/fire_frames.h"

namespace {
// Where the last two digits of the frame number sit in the name.
constexpr int kTensDigit = 9;
constexpr int kOnesDigit = 10;
}  // namespace

void advanceFireFrameName(char (&name)[16], int loadedFrame)
{
    // After 12009 comes 12010: both digits change once, the ones digit alone otherwise.
    if (loadedFrame == 8) {
        name[kTensDigit] = '1';
        name[kOnesDigit] = '0';
    } else {
        ++name[kOnesDigit];
    }
}
