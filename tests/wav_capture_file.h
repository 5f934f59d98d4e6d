#pragma once
// Reading back what --audio-out wrote: the loopback device's stereo 16-bit
// samples at its rate, interleaved. A file that cannot be opened, or at
// another rate or channel count, fails the test that reads it.

#include "audio/audio.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

inline std::vector<std::int16_t> readCaptureSamples(const std::string& path)
{
    SF_INFO info = {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(file, nullptr) << path;
    if (file == nullptr)
        return {};
    EXPECT_EQ(info.samplerate, kAudioSampleRate);
    EXPECT_EQ(info.channels, 2);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(info.frames * 2));
    sf_readf_short(file, samples.data(), info.frames);
    sf_close(file);
    return samples;
}
