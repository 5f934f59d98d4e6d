#include "app/frame_input.h"


#include <algorithm>
#include <cmath>

namespace {

const Binding& bound(const KeyBindings& keys, Action action) { return keys[action]; }

// The right stick's share of the look rate this frame, in degrees.
float stickLook(float value, const GamepadSettings& pad, float dt)
{
    return lookResponse(value, pad.deadZone) * pad.lookSpeed * dt;
}

}  // namespace

float pastDeadZone(float value, float deadZone)
{
    // Written so that NaN from a broken driver is rest, not a runaway stick.
    if (!(std::fabs(value) >= deadZone))
        return 0.0f;
    return std::clamp(value, -1.0f, 1.0f);
}

float lookResponse(float value, float deadZone)
{
    const float past = pastDeadZone(value, deadZone);
    if (past == 0.0f)
        return 0.0f;
    // A dead zone of the whole travel (or more) leaves nothing to stretch.
    if (deadZone >= 1.0f)
        return 0.0f;
    const float zone = std::max(deadZone, 0.0f);
    const float share = (std::fabs(past) - zone) / (1.0f - zone);
    return std::copysign(share * share, past);
}

bool bindingHeld(const Platform& platform, const Binding& binding)
{
    if (!binding.bound())
        return false;
    return binding.kind == Binding::Kind::Key ? platform.isScancodeDown(binding.code)
                                              : platform.isMouseButtonDown(binding.code);
}

PlayerCommand readFrameInput(Platform& platform, const Settings& settings, InputMemory& memory, bool driving,
                             float dt)
{
    const PadState pad = platform.padState();
    const PlayerDevices devices{pad, settings.gamepad, settings.mouse.invertY, settings.keys, true};
    return readPlayerInput(platform, settings, memory, devices, driving, dt);
}

PlayerCommand readPlayerInput(Platform& platform, const Settings& settings, InputMemory& memory,
                              const PlayerDevices& devices, bool driving, float dt)
{
    const PadState& pad = devices.pad;
    const KeyBindings& keys = devices.keys;
    const auto held = [&](Action action) { return bindingHeld(platform, bound(keys, action)); };
    PlayerCommand in;
    in.forward = held(Action::Forward);
    in.back = held(Action::Back);
    in.left = held(Action::Left);
    in.right = held(Action::Right);
    in.run = held(Action::Run) || pad.button(PadButton::LeftStick);
    in.enterLeave = held(Action::EnterLeave) || pad.button(PadButton::Y);

    // A fire bound to a mouse button is a window message (one shot per press,
    // whenever it comes); a key or the pad fires on its frame's going down.
    const Binding& fire = bound(keys, Action::Fire);
    const bool fireKey = fire.kind == Binding::Kind::Key && bindingHeld(platform, fire);
    const bool padFire = pad.button(PadButton::RightShoulder) ||
                         (!driving && pad.axis(PadAxis::RightTrigger) >= kTriggerPressed);
    const bool fireHeld = fireKey || padFire;
    in.fire = (fireHeld && !memory.fireHeld) || memory.mouseFirePressed;
    memory.fireHeld = fireHeld;
    memory.mouseFirePressed = false;

    const float deadZone = devices.gamepad.deadZone;
    in.stickForward = -pastDeadZone(pad.axis(PadAxis::LeftY), deadZone);
    in.stickLeft = -pastDeadZone(pad.axis(PadAxis::LeftX), deadZone);
    in.steer = pastDeadZone(pad.axis(PadAxis::LeftX), deadZone);
    const auto percent = [deadZone](float pull) {
        return static_cast<int>(std::lround(std::max(pastDeadZone(pull, deadZone), 0.0f) * 100.0f));
    };
    in.throttle = percent(pad.axis(PadAxis::RightTrigger));
    in.brake = percent(pad.axis(PadAxis::LeftTrigger));

    float look[2] = {0.0f, 0.0f};
    if (devices.withMouseLook)
        readMouseLook(platform, look);
    const MouseSettings& mouse = settings.mouse;
    in.lookYaw = look[0] * mouse.sensitivity;
    in.lookPitch = look[1] * mouse.sensitivity;
    // Turned over before the pad's share is added, each by its own setting
    // (a sum turned over is the same sum of the parts turned over).
    if (devices.withMouseLook && mouse.invertY)
        in.lookPitch = -in.lookPitch;
    // Right and down are positive on the stick, left and up on the look.
    const float padYaw = -stickLook(pad.axis(PadAxis::RightX), devices.gamepad, dt);
    float padPitch = -stickLook(pad.axis(PadAxis::RightY), devices.gamepad, dt);
    if (devices.padInvertY)
        padPitch = -padPitch;
    // Added only when the stick moved, so a still pad leaves the mouse's
    // numbers exactly as they were (down to the sign of a zero).
    if (padYaw != 0.0f)
        in.lookYaw += padYaw;
    if (padPitch != 0.0f)
        in.lookPitch += padPitch;
    return in;
}

bool playsKeyboardOrMouse(const Settings& settings, int player)
{
    return player <= 0 || settings.mouse.player == player + 1 || settings.keysOf(player).anyBound();
}

bool quitHeld(const Platform& platform, const KeyBindings& keys)
{
    const PadState pad = platform.padState();
    return bindingHeld(platform, bound(keys, Action::Quit)) ||
           (pad.button(PadButton::Back) && pad.button(PadButton::Start));
}

void pressMouseButton(InputMemory& memory, const KeyBindings& keys, int windowButton)
{
    const Binding& fire = keys[Action::Fire];
    if (fire.kind == Binding::Kind::MouseButton && fire.code == sdlMouseButtonOf(windowButton))
        memory.mouseFirePressed = true;
}

void rumbleForEvents(Platform& platform, const StepEvents& events, int player, int slot)
{
    const auto rumble = [&](float strength, std::uint32_t ms) {
        if (slot < 0)
            platform.rumblePad(strength, ms);
        else
            platform.rumblePad(slot, strength, ms);
    };
    for (const StepEvent& event : events) {
        if (event.player != player)
            continue;
        if (event.kind == StepEventKind::ShotFired)
            rumble(kShotRumbleStrength, kShotRumbleMs);
        else if (event.kind == StepEventKind::WheelOff)
            rumble(kWheelOffRumbleStrength, kWheelOffRumbleMs);
    }
}
