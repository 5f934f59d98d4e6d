#pragma once
// Writing a picture to a PNG file with libpng, for the tools that make
// pictures (screenshots, icons). Deflate at its default level, no
// timestamps: the same pixels always give the same bytes.

#include <cstdint>
#include <string>

// Writes width x height 8-bit pixels of channels 3 (RGB) or 4 (RGBA), tightly
// packed, rows top first, or bottom first (as glReadPixels gives them) when
// bottomUp. False, with error saying why, when the file cannot be written.
bool writePngFile(const std::string& path, int width, int height, int channels, const std::uint8_t* pixels,
                  bool bottomUp, std::string& error);
