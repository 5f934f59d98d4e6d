// The game's frame on the headless backend at 800 x 600 with the default
// data, on foot and driving, beside the raster floor of the same window; the
// time from start to the first frame shown; the sound update's own cost.
// Goal for start-up: under 300 ms.

#include "app/frame_input.h"
#include "app/game.h"
#include "app/headless_platform.h"
#include "app/world.h"
#include "game/game_sounds.h"
#include "sim/sim_world.h"

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Game {
    explicit Game(int players = 1)
    {
        std::filesystem::current_path(TURFWAR_GAME_DIR);
        platform.queueAnswer(MessageBoxAnswer::No);
        world.settings.game.players = players;
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

// Puts the player in car 0 with E held for one frame; false when that failed.
bool getIn(Game& game)
{
    game.platform.setKeyDown(Key::E, true);
    game.platform.advanceTicks(16);
    while (runLoopPass(game.world) != LoopPass::FrameRun) {
    }
    game.platform.setKeyDown(Key::E, false);
    return game.world.sim.players[0].body.inCar;
}

// The processor time this thread has used: what the game and the GL
// driver's own work on the game's thread cost, without the time spent
// waiting for the driver's rasteriser threads.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return 1e3 * static_cast<double>(now.tv_sec) + 1e-6 * static_cast<double>(now.tv_nsec);
}

// The raster floor: clear, one textured quad over the whole window, swap,
// finish. What any frame at this size costs on this GL driver.
double rasterFloorMs(Game& game, int frames)
{
    World& world = game.world;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glViewport(0, 0, world.window.width, world.window.height);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, world.groundTexture);
    glColor3f(1.0f, 1.0f, 1.0f);
    glFinish();
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < frames; ++i) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glBegin(GL_QUADS);
        glTexCoord2f(0.0f, 0.0f);
        glVertex2f(-1.0f, -1.0f);
        glTexCoord2f(1.0f, 0.0f);
        glVertex2f(1.0f, -1.0f);
        glTexCoord2f(1.0f, 1.0f);
        glVertex2f(1.0f, 1.0f);
        glTexCoord2f(0.0f, 1.0f);
        glVertex2f(-1.0f, 1.0f);
        glEnd();
        world.window.swapBuffers();
        glFinish();
    }
    const double ms = msSince(start) / frames;
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
    return ms;
}

// The raster floor on its own, in the game's window after its first frame.
void rasterFloor(benchmark::State& state)
{
    Game game;
    if (!game.started) {
        state.SkipWithError("the game did not start");
        return;
    }
    while (runLoopPass(game.world) != LoopPass::FrameRun) {
    }
    for (auto _ : state)
        state.SetIterationTime(rasterFloorMs(game, 1) / 1000.0);
}
BENCHMARK(rasterFloor)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(600);

// A frame in one of two scenarios, with the raster floor measured in the
// same window before and after:
//   0  on foot: walking with W held and firing now and then, near a car so
//      the auto-aim and the marker have work to do;
//   1  driving: in car 0, throttle held, steering left and right in turn,
//      firing the car's gun now and then, the inset drawn.
// The split:
//   sim_ms      reading the input and stepWorld on it: controls, physics
//               steps, walking or the driver's view, target search,
//               projectiles (a step of its own beside the frame's, so the
//               world moves on twice a measured frame)
//   skin_ms     skinning the player model on the processor (part of drawing)
//   submit_ms   the whole runFrame less the simulation: skinning, GL calls and
//               whatever the swap waits for
//   own_ms      the processor time the frame takes on the game's thread (sim,
//               sound, input, submission and the GL driver's work on that
//               thread): everything but waiting for the rasteriser
//   gl_wait_ms  glFinish after the frame: rasterisation by the GL driver
//   inset_ms    the inset pass alone, drawn again after the frame and
//               finished (wall time); inset_own_ms its share of the thread
//   input_us    reading keys, mouse and a connected pad into the frame's input
//               record and the walking and driving records (part of sim)
//   floor_ms    the raster floor; x_floor = frame_ms / floor_ms
// Goals: the game's own code (sim, skinning, sound, input) at most 0.5 ms a
// frame, driving included; driving within 2.5 times the floor. On a software
// rasteriser most of own_ms is the driver's vertex work for the cars'
// triangles, and most of the frame is rasterising them, the sky and the
// ground: only drawing fewer pixels would cut those.
void frame(benchmark::State& state)
{
    Game game;
    if (!game.started) {
        state.SkipWithError("the game did not start");
        return;
    }
    World& world = game.world;
    const bool driving = state.range(0) == 1;
    if (driving && !getIn(game)) {
        state.SkipWithError("the player did not get in");
        return;
    }
    game.platform.setKeyDown(Key::W, true);
    game.platform.connectPad();  // at rest: the mapping runs in full and changes nothing
    const double floorBefore = rasterFloorMs(game, 100);
    double sim = 0.0, skin = 0.0, whole = 0.0, own = 0.0, wait = 0.0, input = 0.0, inset = 0.0, insetOwn = 0.0;
    std::vector<SkinnedCorner> corners;
    StepEvents events;
    int n = 0;
    for (auto _ : state) {
        game.platform.advanceTicks(16);
        if (n % 40 == 0)
            game.platform.click();
        if (driving && n % 60 == 0) {
            const bool left = (n / 60) % 2 == 0;
            game.platform.setKeyDown(Key::A, left);
            game.platform.setKeyDown(Key::D, !left);
        }

        Clock::time_point t = Clock::now();
        InputMemory memory;
        const PlayerCommand in = readFrameInput(game.platform, world.settings, memory, driving, 0.016f);
        input += msSince(t);
        // The frame's own step, once more on a command of its kind; its
        // events go nowhere, so the frame's sounds are only the frame's.
        events.clear();
        stepWorld(world.sim, std::span<const PlayerCommand>(&in, 1), 0.016f, events);
        sim += msSince(t);

        t = Clock::now();
        world.playerModel.skinAll(world.sim.players[0].pose, corners);
        skin += msSince(t);

        t = Clock::now();
        double cpu = threadCpuMs();
        while (runLoopPass(world) != LoopPass::FrameRun) {
        }
        whole += msSince(t);
        own += threadCpuMs() - cpu;
        t = Clock::now();
        cpu = threadCpuMs();
        glFinish();
        wait += msSince(t);
        own += threadCpuMs() - cpu;

        // The first drawing after a swap pays for the new back buffer, which
        // the frame's own inset does not: the inset is timed on a second.
        drawInsetView(world);
        glFinish();
        t = Clock::now();
        cpu = threadCpuMs();
        drawInsetView(world);
        glFinish();
        inset += msSince(t);
        insetOwn += threadCpuMs() - cpu;
        ++n;
    }
    const double floorMs = 0.5 * (floorBefore + rasterFloorMs(game, 100));
    const double frames = n;
    const double frameMs = (whole + wait) / frames;
    state.counters["sim_ms"] = sim / frames;
    state.counters["skin_ms"] = skin / frames;
    state.counters["submit_ms"] = (whole - sim) / frames;
    state.counters["own_ms"] = own / frames;
    state.counters["gl_wait_ms"] = wait / frames;
    state.counters["inset_ms"] = inset / frames;
    state.counters["inset_own_ms"] = insetOwn / frames;
    state.counters["input_us"] = 1000.0 * input / frames;
    state.counters["frame_ms"] = frameMs;
    state.counters["fps"] = 1000.0 / frameMs;
    state.counters["floor_ms"] = floorMs;
    state.counters["x_floor"] = frameMs / floorMs;
}
BENCHMARK(frame)->ArgName("driving")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(600);

// The driving frame (in car 0, throttle held, the wheel swung from side to
// side, the car's gun fired now and then) with one player and with two
// sharing the window: the whole frame, finished, at 800 x 600. x_single is
// a line's frame against the one-player line of the same run. Goal: two
// players at most 1.5 times one.
void splitScreenFrame(benchmark::State& state)
{
    static double singleMs = 0.0;
    const int players = static_cast<int>(state.range(0));
    Game game(players);
    if (!game.started || !getIn(game)) {
        state.SkipWithError("the game did not start, or the player did not get in");
        return;
    }
    game.platform.setKeyDown(Key::W, true);
    double whole = 0.0;
    int n = 0;
    for (auto _ : state) {
        game.platform.advanceTicks(16);
        if (n % 40 == 0)
            game.platform.click();
        if (n % 60 == 0) {
            const bool left = (n / 60) % 2 == 0;
            game.platform.setKeyDown(Key::A, left);
            game.platform.setKeyDown(Key::D, !left);
        }
        const Clock::time_point t = Clock::now();
        while (runLoopPass(game.world) != LoopPass::FrameRun) {
        }
        glFinish();
        whole += msSince(t);
        ++n;
    }
    const double frameMs = whole / n;
    if (players == 1)
        singleMs = frameMs;
    state.counters["frame_ms"] = frameMs;
    if (singleMs > 0.0)
        state.counters["x_single"] = frameMs / singleMs;
}
BENCHMARK(splitScreenFrame)->ArgName("players")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(600);

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
        if (!getIn(game)) {
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
        // Measured on a copy of what the last frame left, with its events:
        // the world has not moved since, so it plays again only what the
        // frame raised.
        GameSoundState probe = world.sounds;
        const SoundScene scene{world.sim.cars, world.events, world.cameras[0], 100, false};
        Clock::time_point t = Clock::now();
        updateGameSounds(probe, world.audio, scene);
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
