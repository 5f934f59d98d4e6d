#pragma once
// One frame's input from every device together, read once by the frame
// driver and handed down as plain numbers: the keys and mouse buttons
// through the player's bindings (keys by position), the mouse's motion
// scaled by its sensitivity, and the driving pad's buttons, sticks and
// triggers past their dead zone. Gameplay gets the walking and driving
// records built from it and never learns which device moved it.
//
// With no pad and the default settings the record holds exactly what the
// original's W A S D Q E, Escape and mouse gave: the same booleans and the
// same look in whole degrees per pixel (a product with sensitivity 1 is exact).

#include "app/input.h"
#include "app/platform.h"
#include "app/settings.h"
#include "game/driving.h"
#include "game/player.h"

#include <cstdint>
#include <span>

class Car;
struct WeaponState;

struct FrameInput {
    // Held this frame, from the bound key or mouse button, or the pad.
    bool forward = false;
    bool back = false;
    bool left = false;
    bool right = false;
    bool run = false;         // bound key, or the left stick pressed in
    bool enterLeave = false;  // bound key, or Y
    // A fire control went down since the last frame: a key bound to fire, or
    // the pad's (right shoulder, and on foot the right trigger). A mouse
    // button bound to fire arrives between frames as a window message instead.
    bool firePressed = false;

    // The pad past its dead zone, 0 without one.
    float stickForward = 0.0f;  // left stick, -1 to 1, forward positive
    float stickLeft = 0.0f;     // left stick, -1 to 1, left positive
    float steer = 0.0f;         // left stick, -1 (left) to 1 (right)
    int throttle = 0;           // right trigger, 0 to 100
    int brake = 0;              // left trigger, 0 to 100

    // Look this frame in degrees, left and up positive: the mouse (counts
    // times the sensitivity, not scaled by the frame time) plus the right
    // stick (its rate times the frame time).
    float lookYaw = 0.0f;
    float lookPitch = 0.0f;
};

// What the input keeps from one frame to the next: whether a fire control
// was down, so that holding one fires once, as a mouse press does.
struct InputMemory {
    bool fireHeld = false;
};

// The trigger's pull past which it counts as a pressed fire button.
inline constexpr float kTriggerPressed = 0.5f;

// A stick or trigger value with its dead zone cut out: inside it 0, outside
// unchanged (clamped to -1 ... 1), so half tilt is half speed or half steer.
float pastDeadZone(float value, float deadZone);
// The right stick's look response: the travel past the dead zone stretched
// back to 0 ... 1 and squared, sign kept, for fine aim near the centre and
// the full rate at full tilt.
float lookResponse(float value, float deadZone);

// The binding's key or mouse button is held now.
bool bindingHeld(const Platform& platform, const Binding& binding);

// Reads every device for this frame. driving says which pad controls fire
// (in a car the right trigger is the throttle); dt scales the right stick's
// look. The mouse's motion is taken (it starts again from zero).
FrameInput readFrameInput(Platform& platform, const Settings& settings, InputMemory& memory, bool driving,
                          float dt);

// The quit action at the end of the frame: its bound key or button, or the
// pad's Back and Start held together.
bool quitHeld(const Platform& platform, const KeyBindings& keys);

WalkControls walkControlsOf(const FrameInput& input);
DriveControls driveControlsOf(const FrameInput& input);

// A window's mouse-button press (window numbering, 1 left, 2 right, 3
// middle): asks for a shot when fire is bound to that button.
void pressMouseButton(WeaponState& weapon, const KeyBindings& keys, int windowButton);

// Rumble on the driving pad: a short pulse for each shot, a longer and
// stronger one for a wheel coming off.
inline constexpr float kShotRumbleStrength = 0.4f;
inline constexpr std::uint32_t kShotRumbleMs = 80;
inline constexpr float kWheelOffRumbleStrength = 1.0f;
inline constexpr std::uint32_t kWheelOffRumbleMs = 400;

// What the frame has to compare to know whether to rumble: taken before
// the weapon step, checked at the end of the frame.
struct RumbleWatch {
    bool fireRequested = false;
    int wheelsOff = 0;
};
RumbleWatch watchForRumble(const WeaponState& weapon, std::span<const Car> cars);
// A shot went out (the request was taken) or a wheel came off since the watch.
void rumbleForWhatHappened(Platform& platform, const RumbleWatch& before, const WeaponState& weapon,
                           std::span<const Car> cars);
