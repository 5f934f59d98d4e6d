// Sound, heard through real OpenAL Soft: the audio output on its own
// loopback device (panning, Doppler, the voice pool, files it cannot read),
// and the whole game through turfwar-replay --audio-out, checked on the
// captured samples. And sound changes nothing the game plays or draws.

#include "app/game.h"
#include "app/headless_platform.h"
#include "app/launch.h"
#include "audio/audio.h"
#include "game/game_sounds.h"

#include "game_folder.h"
#include "tool_runner.h"
#include "wav_capture_file.h"
#include "windowed_launch.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <numbers>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kSoundDir = TURFWAR_BINARY_DIR "/game/";

struct Stereo {
    std::vector<double> left;
    std::vector<double> right;
};

Stereo split(const std::vector<std::int16_t>& interleaved)
{
    Stereo s;
    for (std::size_t i = 0; i + 1 < interleaved.size(); i += 2) {
        s.left.push_back(interleaved[i]);
        s.right.push_back(interleaved[i + 1]);
    }
    return s;
}

Stereo readWav(const fs::path& path) { return split(readCaptureSamples(path.string())); }

double rms(const std::vector<double>& x, std::size_t from, std::size_t to)
{
    to = std::min(to, x.size());
    double sum = 0.0;
    for (std::size_t i = from; i < to; ++i)
        sum += x[i] * x[i];
    return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0.0;
}

// The strongest frequency between lo and hi hertz, in 1 Hz steps (a plain DFT).
double dominantFrequency(const std::vector<double>& x, std::size_t from, std::size_t to, int lo, int hi)
{
    double best = 0.0;
    int bestHz = lo;
    for (int hz = lo; hz <= hi; ++hz) {
        double re = 0.0, im = 0.0;
        const double w = 2.0 * std::numbers::pi * hz / kAudioSampleRate;
        for (std::size_t i = from; i < to && i < x.size(); ++i) {
            re += x[i] * std::cos(w * static_cast<double>(i));
            im += x[i] * std::sin(w * static_cast<double>(i));
        }
        if (re * re + im * im > best) {
            best = re * re + im * im;
            bestHz = hz;
        }
    }
    return bestHz;
}

int zeroCrossings(const std::vector<double>& x)
{
    int n = 0;
    for (std::size_t i = 1; i < x.size(); ++i)
        n += (x[i - 1] < 0.0) != (x[i] < 0.0);
    return n;
}

// An audio output on the loopback device with the default data's sounds.
struct LoopbackAudio {
    LoopbackAudio()
    {
        std::string reason;
        opened = audio.openLoopback(reason);
        EXPECT_TRUE(opened) << reason;
        for (int slot = 0; slot < kGameSoundCount; ++slot)
            EXPECT_TRUE(audio.loadSound(slot, kGameSoundFiles[slot].name,
                                        (kSoundDir + kGameSoundFiles[slot].path).c_str(), reason))
                << reason;
    }
    Stereo render(double seconds)
    {
        std::vector<std::int16_t> out(static_cast<std::size_t>(seconds * kAudioSampleRate) * 2);
        audio.render(out.data(), static_cast<int>(out.size() / 2));
        return split(out);
    }
    Audio audio;
    bool opened = false;
};

int slot(GameSound sound) { return static_cast<int>(sound); }

TEST(AudioOutput, AShotToTheRightIsLouderOnTheRightAndToTheLeftOnTheLeft)
{
    LoopbackAudio out;
    ASSERT_TRUE(out.opened);
    AudioListener listener;  // at the origin, looking down -z: +x is to the right
    out.audio.setListener(listener);
    for (float side : {1.0f, -1.0f}) {
        SCOPED_TRACE(side > 0 ? "right" : "left");
        VoiceParams at;
        at.position = {300.0f * side, 0.0f, 0.0f};
        ASSERT_TRUE(out.audio.isPlaying(out.audio.play(slot(GameSound::HandGun), at)));
        const Stereo s = out.render(0.4);
        const double left = rms(s.left, 0, s.left.size());
        const double right = rms(s.right, 0, s.right.size());
        ASSERT_GT(left + right, 10.0);
        const double louderByDb = 20.0 * std::log10((side > 0 ? right : left) / (side > 0 ? left : right));
        EXPECT_GE(louderByDb, 6.0);
    }
}

TEST(AudioOutput, DopplerRaisesWhatComesTowardsTheListenerAndLowersWhatGoesAway)
{
    int crossings[2] = {};
    for (int towards = 0; towards < 2; ++towards) {
        LoopbackAudio out;
        ASSERT_TRUE(out.opened);
        out.audio.setListener(AudioListener{});
        VoiceParams car;
        car.position = {0.0f, 0.0f, -400.0f};
        car.velocity = {0.0f, 0.0f, towards ? 1500.0f : -1500.0f};  // units per second along z
        out.audio.play(slot(GameSound::Engine), car, true);
        crossings[towards] = zeroCrossings(out.render(1.0).left);
    }
    EXPECT_GT(crossings[1], crossings[0] * 1.1) << "towards " << crossings[1] << ", away " << crossings[0];
}

TEST(AudioOutput, AFullPoolStealsTheQuietestVoiceAndStaleHandlesDoNothing)
{
    LoopbackAudio out;
    ASSERT_TRUE(out.opened);
    out.audio.setListener(AudioListener{});
    VoiceParams near, far;
    near.position = {0.0f, 0.0f, -10.0f};
    far.position = {0.0f, 0.0f, -5000.0f};
    std::vector<VoiceHandle> voices;
    voices.push_back(out.audio.play(slot(GameSound::Engine), far, true));
    for (int i = 1; i < kVoiceCount; ++i)
        voices.push_back(out.audio.play(slot(GameSound::Engine), near, true));
    for (const VoiceHandle& v : voices)
        EXPECT_TRUE(out.audio.isPlaying(v));

    // Quieter than every voice: nothing is stolen for it.
    VoiceParams farther = far;
    farther.position.z = -6000.0f;
    farther.gain = 0.1f;
    EXPECT_FALSE(out.audio.isPlaying(out.audio.play(slot(GameSound::Hit), farther)));
    // Louder: the far one goes, its old handle now ignored.
    const VoiceHandle shot = out.audio.play(slot(GameSound::HandGun), near);
    EXPECT_TRUE(out.audio.isPlaying(shot));
    EXPECT_FALSE(out.audio.isPlaying(voices[0]));
    out.audio.update(voices[0], far);  // must not move the shot
    VoiceInfo info[kVoiceCount];
    const int n = out.audio.playingVoices(info, kVoiceCount);
    EXPECT_EQ(n, kVoiceCount);
    for (int i = 0; i < n; ++i)
        EXPECT_FLOAT_EQ(info[i].position.z, -10.0f);
    out.audio.stop(voices[0]);
    EXPECT_TRUE(out.audio.isPlaying(shot));
}

// A paused game holds its sounds: silent while held, still its own voice,
// and played on from where it stopped, so a shot is heard whole in two parts.
TEST(AudioOutput, PausingHoldsEveryVoiceWhereItIsAndPlaysItOnAfter)
{
    LoopbackAudio out;
    ASSERT_TRUE(out.opened);
    out.audio.setListener(AudioListener{});
    VoiceParams near;
    near.position = {0.0f, 0.0f, -10.0f};
    const VoiceHandle first = out.audio.play(slot(GameSound::Crash), near);
    const Stereo unbroken = out.render(2.0);
    ASSERT_FALSE(out.audio.isPlaying(first)) << "the crash is under two seconds";
    const double unbrokenRms = rms(unbroken.left, 0, unbroken.left.size());
    ASSERT_GT(unbrokenRms, 10.0);

    const VoiceHandle shot = out.audio.play(slot(GameSound::Crash), near);
    const Stereo before = out.render(0.1);
    out.audio.setPaused(true);
    const Stereo held = out.render(1.0);
    // The mixer lets the voice out over a few milliseconds; then nothing.
    const std::size_t settled = kAudioSampleRate / 20;
    EXPECT_LE(rms(held.left, settled, held.left.size()), 1.0);
    EXPECT_TRUE(out.audio.isPlaying(shot));
    out.audio.setPaused(false);
    const Stereo after = out.render(1.9);
    EXPECT_FALSE(out.audio.isPlaying(shot));
    // Before and after together carry what the unbroken crash did.
    std::vector<double> joined = before.left;
    joined.insert(joined.end(), after.left.begin(), after.left.end());
    EXPECT_NEAR(rms(joined, 0, joined.size()), unbrokenRms, unbrokenRms * 0.05);
}

TEST(AudioOutput, FilesItCannotReadLeaveTheirSoundSilentAndNoDeviceIsSilentThroughout)
{
    GameFolder folder(GameFolder::Contents::Empty);
    folder.write("noise.wav", std::string(4000, '\x5a'));
    folder.write("empty.wav", "");
    const std::string wav = readWholeFile(kSoundDir + "sound/hit.wav");
    folder.write("cut.wav", wav.substr(0, 44));  // the header and not one sample
    fs::create_directory(folder.path() / "folder.wav");

    LoopbackAudio out;
    ASSERT_TRUE(out.opened);
    for (const char* name : {"missing.wav", "noise.wav", "empty.wav", "cut.wav", "folder.wav", "/dev/zero"}) {
        SCOPED_TRACE(name);
        std::string reason;
        EXPECT_FALSE(out.audio.loadSound(0, "broken", name, reason));
        EXPECT_FALSE(reason.empty());
        EXPECT_FALSE(out.audio.soundLoaded(0));
        EXPECT_FALSE(out.audio.isPlaying(out.audio.play(0, VoiceParams{})));
    }
    const Stereo s = out.render(0.1);
    EXPECT_LT(rms(s.left, 0, s.left.size()), 2.0);  // the dither's least bit, no more

    Audio none;
    std::string reason;
    EXPECT_FALSE(none.openDevice("no such device", reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_TRUE(none.loadSound(0, "hit", (kSoundDir + "sound/hit.wav").c_str(), reason));
    const VoiceHandle v = none.play(0, VoiceParams{});
    EXPECT_FALSE(none.isPlaying(v));
    std::int16_t samples[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    none.render(samples, 4);
    EXPECT_EQ(samples[0], 1);
}

// --- the whole game ---

struct Replay {
    ToolResult tool;
    std::vector<nlohmann::json> states;
    Stereo sound;
};

Replay replay(const std::string& script, const std::string& options = "--audio-out sound.wav")
{
    GameFolder scratch(GameFolder::Contents::Empty);
    // A small window: what is heard does not depend on it, and the software
    // rasteriser spends less time.
    scratch.write("script.txt", "resize 200 150\n" + script);
    Replay run;
    run.tool = runTool("turfwar-replay", (scratch.path() / "script.txt").string() + " " + options);
    EXPECT_EQ(run.tool.status, 0) << run.tool.err;
    std::istringstream lines(run.tool.out);
    for (std::string line; std::getline(lines, line);)
        run.states.push_back(nlohmann::json::parse(line));
    if (fs::exists(scratch.path() / "sound.wav"))
        run.sound = readWav(scratch.path() / "sound.wav");
    return run;
}

// Where the samples of the game's frame (16 ms each, counted from 0) start:
// the fraction of a sample frame is carried, not dropped every frame.
std::size_t at(int frame) { return static_cast<std::size_t>(frame) * 16 * kAudioSampleRate / 1000; }

std::set<std::string> soundsPlaying(const nlohmann::json& state)
{
    std::set<std::string> names;
    for (const auto& voice : state["audio"]["voices"])
        names.insert(voice["sound"].get<std::string>());
    return names;
}

TEST(GameSound, BeforeAnythingHappensOnlyTheEnginesIdleAndAShotIsATransientInItsFrame)
{
    // 40 frames of standing still (the gun's rate limit runs out), then a click.
    const Replay run = replay("tick 16\nrun 40\nstate\nclick\nrun 1\nstate\nrun 10\n");
    ASSERT_EQ(run.states.size(), 2u);
    ASSERT_EQ(run.sound.left.size(), at(51));
    EXPECT_EQ(soundsPlaying(run.states[0]), (std::set<std::string>{"engine"}));
    EXPECT_TRUE(soundsPlaying(run.states[1]).count("handGun"));

    const double idle = rms(run.sound.left, at(10), at(40));
    EXPECT_GT(idle, 30.0) << "the engines idle";
    EXPECT_LT(idle, 3000.0) << "and quietly";
    double idlePeak = 0.0;
    for (std::size_t i = at(10); i < at(40); ++i)
        idlePeak = std::max(idlePeak, std::fabs(run.sound.left[i]));
    double shotPeak = 0.0;
    for (std::size_t i = at(40); i < at(41); ++i)
        shotPeak = std::max(shotPeak, std::fabs(run.sound.left[i]));
    EXPECT_GT(shotPeak, 3.0 * idlePeak);
    EXPECT_GT(rms(run.sound.left, at(40), at(41)), 3.0 * idle);
}

TEST(GameSound, TheEngineRisesInPitchAsTheCarSpeedsUpFromRest)
{
    // Into the first car beside the player, then full throttle.
    const Replay run = replay("tick 16\nrun 5\npress E\nrun 1\nrelease E\nrun 60\nstate\npress W\nrun 90\nstate\n");
    ASSERT_EQ(run.states.size(), 2u);
    ASSERT_TRUE(run.states[0]["player"]["inCar"].get<bool>());
    auto enginePitch = [](const nlohmann::json& state, int car) {
        const auto& cars = state["cars"];
        const auto& chassis = cars[static_cast<std::size_t>(car)]["parts"][0]["position"];
        for (const auto& voice : state["audio"]["voices"])
            if (voice["sound"] == "engine" && voice["position"] == chassis)
                return voice["pitch"].get<double>();
        return 0.0;
    };
    EXPECT_NEAR(enginePitch(run.states[0], 0), kEngineIdlePitch, 0.05);
    EXPECT_GT(enginePitch(run.states[1], 0), kEngineIdlePitch + 0.3);

    // In the samples: the strongest low frequency at rest, and late in the run.
    const double atRest = dominantFrequency(run.sound.left, at(40), at(60), 15, 120);
    const double moving = dominantFrequency(run.sound.left, at(135), at(155), 15, 120);
    EXPECT_GT(moving, atRest * 1.4) << "at rest " << atRest << " Hz, moving " << moving << " Hz";
}

// Each footstep is a voice at the player's feet, where the player was then.
int footstepsHeard(const std::vector<nlohmann::json>& states)
{
    std::set<std::vector<double>> places;
    for (const nlohmann::json& state : states)
        for (const auto& voice : state["audio"]["voices"])
            if (voice["sound"] == "footstep")
                places.insert(voice["position"].get<std::vector<double>>());
    return static_cast<int>(places.size());
}

TEST(GameSound, FootstepsKeepTimeWithTheWalkAndComeTwiceAsOftenRunning)
{
    std::string walk = "tick 16\nrun 2\npress W\n";
    std::string running = "tick 16\nrun 2\npress W Q\n";
    for (int i = 0; i < 125; ++i) {  // two seconds, a state every frame
        walk += "run 1\nstate\n";
        running += "run 1\nstate\n";
    }
    const int walking = footstepsHeard(replay(walk).states);
    const int runningSteps = footstepsHeard(replay(running).states);
    // The walk cycle is a second long, a step each half: one as the walk starts, then four.
    EXPECT_GE(walking, 4);
    EXPECT_LE(walking, 5);
    EXPECT_GE(runningSteps, 2 * walking - 2);
    EXPECT_LE(runningSteps, 2 * walking + 1);
}

TEST(GameSound, TheShotThatKnocksAWheelOffClanks)
{
    // As the quick tour: facing the second car, locked shots until a wheel goes.
    std::string script = "tick 500\nrun 1\nmouse -119 0\n";
    for (int i = 0; i < 6; ++i)
        script += "click\nrun 1\nstate\n";
    const Replay run = replay(script);
    bool clank = false, wheel = false;
    for (const nlohmann::json& state : run.states) {
        const std::set<std::string> names = soundsPlaying(state);
        clank = clank || names.count("clank");
        wheel = wheel || names.count("wheelOff");
    }
    EXPECT_TRUE(clank);
    EXPECT_TRUE(wheel);
}

// The state lines less "audio", and every picture, by name.
struct Seen {
    int status = -1;
    std::string err;
    std::vector<std::string> states;
    std::vector<std::pair<std::string, std::string>> pictures;
    std::string wav;
};

Seen playScript(const std::string& script, const std::string& options)
{
    GameFolder scratch(GameFolder::Contents::Empty);
    fs::create_directory(scratch.path() / "docs");
    const ToolResult r = runTool("turfwar-replay", std::string(TURFWAR_SOURCE_DIR "/") + script + " " + options);
    Seen seen;
    seen.status = r.status;
    seen.err = r.err;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        nlohmann::json state = nlohmann::json::parse(line);
        state.erase("audio");
        seen.states.push_back(state.dump());
    }
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(scratch.path())) {
        if (!entry.is_regular_file())
            continue;
        const std::string name = entry.path().lexically_relative(scratch.path()).generic_string();
        if (name == "sound.wav")
            seen.wav = readWholeFile(entry.path());
        else
            seen.pictures.emplace_back(name, readWholeFile(entry.path()));
    }
    std::sort(seen.pictures.begin(), seen.pictures.end());
    return seen;
}

TEST(GameSound, OnOffOrWithoutADeviceTheGamePlaysAndDrawsTheSameAndTheCaptureRepeatsExactly)
{
    const char* script = "tests/replays/quick_tour.txt";
    const Seen plain = playScript(script, "");
    const Seen heard = playScript(script, "--audio-out sound.wav");
    const Seen again = playScript(script, "--audio-out sound.wav");
    const Seen noDevice = playScript(script, "--audio-device no-such-device");
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(heard.status, 0);
    EXPECT_EQ(noDevice.status, 0);
    EXPECT_FALSE(plain.states.empty());
    EXPECT_FALSE(plain.pictures.empty());
    EXPECT_EQ(heard.states, plain.states);
    EXPECT_EQ(noDevice.states, plain.states);
    EXPECT_EQ(heard.pictures, plain.pictures);
    EXPECT_EQ(noDevice.pictures, plain.pictures);
    EXPECT_GT(heard.wav.size(), 1000u);
    EXPECT_EQ(again.wav, heard.wav) << "the same script must give the same capture";
    EXPECT_NE(noDevice.err.find("turfwar: no audio device, playing without sound"), std::string::npos)
        << noDevice.err;
    EXPECT_EQ(plain.err.find("no audio device"), std::string::npos) << plain.err;
}

// Driving, with both views drawn at full size, sounds and looks the same.
TEST(GameSound, DrivingDrawsTheSamePictureWithItsSoundCaptured)
{
    const Seen plain = playScript("docs/driving.replay", "");
    const Seen heard = playScript("docs/driving.replay", "--audio-out sound.wav");
    EXPECT_EQ(heard.status, 0);
    EXPECT_FALSE(plain.pictures.empty());
    EXPECT_EQ(heard.pictures, plain.pictures);
    EXPECT_GT(heard.wav.size(), 1000u);
}

TEST(GameSound, AMissingSoundFileIsNamedOnStandardErrorAndTheGameRunsOn)
{
    GameFolder folder;
    folder.remove("sound/engine.wav");
    folder.write("sound/hit.wav", "not a sound");
    const ToolResult r = runTool("turfwar-replay", "- --data " + folder.path().string(),
                                 "tick 16\nrun 30\nstate\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("turfwar: sound/engine.wav: no such file"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("turfwar: sound/hit.wav:"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("sound/skid.wav"), std::string::npos) << r.err;
}

}  // namespace

namespace {

// Frames whose state shows the sound playing.
int framesWith(const std::vector<nlohmann::json>& states, const std::string& sound)
{
    int n = 0;
    for (const nlohmann::json& state : states)
        n += soundsPlaying(state).count(sound) > 0;
    return n;
}

TEST(GameSound, DrivingStraightOverTheGrassIsQuietWhileSteeringHardAndBrakingSlide)
{
    auto frames = [](int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += "run 1\nstate\n";
        return s;
    };
    const Replay straight = replay("tick 16\npress E\nrun 1\nrelease E\npress W\n" + frames(150));
    const Replay turning = replay("tick 16\npress E\nrun 1\nrelease E\npress W\nrun 150\npress A\n" + frames(60));
    const Replay braking = replay("tick 16\npress E\nrun 1\nrelease E\npress W\nrun 150\nrelease W\npress S\n" +
                                  frames(60));
    EXPECT_EQ(framesWith(straight.states, "skid"), 0);
    EXPECT_EQ(framesWith(straight.states, "crash"), 0);
    EXPECT_GT(framesWith(turning.states, "skid"), 30);
    EXPECT_GT(framesWith(braking.states, "skid"), 30);
}

}  // namespace

namespace {

// The frames in which a sound starts: shown in this state and not the one before.
std::vector<std::size_t> onsets(const std::vector<nlohmann::json>& states, const std::string& sound)
{
    std::vector<std::size_t> frames;
    for (std::size_t i = 0; i < states.size(); ++i)
        if (soundsPlaying(states[i]).count(sound) && (i == 0 || !soundsPlaying(states[i - 1]).count(sound)))
            frames.push_back(i);
    return frames;
}

float gainOf(const nlohmann::json& state, const std::string& sound)
{
    for (const auto& voice : state["audio"]["voices"])
        if (voice["sound"] == sound)
            return voice["gain"].get<float>();
    return 0.0f;
}

std::string everyFrame(int n)
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s += "run 1\nstate\n";
    return s;
}

TEST(GameSound, ACarDrivenIntoTheWallCrashesOnceAndTheHarderHitIsTheLouder)
{
    // Into the first car, then along +x into the wall at x = 1000: under full
    // throttle all the way, or coasting from half way.
    const Replay fast = replay("tick 16\npress E\nrun 1\nrelease E\npress W\n" + everyFrame(360));
    const Replay slow = replay("tick 16\npress E\nrun 1\nrelease E\npress W\nrun 250\nrelease W\n" +
                               everyFrame(200));
    for (const Replay* run : {&fast, &slow}) {
        SCOPED_TRACE(run == &fast ? "full throttle" : "coasting");
        const std::vector<std::size_t> crashes = onsets(run->states, "crash");
        ASSERT_EQ(crashes.size(), 1u) << "one crash, not one a frame while it bounces off";
        const nlohmann::json& hit = run->states[crashes[0]];
        EXPECT_GT(hit["cars"][0]["parts"][0]["position"][0].get<double>(), kArenaHalfSize - 50.0);
    }
    // Heard over the idling engine: the frames from the crash on against those just before.
    const int frame = static_cast<int>(onsets(slow.states, "crash")[0]) + 251;
    const double engine = rms(slow.sound.left, at(frame - 30), at(frame - 2));
    EXPECT_GT(rms(slow.sound.left, at(frame), at(frame + 8)), 1.5 * engine);
    EXPECT_GT(gainOf(fast.states[onsets(fast.states, "crash")[0]], "crash"),
              gainOf(slow.states[onsets(slow.states, "crash")[0]], "crash") + 0.02f);
}


TEST(GameSound, TheDoorSoundsAtTheCarOnGettingInAndAgainOnGettingOut)
{
    // E beside the first car, drive a little, E again (its cooldown long
    // gone) to get out; and E on the very first frame, before anything else.
    const std::string inAndOut = "press E\nrun 1\nrelease E\n" + everyFrame(60) + "press W\n" + everyFrame(60) +
                                 "release W\npress E\nrun 1\nstate\nrelease E\n" + everyFrame(30);
    for (const char* start : {"tick 16\nrun 5\n", "tick 16\n"}) {
        SCOPED_TRACE(start);
        const Replay run = replay(std::string(start) + inAndOut);
        ASSERT_EQ(run.states.size(), 151u);
        ASSERT_TRUE(run.states[0]["player"]["inCar"].get<bool>());
        ASSERT_FALSE(run.states[120]["player"]["inCar"].get<bool>());
        const std::vector<std::size_t> doors = onsets(run.states, "door");
        ASSERT_EQ(doors, (std::vector<std::size_t>{0, 120}));
        for (std::size_t frame : doors) {
            for (const auto& voice : run.states[frame]["audio"]["voices"]) {
                if (voice["sound"] == "door") {
                    // Where the chassis was a frame ago, when the door went.
                    const auto door = voice["position"].get<std::vector<double>>();
                    const auto chassis = run.states[frame]["cars"][0]["parts"][0]["position"].get<std::vector<double>>();
                    for (std::size_t i = 0; i < 3; ++i)
                        EXPECT_NEAR(door[i], chassis[i], 5.0);
                }
            }
        }
        EXPECT_EQ(framesWith(run.states, "footstep"), 0) << "getting out is not a walk";
    }
}

// The game run in process with the settings a command line gives, a shot in
// the middle; every tenth picture and where everything stands, and the capture.
struct PlayedWith {
    std::vector<std::int16_t> sound;
    std::vector<std::vector<std::uint8_t>> pictures;
    std::vector<float> places;
};

PlayedWith playWithOptions(const std::vector<std::string>& options)
{
    const Launch launch = windowedLaunch(options);
    GameFolder folder;
    HeadlessPlatform platform;
    platform.setCaptureAudio(true);
    platform.setCaptureFrames(true);
    World world(platform);
    world.settings = launch.settings;
    PlayedWith played;
    EXPECT_EQ(startTurfwar(world), kExitOk);
    platform.resize(200, 150);
    for (int frame = 0; frame < 80; ++frame) {
        if (frame == 40)
            platform.click(1);
        platform.advanceTicks(16);
        while (runLoopPass(world) == LoopPass::MessageHandled) {
        }
        if (frame % 10 == 9)
            played.pictures.push_back(platform.lastFrame().rgb);
        for (const Car& car : world.sim.cars)
            for (int part = 0; part < kCarPartCount; ++part) {
                const Vector3 p = car.partPosition(part);
                played.places.insert(played.places.end(), {p.x, p.y, p.z});
            }
        played.places.insert(played.places.end(),
                             {world.sim.players[0].body.position.x, world.sim.players[0].body.position.z, world.cameras[0].eye().x});
    }
    played.sound = platform.capturedAudio();
    finishTurfwar(world);
    return played;
}

double rmsOf(const std::vector<std::int16_t>& samples)
{
    double sum = 0.0;
    for (std::int16_t s : samples)
        sum += static_cast<double>(s) * s;
    return samples.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(samples.size()));
}

TEST(GameSound, MuteMixesNothingAndHalfVolumeHalvesTheSoundWhileTheGamePlaysAndDrawsTheSame)
{
    const PlayedWith full = playWithOptions({});
    const PlayedWith half = playWithOptions({"--volume", "50"});
    const PlayedWith muted = playWithOptions({"--mute"});
    ASSERT_EQ(full.sound.size(), at(80) * 2);
    ASSERT_EQ(half.sound.size(), full.sound.size());
    // Muted opens nothing, not even the loopback device: nothing is mixed.
    EXPECT_TRUE(muted.sound.empty());
    ASSERT_EQ(full.pictures.size(), 8u);
    for (const PlayedWith* run : {&half, &muted}) {
        EXPECT_EQ(run->places, full.places);
        EXPECT_TRUE(run->pictures == full.pictures);
    }
    EXPECT_GT(rmsOf(full.sound), 30.0);
    // Half the amplitude is -6 dB, the idle alone and with the shot in it.
    const std::vector<std::int16_t> shotFull(full.sound.begin() + static_cast<std::ptrdiff_t>(at(40) * 2),
                                             full.sound.begin() + static_cast<std::ptrdiff_t>(at(50) * 2));
    const std::vector<std::int16_t> shotHalf(half.sound.begin() + static_cast<std::ptrdiff_t>(at(40) * 2),
                                             half.sound.begin() + static_cast<std::ptrdiff_t>(at(50) * 2));
    const std::vector<std::int16_t> idleFull(full.sound.begin() + static_cast<std::ptrdiff_t>(at(10) * 2),
                                             full.sound.begin() + static_cast<std::ptrdiff_t>(at(40) * 2));
    const std::vector<std::int16_t> idleHalf(half.sound.begin() + static_cast<std::ptrdiff_t>(at(10) * 2),
                                             half.sound.begin() + static_cast<std::ptrdiff_t>(at(40) * 2));
    EXPECT_NEAR(20.0 * std::log10(rmsOf(shotHalf) / rmsOf(shotFull)), -6.02, 0.5);
    EXPECT_NEAR(20.0 * std::log10(rmsOf(idleHalf) / rmsOf(idleFull)), -6.02, 0.5);
}

}  // namespace

namespace {

// Both channels' RMS over [from, to) sample frames, in one number.
double rmsBoth(const Stereo& s, std::size_t from, std::size_t to)
{
    const double l = rms(s.left, from, to), r = rms(s.right, from, to);
    return std::sqrt((l * l + r * r) / 2.0);
}

// How far the 50 ms from sample frame start stand over the half second
// before, in decibels, on each channel and on both.
void expectStandsOut(const Stereo& s, std::size_t start, double leastDb)
{
    const std::size_t onset = kAudioSampleRate / 20, before = kAudioSampleRate / 2;
    ASSERT_GE(start, before);
    ASSERT_LE(start + onset, s.left.size());
    const auto over = [&](const std::vector<double>& x) {
        return 20.0 * std::log10(rms(x, start, start + onset) / rms(x, start - before, start));
    };
    EXPECT_GE(over(s.left), leastDb) << "left";
    EXPECT_GE(over(s.right), leastDb) << "right";
    EXPECT_GE(20.0 * std::log10(rmsBoth(s, start, start + onset) / rmsBoth(s, start - before, start)), leastDb);
}

TEST(SoundMix, AShotCrashAndFootstepStandOutOverTheEngines)
{
    {
        SCOPED_TRACE("a hand-gun shot at the start, over both idling engines");
        const Replay run = replay("tick 16\nrun 40\nclick\nrun 10\n");
        expectStandsOut(run.sound, at(40), 15.0);
    }
    {
        SCOPED_TRACE("a crash into the wall at full throttle, over that engine");
        const Replay run = replay("tick 16\npress E\nrun 1\nrelease E\npress W\n" + everyFrame(360));
        const std::vector<std::size_t> crashes = onsets(run.states, "crash");
        ASSERT_EQ(crashes.size(), 1u);
        expectStandsOut(run.sound, at(static_cast<int>(crashes[0]) + 1), 10.0);
    }
    {
        SCOPED_TRACE("the first footstep beside the first car's idling engine");
        const Replay run = replay("tick 16\nrun 40\nstate\npress W\n" + everyFrame(10));
        const auto& chassis = run.states[0]["cars"][0]["parts"][0]["position"];
        const auto& feet = run.states[0]["player"]["position"];
        double distance = 0.0;
        for (std::size_t i = 0; i < 3; ++i)
            distance += std::pow(chassis[i].get<double>() - feet[i].get<double>(), 2.0);
        ASSERT_LT(std::sqrt(distance), 12.0) << "the player starts beside the car";
        const std::vector<std::size_t> steps = onsets(run.states, "footstep");
        ASSERT_FALSE(steps.empty());
        expectStandsOut(run.sound, at(static_cast<int>(steps[0]) + 39), 6.0);
    }
}

// The loudest sample of a script's capture, of either sign.
int loudestSample(const std::string& script)
{
    GameFolder scratch(GameFolder::Contents::Empty);
    scratch.write("script.txt", script);
    const ToolResult r = runTool("turfwar-replay", (scratch.path() / "script.txt").string() + " --audio-out sound.wav");
    EXPECT_EQ(r.status, 0) << r.err;
    const Stereo s = readWav(scratch.path() / "sound.wav");
    EXPECT_FALSE(s.left.empty());
    double most = 0.0;
    for (const std::vector<double>* channel : {&s.left, &s.right})
        for (double x : *channel)
            most = std::max(most, std::fabs(x));
    return static_cast<int>(most);
}

TEST(SoundMix, NothingClipsThroughEveryFeatureNorARandomPlay)
{
    EXPECT_LT(loudestSample(readWholeFile(TURFWAR_SOURCE_DIR "/tests/replays/every_feature.txt")), 32767);
    const ToolResult soak = runTool("turfwar-soakgen", "--seed 2 --minutes 0.3");
    ASSERT_EQ(soak.status, 0) << soak.err;
    // A small window: what is heard does not depend on it.
    EXPECT_LT(loudestSample("resize 200 150\n" + soak.out), 32767);
}

}  // namespace
