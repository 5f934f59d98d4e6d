#pragma once
// The driver's side of the cars: the driving controls on every car each frame,
// the view taken from the driven chassis, and getting in and out (the
// enter/leave control, E by default). The frame driver reads the devices and
// hands them down as booleans and pad values.

#include "sim/player.h"
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

// One player's part in the cars' controls this frame.
struct DriverInput {
    const Player* player = nullptr;
    DriveControls controls;
};

// Resets every car's controls; each player on foot leaves the brake on the
// car driven last (unless someone else drives it now), each driver gives
// the car driven the full controls and the pad's analog values; then drives
// every car in index order.
void applyDriverControls(std::span<Car> cars, std::span<const DriverInput> drivers);

// While driving: writes the chassis centre and the car's forward direction
// to the player's viewer position and direction, and the chassis's linear
// velocity (units per simulated second) to chassisVelocity.
void updateDrivingView(const Car& car, Player& player, Vector3& chassisVelocity);

// What the enter/leave control did this frame.
enum class CarDoor { None, Entered, Left };

// E held with the cooldown run out: on foot, enters the first car whose
// chassis is closer than kEnterDistance and that no one drives (taken[i]
// true: someone drives car i; an empty span: no one drives any); in a car,
// leaves it and stands on the floor beside it. Either way, even with no car
// near, the cooldown restarts. Then the cooldown runs down by frameSeconds.
CarDoor enterOrLeaveCar(std::span<const Car> cars, Player& player, float& enterCooldown, bool enterHeld,
                        float frameSeconds, std::span<const bool> taken = {});
