#pragma once
// Textures: BMP and TGA files into OpenGL 2D textures with a GLU-built
// mipmap chain. The decoders themselves (no GL) are in assets/image.h.
//
// All of these need the game's GL context current and leave the new texture
// bound to GL_TEXTURE_2D. Textures are never freed: they live as long as the
// game. Only the two filters are set (BMP linear, TGA nearest, neither a
// mipmap filter); wrapping stays at GL's repeat.
//
// Every load answers with the texture and what it met (assets/load_report.h),
// for the caller to show. A name that is neither a BMP nor a TGA by the
// game's rule (imageFormatOf) gives texture 0 silently; so does a missing
// BMP; a BMP that cannot be read or decoded gives texture 0 and its "Error"
// message. A TGA that cannot be read (missing, cut short, a depth other than
// 16, 24 or 32) is one the game cannot run without: texture 0 and a fatal
// report, with "error laoding tga" (no message for an unsupported depth).

#include "assets/load_report.h"

#include <cstdint>

// An OpenGL texture name; 0 means no texture.
using TextureId = std::uint32_t;

struct TextureLoad {
    TextureId id = 0;  // 0: no texture
    LoadReport report;
};

// Picks the loader by the name's extension. A null name gives texture 0.
TextureLoad loadTexture(const char* fileName);
// R G B texture, linear filters. Sets GL_UNPACK_ALIGNMENT to 1 and leaves it so.
TextureLoad loadBmpTexture(const char* fileName);
// R G B (A) texture with as many components as the file has, nearest filters.
TextureLoad loadTgaTexture(const char* fileName);
