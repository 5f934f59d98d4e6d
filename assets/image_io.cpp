// The game's image loaders: the file's bytes into the decoders, and the
// messages the game shows when they fail. Which files are images.

#include "assets/image.h"

#include "assets/data_file.h"

#include <cstring>
#include <string_view>

PixelBuffer::PixelBuffer(std::size_t size)
    : bytes_(std::make_unique_for_overwrite<std::uint8_t[]>(size)), size_(size)
{
}

ImageFormat imageFormatOf(const char* fileName)
{
    // Only the text after the first '.' counts, and only in these two cases:
    // "a.b.bmp" and "x.Bmp" are not textures.
    const char* dot = std::strchr(fileName, '.');
    if (dot == nullptr)
        return ImageFormat::None;
    const std::string_view extension = dot + 1;
    if (extension == "bmp" || extension == "BMP")
        return ImageFormat::Bmp;
    if (extension == "tga" || extension == "TGA")
        return ImageFormat::Tga;
    return ImageFormat::None;
}

std::optional<RgbImage> loadDibImage(const char* fileName, LoadReport& report)
{
    std::string reason;
    const std::optional<std::vector<std::uint8_t>> bytes = readDataFile(fileName, &reason);
    if (!bytes) {
        report.note(fileName, reason);
        report.add(kDibErrorCaption, std::string("Failed to open DIB file ") + fileName + ".\n");
        return std::nullopt;
    }
    DecodeFailure failure;
    std::optional<RgbImage> image = decodeDibImage(*bytes, failure);
    if (!image)
        report.add(kDibErrorCaption, failure.reason);
    return image;
}

std::optional<TgaImage> loadTgaImage(const char* fileName, LoadReport& report)
{
    std::string reason;
    const std::optional<std::vector<std::uint8_t>> bytes = readDataFile(fileName, &reason);
    if (!bytes) {
        report.note(fileName, reason);
        report.add("", kTgaLoadError);
        return std::nullopt;
    }
    DecodeFailure failure;
    std::optional<TgaImage> image = decodeTgaImage(*bytes, failure);
    // The original ends the start without a box for some files; standard
    // error at least says which file and why.
    if (!image && failure.quiet)
        report.note(fileName, failure.reason);
    if (!image && !failure.quiet)
        report.add("", kTgaLoadError);
    return image;
}
