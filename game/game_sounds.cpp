#include "game/game_sounds.h"

#include "assets/skinned_model.h"
#include "game/chase_camera.h"
#include "game/player.h"
#include "game/weapon.h"
#include "physics/ode_float.h"

#include <algorithm>
#include <cmath>

namespace {

int slotOf(GameSound sound) { return static_cast<int>(sound); }

Vector3 scaled(Vector3 v, float s) { return {v.x * s, v.y * s, v.z * s}; }

float dot(Vector3 a, Vector3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

float ramp(float value, float from, float to) { return std::clamp((value - from) / (to - from), 0.0f, 1.0f); }

Vector3 bodyAngularVelocity(const Car& car, int part)
{
    const dReal* w = dBodyGetAngularVel(car.bodies[part]);
    return {odeToFloat(w[0]), odeToFloat(w[1]), odeToFloat(w[2])};
}

void listenAtEye(Audio& audio, const ChaseCamera& camera)
{
    AudioListener listener;
    listener.position = camera.eye();
    const Vector3 look = subtract(camera.lookAtPoint(), listener.position);
    if (magnitude(look) > 1e-4f)
        listener.forward = normalize(look);
    listener.up = {0.0f, 1.0f, 0.0f};
    // The spring's own velocity: the eye's motion this frame, without a
    // difference of positions that a zero-length frame would divide by.
    listener.velocity = camera.spring.velocity;
    audio.setListener(listener);
}

// The rear wheels' mean spin about their axles, radians per simulated second;
// a wheel knocked off no longer turns the engine.
float rearWheelSpin(const Car& car)
{
    float sum = 0.0f;
    int n = 0;
    for (int part = 1; part <= 2; ++part) {
        if (car.wheelDetached(part))
            continue;
        sum += magnitude(bodyAngularVelocity(car, part));
        ++n;
    }
    return n > 0 ? sum / static_cast<float>(n) : 0.0f;
}

// How fast the fastest wheel on the ground slides: sideways along its axle
// (sharp steering), and along the ground where it turns slower than the
// ground passes under it (a braking slide). Spinning faster than the car
// moves is not heard: on this grass every start spins the wheels.
float slideSpeed(const Car& car)
{
    const float radius = car.params.wheelRadius;
    float fastest = 0.0f;
    for (int part = 1; part < kCarPartCount; ++part) {
        if (car.wheelDetached(part))
            continue;
        const Vector3 centre = car.partPosition(part);
        if (centre.y > radius * 1.5f)
            continue;  // in the air
        Vector3 origin, axle;
        car.partToWorld(part, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, origin, axle);
        const Vector3 v = car.partVelocity(part);
        const float across = dot(v, axle);
        const Vector3 onward = {v.x - across * axle.x, v.y - across * axle.y, v.z - across * axle.z};
        const float rolling = std::fabs(dot(bodyAngularVelocity(car, part), axle)) * radius;
        const float along = std::max(0.0f, magnitude(onward) - rolling);
        fastest = std::max(fastest, std::sqrt(across * across + along * along));
    }
    return fastest;
}

void keepLooping(Audio& audio, VoiceHandle& voice, GameSound sound, const VoiceParams& params, bool wanted)
{
    if (!wanted) {
        audio.stop(voice);
        return;
    }
    if (audio.isPlaying(voice))
        audio.update(voice, params);
    else
        voice = audio.play(slotOf(sound), params, true);
}

void carSounds(GameSoundState& state, Audio& audio, const Car& car, int index, float dt)
{
    const Vector3 chassis = car.partPosition(0);
    const Vector3 chassisVelocity = car.partVelocity(0);
    const Vector3 heard = scaled(chassisVelocity, kSimulatedPerReal);

    VoiceParams engine;
    engine.position = chassis;
    engine.velocity = heard;
    engine.pitch = kEngineIdlePitch + kEnginePitchPerRadian * rearWheelSpin(car);
    engine.gain = kEngineIdleGain + kEngineThrottleGain * static_cast<float>(car.throttle) / 100.0f;
    keepLooping(audio, state.engines[index], GameSound::Engine, engine, true);

    const float skid = ramp(slideSpeed(car), kSkidThreshold, kSkidFullSpeed);
    VoiceParams tyres = engine;
    tyres.pitch = 1.0f;
    tyres.gain = skid;
    keepLooping(audio, state.skids[index], GameSound::Skid, tyres, skid > 0.0f);

    state.crashCooldown[index] = std::max(0.0f, state.crashCooldown[index] - dt);
    const float change = magnitude(subtract(chassisVelocity, state.lastChassisVelocity[index]));
    if (state.started && change > kCrashThreshold && state.crashCooldown[index] <= 0.0f) {
        VoiceParams crash = engine;
        crash.pitch = 1.0f;
        crash.gain = 0.7f + 0.3f * ramp(change, kCrashThreshold, kCrashFullChange);
        audio.play(slotOf(GameSound::Crash), crash);
        state.crashCooldown[index] = kCrashCooldownSeconds;
    }
    state.lastChassisVelocity[index] = chassisVelocity;

    for (int part = 0; part < kCarPartCount; ++part) {
        VoiceParams at;
        at.position = car.partPosition(part);
        at.velocity = scaled(car.partVelocity(part), kSimulatedPerReal);
        if (state.started && car.hits[part] > state.lastHits[index][part])
            audio.play(slotOf(GameSound::Hit), at);
        state.lastHits[index][part] = car.hits[part];

        const bool off = car.wheelDetached(part);
        VoiceHandle& loose = state.looseWheels[index][part];
        if (state.started && off && !state.lastWheelOff[index][part]) {
            audio.play(slotOf(GameSound::Clank), at);
            loose = audio.play(slotOf(GameSound::WheelOff), at);
        } else if (audio.isPlaying(loose)) {
            audio.update(loose, at);  // the loose wheel takes its sound with it
        }
        state.lastWheelOff[index][part] = off;
    }
}

// Two steps to a walk cycle; the cycle runs faster when running, so do the steps.
void footsteps(GameSoundState& state, Audio& audio, const Player& player, const SkinnedModel& model)
{
    const double cycle = model.totalTimeMs - model.startTimeMs;
    int step = 0;
    if (!player.inCar && player.gait > 0 && cycle > 0.0)
        step = static_cast<int>(std::floor((model.currentTimeMs - model.startTimeMs) * 2.0 / cycle));
    const bool walking = !player.inCar && player.gait > 0;
    // A first step as the walk starts, then one each half cycle.
    const bool stepNow = walking && (state.lastStep < 0 || step != state.lastStep);
    if (state.started && stepNow) {
        VoiceParams feet;
        feet.position = player.position;
        feet.gain = player.gait > 1 ? 1.0f : 0.8f;
        audio.play(slotOf(GameSound::Footstep), feet);
    }
    state.lastStep = walking ? step : -1;
}

}  // namespace

std::vector<std::string> loadGameSounds(Audio& audio)
{
    std::vector<std::string> lines;
    for (int slot = 0; slot < kGameSoundCount; ++slot) {
        const GameSoundFile& file = kGameSoundFiles[slot];
        const SoundFileChoice found = findSoundFile(file.path);
        if (found.chosen.empty()) {
            lines.push_back(std::string(file.path) + ": no such file (nor .ogg or .flac); that sound is silent");
            continue;
        }
        if (!found.alsoPresent.empty()) {
            std::string line = "found " + found.chosen;
            for (const std::string& other : found.alsoPresent)
                line += (&other == &found.alsoPresent.back() ? " and " : ", ") + other;
            lines.push_back(line + "; playing " + found.chosen + ", the first of .wav, .ogg, .flac");
        }
        std::string reason;
        if (!audio.loadSound(slot, file.name, found.chosen.c_str(), reason))
            lines.push_back(found.chosen + ": " + reason + "; that sound is silent");
    }
    return lines;
}

void updateGameSounds(GameSoundState& state, Audio& audio, const SoundScene& scene, float dt)
{
    const float master = scene.mute ? 0.0f : static_cast<float>(std::clamp(scene.volumePercent, 0, 100)) / 100.0f;
    if (master != state.masterGain) {
        audio.setMasterGain(master);
        state.masterGain = master;
    }
    listenAtEye(audio, scene.camera);

    const WeaponState& weapon = scene.weapon;
    const Player& player = scene.player;
    // A shot resets the timer to its start and the time since the last shot to 0.
    const bool shot = weapon.shotTimer > state.lastShotTimer ||
                      (weapon.sinceShot == 0.0f && state.lastSinceShot > 0.0f);
    if (state.started && shot) {
        VoiceParams muzzle;
        muzzle.position = weapon.shotOrigin;
        audio.play(slotOf(player.inCar ? GameSound::CarGun : GameSound::HandGun), muzzle);
    }
    state.lastShotTimer = weapon.shotTimer;
    state.lastSinceShot = weapon.sinceShot;

    for (std::size_t i = 0; i < scene.cars.size() && i < static_cast<std::size_t>(kCarCount); ++i)
        if (scene.cars[i].built())
            carSounds(state, audio, scene.cars[i], static_cast<int>(i), dt);

    // Every game starts on foot, so the first frame's E is a change too.
    if (player.inCar != state.lastInCar) {
        const std::size_t car = static_cast<std::size_t>(player.carIndex);
        VoiceParams door;
        door.position = car < scene.cars.size() && scene.cars[car].built() ? scene.cars[car].partPosition(0)
                                                                          : player.position;
        audio.play(slotOf(GameSound::Door), door);
    }
    state.lastInCar = player.inCar;

    footsteps(state, audio, player, scene.playerModel);
    state.started = true;
}
