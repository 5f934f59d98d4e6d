// The game's image loaders: the file's bytes into the decoders, and the
// error boxes the game shows when they fail.

#include "assets/image.h"

#include "app/error_box.h"
#include "assets/data_file.h"

PixelBuffer::PixelBuffer(std::size_t size)
    : bytes_(std::make_unique_for_overwrite<std::uint8_t[]>(size)), size_(size)
{
}

std::optional<RgbImage> loadDibImage(const char* fileName)
{
    const std::optional<std::vector<std::uint8_t>> bytes = readDataFile(fileName);
    if (!bytes) {
        showCaptionedErrorBox(kDibErrorCaption, "Failed to open DIB file %s.\n", fileName);
        return std::nullopt;
    }
    DecodeFailure failure;
    std::optional<RgbImage> image = decodeDibImage(*bytes, failure);
    if (!image)
        showCaptionedErrorBox(kDibErrorCaption, "%s", failure.reason.c_str());
    return image;
}

std::optional<TgaImage> loadTgaImage(const char* fileName)
{
    const std::optional<std::vector<std::uint8_t>> bytes = readDataFile(fileName);
    if (!bytes) {
        showErrorBox("%s", kTgaLoadError);
        return std::nullopt;
    }
    DecodeFailure failure;
    std::optional<TgaImage> image = decodeTgaImage(*bytes, failure);
    if (!image && !failure.quiet)
        showErrorBox("%s", kTgaLoadError);
    return image;
}
