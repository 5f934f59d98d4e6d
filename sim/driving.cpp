#include "sim/driving.h"

#include <cassert>

void applyDriverControls(std::span<Car> cars, std::span<const DriverInput> drivers)
{
    for (Car& car : cars) {
        car.setBrake(0);
        car.setSteer(0.0f);
        car.setThrottle(0);
    }
    const auto driven = [&drivers](int car) {
        for (const DriverInput& d : drivers)
            if (d.player->inCar && d.player->carIndex == car)
                return true;
        return false;
    };
    for (const DriverInput& driver : drivers) {
        const Player& player = *driver.player;
        assert(player.carIndex >= 0 && player.carIndex < static_cast<int>(cars.size()) &&
               "carIndex names one of the cars");
        Car& current = cars[player.carIndex];
        const DriveControls& controls = driver.controls;
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
        } else if (!driven(player.carIndex)) {
            // The car left last (car 0 before any) holds its brake.
            current.setBrake(kFullBrake);
        }
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

CarDoor enterOrLeaveCar(std::span<const Car> cars, Player& player, float& enterCooldown, bool enterHeld,
                        float frameSeconds, std::span<const bool> taken)
{
    CarDoor door = CarDoor::None;
    if (enterHeld && enterCooldown <= 0.0f) {
        if (!player.inCar) {
            for (int i = 0; i < static_cast<int>(cars.size()); ++i) {
                const bool someoneIn = static_cast<std::size_t>(i) < taken.size() && taken[i];
                if (!someoneIn && magnitude(subtract(cars[i].partPosition(0), player.position)) < kEnterDistance) {
                    player.carIndex = i;
                    player.inCar = true;
                    door = CarDoor::Entered;
                    break;
                }
            }
        } else {
            player.inCar = false;
            door = CarDoor::Left;
            Vector3 direction;
            cars[player.carIndex].partToWorld(0, kLeavePoint, Vector3{}, player.position, direction);
            player.position.y = 0.0f;
        }
        enterCooldown = kEnterCooldown;
    }
    if (enterCooldown > 0.0f)
        enterCooldown -= frameSeconds;
    return door;
}
