#include "tools/datagen/image.h"

#include "tools/datagen/byte_writer.h"

#include <cassert>
#include <cmath>

namespace datagen {

Image::Image(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h))
{
    assert(w > 0 && h > 0 && w <= 0xFFFF && h <= 0xFFFF && "image size out of range");
}

std::vector<std::uint8_t> writeBmp24(const Image& image)
{
    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(image.width) * 3u + 3u) & ~3u;
    const std::uint32_t pixelBytes = rowBytes * static_cast<std::uint32_t>(image.height);
    const std::uint32_t headerBytes = 14 + 40;
    ByteWriter out;
    out.bytes("BM");
    out.u32(headerBytes + pixelBytes);
    out.u32(0);  // reserved
    out.u32(headerBytes);
    out.u32(40);
    out.i32(image.width);
    out.i32(image.height);  // positive: bottom-up
    out.u16(1);             // planes
    out.u16(24);
    out.u32(0);  // no compression
    out.u32(pixelBytes);
    out.i32(2835);  // 72 dpi
    out.i32(2835);
    out.u32(0);  // colours used
    out.u32(0);  // important colours
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const Rgba p = image.at(x, y);
            out.u8(p.b);
            out.u8(p.g);
            out.u8(p.r);
        }
        for (std::uint32_t pad = static_cast<std::uint32_t>(image.width) * 3u; pad < rowBytes; ++pad)
            out.u8(0);
    }
    return out.data();
}

namespace {

bool samePixel(const Rgba& a, const Rgba& b) { return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a; }

void writeTgaPixel(ByteWriter& out, const Rgba& p)
{
    out.u8(p.b);
    out.u8(p.g);
    out.u8(p.r);
    out.u8(p.a);
}

}  // namespace

std::vector<std::uint8_t> writeTga32(const Image& image, bool runLength)
{
    ByteWriter out;
    out.u8(0);                          // no ID field
    out.u8(0);                          // no colour map
    out.u8(runLength ? 10 : 2);         // true colour
    for (int i = 0; i < 5; ++i)
        out.u8(0);                      // colour-map fields: no colour map
    out.u16(0);                         // x origin
    out.u16(0);                         // y origin
    out.u16(static_cast<std::uint16_t>(image.width));
    out.u16(static_cast<std::uint16_t>(image.height));
    out.u8(32);
    out.u8(8);  // 8 alpha bits, origin bottom left
    if (!runLength) {
        for (const Rgba& p : image.pixels)
            writeTgaPixel(out, p);
        return out.data();
    }
    // Packets never cross a row: readers that decode row by row rely on it.
    for (int y = 0; y < image.height; ++y) {
        int x = 0;
        while (x < image.width) {
            int run = 1;
            while (x + run < image.width && run < 128 && samePixel(image.at(x + run, y), image.at(x, y)))
                ++run;
            if (run > 1) {
                out.u8(static_cast<std::uint8_t>(127 + run));
                writeTgaPixel(out, image.at(x, y));
                x += run;
                continue;
            }
            // A raw packet up to the next pair of equal pixels.
            int raw = 1;
            while (x + raw < image.width && raw < 128 &&
                   !(x + raw + 1 < image.width && samePixel(image.at(x + raw, y), image.at(x + raw + 1, y))))
                ++raw;
            out.u8(static_cast<std::uint8_t>(raw - 1));
            for (int i = 0; i < raw; ++i)
                writeTgaPixel(out, image.at(x + i, y));
            x += raw;
        }
    }
    return out.data();
}

Colour mix(Colour a, Colour b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

namespace {
std::uint8_t toByte(float v)
{
    const float c = v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
    return static_cast<std::uint8_t>(std::lround(c * 255.0f));
}
}  // namespace

Rgba toRgba(Colour c) { return {toByte(c.r), toByte(c.g), toByte(c.b), toByte(c.a)}; }
Colour toColour(Rgba c) { return {c.r / 255.0f, c.g / 255.0f, c.b / 255.0f, c.a / 255.0f}; }

}  // namespace datagen
