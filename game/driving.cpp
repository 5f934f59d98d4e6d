#include "game/driving.h"

#include <cassert>

void applyDriverControls(std::span<Car> cars, const Player& player, const DriverKeys& keys)
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
        if (keys.left)
            current.setSteer(-1.0f);
        if (keys.right)
            current.setSteer(1.0f);
        if (keys.throttle)
            current.setThrottle(kFullThrottle);
        if (keys.brake)
            current.setBrake(kFullBrake);
        if (!keys.left && !keys.right && keys.steerAxis != 0.0f)
            current.setSteer(keys.steerAxis);
        if (!keys.throttle && keys.throttleAmount > 0)
            current.setThrottle(keys.throttleAmount);
        if (!keys.brake && keys.brakeAmount > 0)
            current.setBrake(keys.brakeAmount);
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
