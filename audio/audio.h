#pragma once
// Sound output through OpenAL Soft: one device with its context, the
// listener, sounds loaded once from files (libsndfile reads WAV, FLAC and Ogg
// Vorbis) and a fixed pool of voices that play them at points in the world.
// It knows nothing of what the sounds mean; the game decides what plays.
//
// Three forms, chosen when it is opened: the system's device (OpenAL mixes
// on its own thread), a loopback device that mixes only when asked to
// render (headless runs: the samples follow the scripted clock exactly), or
// nothing (no device could be opened, muted, or never opened): then every
// call does nothing and the game runs silent without asking.
//
// One class, not an interface with an OpenAL and a silent implementation:
// the two real forms differ only in how the device opens and who renders,
// the silent one is the same object before it opens (each call starts with
// the one test of the device it needs anyway), and the game holds it by
// value in its World and tools read it there. An interface would copy the
// voice pool's bookkeeping or hoist it into a base, and put a heap pointer
// between the game and every call, to save that one line per call.
//
// Loading reads and allocates; everything after it (play, move, stop,
// listener, render) allocates nothing. Not thread-safe: one thread calls it.

#include "math/vector3.h"

#include <cstdint>
#include <string>
#include <vector>

inline constexpr int kAudioSampleRate = 44100;  // the loopback device's rate, frames per second
inline constexpr int kAudioChannels = 2;        // the loopback device renders stereo
inline constexpr int kMaxSounds = 16;           // slots for loaded sounds
inline constexpr int kVoiceCount = 32;          // voices playing at once; the quietest is stolen beyond

// A playing voice, valid until it ends, is stopped or is stolen; a stale
// handle is ignored by every call.
struct VoiceHandle {
    int index = -1;
    std::uint32_t serial = 0;
};

struct VoiceParams {
    Vector3 position;  // world units
    Vector3 velocity;  // world units per second, for Doppler
    float gain = 1.0f;
    float pitch = 1.0f;  // 1: as recorded; clamped to 0.1 to 4
};

// What a voice is doing, for tools that describe the game.
struct VoiceInfo {
    const char* soundName = "";
    Vector3 position;
    float gain = 0.0f;
    float pitch = 0.0f;
    bool looping = false;
};

struct AudioListener {
    Vector3 position;
    Vector3 forward = {0.0f, 0.0f, -1.0f};
    Vector3 up = {0.0f, 1.0f, 0.0f};
    Vector3 velocity;  // world units per second
};

class Audio {
public:
    Audio() = default;
    ~Audio();
    Audio(const Audio&) = delete;
    Audio& operator=(const Audio&) = delete;

    // The system's device by name (nullptr: the default). False with a reason
    // when there is none; the object stays silent then.
    bool openDevice(const char* deviceName, std::string& reason);
    // A loopback device rendering kAudioSampleRate stereo 16-bit, mixed only by render().
    bool openLoopback(std::string& reason);
    // Stops everything, frees the sounds and closes the device; safe when closed.
    void close();
    bool isOpen() const { return device_ != nullptr; }
    bool isLoopback() const { return loopback_; }

    // Reads the file into slot (0 to kMaxSounds - 1) under name (kept by
    // pointer: a string literal). Silent when closed (true, nothing read).
    // False with a reason when the file cannot be read or holds no samples:
    // the slot stays empty and playing it does nothing. Files longer than
    // kMaxSoundSeconds are cut there.
    bool loadSound(int slot, const char* name, const char* path, std::string& reason);
    bool soundLoaded(int slot) const;

    // Starts the sound in slot at params, once or looping. With every voice
    // busy, the quietest one heard (gain over distance) is stopped for it, or
    // nothing plays when the new one would be quieter still.
    VoiceHandle play(int slot, const VoiceParams& params, bool looping = false);
    // Moves a playing voice and sets its gain and pitch.
    void update(VoiceHandle voice, const VoiceParams& params);
    void stop(VoiceHandle& voice);
    bool isPlaying(VoiceHandle voice) const;

    void setListener(const AudioListener& listener);
    const AudioListener& listener() const { return listener_; }
    // The whole mix's gain: 0 silent, 1 as mixed.
    void setMasterGain(float gain);
    // Holds every playing voice where it is (a paused game), or plays them
    // on from there. A held voice still counts as playing, so its handle
    // stays its own.
    void setPaused(bool paused);
    bool paused() const { return paused_; }

    // Loopback only: mixes the next frames stereo frames into out
    // (2 x frames samples, left first). Nothing happens otherwise.
    void render(std::int16_t* out, int frames);

    // Writes up to max playing voices into out, in pool order; returns how many.
    int playingVoices(VoiceInfo* out, int max) const;

private:
    struct Sound {
        const char* name = "";
        unsigned buffer = 0;  // OpenAL buffer name; 0 empty
    };
    struct Voice {
        unsigned source = 0;
        int slot = -1;  // what it plays; -1 free
        std::uint32_t serial = 0;
        bool looping = false;
        bool held = false;  // paused by setPaused, to play on when it ends
        VoiceParams params;
    };
    bool finishOpening(std::string& reason);
    bool voiceBusy(const Voice& voice) const;
    float loudnessHeard(const VoiceParams& params) const;
    Voice* voiceOf(VoiceHandle handle);
    const Voice* voiceOf(VoiceHandle handle) const;
    void applyParams(const Voice& voice) const;
    void makeCurrent() const;

    void* device_ = nullptr;   // ALCdevice
    void* context_ = nullptr;  // ALCcontext
    bool loopback_ = false;
    void* renderSamples_ = nullptr;  // alcRenderSamplesSOFT
    Sound sounds_[kMaxSounds];
    Voice voices_[kVoiceCount];
    std::uint32_t nextSerial_ = 1;
    AudioListener listener_;
    bool paused_ = false;
};

inline constexpr int kMaxSoundSeconds = 60;  // longer files are cut: a sound file is not music

// The extensions a sound is looked for under, in this order: a modder can
// drop in an Ogg Vorbis or FLAC file without renaming it.
inline constexpr const char* kSoundFileExtensions[] = {".wav", ".ogg", ".flac"};

// Which file plays for the sound at path (its own extension is ignored):
// the first of path with each of kSoundFileExtensions that exists, and the
// others that exist too (they are not played). Reads only the folder.
struct SoundFileChoice {
    std::string chosen;                    // empty when there is none
    std::vector<std::string> alsoPresent;  // in extension order
};
SoundFileChoice findSoundFile(const std::string& path);

// The distance model, for the game's units (a player is about 70 units
// tall): full gain within kAudioReferenceDistance, halving with each
// doubling beyond it.
inline constexpr float kAudioReferenceDistance = 150.0f;  // world units
inline constexpr float kAudioMaxDistance = 6000.0f;       // world units: beyond, no quieter
// Sound travels about 343 m/s; at 70 units to 1.8 m that is some 13,000 units a second.
inline constexpr float kAudioSpeedOfSound = 13000.0f;  // world units per second
