// The game's image loaders: the file's bytes into the decoders, and the
// error boxes the game shows when they fail.

#include "assets/image.h"

#include "app/error_box.h"

#include <sys/stat.h>

#include <cstdio>
#include <vector>

namespace {

// The whole file, or false when it cannot be opened or read.
bool readWholeFile(const char* fileName, std::vector<std::uint8_t>& bytes)
{
    std::FILE* file = std::fopen(localFileName(fileName).c_str(), "rb");
    if (file == nullptr)
        return false;
    // A folder opens like a file here but has no bytes to give.
    struct stat info {};
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        std::fclose(file);
        return false;
    }
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(file) : -1;
    ok = ok && size >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        bytes.resize(static_cast<std::size_t>(size));
        ok = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    }
    std::fclose(file);
    return ok;
}

}  // namespace

PixelBuffer::PixelBuffer(std::size_t size)
    : bytes_(std::make_unique_for_overwrite<std::uint8_t[]>(size)), size_(size)
{
}

std::string localFileName(const char* fileName)
{
    std::string name = fileName;
    for (char& c : name) {
        if (c == '\\')
            c = '/';
    }
    return name;
}

std::optional<RgbImage> loadDibImage(const char* fileName)
{
    std::vector<std::uint8_t> bytes;
    if (!readWholeFile(fileName, bytes)) {
        showCaptionedErrorBox(kDibErrorCaption, "Failed to open DIB file %s.\n", fileName);
        return std::nullopt;
    }
    DecodeFailure failure;
    std::optional<RgbImage> image = decodeDibImage(bytes, failure);
    if (!image)
        showCaptionedErrorBox(kDibErrorCaption, "%s", failure.reason.c_str());
    return image;
}

std::optional<TgaImage> loadTgaImage(const char* fileName)
{
    std::vector<std::uint8_t> bytes;
    if (!readWholeFile(fileName, bytes)) {
        showErrorBox("%s", kTgaLoadError);
        return std::nullopt;
    }
    DecodeFailure failure;
    std::optional<TgaImage> image = decodeTgaImage(bytes, failure);
    if (!image && !failure.quiet)
        showErrorBox("%s", kTgaLoadError);
    return image;
}
