#pragma once
// One frame's input from every device together, read once by the frame
// driver and handed to the simulation as the player's command: the keys and
// mouse buttons through the player's bindings (keys by position), the
// mouse's motion scaled by its sensitivity, and the driving pad's buttons,
// sticks and triggers past their dead zone. The simulation never learns
// which device moved it.
//
// With no pad and the default settings the record holds exactly what the
// original's W A S D Q E, Escape and mouse gave: the same booleans and the
// same look in whole degrees per pixel (a product with sensitivity 1 is exact).

#include "app/input.h"
#include "app/platform.h"
#include "app/settings.h"
#include "sim/player_command.h"
#include "sim/step_events.h"

#include <cstdint>
#include <span>

// What the input keeps from one frame to the next: whether a fire control
// was down, so that holding one fires once, as a mouse press does; and a
// press of a mouse button bound to fire, which arrives between frames as a
// window message and goes into the next frame's command.
struct InputMemory {
    bool fireHeld = false;
    bool mouseFirePressed = false;
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
// look. The mouse's motion is taken (it starts again from zero), and so is
// a mouse press held in memory.
PlayerCommand readFrameInput(Platform& platform, const Settings& settings, InputMemory& memory, bool driving,
                             float dt);
// The same for one player of several: the keys and mouse buttons bound in
// keys on the keyboard and mouse everyone shares, the
// mouse's motion when withMouseLook (with [mouse]'s sensitivity and
// inverted look), and the given pad (at rest when none) with its feel and
// its own inverted look.
struct PlayerDevices {
    const PadState& pad;
    const GamepadSettings& gamepad;
    bool padInvertY = false;
    const KeyBindings& keys;
    bool withMouseLook = false;
};
PlayerCommand readPlayerInput(Platform& platform, const Settings& settings, InputMemory& memory,
                              const PlayerDevices& devices, bool driving, float dt);

// Whether local player index 0 to 3 plays on the keyboard or the mouse when
// several play: keys of their own bound, or the mouse's look. The first
// player always does.
bool playsKeyboardOrMouse(const Settings& settings, int player);

// The quit action at the end of the frame: its bound key or button, or the
// pad's Back and Start held together.
bool quitHeld(const Platform& platform, const KeyBindings& keys);

// A window's mouse-button press (window numbering, 1 left, 2 right, 3
// middle): asks for a shot in the next command when fire is bound to that
// button in keys (each player's own with several). Where the pointer was
// does not matter: the shot goes where the player faces.
void pressMouseButton(InputMemory& memory, const KeyBindings& keys, int windowButton);

// Rumble on the driving pad: a short pulse for each shot, a longer and
// stronger one for a wheel coming off.
inline constexpr float kShotRumbleStrength = 0.4f;
inline constexpr std::uint32_t kShotRumbleMs = 80;
inline constexpr float kWheelOffRumbleStrength = 1.0f;
inline constexpr std::uint32_t kWheelOffRumbleMs = 400;

// The rumble for what the step raised: a shot player fired, a wheel player
// knocked off; on the driving pad, or (slot 0 and up) on that slot's pad.
void rumbleForEvents(Platform& platform, const StepEvents& events, int player, int slot = -1);
