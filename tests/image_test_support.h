#pragma once
// Helpers for the image tests: a scratch folder, files written and read
// whole, ImageMagick run as the reference reader, and little-endian byte
// building for hand-made files.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A fresh folder under /tmp (its name has no '.'), removed with everything in it.
class ScratchDir {
public:
    ScratchDir()
    {
        char pattern[] = "/tmp/turfwarXXXXXX";
        const char* made = mkdtemp(pattern);
        if (made != nullptr)
            path_ = made;
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string file(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline Bytes readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline bool runCommand(const std::string& command) { return std::system((command + " 2>&1").c_str()) == 0; }

// Standard output of a command, as bytes.
inline Bytes commandOutput(const std::string& command)
{
    Bytes out;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return out;
    std::uint8_t buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.insert(out.end(), buffer, buffer + n);
    pclose(pipe);
    return out;
}

// The pixels ImageMagick reads from a file, top row first; "rgb" or "rgba".
inline Bytes imageMagickPixels(const std::string& path, const char* map = "rgb")
{
    return commandOutput("convert '" + path + "' -depth 8 " + map + ":-");
}

// Packed rows in the opposite order.
inline Bytes flipRows(const Bytes& pixels, std::size_t rowBytes)
{
    Bytes out(pixels.size());
    const std::size_t rows = rowBytes == 0 ? 0 : pixels.size() / rowBytes;
    for (std::size_t r = 0; r < rows; ++r)
        std::copy_n(pixels.begin() + static_cast<std::ptrdiff_t>(r * rowBytes), rowBytes,
                    out.begin() + static_cast<std::ptrdiff_t>((rows - 1 - r) * rowBytes));
    return out;
}

inline void put16(Bytes& b, unsigned v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void put32(Bytes& b, std::uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

inline void set32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A BMP file header and 40-byte info header; the palette and pixels are appended by the caller.
inline Bytes bmpHeader(std::int32_t width, std::int32_t height, unsigned bitCount, std::uint32_t compression,
                       std::uint32_t colorsUsed, std::uint32_t pixelOffset)
{
    Bytes b{'B', 'M'};
    put32(b, 0);
    put32(b, 0);
    put32(b, pixelOffset);
    put32(b, 40);
    put32(b, static_cast<std::uint32_t>(width));
    put32(b, static_cast<std::uint32_t>(height));
    put16(b, 1);
    put16(b, bitCount);
    put32(b, compression);
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    put32(b, colorsUsed);
    put32(b, 0);
    return b;
}

// An 18-byte TGA header.
inline Bytes tgaHeader(unsigned type, unsigned width, unsigned height, unsigned bits, unsigned idLength = 0,
                       unsigned descriptor = 0)
{
    Bytes b{static_cast<std::uint8_t>(idLength), 0, static_cast<std::uint8_t>(type), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    put16(b, width);
    put16(b, height);
    b.push_back(static_cast<std::uint8_t>(bits));
    b.push_back(static_cast<std::uint8_t>(descriptor));
    return b;
}
