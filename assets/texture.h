#pragma once
// Textures: BMP and TGA files into OpenGL 2D textures with a GLU-built
// mipmap chain. The decoders themselves (no GL) are in assets/image.h.
//
// All of these need the game's GL context current and leave the new texture
// bound to GL_TEXTURE_2D. Textures are never freed: they live as long as the
// game. Only the two filters are set (BMP linear, TGA nearest, neither a
// mipmap filter); wrapping stays at GL's repeat.
//
// Failures: a name whose extension (everything after its first '.') is not
// exactly "bmp", "BMP", "tga" or "TGA" gives 0 silently; so does a missing
// BMP; a BMP that cannot be decoded shows its "Error" box and gives 0. A TGA
// that cannot be read (missing, cut short, a depth other than 16, 24 or 32)
// is one the game cannot run without: loadTgaTexture says so with an empty
// result, after "error laoding tga" (no box for an unsupported depth).

#include <cstdint>
#include <optional>

// An OpenGL texture name; 0 means no texture.
using TextureId = std::uint32_t;

// Picks the loader by the name's extension. unreadableTga, when given, is set
// to true when the name is a TGA that could not be read (the caller should
// end the game) and left alone otherwise.
TextureId loadTexture(const char* fileName, bool* unreadableTga = nullptr);

// R G B texture, linear filters. Sets GL_UNPACK_ALIGNMENT to 1 and leaves it so.
// 0 when the name is null, the file is missing or it cannot be decoded.
TextureId loadBmpTexture(const char* fileName);

// R G B (A) texture with as many components as the file has, nearest filters.
// 0 for a null name; empty when the file cannot be read.
std::optional<TextureId> loadTgaTexture(const char* fileName);
