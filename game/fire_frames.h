#pragma once
// The muzzle flash's animation frames: fifteen BMP files numbered upward from
// "fire//12001.bmp". The names are made by editing one 16-byte buffer in place
// between loads, which is why the tens digit is handled on its own.

inline constexpr int kFireFrameCount = 15;
inline constexpr char kFirstFireFrameName[16] = "fire//12001.bmp";

// Turns the name of frame loadedFrame (0 to 13) into the name of the next one.
void advanceFireFrameName(char (&name)[16], int loadedFrame);
