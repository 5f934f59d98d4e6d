#include "game/game_sounds.h"

#include "game/chase_camera.h"
#include "physics/ode_float.h"

#include <algorithm>
#include <array>
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

// A view's frame: where its eye is and which way it looks.
struct ViewFrame {
    Vector3 eye;
    Vector3 right;
    Vector3 up;
    Vector3 back;
};

ViewFrame frameOf(const ChaseCamera& camera)
{
    ViewFrame f;
    f.eye = camera.eye();
    Vector3 look = subtract(camera.lookAtPoint(), f.eye);
    look = magnitude(look) > 1e-4f ? normalize(look) : Vector3{0.0f, 0.0f, -1.0f};
    const Vector3 worldUp = {0.0f, 1.0f, 0.0f};
    Vector3 right = {look.y * worldUp.z - look.z * worldUp.y, look.z * worldUp.x - look.x * worldUp.z,
                     look.x * worldUp.y - look.y * worldUp.x};
    right = magnitude(right) > 1e-4f ? normalize(right) : Vector3{1.0f, 0.0f, 0.0f};
    f.right = right;
    f.up = {right.y * look.z - right.z * look.y, right.z * look.x - right.x * look.z,
            right.x * look.y - right.y * look.x};
    f.back = {-look.x, -look.y, -look.z};
    return f;
}

// Where each sound is put for the one listener: as it stands to the view
// nearest to it, moved to the listener's view. With one view, where it is.
class SoundPlacement {
public:
    explicit SoundPlacement(const SoundScene& scene) : listener_(frameOf(scene.camera))
    {
        for (const ChaseCamera& view : scene.otherViews)
            if (count_ < others_.size())
                others_[count_++] = frameOf(view);
    }
    VoiceParams operator()(VoiceParams params) const
    {
        if (count_ == 0)
            return params;
        const ViewFrame* nearest = nullptr;
        float best = magnitude(subtract(params.position, listener_.eye));
        for (std::size_t i = 0; i < count_; ++i) {
            const float d = magnitude(subtract(params.position, others_[i].eye));
            if (d < best) {
                best = d;
                nearest = &others_[i];
            }
        }
        if (nearest == nullptr)
            return params;
        const Vector3 offset = subtract(params.position, nearest->eye);
        params.position = add(listener_.eye, carried(*nearest, offset));
        params.velocity = carried(*nearest, params.velocity);
        return params;
    }

private:
    // A vector in from's frame, the same in the listener's.
    Vector3 carried(const ViewFrame& from, Vector3 v) const
    {
        const float x = dot(v, from.right);
        const float y = dot(v, from.up);
        const float z = dot(v, from.back);
        return add(add(scaled(listener_.right, x), scaled(listener_.up, y)), scaled(listener_.back, z));
    }

    ViewFrame listener_;
    std::array<ViewFrame, 7> others_{};
    std::size_t count_ = 0;
};

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

// Where a car's part is heard: at the part, moving with it.
VoiceParams partVoice(const Car& car, int part)
{
    VoiceParams at;
    at.position = car.partPosition(part);
    at.velocity = scaled(car.partVelocity(part), kSimulatedPerReal);
    return at;
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

// The engine and the tyres follow the car; a loose wheel takes its sound with it.
void carSounds(GameSoundState& state, Audio& audio, const Car& car, int index, const SoundPlacement& place)
{
    VoiceParams engine;
    engine.position = car.partPosition(0);
    engine.velocity = scaled(car.partVelocity(0), kSimulatedPerReal);
    engine.pitch = kEngineIdlePitch + kEnginePitchPerRadian * rearWheelSpin(car);
    engine.gain = kEngineIdleGain + kEngineThrottleGain * static_cast<float>(car.throttle) / 100.0f;
    keepLooping(audio, state.engines[index], GameSound::Engine, place(engine), true);

    const float skid = ramp(slideSpeed(car), kSkidThreshold, kSkidFullSpeed);
    VoiceParams tyres = engine;
    tyres.pitch = 1.0f;
    tyres.gain = skid;
    keepLooping(audio, state.skids[index], GameSound::Skid, place(tyres), skid > 0.0f);

    for (int part = 0; part < kCarPartCount; ++part) {
        VoiceHandle& loose = state.looseWheels[index][part];
        if (audio.isPlaying(loose))
            audio.update(loose, place(partVoice(car, part)));
    }
}

// What one event sounds like.
void playEvent(GameSoundState& state, Audio& audio, std::span<const Car> cars, const StepEvent& event,
               const SoundPlacement& place)
{
    const bool onCar = event.car >= 0 && static_cast<std::size_t>(event.car) < cars.size() &&
                       static_cast<std::size_t>(event.car) < static_cast<std::size_t>(kCarCount) &&
                       cars[static_cast<std::size_t>(event.car)].built();
    const bool onPart = onCar && event.part >= 0 && event.part < kCarPartCount;
    VoiceParams at;
    at.position = event.position;
    switch (event.kind) {
    case StepEventKind::ShotFired:
        audio.play(slotOf(event.car >= 0 ? GameSound::CarGun : GameSound::HandGun), place(at));
        break;
    case StepEventKind::PartHit:
        if (onPart)
            audio.play(slotOf(GameSound::Hit), place(partVoice(cars[static_cast<std::size_t>(event.car)], event.part)));
        break;
    case StepEventKind::WheelOff:
        if (onPart) {
            const VoiceParams wheel = place(partVoice(cars[static_cast<std::size_t>(event.car)], event.part));
            audio.play(slotOf(GameSound::Clank), wheel);
            state.looseWheels[event.car][event.part] = audio.play(slotOf(GameSound::WheelOff), wheel);
        }
        break;
    case StepEventKind::EnteredCar:
    case StepEventKind::LeftCar:
        audio.play(slotOf(GameSound::Door), place(at));
        break;
    case StepEventKind::Crash:
        if (onCar) {
            const Car& car = cars[static_cast<std::size_t>(event.car)];
            at.velocity = scaled(car.partVelocity(0), kSimulatedPerReal);
            at.gain = 0.7f + 0.3f * event.strength;
            audio.play(slotOf(GameSound::Crash), place(at));
        }
        break;
    case StepEventKind::Footstep:
        at.gain = event.strength > 0.0f ? 1.0f : 0.8f;
        audio.play(slotOf(GameSound::Footstep), place(at));
        break;
    default:  // the match's announcements: see matchSound
        break;
    }
}

// The match's announcements are the game's, not anything's in the arena:
// heard at the listener, whoever's view it follows. Hits and respawns have
// sounds of their own already (the shot, the footsteps), so none here.
bool matchSound(StepEventKind kind, GameSound& sound)
{
    switch (kind) {
    case StepEventKind::RoundStarted:
        sound = GameSound::RoundStart;
        return true;
    case StepEventKind::ClockWarning:
        sound = GameSound::ClockTick;
        return true;
    case StepEventKind::KnockedOut:
        sound = GameSound::KnockOut;
        return true;
    case StepEventKind::RoundEnded:
    case StepEventKind::MatchEnded:
        sound = GameSound::RoundEnd;
        return true;
    default:
        return false;
    }
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

void updateGameSounds(GameSoundState& state, Audio& audio, const SoundScene& scene)
{
    const float master = scene.mute ? 0.0f : static_cast<float>(std::clamp(scene.volumePercent, 0, 100)) / 100.0f;
    if (master != state.masterGain) {
        audio.setMasterGain(master);
        state.masterGain = master;
    }
    listenAtEye(audio, scene.camera);
    const SoundPlacement place(scene);

    // The order today's sounds were started in: the shot, then each car's
    // loops, hits and loose wheels, then the door, then the feet.
    for (const StepEvent& event : scene.events)
        if (event.kind == StepEventKind::ShotFired)
            playEvent(state, audio, scene.cars, event, place);
    for (std::size_t i = 0; i < scene.cars.size() && i < static_cast<std::size_t>(kCarCount); ++i) {
        if (!scene.cars[i].built())
            continue;
        carSounds(state, audio, scene.cars[i], static_cast<int>(i), place);
        const auto onThisCar = [i](const StepEvent& event) { return event.car == static_cast<int>(i); };
        for (const StepEvent& event : scene.events)
            if (onThisCar(event) && event.kind == StepEventKind::Crash)
                playEvent(state, audio, scene.cars, event, place);
        for (const StepEvent& event : scene.events)
            if (onThisCar(event) && (event.kind == StepEventKind::PartHit || event.kind == StepEventKind::WheelOff))
                playEvent(state, audio, scene.cars, event, place);
    }
    for (const StepEvent& event : scene.events)
        if (event.kind == StepEventKind::EnteredCar || event.kind == StepEventKind::LeftCar ||
            event.kind == StepEventKind::Footstep)
            playEvent(state, audio, scene.cars, event, place);
    // A round won with the match raises RoundEnded and MatchEnded in one
    // step: one call is heard, not the same one twice over itself.
    bool endHeard = false;
    for (const StepEvent& event : scene.events) {
        GameSound sound{};
        if (!matchSound(event.kind, sound))
            continue;
        if (sound == GameSound::RoundEnd) {
            if (endHeard)
                continue;
            endHeard = true;
        }
        VoiceParams atListener;
        atListener.position = scene.camera.eye();
        atListener.velocity = scene.camera.spring.velocity;
        audio.play(slotOf(sound), atListener);
    }
}
