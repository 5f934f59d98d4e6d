// BMP (DIB) decoding: header and palette, then the pixel rows of every
// supported depth and compression turned into packed 24-bit R G B rows.

#include "assets/image.h"

#include "assets/image_bytes.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kBiAlphaBitfields = 6;

constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;

// An RLE stream may legitimately be small for its image (runs of 255 pixels
// in two bytes, deltas, an early end of bitmap), so its output is capped per
// byte of stream rather than by an exact count. Real encoders stay far below
// this; a few bytes claiming a 30000 x 30000 picture do not.
constexpr std::uint64_t kRlePixelsPerByte = 1024;
constexpr std::uint64_t kRleMinimumPixelAllowance = 1u << 16;

struct DibHeader {
    std::int64_t width = 0;
    std::int64_t height = 0;  // as stored: negative for top-down rows
    std::uint32_t bitCount = 0;
    std::uint32_t compression = kBiRgb;
    std::uint32_t masks[3] = {0, 0, 0};  // red, green, blue (bit fields only)
    std::size_t paletteOffset = 0;       // from the start of the file
    std::size_t paletteEntrySize = 4;
    std::uint32_t paletteCount = 0;
};

// One colour channel of a bit-field pixel: its position, its width and the
// widening of its value to 8 bits.
struct Channel {
    unsigned shift = 0;
    unsigned bits = 0;
    std::uint8_t to8[256] = {};

    explicit Channel(std::uint32_t mask)
    {
        if (mask == 0)
            return;  // a missing channel reads as 0
        while (((mask >> shift) & 1u) == 0)
            ++shift;
        unsigned top = 31;
        while (((mask >> top) & 1u) == 0)
            --top;
        bits = top - shift + 1;
        const unsigned used = std::min(bits, 8u);
        // Widen by repeating the bit pattern, so that the largest value is 255.
        for (std::uint32_t v = 0; v < (1u << used); ++v) {
            std::uint32_t out = 0;
            unsigned filled = 0;
            while (filled < 8) {
                out = (out << used) | v;
                filled += used;
            }
            to8[v] = static_cast<std::uint8_t>(out >> (filled - 8));
        }
    }

    std::uint8_t operator()(std::uint32_t pixel, std::uint32_t mask) const
    {
        std::uint32_t v = (pixel & mask) >> shift;
        if (bits > 8)
            v >>= bits - 8;
        return to8[v];
    }
};

using Palette = std::array<std::array<std::uint8_t, 3>, 256>;  // R G B; unused entries black

std::optional<RgbImage> fail(DecodeFailure& failure, const char* reason)
{
    failure.reason = reason;
    failure.quiet = false;
    return std::nullopt;
}

bool supported(const DibHeader& h)
{
    switch (h.compression) {
    case kBiRgb:
        return h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8 || h.bitCount == 16 ||
               h.bitCount == 24 || h.bitCount == 32;
    case kBiRle8:
        return h.bitCount == 8 && h.height > 0;  // compressed rows are always bottom-up
    case kBiRle4:
        return h.bitCount == 4 && h.height > 0;
    case kBiBitfields:
    case kBiAlphaBitfields:
        return h.bitCount == 16 || h.bitCount == 32;
    default:
        return false;
    }
}

// Reads the info header (either form) and where the palette lies. False for
// a header size we do not know or a header cut short.
bool readHeader(ByteReader file, std::size_t infoAt, DibHeader& h)
{
    if (!file.has(infoAt, 4))
        return false;
    const std::uint32_t headerSize = file.u32(infoAt);
    if (headerSize == kCoreHeaderSize) {
        if (!file.has(infoAt, kCoreHeaderSize))
            return false;
        h.width = file.u16(infoAt + 4);
        h.height = file.u16(infoAt + 6);
        h.bitCount = file.u16(infoAt + 10);
        h.compression = kBiRgb;
        h.paletteEntrySize = 3;
        h.paletteOffset = infoAt + kCoreHeaderSize;
    } else if (headerSize == kInfoHeaderSize || headerSize == 52 || headerSize == 56 ||
               headerSize == 108 || headerSize == 124) {
        if (!file.has(infoAt, headerSize))
            return false;
        h.width = file.i32(infoAt + 4);
        h.height = file.i32(infoAt + 8);
        h.bitCount = file.u16(infoAt + 14);
        h.compression = file.u32(infoAt + 16);
        h.paletteCount = file.u32(infoAt + 32);
        h.paletteEntrySize = 4;
        h.paletteOffset = infoAt + headerSize;
        if (h.compression == kBiBitfields || h.compression == kBiAlphaBitfields) {
            // The 40-byte header keeps its masks just after it, where the
            // palette would begin; the longer headers hold them inside.
            std::size_t masksAt = infoAt + kInfoHeaderSize;
            if (headerSize == kInfoHeaderSize) {
                h.paletteOffset += h.compression == kBiBitfields ? 12 : 16;
                if (!file.has(masksAt, 12))
                    return false;
            }
            for (int i = 0; i < 3; ++i)
                h.masks[i] = file.u32(masksAt + 4 * static_cast<std::size_t>(i));
        }
    } else {
        return false;
    }
    if (h.paletteCount == 0) {
        if (h.bitCount == 1)
            h.paletteCount = 2;
        else if (h.bitCount == 4)
            h.paletteCount = 16;
        else if (h.bitCount == 8)
            h.paletteCount = 256;
    }
    h.paletteCount %= 65536;
    return true;
}

// Uncompressed rows of 1, 4 or 8 bits through the palette.
void convertIndexedRow(const std::uint8_t* src, std::uint8_t* dst, std::int64_t width, unsigned bitCount,
                       const Palette& palette)
{
    if (bitCount == 8) {
        for (std::int64_t x = 0; x < width; ++x) {
            std::memcpy(dst, palette[src[x]].data(), 3);
            dst += 3;
        }
        return;
    }
    const unsigned perByte = 8 / bitCount;
    const unsigned mask = (1u << bitCount) - 1;
    for (std::int64_t x = 0; x < width; ++x) {
        const unsigned byte = src[x / perByte];
        const unsigned slot = static_cast<unsigned>(x % perByte);
        const unsigned index = (byte >> (8 - bitCount * (slot + 1))) & mask;
        std::memcpy(dst, palette[index].data(), 3);
        dst += 3;
    }
}

void convertBgrRow(const std::uint8_t* src, std::uint8_t* dst, std::int64_t width, unsigned step)
{
    for (std::int64_t x = 0; x < width; ++x) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
        src += step;
        dst += 3;
    }
}

struct BitFields {
    std::uint32_t masks[3];
    Channel red, green, blue;
    explicit BitFields(const std::uint32_t (&m)[3]) : masks{m[0], m[1], m[2]}, red(m[0]), green(m[1]), blue(m[2]) {}
};

void convertBitFieldRow(const std::uint8_t* src, std::uint8_t* dst, std::int64_t width, unsigned bitCount,
                        const BitFields& f)
{
    for (std::int64_t x = 0; x < width; ++x) {
        std::uint32_t pixel;
        if (bitCount == 16) {
            pixel = static_cast<std::uint32_t>(src[0] | src[1] << 8);
            src += 2;
        } else {
            pixel = static_cast<std::uint32_t>(src[0]) | static_cast<std::uint32_t>(src[1]) << 8 |
                    static_cast<std::uint32_t>(src[2]) << 16 | static_cast<std::uint32_t>(src[3]) << 24;
            src += 4;
        }
        dst[0] = f.red(pixel, f.masks[0]);
        dst[1] = f.green(pixel, f.masks[1]);
        dst[2] = f.blue(pixel, f.masks[2]);
        dst += 3;
    }
}

// RLE8 and RLE4 streams. Pixels the stream never sets (skipped by a delta,
// an end of line or an early end of bitmap) stay black. A run or an absolute
// block that passes the end of its row is cut there; a delta or an end of
// line that passes the last row ends the image. A stream that ends without
// its end-of-bitmap mark ends the image where it stops.
void decodeRle(ByteReader stream, std::uint8_t* out, std::int64_t width, std::int64_t height, bool rle4,
               const Palette& palette)
{
    std::int64_t x = 0;
    std::int64_t y = 0;
    std::size_t pos = 0;
    auto put = [&](unsigned index) {
        if (x < width)
            std::memcpy(out + (y * width + x) * 3, palette[index].data(), 3);
        ++x;
    };
    while (y < height && stream.has(pos, 2)) {
        const unsigned count = stream.u8(pos);
        const unsigned value = stream.u8(pos + 1);
        pos += 2;
        if (count > 0) {
            const std::int64_t n = std::min<std::int64_t>(count, std::max<std::int64_t>(width - x, 0));
            for (std::int64_t i = 0; i < n; ++i)
                put(rle4 ? ((i & 1) ? value & 15u : value >> 4) : value);
            x += count - n;
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of bitmap
            return;
        } else if (value == 2) {  // delta
            if (!stream.has(pos, 2))
                return;
            x += stream.u8(pos);
            y += stream.u8(pos + 1);
            pos += 2;
        } else {  // absolute block of `value` pixels, padded to a 16-bit boundary
            const std::size_t bytes = rle4 ? (value + 1) / 2 : value;
            const std::size_t padded = (bytes + 1) & ~std::size_t{1};
            if (!stream.has(pos, bytes))
                return;
            for (unsigned i = 0; i < value && x < width; ++i) {
                const unsigned byte = stream.u8(pos + (rle4 ? i / 2 : i));
                put(rle4 ? ((i & 1) ? byte & 15u : byte >> 4) : byte);
            }
            pos += padded;
        }
    }
}

}  // namespace

std::optional<RgbImage> decodeDibImage(std::span<const std::uint8_t> bytes, DecodeFailure& failure)
{
    const ByteReader file(bytes);
    const bool hasFileHeader = file.has(0, 2) && file.u8(0) == 'B' && file.u8(1) == 'M';
    std::size_t infoAt = 0;
    std::uint64_t pixelOffset = 0;
    if (hasFileHeader) {
        if (!file.has(0, 14))
            return fail(failure, kDibUnknownFormat);
        pixelOffset = file.u32(10);
        infoAt = 14;
    }
    DibHeader h;
    if (!readHeader(file, infoAt, h))
        return fail(failure, kDibUnknownFormat);
    if (!hasFileHeader)
        pixelOffset = h.paletteOffset + std::uint64_t{h.paletteCount} * h.paletteEntrySize;

    if (h.width <= 0 || h.height == 0 || !supported(h))
        return fail(failure, kDibConversionError);
    const std::int64_t width = h.width;
    const std::int64_t height = h.height < 0 ? -h.height : h.height;
    if (pixelOffset > bytes.size())
        return fail(failure, kDibConversionError);
    const ByteReader data(bytes.subspan(static_cast<std::size_t>(pixelOffset)));

    std::uint64_t outBytes = 0;
    if (!checkedProduct({static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height), 3}, outBytes))
        return fail(failure, kDibOutOfMemory);
    const bool rle = h.compression == kBiRle8 || h.compression == kBiRle4;
    std::uint64_t rowBytes = 0;
    if (rle) {
        const std::uint64_t allowance =
            std::max(kRleMinimumPixelAllowance, kRlePixelsPerByte * data.size());
        if (outBytes / 3 > allowance)
            return fail(failure, kDibOutOfMemory);
    } else {
        rowBytes = (static_cast<std::uint64_t>(width) * h.bitCount + 31) / 32 * 4;
        std::uint64_t dataBytes = 0;
        if (!checkedProduct({rowBytes, static_cast<std::uint64_t>(height)}, dataBytes) || dataBytes > data.size())
            return fail(failure, kDibConversionError);
    }
    if (outBytes > kMaxImageBytes)
        return fail(failure, kDibOutOfMemory);

    Palette palette{};
    if (h.bitCount <= 8) {
        const std::uint32_t used = std::min<std::uint32_t>(h.paletteCount, 1u << h.bitCount);
        if (!file.has(h.paletteOffset, std::size_t{used} * h.paletteEntrySize))
            return fail(failure, kDibConversionError);
        for (std::uint32_t i = 0; i < used; ++i) {
            const std::size_t at = h.paletteOffset + i * h.paletteEntrySize;
            palette[i] = {file.u8(at + 2), file.u8(at + 1), file.u8(at)};
        }
    }

    RgbImage image;
    image.width = static_cast<std::int32_t>(width);
    image.height = static_cast<std::int32_t>(height);
    try {
        image.pixels = PixelBuffer(static_cast<std::size_t>(outBytes));
    } catch (const std::bad_alloc&) {
        return fail(failure, kDibOutOfMemory);
    }
    std::uint8_t* out = image.pixels.data();
    const std::size_t outRow = static_cast<std::size_t>(width) * 3;

    if (rle) {
        std::memset(out, 0, image.pixels.size());
        decodeRle(data, out, width, height, h.compression == kBiRle4, palette);
        return image;
    }

    const bool bitFields = h.compression == kBiBitfields || h.compression == kBiAlphaBitfields;
    std::uint32_t masks[3] = {h.masks[0], h.masks[1], h.masks[2]};
    if (h.bitCount == 16 && !bitFields) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    }
    // 32-bit pixels with the usual byte layout take the plain byte path.
    const bool plain32 = h.bitCount == 32 &&
                         (!bitFields || (masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF));
    const BitFields fields(masks);

    const bool topDown = h.height < 0;
    for (std::int64_t row = 0; row < height; ++row) {
        const std::uint8_t* src = data.at(static_cast<std::size_t>(row * static_cast<std::int64_t>(rowBytes)));
        // Top-down files are turned so that every image starts with its bottom row.
        std::uint8_t* dst = out + static_cast<std::size_t>(topDown ? height - 1 - row : row) * outRow;
        if (h.bitCount <= 8)
            convertIndexedRow(src, dst, width, h.bitCount, palette);
        else if (h.bitCount == 24)
            convertBgrRow(src, dst, width, 3);
        else if (plain32)
            convertBgrRow(src, dst, width, 4);
        else
            convertBitFieldRow(src, dst, width, h.bitCount, fields);
    }
    return image;
}
