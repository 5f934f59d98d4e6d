#pragma once
// The game's start-up, frame and shut-down, and the entry point that runs
// them: ask about full screen, open the window, start the game, then loop,
// each pass either handling one pending window message or, when none is
// pending, running one frame.

#include "app/world.h"

// Text and caption of the start-up question, and the window's title, as the
// original's keys name them (windowTitle and startQuestionText name rebound ones).
inline constexpr const char* kStartQuestionText =
    "Controls: \nMove: WASD, Run: Q, Enter/Exit Vehicle: E\nShoot: Left Click, Look: Mouse\n\n"
    "Would You Like To Run In Fullscreen Mode?";
inline constexpr const char* kStartQuestionCaption = "Start FullScreen?";
inline constexpr const char* kWindowTitle =
    "Move: WASD, Fire: L Click, Run: Q, Enter/Exit Vehicle: E, Close: Escape";
// The views' labels and the HUD, from the game folder.
inline constexpr const char* kFontFileName = "font/DejaVuSans.ttf";
inline constexpr int kWindowWidth = 800;
inline constexpr int kWindowHeight = 600;
inline constexpr int kWindowBitsPerPixel = 16;

// Exit statuses of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitNoWindow = 1;     // the window or its GL context could not be made
inline constexpr int kExitBadGameData = 3;  // data the game cannot run without was unusable
// 4 to 6 end a network match: see app/network_play.h.

// Fixed GL state, data, physics and cars, timers. Needs the window's GL
// context. False when the game cannot start; the reason has been shown.
bool initGame(World& world);
// For a match, after initGame: loads the blue team's textures for car 1,
// each beside the car mesh's own with "_blue" before its extension
// ("carpaint_blue.bmp" for "carpaint.bmp"). They are optional: a texture
// without one stays as it is. Without the paint's (the mesh's first
// texture), or with any unreadable, one line on standard error says so;
// false when the paint stays red.
bool loadTeamPaint(World& world);
// One frame: timing, controls, physics, look, movement, weapon, views, swap.
void runFrame(World& world);
// The frame's second view: in a car, a view from just behind and above the
// car looking ahead along it, in the window's top-left corner; on foot only
// that corner's depth is cleared.
// runFrame draws it after the main view; the frame benchmark also times it alone.
void drawInsetView(World& world);

// A window's mouse-button press (window numbering), for every local player
// whose fire it is: the window's press callback.
// In a match with a menu open the press goes to the menu (x, y: where, in
// window pixels) and fires nothing.
void pressMouseButtons(World& world, int windowButton, int x = -1, int y = -1);
// The window lost focus: in a match the next frame opens the pause menu.
void noteFocusLost(World& world);

enum class LoopPass { Quit, MessageHandled, FrameRun };
// One pass of the main loop: pump one message, or run a frame when none was pending.
LoopPass runLoopPass(World& world);

// The whole program on the world's platform; returns the exit status.
int runTurfwar(World& world);
// Its two ends, for drivers that run the loop themselves: the question (unless
// world.settings answers it), the frame pacing, the window and the start-up (kExitOk or the status to end with); then the
// shut-down after the loop. Error boxes show on the world's platform from the
// start until a failed start or the shut-down, and on standard error outside.
int startTurfwar(World& world);
int finishTurfwar(World& world);
