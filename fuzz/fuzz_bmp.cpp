// libFuzzer target: the BMP decoder on arbitrary bytes. Beyond "no crash",
// a decoded image must be exactly as large as its size says.

#include "assets/image.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    DecodeFailure failure;
    const std::optional<RgbImage> image = decodeDibImage({data, size}, failure);
    if (image) {
        if (image->width <= 0 || image->height <= 0 ||
            image->pixels.size() != std::size_t(image->width) * std::size_t(image->height) * 3)
            std::abort();
        // Touch every byte so uninitialised output shows up under MSan-like tools.
        unsigned sum = 0;
        for (const std::uint8_t b : image->pixels.bytes())
            sum += b;
        if (sum == 0xFFFFFFFFu)
            std::abort();
    } else if (failure.reason.empty()) {
        std::abort();
    }
    return 0;
}
