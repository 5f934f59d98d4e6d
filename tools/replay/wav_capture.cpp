#include "tools/replay/wav_capture.h"

#include "audio/audio.h"

#include <sndfile.h>

WavCapture::~WavCapture()
{
    std::string ignored;
    close(ignored);
}

bool WavCapture::open(const std::string& path, std::string& error)
{
    std::string ignored;
    close(ignored);
    SF_INFO info = {};
    info.samplerate = kAudioSampleRate;
    info.channels = kAudioChannels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    file_ = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file_ == nullptr) {
        error = "cannot write " + path + ": " + sf_strerror(nullptr);
        return false;
    }
    path_ = path;
    // The header rewritten after each write is what leaves a playable file
    // behind a SIGKILL or a power cut, not only behind the signals we catch.
    sf_command(file_, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
    return true;
}

bool WavCapture::write(const std::vector<std::int16_t>& samples, std::string& error)
{
    if (file_ == nullptr || samples.empty())
        return true;
    const auto frames = static_cast<sf_count_t>(samples.size() / kAudioChannels);
    if (sf_writef_short(file_, samples.data(), frames) != frames) {
        error = "cannot write " + path_ + ": " + sf_strerror(file_);
        return false;
    }
    return true;
}

bool WavCapture::close(std::string& error)
{
    if (file_ == nullptr)
        return true;
    const bool closed = sf_close(file_) == 0;
    file_ = nullptr;
    if (!closed) {
        error = "cannot write " + path_;
        return false;
    }
    return true;
}
