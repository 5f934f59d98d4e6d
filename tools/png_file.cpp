#include "tools/png_file.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// The libpng part alone: an encoding error longjmps back into this frame, so
// it holds no C++ objects whose state a longjmp could leave half made.
bool encodePng(std::FILE* file, int width, int height, int channels, const std::uint8_t* pixels, bool bottomUp)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::size_t stride = static_cast<std::size_t>(width) * static_cast<std::size_t>(channels);
    for (int i = 0; i < height; ++i) {
        const int row = bottomUp ? height - 1 - i : i;
        png_write_row(png, pixels + static_cast<std::size_t>(row) * stride);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool writePngFile(const std::string& path, int width, int height, int channels, const std::uint8_t* pixels,
                  bool bottomUp, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!encodePng(file, width, height, channels, pixels, bottomUp)) {
        std::fclose(file);
        error = "cannot encode " + path;
        return false;
    }
    if (std::fclose(file) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}
