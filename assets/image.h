#pragma once
// Image decoders: BMP (DIB) and TGA files into packed pixel buffers, with no
// GL and no file system in the pure form, so tests, tools and fuzzers can
// feed them bytes directly.
//
// decodeDibImage always yields 24-bit R G B. It reads the 12-byte core header
// and the 40-byte info header (and the longer 52/56/108/124-byte forms, whose
// extra fields only matter for their colour masks); 1, 4 and 8 bits with a
// palette, RLE8 and RLE4, 16 bits as 5-5-5 or with bit-field masks, 24 bits,
// and 32 bits plain or with masks. Rows come out in the file's order, except
// that a top-down BMP (negative height) is turned so that the bottom row comes
// first like every other BMP.
//
// decodeTgaImage reads uncompressed and run-length encoded (image type 10)
// true-colour TGA files of 16, 24 or 32 bits per pixel. 16-bit pixels become
// R G B (each 5-bit channel times 8); 32-bit pixels keep their alpha. Rows
// stay in the file's order whatever the descriptor's origin bits say. A colour
// map that a true-colour file (image type 2 or 10) carries is skipped unread.
//
// Every count and offset is checked against the bytes present before anything
// is read or allocated, and the output is never larger than the file can
// justify (uncompressed data must be present in full; an RLE stream cannot
// produce more than a fixed number of pixels per byte). Run-length data that
// would run past the image stops at the last pixel. Decoding is linear in the
// image's size; the cost is one pass over the output.

#include "assets/load_report.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

// An owned byte buffer whose contents are written by the decoder (no
// zero-filling of 48 MB before overwriting it).
class PixelBuffer {
public:
    PixelBuffer() = default;
    explicit PixelBuffer(std::size_t size);
    std::uint8_t* data() { return bytes_.get(); }
    const std::uint8_t* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }
    std::span<const std::uint8_t> bytes() const { return {bytes_.get(), size_}; }

private:
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::size_t size_ = 0;
};

// A decoded BMP: R G B per pixel, rows packed with no padding, bottom row first.
struct RgbImage {
    std::int32_t width = 0;   // pixels
    std::int32_t height = 0;  // pixels, always positive (a top-down file has been turned)
    PixelBuffer pixels;       // width * height * 3 bytes
};

// A decoded TGA: R G B or R G B A per pixel, rows packed, in the file's order.
struct TgaImage {
    std::int32_t bytesPerPixel = 0;  // 3 or 4
    std::int32_t width = 0;          // pixels
    std::int32_t height = 0;         // pixels
    PixelBuffer pixels;              // width * height * bytesPerPixel bytes
};

// Why a decoder yielded no image.
struct DecodeFailure {
    std::string reason;  // for BMP the exact text of the game's error box
    bool quiet = false;  // the game shows no box for it (a TGA of a depth it cannot read)
};

// The BMP decoder's error texts, as the game shows them.
inline constexpr const char* kDibUnknownFormat = "Unknown DIB file format.";
inline constexpr const char* kDibConversionError = "Image file conversion error.";
inline constexpr const char* kDibOutOfMemory = "Out of memory.";
inline constexpr const char* kDibErrorCaption = "Error";
// What the game shows for every TGA it cannot read.
inline constexpr const char* kTgaLoadError = "error laoding tga";

// Pure decoders over the bytes of a whole file. On failure: no image, and
// failure says why.
std::optional<RgbImage> decodeDibImage(std::span<const std::uint8_t> file, DecodeFailure& failure);
std::optional<TgaImage> decodeTgaImage(std::span<const std::uint8_t> file, DecodeFailure& failure);

// The game's loaders: read the file (a '\' in the name is taken as '/'),
// decode it, and on failure add the message the game shows for it to report:
// loadDibImage one captioned "Error" with the decoder's reason (or "Failed to
// open DIB file ..."), loadTgaImage "error laoding tga" in the game's own box
// (none for an unsupported depth).
std::optional<RgbImage> loadDibImage(const char* fileName, LoadReport& report);
std::optional<TgaImage> loadTgaImage(const char* fileName, LoadReport& report);

// Which decoder the game uses for a file name: only the text after the first
// '.' counts, and only exactly "bmp", "BMP", "tga" or "TGA".
enum class ImageFormat { None, Bmp, Tga };
ImageFormat imageFormatOf(const char* fileName);
