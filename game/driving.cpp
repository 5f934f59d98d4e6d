#include "game/driving.h"

#include <cassert>

void applyDriverControls(std::span<Car> cars, const Player& player, const DriveControls& controls)
{
    assert(player.carIndex >= 0 && player.carIndex < static_cast<int>(cars.size()) &&
           "carIndex names one of the cars");
    for (Car& car : cars) {
        car.setBrake(0);
        car.setSteer(0.0f);
        car.setThrottle(0);
    }
    Car& current = cars[player.carIndex];
    if (player.inCar) {
        if (controls.left)
            current.setSteer(-1.0f);
        if (controls.right)
            current.setSteer(1.0f);
        if (controls.throttle)
            current.setThrottle(kFullThrottle);
        if (controls.brake)
            current.setBrake(kFullBrake);
        if (!controls.left && !controls.right && controls.steerAxis != 0.0f)
            current.setSteer(controls.steerAxis);
        if (!controls.throttle && controls.throttleAmount > 0)
            current.setThrottle(controls.throttleAmount);
        if (!controls.brake && controls.brakeAmount > 0)
            current.setBrake(controls.brakeAmount);
    } else {
        // The car left last (car 0 before any) holds its brake.
        current.setBrake(kFullBrake);
    }
    for (Car& car : cars)
        car.drive();
}

void updateDrivingView(const Car& car, Player& player, Vector3& chassisVelocity)
{
    chassisVelocity = car.partVelocity(0);
    car.partToWorld(0, Vector3{0.0f, 0.0f, 0.0f}, Vector3{1.0f, 0.0f, 0.0f}, player.viewerPosition,
                    player.viewerDirection);
}

void enterOrLeaveCar(std::span<const Car> cars, Player& player, float& enterCooldown, bool enterHeld,
                     float frameSeconds)
{
    if (enterHeld && enterCooldown <= 0.0f) {
        if (!player.inCar) {
            for (int i = 0; i < static_cast<int>(cars.size()); ++i) {
                if (magnitude(subtract(cars[i].partPosition(0), player.position)) < kEnterDistance) {
                    player.carIndex = i;
                    player.inCar = true;
                    break;
                }
            }
        } else {
            player.inCar = false;
            Vector3 direction;
            cars[player.carIndex].partToWorld(0, kLeavePoint, Vector3{}, player.position, direction);
            player.position.y = 0.0f;
        }
        enterCooldown = kEnterCooldown;
    }
    if (enterCooldown > 0.0f)
        enterCooldown -= frameSeconds;
}
