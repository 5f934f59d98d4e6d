// TGA decoding: uncompressed and run-length encoded true-colour pixels.

#include "assets/image.h"

#include "assets/image_bytes.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t kHeaderSize = 18;
constexpr unsigned kRunLengthType = 10;
constexpr std::uint64_t kMaxPixelsPerPacket = 128;

std::optional<TgaImage> fail(DecodeFailure& failure, const char* reason, bool quiet = false)
{
    failure.reason = reason;
    failure.quiet = quiet;
    return std::nullopt;
}

// Stores one file pixel (B G R, B G R A or a 16-bit word) as R G B (A).
inline void storePixel(const std::uint8_t* src, std::uint8_t* dst, unsigned fileBytes)
{
    if (fileBytes == 2) {
        const unsigned v = static_cast<unsigned>(src[0] | src[1] << 8);
        dst[0] = static_cast<std::uint8_t>(((v >> 10) & 31) * 8);
        dst[1] = static_cast<std::uint8_t>(((v >> 5) & 31) * 8);
        dst[2] = static_cast<std::uint8_t>((v & 31) * 8);
        return;
    }
    dst[0] = src[2];
    dst[1] = src[1];
    dst[2] = src[0];
    if (fileBytes == 4)
        dst[3] = src[3];
}

}  // namespace

std::optional<TgaImage> decodeTgaImage(std::span<const std::uint8_t> bytes, DecodeFailure& failure)
{
    const ByteReader file(bytes);
    if (!file.has(0, kHeaderSize))
        return fail(failure, "the file is shorter than a TGA header");
    const std::size_t idLength = file.u8(0);
    const bool runLength = file.u8(2) == kRunLengthType;
    const std::uint32_t width = file.u16(12);
    const std::uint32_t height = file.u16(14);
    const unsigned bits = file.u8(16);
    if (bits != 16 && bits != 24 && bits != 32)
        return fail(failure, "only 16, 24 and 32 bits per pixel are supported", true);
    if (width == 0 || height == 0)
        return fail(failure, "the image has no pixels");
    const std::size_t dataAt = kHeaderSize + idLength;
    if (!file.has(dataAt, 0))
        return fail(failure, "the file ends inside its ID field");
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
    image.pixels = PixelBuffer(static_cast<std::size_t>(pixelCount * outBytes));
    std::uint8_t* out = image.pixels.data();

    if (!runLength) {
        const std::uint8_t* src = data.at(0);
        if (fileBytes == 3) {
            for (std::uint64_t i = 0; i < pixelCount; ++i, src += 3, out += 3) {
                out[0] = src[2];
                out[1] = src[1];
                out[2] = src[0];
            }
        } else {
            for (std::uint64_t i = 0; i < pixelCount; ++i, src += fileBytes, out += outBytes)
                storePixel(src, out, fileBytes);
        }
        return image;
    }

    // Packets that would run past the last pixel stop there.
    std::uint64_t produced = 0;
    std::size_t pos = 0;
    while (produced < pixelCount) {
        if (!data.has(pos, 1))
            return fail(failure, "the file ends before the last pixel");
        const unsigned header = data.u8(pos++);
        if (header >= 128) {
            if (!data.has(pos, fileBytes))
                return fail(failure, "the file ends before the last pixel");
            const std::uint64_t count = std::min<std::uint64_t>(header - 127u, pixelCount - produced);
            std::uint8_t value[4];
            storePixel(data.at(pos), value, fileBytes);
            pos += fileBytes;
            for (std::uint64_t i = 0; i < count; ++i, out += outBytes)
                std::memcpy(out, value, outBytes);
            produced += count;
        } else {
            const std::uint64_t count = std::min<std::uint64_t>(header + 1u, pixelCount - produced);
            if (!data.has(pos, static_cast<std::size_t>(count) * fileBytes))
                return fail(failure, "the file ends before the last pixel");
            const std::uint8_t* src = data.at(pos);
            for (std::uint64_t i = 0; i < count; ++i, src += fileBytes, out += outBytes)
                storePixel(src, out, fileBytes);
            pos += static_cast<std::size_t>(count) * fileBytes;
            produced += count;
        }
    }
    return image;
}
