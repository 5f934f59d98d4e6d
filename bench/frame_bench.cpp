// The game's frame on the headless backend at 800 x 600 with the default
// data, and the time from start to the first frame shown. The frame is split
// into what the game itself costs and what waiting for GL to finish costs:
//   sim_ms      controls, physics steps, walking, target search, weapon, projectiles
//   skin_ms     skinning the player model on the processor (part of drawing)
//   submit_ms   the whole runFrame less the simulation: skinning and GL calls
//   gl_wait_ms  glFinish after the frame: rasterisation by the GL driver
//   input_us    reading keys, mouse and a connected pad into the frame's input
//               record and the walking and driving records (part of sim)
// Goals: the game's own work (sim + submit) under 1 ms; start-up under 300 ms.

#include "app/frame_input.h"
#include "app/game.h"
#include "app/headless_platform.h"
#include "app/world.h"
#include "game/driving.h"
#include "game/game_sounds.h"
#include "game/player.h"
#include "game/weapon.h"

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Game {
    Game()
    {
        std::filesystem::current_path(TURFWAR_GAME_DIR);
        platform.queueAnswer(MessageBoxAnswer::No);
        started = startTurfwar(world) == kExitOk;
    }
    ~Game() { finishTurfwar(world); }
    HeadlessPlatform platform;
    World world{platform};
    bool started = false;
};

void startUp(benchmark::State& state)
{
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        Game game;
        if (!game.started) {
            state.SkipWithError("the game did not start");
            return;
        }
        while (runLoopPass(game.world) != LoopPass::FrameRun) {
        }
        glFinish();
        state.SetIterationTime(msSince(start) / 1000.0);
    }
}
BENCHMARK(startUp)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// Walking with W held and firing now and then, near a car so the auto-aim
// and the marker have work to do.
void frame(benchmark::State& state)
{
    Game game;
    if (!game.started) {
        state.SkipWithError("the game did not start");
        return;
    }
    World& world = game.world;
    game.platform.setKeyDown(Key::W, true);
    game.platform.connectPad();  // at rest: the mapping runs in full and changes nothing
    double sim = 0.0, skin = 0.0, whole = 0.0, wait = 0.0, input = 0.0;
    std::vector<SkinnedCorner> corners;
    int n = 0;
    for (auto _ : state) {
        game.platform.advanceTicks(16);
        if (n % 40 == 0)
            game.platform.click();

        // The simulation's share, measured on the same kind of work the
        // frame does (it advances the world as a frame would).
        Clock::time_point t = Clock::now();
        InputMemory memory;
        const FrameInput in = readFrameInput(game.platform, world.settings, memory, false, 0.016f);
        const WalkKeys walk = walkKeysOf(in);
        const DriverKeys keys = driverKeysOf(in);
        input += msSince(t);
        applyDriverControls(world.cars, world.player, keys);
        float accumulator = 0.0f;
        advancePhysics(world.physics, accumulator, 0.016f);
        world.player.updateOnFoot(0.0f, walk, world.playerModel);
        WeaponState& weapon = world.weapon;
        findTarget(world.cars, world.player.position, world.player.facing, weapon.targetCar, weapon.targetPart,
                   weapon.targetPosition, -1);
        updateProjectiles(weapon, world.projectiles, 0.0f);
        sim += msSince(t);

        t = Clock::now();
        world.playerModel.skinAll(corners);
        skin += msSince(t);

        t = Clock::now();
        while (runLoopPass(world) != LoopPass::FrameRun) {
        }
        whole += msSince(t);
        t = Clock::now();
        glFinish();
        wait += msSince(t);
        ++n;
    }
    const double frames = n;
    state.counters["sim_ms"] = sim / frames;
    state.counters["skin_ms"] = skin / frames;
    state.counters["submit_ms"] = (whole - sim) / frames;
    state.counters["gl_wait_ms"] = wait / frames;
    state.counters["input_us"] = 1000.0 * input / frames;
    state.counters["frame_ms"] = (whole + wait) / frames;
}
BENCHMARK(frame)->Unit(benchmark::kMillisecond)->Iterations(600);

// Sound: the game's own audio work in a frame (reading the world, moving the
// listener and the voices), on foot (argument 0, walking and firing) and
// driving (1, full throttle and steering), and the headless backend's
// loopback mix of one 16 ms frame. Goal: audio_update_ms under 0.05.
void sound(benchmark::State& state)
{
    Game game;
    if (!game.started || !game.world.audio.isLoopback()) {
        state.SkipWithError("the game did not start with its loopback sound");
        return;
    }
    World& world = game.world;
    const bool driving = state.range(0) == 1;
    if (driving) {
        game.platform.setKeyDown(Key::E, true);
        game.platform.advanceTicks(16);
        while (runLoopPass(world) != LoopPass::FrameRun) {
        }
        game.platform.setKeyDown(Key::E, false);
        if (!world.player.inCar) {
            state.SkipWithError("the player did not get in");
            return;
        }
        game.platform.setKeyDown(Key::D, true);
    }
    game.platform.setKeyDown(Key::W, true);
    std::int16_t mix[2 * 706];
    double update = 0.0, render = 0.0, whole = 0.0;
    int n = 0;
    for (auto _ : state) {
        game.platform.advanceTicks(16);
        if (n % 40 == 0)
            game.platform.click();
        // Measured on a copy of what the last frame left: the world has not
        // moved since, so it plays nothing twice.
        GameSoundState probe = world.sounds;
        const SoundScene scene{world.cars,   world.player, world.weapon, world.playerModel,
                               world.camera, 100,          false};
        Clock::time_point t = Clock::now();
        updateGameSounds(probe, world.audio, scene, 0.016f);
        update += msSince(t);

        t = Clock::now();
        world.audio.render(mix, 705);
        render += msSince(t);

        t = Clock::now();
        while (runLoopPass(world) != LoopPass::FrameRun) {
        }
        glFinish();
        whole += msSince(t);
        ++n;
    }
    state.counters["audio_update_ms"] = update / n;
    state.counters["loopback_render_ms"] = render / n;
    state.counters["frame_ms"] = whole / n;
}
BENCHMARK(sound)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(600);

}  // namespace
