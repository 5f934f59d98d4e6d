// TGA decoding: uncompressed and run-length encoded true-colour pixels.

#include "assets/image.h"

#include "assets/image_bytes.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr std::size_t kHeaderSize = 18;
constexpr unsigned kTrueColourType = 2;
constexpr unsigned kRunLengthType = 10;
constexpr unsigned kColourMapPresent = 1;
constexpr std::uint64_t kMaxPixelsPerPacket = 128;

std::optional<TgaImage> fail(DecodeFailure& failure, const char* reason, bool quiet = false)
{
    failure.reason = reason;
    failure.quiet = quiet;
    return std::nullopt;
}

// Stores one file pixel (B G R, B G R A or a 16-bit word) as R G B (A).
template <unsigned FileBytes>
inline void storePixel(const std::uint8_t* src, std::uint8_t* dst)
{
    if constexpr (FileBytes == 2) {
        const unsigned v = static_cast<unsigned>(src[0] | src[1] << 8);
        dst[0] = static_cast<std::uint8_t>(((v >> 10) & 31) * 8);
        dst[1] = static_cast<std::uint8_t>(((v >> 5) & 31) * 8);
        dst[2] = static_cast<std::uint8_t>((v & 31) * 8);
    } else if constexpr (FileBytes == 3) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
    } else {
        std::uint32_t v;
        std::memcpy(&v, src, 4);
        v = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
        std::memcpy(dst, &v, 4);
    }
}

template <unsigned FileBytes>
constexpr unsigned kOutBytes = FileBytes == 2 ? 3 : FileBytes;

template <unsigned FileBytes>
void decodeRaw(const std::uint8_t* __restrict src, std::uint8_t* __restrict out, std::uint64_t pixelCount)
{
    for (std::uint64_t i = 0; i < pixelCount; ++i)
        storePixel<FileBytes>(src + i * FileBytes, out + i * kOutBytes<FileBytes>);
}

// Packets that would run past the last pixel stop there. False when the
// data ends before the last pixel.
template <unsigned FileBytes>
bool decodeRunLength(const ByteReader& data, std::uint8_t* out, std::uint64_t pixelCount)
{
    constexpr unsigned kOut = kOutBytes<FileBytes>;
    std::uint64_t produced = 0;
    std::size_t pos = 0;
    while (produced < pixelCount) {
        if (!data.has(pos, 1))
            return false;
        const unsigned header = data.u8(pos++);
        if (header >= 128) {
            if (!data.has(pos, FileBytes))
                return false;
            const std::uint64_t count = std::min<std::uint64_t>(header - 127u, pixelCount - produced);
            std::uint8_t value[4];
            storePixel<FileBytes>(data.at(pos), value);
            pos += FileBytes;
            for (std::uint64_t i = 0; i < count; ++i, out += kOut)
                std::memcpy(out, value, kOut);
            produced += count;
        } else {
            const std::uint64_t count = std::min<std::uint64_t>(header + 1u, pixelCount - produced);
            if (!data.has(pos, static_cast<std::size_t>(count) * FileBytes))
                return false;
            decodeRaw<FileBytes>(data.at(pos), out, count);
            out += count * kOut;
            pos += static_cast<std::size_t>(count) * FileBytes;
            produced += count;
        }
    }
    return true;
}

template <unsigned FileBytes>
bool decodePixels(const ByteReader& data, bool runLength, std::uint8_t* out, std::uint64_t pixelCount)
{
    if (runLength)
        return decodeRunLength<FileBytes>(data, out, pixelCount);
    decodeRaw<FileBytes>(data.at(0), out, pixelCount);
    return true;
}

}  // namespace

std::optional<TgaImage> decodeTgaImage(std::span<const std::uint8_t> bytes, DecodeFailure& failure)
{
    const ByteReader file(bytes);
    if (!file.has(0, kHeaderSize))
        return fail(failure, "the file is shorter than a TGA header");
    const std::size_t idLength = file.u8(0);
    const unsigned imageType = file.u8(2);
    const bool runLength = imageType == kRunLengthType;
    const std::uint32_t width = file.u16(12);
    const std::uint32_t height = file.u16(14);
    const unsigned bits = file.u8(16);
    if (bits != 16 && bits != 24 && bits != 32)
        return fail(failure, "only 16, 24 and 32 bits per pixel are supported", true);
    if (width == 0 || height == 0)
        return fail(failure, "the image has no pixels");
    std::size_t dataAt = kHeaderSize + idLength;
    if (!file.has(dataAt, 0))
        return fail(failure, "the file ends inside its ID field");
    // A true-colour file may still carry a colour map (for programs that
    // show it on a paletted display); its pixels follow the map. The map
    // fields mean nothing when the map type says there is none.
    if (file.u8(1) == kColourMapPresent && (imageType == kTrueColourType || imageType == kRunLengthType)) {
        const std::size_t entries = file.u16(5);
        const std::size_t entryBytes = (file.u8(7) + 7u) / 8u;
        if (!file.has(dataAt, entries * entryBytes))
            return fail(failure, "the file ends inside its colour map");
        dataAt += entries * entryBytes;
    }
    const ByteReader data(bytes.subspan(dataAt));

    const unsigned fileBytes = bits / 8;
    const unsigned outBytes = bits == 16 ? 3 : fileBytes;
    const std::uint64_t pixelCount = std::uint64_t{width} * height;
    if (runLength) {
        // Every packet costs a header byte and at least one pixel value and
        // yields at most 128 pixels: anything more cannot be in the file.
        const std::uint64_t packets = (data.size() + fileBytes) / (1 + fileBytes);
        if (pixelCount > packets * kMaxPixelsPerPacket)
            return fail(failure, "the file ends before the last pixel");
    } else if (pixelCount * fileBytes > data.size()) {
        return fail(failure, "the file ends before the last pixel");
    }

    if (pixelCount * outBytes > kMaxImageBytes)
        return fail(failure, "the image is too large");

    TgaImage image;
    image.bytesPerPixel = static_cast<std::int32_t>(outBytes);
    image.width = static_cast<std::int32_t>(width);
    image.height = static_cast<std::int32_t>(height);
    try {
        image.pixels = PixelBuffer(static_cast<std::size_t>(pixelCount * outBytes));
    } catch (const std::bad_alloc&) {
        return fail(failure, "out of memory");
    }
    std::uint8_t* out = image.pixels.data();

    const bool complete = fileBytes == 2   ? decodePixels<2>(data, runLength, out, pixelCount)
                          : fileBytes == 3 ? decodePixels<3>(data, runLength, out, pixelCount)
                                           : decodePixels<4>(data, runLength, out, pixelCount);
    if (!complete)
        return fail(failure, "the file ends before the last pixel");
    return image;
}
