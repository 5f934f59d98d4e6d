#pragma once
// The driver's side of the cars: the keys' controls on every car each frame,
// the view taken from the driven chassis, and getting in and out with E.
// The frame driver reads the keys and hands them down as booleans.

#include "game/player.h"
#include "math/vector3.h"
#include "physics/car.h"

#include <span>

inline constexpr float kEnterDistance = 20.0f;   // model units, chassis centre to player, strictly less
inline constexpr float kEnterCooldown = 0.5f;    // seconds before E counts again
inline constexpr Vector3 kLeavePoint = {-5.0f, 0.0f, -20.0f};  // in the chassis frame
inline constexpr int kFullThrottle = 100;
inline constexpr int kFullBrake = 100;

struct DriverKeys {
    bool left = false;      // A
    bool right = false;     // D
    bool throttle = false;  // W
    bool brake = false;     // S
    // A pad's analog controls, at rest 0. Each counts only while its keys
    // are not held: the keys' full values win.
    float steerAxis = 0.0f;  // -1 (left) to 1 (right), proportional steering
    int throttleAmount = 0;  // 0 to kFullThrottle
    int brakeAmount = 0;     // 0 to kFullBrake (the drive brakes fully at any amount above 0)
};

// Resets every car's controls, gives the driven car the keys and the pad's
// analog values (or, on foot, the brake to the car driven last), then
// drives every car in index order.
void applyDriverControls(std::span<Car> cars, const Player& player, const DriverKeys& keys);

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
