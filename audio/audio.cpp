#include "audio/audio.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <sndfile.h>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <filesystem>
#include <vector>

namespace {

ALCdevice* asDevice(void* device) { return static_cast<ALCdevice*>(device); }
ALCcontext* asContext(void* context) { return static_cast<ALCcontext*>(context); }

void setVector(ALuint source, ALenum what, Vector3 v) { alSource3f(source, what, v.x, v.y, v.z); }

float distanceBetween(Vector3 a, Vector3 b)
{
    const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// libsndfile's messages end with a full stop and begin with a capital;
// ours go on after them, so both are taken off.
std::string quietReason(const char* text)
{
    std::string reason = text != nullptr ? text : "";
    while (!reason.empty() && (reason.back() == '.' || reason.back() == ' ' || reason.back() == '\n'))
        reason.pop_back();
    if (reason.size() > 1 && reason[0] >= 'A' && reason[0] <= 'Z' && !(reason[1] >= 'A' && reason[1] <= 'Z'))
        reason[0] = static_cast<char>(reason[0] - 'A' + 'a');
    return reason.empty() ? "cannot read it as sound" : reason;
}

// A sound file into mono 16-bit samples: a voice is positioned, and OpenAL
// only positions mono buffers. Channels are averaged.
bool readMono(const char* path, std::vector<std::int16_t>& samples, int& rate, std::string& reason)
{
    // A pipe would block the open, a device never end; only files are sounds.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        reason = std::filesystem::exists(path, ec) ? "not a regular file" : "no such file";
        return false;
    }
    SF_INFO info = {};
    SNDFILE* file = sf_open(path, SFM_READ, &info);
    if (file == nullptr) {
        reason = "not a readable sound file (" + quietReason(sf_strerror(nullptr)) + ")";
        return false;
    }
    if (info.channels < 1 || info.channels > 8 || info.samplerate < 1000 || info.samplerate > 192000) {
        sf_close(file);
        reason = "unsupported channels or sample rate";
        return false;
    }
    // Read as floats in [-1, 1] whatever the file holds, and rounded to 16
    // bits here: libsndfile's own integer reads of a float file are scaled
    // by 1 (a whisper) unless told to scale, and then they scale to the
    // file's peak, so a quiet float file would play at full scale.
    // Samples beyond full scale (a float file may hold them) are clipped.
    const sf_count_t limit = static_cast<sf_count_t>(info.samplerate) * kMaxSoundSeconds;
    std::vector<float> block(static_cast<std::size_t>(1024 * info.channels));
    samples.clear();
    // The header's frame count is not trusted for the allocation: a cut file
    // claims more than it holds, a forged one anything.
    for (;;) {
        const sf_count_t want = std::min<sf_count_t>(1024, limit - static_cast<sf_count_t>(samples.size()));
        if (want <= 0)
            break;
        const sf_count_t got = sf_readf_float(file, block.data(), want);
        if (got <= 0)
            break;
        for (sf_count_t f = 0; f < got; ++f) {
            float sum = 0.0f;
            for (int c = 0; c < info.channels; ++c)
                sum += block[static_cast<std::size_t>(f * info.channels + c)];
            float mean = sum / static_cast<float>(info.channels);
            if (std::isnan(mean))
                mean = 0.0f;
            const long level = std::lrint(std::clamp(mean, -1.0f, 1.0f) * 32768.0f);
            samples.push_back(static_cast<std::int16_t>(std::min(level, 32767L)));
        }
    }
    sf_close(file);
    if (samples.empty()) {
        reason = "no samples";
        return false;
    }
    rate = info.samplerate;
    return true;
}

}  // namespace

SoundFileChoice findSoundFile(const std::string& path)
{
    SoundFileChoice choice;
    std::filesystem::path base(path);
    for (const char* extension : kSoundFileExtensions) {
        base.replace_extension(extension);
        std::error_code ec;
        // Anything by the name counts, a folder too: it is then refused as
        // not a file, rather than passed over for the next name unsaid.
        if (!std::filesystem::exists(base, ec))
            continue;
        if (choice.chosen.empty())
            choice.chosen = base.generic_string();
        else
            choice.alsoPresent.push_back(base.generic_string());
    }
    return choice;
}

Audio::~Audio() { close(); }

bool Audio::openDevice(const char* deviceName, std::string& reason)
{
    close();
    ALCdevice* device = alcOpenDevice(deviceName);
    if (device == nullptr) {
        reason = deviceName != nullptr ? std::string("OpenAL has no device named ") + deviceName
                                       : "OpenAL found none";
        return false;
    }
    device_ = device;
    context_ = alcCreateContext(device, nullptr);
    return finishOpening(reason);
}

bool Audio::openLoopback(std::string& reason)
{
    close();
    if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback")) {
        reason = "OpenAL has no loopback device";
        return false;
    }
    auto openLoopbackDevice =
        reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    auto isFormatSupported = reinterpret_cast<LPALCISRENDERFORMATSUPPORTEDSOFT>(
        alcGetProcAddress(nullptr, "alcIsRenderFormatSupportedSOFT"));
    renderSamples_ = reinterpret_cast<void*>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
    ALCdevice* device = openLoopbackDevice != nullptr ? openLoopbackDevice(nullptr) : nullptr;
    if (device == nullptr || renderSamples_ == nullptr || isFormatSupported == nullptr ||
        !isFormatSupported(device, kAudioSampleRate, ALC_STEREO_SOFT, ALC_SHORT_SOFT)) {
        if (device != nullptr)
            alcCloseDevice(device);
        reason = "OpenAL cannot render 16-bit stereo to memory";
        return false;
    }
    device_ = device;
    loopback_ = true;
    // Plain stereo panning: head-related filtering would make the capture
    // depend on the HRTF data installed.
    const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT, ALC_SHORT_SOFT,
                                 ALC_FREQUENCY, kAudioSampleRate, ALC_HRTF_SOFT, ALC_FALSE, 0};
    context_ = alcCreateContext(device, attributes);
    return finishOpening(reason);
}

bool Audio::finishOpening(std::string& reason)
{
    if (context_ == nullptr || alcMakeContextCurrent(asContext(context_)) == ALC_FALSE) {
        reason = "cannot start the audio device";
        close();
        return false;
    }
    // Inverse distance, clamped: within the reference distance (a couple of
    // player heights) everything plays at its own gain; farther away it
    // halves with each doubling, as in open air, so the far car is still
    // heard across the arena.
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    alSpeedOfSound(kAudioSpeedOfSound);
    ALuint sources[kVoiceCount] = {};
    alGenSources(kVoiceCount, sources);
    if (alGetError() != AL_NO_ERROR) {
        reason = "cannot make voices on the audio device";
        close();
        return false;
    }
    for (int i = 0; i < kVoiceCount; ++i) {
        Voice& voice = voices_[i];
        voice = Voice{};
        voice.source = sources[i];
        alSourcef(voice.source, AL_REFERENCE_DISTANCE, kAudioReferenceDistance);
        alSourcef(voice.source, AL_MAX_DISTANCE, kAudioMaxDistance);
        alSourcef(voice.source, AL_ROLLOFF_FACTOR, 1.0f);
    }
    setListener(listener_);
    return true;
}

void Audio::close()
{
    if (device_ == nullptr)
        return;
    if (context_ != nullptr) {
        makeCurrent();
        for (Voice& voice : voices_) {
            if (voice.source != 0) {
                alSourceStop(voice.source);
                alDeleteSources(1, &voice.source);
            }
            voice = Voice{};
        }
        paused_ = false;
        for (Sound& sound : sounds_) {
            if (sound.buffer != 0)
                alDeleteBuffers(1, &sound.buffer);
            sound = Sound{};
        }
        alcMakeContextCurrent(nullptr);
        alcDestroyContext(asContext(context_));
    }
    alcCloseDevice(asDevice(device_));
    device_ = nullptr;
    context_ = nullptr;
    loopback_ = false;
    renderSamples_ = nullptr;
}

void Audio::makeCurrent() const
{
    // Cheap when it already is; a test may hold two games.
    if (alcGetCurrentContext() != asContext(context_))
        alcMakeContextCurrent(asContext(context_));
}

bool Audio::loadSound(int slot, const char* name, const char* path, std::string& reason)
{
    assert(slot >= 0 && slot < kMaxSounds && "sound slot out of range");
    if (device_ == nullptr)
        return true;
    makeCurrent();
    Sound& sound = sounds_[slot];
    if (sound.buffer != 0) {
        alDeleteBuffers(1, &sound.buffer);
        sound.buffer = 0;
    }
    sound.name = name;
    std::vector<std::int16_t> samples;
    int rate = 0;
    if (!readMono(path, samples, rate, reason))
        return false;
    ALuint buffer = 0;
    alGetError();
    alGenBuffers(1, &buffer);
    alBufferData(buffer, AL_FORMAT_MONO16, samples.data(), static_cast<ALsizei>(samples.size() * 2), rate);
    if (alGetError() != AL_NO_ERROR) {
        alDeleteBuffers(1, &buffer);
        reason = "the audio device refused the samples";
        return false;
    }
    sound.buffer = buffer;
    return true;
}

bool Audio::soundLoaded(int slot) const { return slot >= 0 && slot < kMaxSounds && sounds_[slot].buffer != 0; }

bool Audio::voiceBusy(const Voice& voice) const
{
    if (voice.slot < 0)
        return false;
    ALint state = AL_STOPPED;
    alGetSourcei(voice.source, AL_SOURCE_STATE, &state);
    return state == AL_PLAYING || state == AL_INITIAL || state == AL_PAUSED;
}

void Audio::setPaused(bool paused)
{
    if (device_ == nullptr || paused == paused_)
        return;
    makeCurrent();
    paused_ = paused;
    for (Voice& voice : voices_) {
        if (voice.slot < 0)
            continue;
        if (paused) {
            ALint state = AL_STOPPED;
            alGetSourcei(voice.source, AL_SOURCE_STATE, &state);
            if (state == AL_PLAYING) {
                alSourcePause(voice.source);
                voice.held = true;
            }
        } else if (voice.held) {
            alSourcePlay(voice.source);
            voice.held = false;
        }
    }
}

float Audio::loudnessHeard(const VoiceParams& params) const
{
    const float distance = std::max(distanceBetween(params.position, listener_.position), kAudioReferenceDistance);
    return params.gain * kAudioReferenceDistance / distance;
}

Audio::Voice* Audio::voiceOf(VoiceHandle handle)
{
    if (handle.index < 0 || handle.index >= kVoiceCount)
        return nullptr;
    Voice& voice = voices_[handle.index];
    return voice.serial == handle.serial && voice.slot >= 0 ? &voice : nullptr;
}
const Audio::Voice* Audio::voiceOf(VoiceHandle handle) const
{
    return const_cast<Audio*>(this)->voiceOf(handle);
}

void Audio::applyParams(const Voice& voice) const
{
    setVector(voice.source, AL_POSITION, voice.params.position);
    setVector(voice.source, AL_VELOCITY, voice.params.velocity);
    alSourcef(voice.source, AL_GAIN, std::max(voice.params.gain, 0.0f));
    alSourcef(voice.source, AL_PITCH, std::clamp(voice.params.pitch, 0.1f, 4.0f));
}

VoiceHandle Audio::play(int slot, const VoiceParams& params, bool looping)
{
    if (device_ == nullptr || !soundLoaded(slot))
        return {};
    makeCurrent();
    Voice* chosen = nullptr;
    Voice* quietest = nullptr;
    float quietestLoudness = 0.0f;
    for (Voice& voice : voices_) {
        if (!voiceBusy(voice)) {
            chosen = &voice;
            break;
        }
        const float loudness = loudnessHeard(voice.params);
        if (quietest == nullptr || loudness < quietestLoudness) {
            quietest = &voice;
            quietestLoudness = loudness;
        }
    }
    if (chosen == nullptr) {
        if (quietest == nullptr || loudnessHeard(params) < quietestLoudness)
            return {};
        chosen = quietest;
    }
    alSourceStop(chosen->source);
    alSourcei(chosen->source, AL_BUFFER, static_cast<ALint>(sounds_[slot].buffer));
    alSourcei(chosen->source, AL_LOOPING, looping ? AL_TRUE : AL_FALSE);
    chosen->slot = slot;
    chosen->serial = nextSerial_++;
    chosen->looping = looping;
    chosen->held = false;
    chosen->params = params;
    applyParams(*chosen);
    alSourcePlay(chosen->source);
    return {static_cast<int>(chosen - voices_), chosen->serial};
}

void Audio::update(VoiceHandle handle, const VoiceParams& params)
{
    Voice* voice = voiceOf(handle);
    if (voice == nullptr)
        return;
    makeCurrent();
    voice->params = params;
    applyParams(*voice);
}

void Audio::stop(VoiceHandle& handle)
{
    if (Voice* voice = voiceOf(handle)) {
        makeCurrent();
        alSourceStop(voice->source);
        voice->slot = -1;
        voice->held = false;
    }
    handle = {};
}

bool Audio::isPlaying(VoiceHandle handle) const
{
    const Voice* voice = voiceOf(handle);
    if (voice == nullptr)
        return false;
    makeCurrent();
    return voiceBusy(*voice);
}

void Audio::setListener(const AudioListener& listener)
{
    listener_ = listener;
    if (device_ == nullptr)
        return;
    makeCurrent();
    alListener3f(AL_POSITION, listener.position.x, listener.position.y, listener.position.z);
    alListener3f(AL_VELOCITY, listener.velocity.x, listener.velocity.y, listener.velocity.z);
    const ALfloat orientation[6] = {listener.forward.x, listener.forward.y, listener.forward.z,
                                    listener.up.x,      listener.up.y,      listener.up.z};
    alListenerfv(AL_ORIENTATION, orientation);
}

void Audio::setMasterGain(float gain)
{
    if (device_ == nullptr)
        return;
    makeCurrent();
    alListenerf(AL_GAIN, std::max(gain, 0.0f));
}

void Audio::render(std::int16_t* out, int frames)
{
    if (!loopback_ || frames <= 0)
        return;
    makeCurrent();
    reinterpret_cast<LPALCRENDERSAMPLESSOFT>(renderSamples_)(asDevice(device_), out, frames);
}

int Audio::playingVoices(VoiceInfo* out, int max) const
{
    if (device_ == nullptr)
        return 0;
    makeCurrent();
    int n = 0;
    for (const Voice& voice : voices_) {
        if (n >= max)
            break;
        if (!voiceBusy(voice))
            continue;
        out[n++] = {sounds_[voice.slot].name, voice.params.position, voice.params.gain,
                    std::clamp(voice.params.pitch, 0.1f, 4.0f), voice.looping};
    }
    return n;
}
