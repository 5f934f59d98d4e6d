#pragma once
// An RGBA picture and its BMP and TGA encodings.
//
// Row 0 of an Image is the bottom row of the picture, as in OpenGL textures,
// so pixel (x, y) with y up maps straight to texture coordinates
// ((x + 0.5) / width, (y + 0.5) / height).
//
// BMP: 24 bits per pixel, 14-byte file header and 40-byte info header, rows
// stored bottom-up and padded to 4 bytes; alpha is dropped.
// TGA: 32 bits per pixel with alpha, uncompressed (type 2) or run-length
// encoded (type 10), origin at the bottom left.

#include <cstdint>
#include <vector>

namespace datagen {

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<Rgba> pixels;  // width * height, bottom row first

    Image(int w, int h);
    Rgba& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)]; }
    const Rgba& at(int x, int y) const
    {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
};

std::vector<std::uint8_t> writeBmp24(const Image& image);
std::vector<std::uint8_t> writeTga32(const Image& image, bool runLength = false);

// Colour helpers working in 0..1 floats.
struct Colour {
    float r = 0.0f, g = 0.0f, b = 0.0f, a = 1.0f;
};
Colour mix(Colour a, Colour b, float t);
Rgba toRgba(Colour c);  // clamped and rounded
Colour toColour(Rgba c);

}  // namespace datagen
