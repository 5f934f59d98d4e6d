// The game's sounds, synthesised: noise, filters, envelopes and harmonics,
// no recordings. Mono 16-bit WAV at kAudioSampleRate, written by libsndfile
// into memory. Every random number comes from the integer hash, so the bytes
// are the same on every run.
//
// The loops (engine, skid) are exactly one second long and built only from
// partials of whole hertz, so each is exactly periodic over its length: the
// sample after the last is the first, and the seam cannot click.

#include "tools/datagen/sounds.h"

#include "tools/datagen/noise.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace datagen {

namespace {

constexpr float kRate = static_cast<float>(kAudioSampleRate);
constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;

std::vector<float> silence(float seconds) { return std::vector<float>(static_cast<std::size_t>(seconds * kRate), 0.0f); }

float white(Random& random) { return random.unit() * 2.0f - 1.0f; }

// One-pole low-pass: cutoff in hertz.
struct LowPass {
    explicit LowPass(float cutoff) : a(1.0f - std::exp(-kTwoPi * cutoff / kRate)) {}
    float operator()(float x) { return y += a * (x - y); }
    float a;
    float y = 0.0f;
};

// A burst of noise, low-passed, with an instant attack and an exponential decay.
void addNoiseBurst(std::vector<float>& out, float start, float decaySeconds, float cutoff, float gain,
                   std::uint32_t seed)
{
    Random random(seed);
    LowPass lowA(cutoff), lowB(cutoff);
    for (std::size_t i = static_cast<std::size_t>(start * kRate); i < out.size(); ++i) {
        const float t = static_cast<float>(i) / kRate - start;
        out[i] += gain * std::exp(-t / decaySeconds) * lowB(lowA(white(random)));
    }
}

// A decaying sine, its pitch gliding from f0 down towards f1 (a thump).
void addTone(std::vector<float>& out, float start, float f0, float f1, float decaySeconds, float gain)
{
    float phase = 0.0f;
    for (std::size_t i = static_cast<std::size_t>(start * kRate); i < out.size(); ++i) {
        const float t = static_cast<float>(i) / kRate - start;
        const float f = f1 + (f0 - f1) * std::exp(-t / 0.03f);
        phase += kTwoPi * f / kRate;
        if (phase > kTwoPi)
            phase -= kTwoPi;
        out[i] += gain * std::exp(-t / decaySeconds) * std::sin(phase);
    }
}

// Struck metal: inharmonic partials, the higher ones dying sooner.
void addMetal(std::vector<float>& out, float start, float base, float decaySeconds, float gain)
{
    constexpr float kRatios[] = {1.0f, 2.32f, 3.87f, 5.41f, 6.93f};
    for (int k = 0; k < 5; ++k) {
        const float f = base * kRatios[k];
        const float decay = decaySeconds / (1.0f + 0.6f * static_cast<float>(k));
        for (std::size_t i = static_cast<std::size_t>(start * kRate); i < out.size(); ++i) {
            const float t = static_cast<float>(i) / kRate - start;
            out[i] += gain / (1.0f + static_cast<float>(k)) * std::exp(-t / decay) * std::sin(kTwoPi * f * t);
        }
    }
}

// The first samples rise over a millisecond and the last fall over ten, so a
// one-shot starts and ends at rest.
void fadeEnds(std::vector<float>& out)
{
    const std::size_t in = static_cast<std::size_t>(0.001f * kRate);
    const std::size_t last = static_cast<std::size_t>(0.01f * kRate);
    for (std::size_t i = 0; i < in && i < out.size(); ++i)
        out[i] *= static_cast<float>(i) / static_cast<float>(in);
    for (std::size_t i = 0; i < last && i < out.size(); ++i)
        out[out.size() - 1 - i] *= static_cast<float>(i) / static_cast<float>(last);
}

// Scales the peak to peak (a share of full scale).
void normalise(std::vector<float>& out, float peak)
{
    float most = 0.0f;
    for (float s : out)
        most = std::max(most, std::fabs(s));
    if (most > 0.0f)
        for (float& s : out)
            s *= peak / most;
}

std::vector<float> shot(float thumpHz, float cutoff, float seconds, std::uint32_t seed)
{
    std::vector<float> out = silence(seconds);
    addNoiseBurst(out, 0.0f, seconds * 0.12f, cutoff, 1.0f, seed);
    addNoiseBurst(out, 0.0f, seconds * 0.4f, cutoff * 0.2f, 0.6f, seed + 1);
    addTone(out, 0.0f, thumpHz * 3.0f, thumpHz, seconds * 0.2f, 0.8f);
    fadeEnds(out);
    return out;
}

std::vector<float> hit()
{
    std::vector<float> out = silence(0.3f);
    addNoiseBurst(out, 0.0f, 0.02f, 3000.0f, 1.0f, 31);
    addMetal(out, 0.0f, 410.0f, 0.08f, 0.5f);
    addTone(out, 0.0f, 300.0f, 120.0f, 0.05f, 0.6f);
    fadeEnds(out);
    return out;
}

std::vector<float> clank()
{
    std::vector<float> out = silence(0.9f);
    addNoiseBurst(out, 0.0f, 0.01f, 6000.0f, 0.8f, 41);
    addMetal(out, 0.0f, 523.0f, 0.35f, 1.0f);
    addMetal(out, 0.0f, 788.0f, 0.25f, 0.6f);
    fadeEnds(out);
    return out;
}

// A loose wheel bouncing away: knocks coming quicker and quieter.
std::vector<float> wheelOff()
{
    std::vector<float> out = silence(1.6f);
    float when = 0.05f;
    float gap = 0.32f;
    float gain = 1.0f;
    for (int bounce = 0; bounce < 9 && when < 1.5f; ++bounce) {
        addTone(out, when, 180.0f, 70.0f, 0.06f, gain);
        addNoiseBurst(out, when, 0.015f, 1500.0f, 0.5f * gain, 50 + static_cast<std::uint32_t>(bounce));
        when += gap;
        gap *= 0.72f;
        gain *= 0.75f;
    }
    fadeEnds(out);
    return out;
}

// One second of exactly periodic sound from whole-hertz partials.
std::vector<float> loop() { return silence(1.0f); }
void addPartial(std::vector<float>& out, int hertz, float gain, float phase)
{
    for (std::size_t i = 0; i < out.size(); ++i) {
        // The phase is reduced in whole cycles before the sine: exact at every sample.
        const std::uint64_t cycles = static_cast<std::uint64_t>(hertz) * i % kAudioSampleRate;
        out[i] += gain * std::sin(kTwoPi * static_cast<float>(cycles) / kRate + phase);
    }
}

// A four-stroke rumble at 40 Hz: a strong fundamental (the pitch heard and
// measured), firing harmonics falling off, and a rough band of partials.
std::vector<float> engine()
{
    std::vector<float> out = loop();
    Random random(61);
    addPartial(out, 40, 1.0f, 0.0f);
    for (int k = 2; k <= 12; ++k)
        addPartial(out, 40 * k, 0.5f / static_cast<float>(k), random.unit() * kTwoPi);
    for (int f = 20; f <= 300; f += 7)
        addPartial(out, f, 0.03f, random.unit() * kTwoPi);
    return out;
}

// Tyres sliding: a band of noise around 1 to 2.5 kHz with a squeal in it.
std::vector<float> skid()
{
    std::vector<float> out = loop();
    Random random(71);
    for (int f = 700; f <= 2600; f += 5)
        addPartial(out, f, 0.05f, random.unit() * kTwoPi);
    addPartial(out, 1100, 0.6f, 0.0f);
    addPartial(out, 1103, 0.4f, 1.0f);  // beats with the one above: the squeal wavers
    return out;
}

std::vector<float> crash()
{
    std::vector<float> out = silence(1.3f);
    addNoiseBurst(out, 0.0f, 0.25f, 2500.0f, 1.0f, 81);
    addNoiseBurst(out, 0.0f, 0.5f, 400.0f, 0.8f, 82);
    addTone(out, 0.0f, 120.0f, 45.0f, 0.2f, 0.9f);
    addMetal(out, 0.02f, 330.0f, 0.4f, 0.5f);
    addMetal(out, 0.11f, 470.0f, 0.3f, 0.3f);
    fadeEnds(out);
    return out;
}

std::vector<float> footstep()
{
    std::vector<float> out = silence(0.18f);
    addNoiseBurst(out, 0.0f, 0.025f, 900.0f, 1.0f, 91);
    addTone(out, 0.0f, 160.0f, 70.0f, 0.03f, 0.5f);
    fadeEnds(out);
    return out;
}

// The latch's click, then the door's thud.
std::vector<float> door()
{
    std::vector<float> out = silence(0.5f);
    addNoiseBurst(out, 0.0f, 0.006f, 5000.0f, 0.6f, 101);
    addMetal(out, 0.0f, 1400.0f, 0.03f, 0.3f);
    addTone(out, 0.06f, 140.0f, 60.0f, 0.08f, 1.0f);
    addNoiseBurst(out, 0.06f, 0.05f, 600.0f, 0.7f, 102);
    fadeEnds(out);
    return out;
}

// A note with a few harmonics and a soft attack: the match's signals are
// tonal, so they stand apart from the noisy sounds of the arena.
void addNote(std::vector<float>& out, float start, float hertz, float seconds, float gain)
{
    const std::size_t first = static_cast<std::size_t>(start * kRate);
    const std::size_t end = std::min(out.size(), first + static_cast<std::size_t>(seconds * kRate));
    for (std::size_t i = first; i < end; ++i) {
        const float t = static_cast<float>(i - first) / kRate;
        const float envelope = std::min(1.0f, t / 0.005f) * std::exp(-t / (0.4f * seconds));
        float s = 0.0f;
        for (int k = 1; k <= 4; ++k)
            s += std::sin(kTwoPi * hertz * static_cast<float>(k) * t) / static_cast<float>(k * k);
        out[i] += gain * envelope * s;
    }
}

// Three rising notes, the last held: the round is on.
std::vector<float> roundStart()
{
    std::vector<float> out = silence(1.2f);
    addNote(out, 0.0f, 523.25f, 0.22f, 0.8f);
    addNote(out, 0.25f, 659.25f, 0.22f, 0.8f);
    addNote(out, 0.5f, 783.99f, 0.65f, 1.0f);
    fadeEnds(out);
    return out;
}

// One short, high beep, played once a second near the end of the clock.
std::vector<float> clockTick()
{
    std::vector<float> out = silence(0.12f);
    addNote(out, 0.0f, 1760.0f, 0.11f, 1.0f);
    fadeEnds(out);
    return out;
}

// A heavy blow and a falling horn: someone is out.
std::vector<float> knockOut()
{
    std::vector<float> out = silence(1.4f);
    addTone(out, 0.0f, 200.0f, 55.0f, 0.25f, 1.0f);
    addNoiseBurst(out, 0.0f, 0.08f, 1800.0f, 0.6f, 111);
    float phase = 0.0f;
    for (std::size_t i = static_cast<std::size_t>(0.1f * kRate); i < out.size(); ++i) {
        const float t = static_cast<float>(i) / kRate - 0.1f;
        const float f = 440.0f * std::exp(-t * 0.9f);
        phase += kTwoPi * f / kRate;
        if (phase > kTwoPi)
            phase -= kTwoPi;
        out[i] += 0.5f * std::exp(-t / 0.5f) * (std::sin(phase) + 0.3f * std::sin(2.0f * phase));
    }
    fadeEnds(out);
    return out;
}

// Two long falling notes over a low one: the round is over.
std::vector<float> roundEnd()
{
    std::vector<float> out = silence(1.6f);
    addNote(out, 0.0f, 783.99f, 0.35f, 0.8f);
    addNote(out, 0.35f, 523.25f, 1.2f, 1.0f);
    addNote(out, 0.35f, 261.63f, 1.2f, 0.6f);
    fadeEnds(out);
    return out;
}

struct MemoryFile {
    std::vector<std::uint8_t> bytes;
    sf_count_t position = 0;
};

sf_count_t memoryLength(void* user) { return static_cast<sf_count_t>(static_cast<MemoryFile*>(user)->bytes.size()); }
sf_count_t memorySeek(sf_count_t offset, int whence, void* user)
{
    MemoryFile& file = *static_cast<MemoryFile*>(user);
    const sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? file.position : memoryLength(user);
    file.position = std::max<sf_count_t>(0, base + offset);
    return file.position;
}
sf_count_t memoryRead(void* ptr, sf_count_t count, void* user)
{
    MemoryFile& file = *static_cast<MemoryFile*>(user);
    const sf_count_t available = std::max<sf_count_t>(0, memoryLength(user) - file.position);
    const sf_count_t n = std::min(count, available);
    std::memcpy(ptr, file.bytes.data() + file.position, static_cast<std::size_t>(n));
    file.position += n;
    return n;
}
sf_count_t memoryWrite(const void* ptr, sf_count_t count, void* user)
{
    MemoryFile& file = *static_cast<MemoryFile*>(user);
    const std::size_t end = static_cast<std::size_t>(file.position + count);
    if (file.bytes.size() < end)
        file.bytes.resize(end);
    std::memcpy(file.bytes.data() + file.position, ptr, static_cast<std::size_t>(count));
    file.position += count;
    return count;
}
sf_count_t memoryTell(void* user) { return static_cast<MemoryFile*>(user)->position; }

}  // namespace

std::vector<float> synthesiseSound(GameSound sound)
{
    std::vector<float> out;
    switch (sound) {
    case GameSound::HandGun: out = shot(150.0f, 4000.0f, 0.35f, 11); break;
    case GameSound::CarGun: out = shot(70.0f, 2000.0f, 0.7f, 21); break;
    case GameSound::Hit: out = hit(); break;
    case GameSound::Clank: out = clank(); break;
    case GameSound::WheelOff: out = wheelOff(); break;
    case GameSound::Engine: out = engine(); break;
    case GameSound::Skid: out = skid(); break;
    case GameSound::Crash: out = crash(); break;
    case GameSound::Footstep: out = footstep(); break;
    case GameSound::Door: out = door(); break;
    case GameSound::RoundStart: out = roundStart(); break;
    case GameSound::ClockTick: out = clockTick(); break;
    case GameSound::KnockOut: out = knockOut(); break;
    case GameSound::RoundEnd: out = roundEnd(); break;
    }
    // The car gun is the louder of the two guns.
    // The clock's tick repeats over the last seconds: quieter, so it does not tire.
    float peak = 0.9f;
    if (sound == GameSound::HandGun)
        peak = 0.85f;
    else if (sound == GameSound::Footstep || sound == GameSound::ClockTick)
        peak = 0.7f;
    normalise(out, peak);
    return out;
}

std::vector<std::uint8_t> writeWav16(const std::vector<float>& samples, int rate)
{
    MemoryFile file;
    SF_VIRTUAL_IO io = {memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};
    SF_INFO info = {};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* out = sf_open_virtual(&io, SFM_WRITE, &info, &file);
    if (out == nullptr)
        return {};
    // Clipped to full scale; libsndfile scales floats of [-1, 1] to 16 bits.
    std::vector<float> clipped(samples);
    for (float& s : clipped)
        s = std::clamp(s, -1.0f, 1.0f);
    sf_command(out, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    sf_writef_float(out, clipped.data(), static_cast<sf_count_t>(clipped.size()));
    sf_close(out);
    return std::move(file.bytes);
}

std::vector<GeneratedFile> generateSounds()
{
    std::vector<GeneratedFile> files;
    for (int i = 0; i < kGameSoundCount; ++i)
        files.push_back({kGameSoundFiles[i].path, writeWav16(synthesiseSound(static_cast<GameSound>(i)), kAudioSampleRate)});
    return files;
}

}  // namespace datagen
