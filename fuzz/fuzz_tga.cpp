// libFuzzer target: the TGA decoder on arbitrary bytes. Beyond "no crash",
// a decoded image must be exactly as large as its size says.

#include "assets/image.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    DecodeFailure failure;
    const std::optional<TgaImage> image = decodeTgaImage({data, size}, failure);
    if (image) {
        if ((image->bytesPerPixel != 3 && image->bytesPerPixel != 4) || image->width <= 0 || image->height <= 0 ||
            image->pixels.size() !=
                std::size_t(image->width) * std::size_t(image->height) * std::size_t(image->bytesPerPixel))
            std::abort();
    } else if (failure.reason.empty()) {
        std::abort();
    }
    return 0;
}
