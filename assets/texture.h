#pragma once
// Textures: BMP and TGA files into OpenGL texture objects.

#include <cstdint>

// An OpenGL texture name; 0 means no texture.
using TextureId = std::uint32_t;

// Loads a texture chosen by the file name's extension. Needs a current GL
// context. Textures are never freed: they live as long as the game.
TextureId loadTexture(const char* fileName);
