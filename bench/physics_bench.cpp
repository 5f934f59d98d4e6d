// Cost of one physics step of the game's two-car world while one car is
// driven at full throttle and full lock into the walls and the other car,
// beside the peer of the same world with both cars parked. The game takes
// 200 steps a real second; "core_percent_at_200Hz" is the share of one core
// that costs, in percent.

#include "sim/driving.h"
#include "physics/car.h"
#include "physics/physics_world.h"

#include <benchmark/benchmark.h>

#include <array>
#include <ctime>
#include <span>
#include <stdexcept>

namespace {

struct TwoCarWorld {
    TwoCarWorld()
    {
        const CarFileResult file = readCarFile(TURFWAR_SOURCE_DIR "/data/car.txt");
        if (!file.params)
            throw std::runtime_error(file.reason);
        createPhysicsWorld(physics);
        for (Car& car : cars)
            car.build(*file.params, physics.world, physics.space);
        cars[1].translate({150.0f, 0.0f, 0.0f});  // in the driven car's path
    }
    // The keys on the cars as the rig's player's, as a frame applies them.
    void applyControls(const DriveControls& keys)
    {
        const DriverInput driver{&player, keys};
        applyDriverControls(cars, std::span<const DriverInput>(&driver, 1));
    }
    PhysicsWorld physics;
    std::array<Car, kCarCount> cars;
    Player player;
};

// The process's CPU time, not the wall clock: other work on the machine
// stretches the wall time of a step but not what the step costs.
void reportShare(benchmark::State& state, std::clock_t started)
{
    const double cpuSeconds = static_cast<double>(std::clock() - started) / CLOCKS_PER_SEC;
    const double stepSeconds = cpuSeconds / static_cast<double>(state.iterations());
    state.counters["cpu_us_per_step"] = stepSeconds * 1e6;
    state.counters["core_percent_at_200Hz"] = 100.0 * 200.0 * stepSeconds;
}

void BM_StepDrivingAndColliding(benchmark::State& state)
{
    TwoCarWorld rig;
    rig.player.inCar = true;
    DriveControls keys;
    keys.throttle = true;
    int step = 0;
    const std::clock_t started = std::clock();
    for (auto _ : state) {
        // Controls once per five steps, as at 40 frames a second; the wheel
        // swings from lock to lock and holds straight in between.
        if (step % 5 == 0) {
            const int phase = (step / 1500) % 4;
            keys.left = phase == 1;
            keys.right = phase == 3;
            rig.applyControls(keys);
        }
        stepPhysics(rig.physics, kStepSeconds);
        ++step;
    }
    reportShare(state, started);
}
BENCHMARK(BM_StepDrivingAndColliding)->Iterations(120000);

void BM_StepBothParked(benchmark::State& state)
{
    TwoCarWorld rig;
    int step = 0;
    const std::clock_t started = std::clock();
    for (auto _ : state) {
        if (step++ % 5 == 0)
            rig.applyControls({});
        stepPhysics(rig.physics, kStepSeconds);
    }
    reportShare(state, started);
}
BENCHMARK(BM_StepBothParked)->Iterations(120000);

}  // namespace
