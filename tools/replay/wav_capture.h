#pragma once
// The replay's sound capture: a WAV file (44,100 Hz stereo 16-bit) opened
// before the first frame and written as the samples are mixed, its header
// kept up to date after every write, so the file is a valid WAV of every
// sample so far whenever the tool stops, even when it is killed. For a run
// that ends normally the bytes are those of the whole capture written at once.

#include <cstdint>
#include <string>
#include <vector>

typedef struct sf_private_tag SNDFILE;

class WavCapture {
public:
    WavCapture() = default;
    ~WavCapture();
    WavCapture(const WavCapture&) = delete;
    WavCapture& operator=(const WavCapture&) = delete;

    // Creates or empties the file; false with the reason (a folder, a
    // missing folder, a full disk).
    bool open(const std::string& path, std::string& error);
    bool isOpen() const { return file_ != nullptr; }
    // Interleaved stereo samples, left first; false with the reason.
    bool write(const std::vector<std::int16_t>& samples, std::string& error);
    // Finishes the file; false with the reason. Safe to call when not open.
    bool close(std::string& error);

private:
    SNDFILE* file_ = nullptr;
    std::string path_;
};
