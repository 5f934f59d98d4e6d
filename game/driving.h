#pragma once
// The driver's side of the cars: the driving controls on every car each frame,
// the view taken from the driven chassis, and getting in and out (the
// enter/leave control, E by default). The frame driver reads the devices and
// hands them down as booleans and pad values.

#include "game/player.h"
#include "math/vector3.h"
#include "physics/car.h"

#include <span>

inline constexpr float kEnterDistance = 20.0f;   // model units, chassis centre to player, strictly less
inline constexpr float kEnterCooldown = 0.5f;    // seconds before E counts again
inline constexpr Vector3 kLeavePoint = {-5.0f, 0.0f, -20.0f};  // in the chassis frame
inline constexpr int kFullThrottle = 100;
inline constexpr int kFullBrake = 100;

// The driving controls held this frame, read by the frame driver from
// whatever is bound to them: steering, throttle and brake at full strength
// (by default the keys A, D, W and S), and a pad's stick and triggers.
struct DriveControls {
    bool left = false;      // full steer left
    bool right = false;     // full steer right
    bool throttle = false;  // full throttle
    bool brake = false;     // full brake
    // A pad's analog controls, at rest 0. Each counts only while its full
    // control above is not held: the full values win.
    float steerAxis = 0.0f;  // -1 (left) to 1 (right), proportional steering
    int throttleAmount = 0;  // 0 to kFullThrottle
    int brakeAmount = 0;     // 0 to kFullBrake (the drive brakes fully at any amount above 0)
};

// Resets every car's controls, gives the driven car the full controls and
// the pad's analog values (or, on foot, the brake to the car driven last),
// then drives every car in index order.
void applyDriverControls(std::span<Car> cars, const Player& player, const DriveControls& controls);

// While driving: writes the chassis centre and the car's forward direction
// to the player's viewer position and direction, and the chassis's linear
// velocity (units per simulated second) to chassisVelocity.
void updateDrivingView(const Car& car, Player& player, Vector3& chassisVelocity);

// E held with the cooldown run out: on foot, enters the first car whose
// chassis is closer than kEnterDistance; in a car, leaves it and stands on
// the floor beside it. Either way, even with no car near, the cooldown
// restarts. Then the cooldown runs down by frameSeconds.
void enterOrLeaveCar(std::span<const Car> cars, Player& player, float& enterCooldown, bool enterHeld,
                     float frameSeconds);
