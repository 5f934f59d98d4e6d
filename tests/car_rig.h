#pragma once
// A real ODE world with the game's two cars in it, built from numbers rather
// than from the working directory, for the physics tests and benchmarks.

#include "sim/driving.h"
#include "physics/car.h"
#include "physics/physics_world.h"

#include <array>
#include <cmath>
#include <span>
#include <stdexcept>
#include <string>

// The numbers of the shipped data/car.txt.
inline CarParams shippedCarParams()
{
    const CarFileResult file = readCarFile(TURFWAR_SOURCE_DIR "/data/car.txt");
    if (!file.params)
        throw std::runtime_error(file.reason);
    return *file.params;
}

struct CarRig {
    explicit CarRig(const CarParams& params = shippedCarParams(), bool placeSecondCar = true)
    {
        createPhysicsWorld(physics);
        for (Car& car : cars)
            car.build(params, physics.world, physics.space);
        if (placeSecondCar)
            cars[1].translate({400.0f, 14.0f, 200.0f});
    }

    // The keys on the cars as the rig's player's, as a frame applies them.
    void applyControls(const DriveControls& keys)
    {
        const DriverInput driver{&player, keys};
        applyDriverControls(cars, std::span<const DriverInput>(&driver, 1));
    }

    // Frames of frameSeconds, each with the keys applied first, as the game runs them.
    void run(int frames, const DriveControls& keys = {}, float frameSeconds = 0.025f)
    {
        for (int i = 0; i < frames; ++i) {
            applyControls(keys);
            advancePhysics(physics, accumulator, frameSeconds);
        }
    }

    PhysicsWorld physics;
    std::array<Car, kCarCount> cars;
    Player player;
    float accumulator = 0.0f;
};

inline int contactJointsOn(dBodyID body)
{
    int count = 0;
    for (int i = 0; i < dBodyGetNumJoints(body); ++i)
        count += dJointGetType(dBodyGetJoint(body, i)) == dJointTypeContact;
    return count;
}

inline int contactJointsOn(const Car& car)
{
    int count = 0;
    for (dBodyID body : car.bodies)
        count += contactJointsOn(body);
    return count;
}

inline float speedOf(const Car& car)
{
    const dReal* v = dBodyGetLinearVel(car.bodies[0]);
    return static_cast<float>(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
}
