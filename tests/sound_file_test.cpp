// Sound files as a modder makes them: every sample format libsndfile reads
// plays at the level it holds, a sound is found under any of its
// extensions, the messages about files read as sentences; and muted, the
// game opens no sound at all.

#include "app/game.h"
#include "app/headless_platform.h"
#include "app/launch.h"
#include "audio/audio.h"
#include "game/game_sounds.h"

#include "game_folder.h"
#include "windowed_launch.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A 440 Hz sine of amplitude (a share of full scale), 0.4 s, in format.
bool writeSine(const fs::path& path, int format, float amplitude, int channels = 1)
{
    SF_INFO info = {};
    info.samplerate = kAudioSampleRate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr)
        return false;
    const int frames = kAudioSampleRate * 4 / 10;
    std::vector<float> samples;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples.push_back(amplitude * std::sin(2.0f * std::numbers::pi_v<float> * 440.0f * static_cast<float>(i) /
                                                   kAudioSampleRate));
    sf_writef_float(file, samples.data(), frames);
    sf_close(file);
    return true;
}

// The RMS of the left channel over 0.3 s of the file played at the listener.
double playedLevel(const fs::path& path, std::string& reason)
{
    Audio audio;
    if (!audio.openLoopback(reason) || !audio.loadSound(0, "sine", path.c_str(), reason))
        return -1.0;
    audio.setListener(AudioListener{});
    audio.play(0, VoiceParams{});
    std::vector<std::int16_t> out(static_cast<std::size_t>(kAudioSampleRate * 3 / 10) * 2);
    audio.render(out.data(), static_cast<int>(out.size() / 2));
    double sum = 0.0;
    for (std::size_t i = 0; i < out.size(); i += 2)
        sum += static_cast<double>(out[i]) * out[i];
    return std::sqrt(sum / static_cast<double>(out.size() / 2));
}

TEST(SoundFiles, EverySampleFormatLibsndfileReadsPlaysAtTheLevelItHolds)
{
    GameFolder folder(GameFolder::Contents::Empty);
    struct Case {
        const char* name;
        int format;
        float amplitude;
        int channels = 1;
    };
    const Case cases[] = {
        {"pcm16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0.25f},  // the reference: first
        {"u8.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 0.25f},
        {"pcm24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 0.25f},
        {"pcm32.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 0.25f},
        {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0.25f},
        {"double.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 0.25f},
        {"ulaw.wav", SF_FORMAT_WAV | SF_FORMAT_ULAW, 0.25f},
        {"ima.wav", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 0.25f},
        {"ms.wav", SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM, 0.25f},
        {"stereo-float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0.25f, 2},
        {"sine.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 0.25f},
        {"sine.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 0.25f},
    };
    double reference = 0.0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(writeSine(folder.path() / c.name, c.format, c.amplitude, c.channels));
        std::string reason;
        const double level = playedLevel(folder.path() / c.name, reason);
        ASSERT_GT(level, 0.0) << reason;
        if (reference == 0.0)
            reference = level;
        EXPECT_NEAR(20.0 * std::log10(level / reference), 0.0, 1.0);
    }
    // A quiet float file stays quiet (not raised to its peak), and one beyond
    // full scale is clipped, not wrapped round to a crackle.
    std::string reason;
    ASSERT_TRUE(writeSine(folder.path() / "quiet.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0.025f));
    EXPECT_NEAR(20.0 * std::log10(playedLevel(folder.path() / "quiet.wav", reason) / reference), -20.0, 1.0);
    ASSERT_TRUE(writeSine(folder.path() / "hot.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 4.0f));
    EXPECT_GT(20.0 * std::log10(playedLevel(folder.path() / "hot.wav", reason) / reference), 10.0);
}

// A WAV of the sound hit.wav would be, written under another extension.
void writeSound(const GameFolder& folder, const std::string& name, int format)
{
    ASSERT_TRUE(writeSine(folder.path() / name, format, 0.25f));
}

bool anyLineHas(const std::vector<std::string>& lines, const std::string& text)
{
    return std::any_of(lines.begin(), lines.end(),
                       [&text](const std::string& line) { return line.find(text) != std::string::npos; });
}

TEST(SoundFiles, EachSoundIsTheFirstOfWavOggAndFlacAndTwoPresentAreNamedOnce)
{
    GameFolder folder;
    folder.remove("sound/engine.wav");
    writeSound(folder, "sound/engine.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    folder.remove("sound/skid.wav");
    writeSound(folder, "sound/skid.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    writeSound(folder, "sound/hit.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    writeSound(folder, "sound/door.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    writeSound(folder, "sound/door.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    folder.write("sound/clank.wav", "not a sound");
    writeSound(folder, "sound/clank.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    folder.remove("sound/crash.wav");

    EXPECT_EQ(findSoundFile("sound/engine.wav").chosen, "sound/engine.ogg");
    EXPECT_EQ(findSoundFile("sound/skid.wav").chosen, "sound/skid.flac");
    EXPECT_EQ(findSoundFile("sound/door.wav").chosen, "sound/door.wav");
    EXPECT_EQ(findSoundFile("sound/door.wav").alsoPresent,
              (std::vector<std::string>{"sound/door.ogg", "sound/door.flac"}));

    Audio audio;
    std::string reason;
    ASSERT_TRUE(audio.openLoopback(reason)) << reason;
    const std::vector<std::string> lines = loadGameSounds(audio);
    EXPECT_TRUE(audio.soundLoaded(static_cast<int>(GameSound::Engine)));
    EXPECT_TRUE(audio.soundLoaded(static_cast<int>(GameSound::Skid)));
    EXPECT_TRUE(audio.soundLoaded(static_cast<int>(GameSound::Hit)));
    // The first found plays even when it cannot be read: the modder hears
    // which file is wrong instead of another one playing unsaid.
    EXPECT_FALSE(audio.soundLoaded(static_cast<int>(GameSound::Clank)));
    EXPECT_FALSE(audio.soundLoaded(static_cast<int>(GameSound::Crash)));

    const std::vector<std::string> expected = {
        "found sound/hit.wav and sound/hit.flac; playing sound/hit.wav, the first of .wav, .ogg, .flac",
        "found sound/clank.wav and sound/clank.ogg; playing sound/clank.wav, the first of .wav, .ogg, .flac",
        "sound/clank.wav: not a readable sound file (format not recognised); that sound is silent",
        "sound/crash.wav: no such file (nor .ogg or .flac); that sound is silent",
        "found sound/door.wav, sound/door.ogg and sound/door.flac; playing sound/door.wav, the first of .wav, "
        ".ogg, .flac",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_FALSE(anyLineHas(lines, "engine"));
    EXPECT_FALSE(anyLineHas(lines, ".,")) << "libsndfile's own full stop is not left inside a sentence";
}

// The game started in process with these options on a headless platform
// pointed at a system device that does not exist; what it wrote on stderr.
std::string startWithMissingDevice(const std::vector<std::string>& options, bool& opened)
{
    const Launch launch = windowedLaunch(options);
    GameFolder folder;
    HeadlessPlatform platform;
    platform.setAudioDeviceName("no such device");
    World world(platform);
    world.settings = launch.settings;
    testing::internal::CaptureStderr();
    EXPECT_EQ(startTurfwar(world), kExitOk);
    opened = world.audio.isOpen();
    platform.advanceTicks(16);
    while (runLoopPass(world) == LoopPass::MessageHandled) {
    }
    finishTurfwar(world);
    return testing::internal::GetCapturedStderr();
}

TEST(SoundFiles, MutedTheGameOpensNoSoundDeviceAndSaysNothingAboutOne)
{
    bool opened = true;
    const std::string heard = startWithMissingDevice({}, opened);
    EXPECT_NE(heard.find("turfwar: no audio device, playing without sound (OpenAL has no device named no such "
                         "device)"),
              std::string::npos)
        << heard;
    const std::string muted = startWithMissingDevice({"--mute"}, opened);
    EXPECT_FALSE(opened);
    EXPECT_EQ(muted.find("audio"), std::string::npos) << muted;
    EXPECT_EQ(muted.find("sound"), std::string::npos) << muted;
}

}  // namespace
