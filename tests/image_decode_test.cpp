// The BMP and TGA decoders: files written by ImageMagick in each variant
// decode to exactly the pixels ImageMagick reads back, and hand-made files
// probe the edges (padding, RLE streams, damaged and hostile headers).

#include "assets/image.h"

#include "tests/image_test_support.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kWidth = 37;  // odd, so 24-bit rows carry padding
constexpr int kHeight = 23;

// A picture with smooth gradients and hard edges, in a PPM ImageMagick reads.
void writeSource(const std::string& path)
{
    std::string ppm = "P6\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n255\n";
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const bool block = (x / 6 + y / 5) % 3 == 0;
            ppm.push_back(static_cast<char>(block ? 250 : x * 7));
            ppm.push_back(static_cast<char>(y * 11));
            ppm.push_back(static_cast<char>(block ? 3 : (x * y) & 255));
        }
    }
    std::ofstream(path, std::ios::binary) << ppm;
}

std::optional<RgbImage> decodeDib(const Bytes& bytes, std::string* reason = nullptr)
{
    DecodeFailure failure;
    std::optional<RgbImage> image = decodeDibImage(bytes, failure);
    if (reason != nullptr)
        *reason = failure.reason;
    return image;
}

std::optional<TgaImage> decodeTga(const Bytes& bytes, DecodeFailure* failureOut = nullptr)
{
    DecodeFailure failure;
    std::optional<TgaImage> image = decodeTgaImage(bytes, failure);
    if (failureOut != nullptr)
        *failureOut = failure;
    return image;
}

Bytes pixelsOf(const PixelBuffer& buffer) { return Bytes(buffer.bytes().begin(), buffer.bytes().end()); }

struct BmpVariant {
    const char* name;
    const char* convertArgs;     // between the source and the output
    unsigned headerSize;         // what ImageMagick must have written, so the case covers what it claims
    unsigned bitCount;
    unsigned compression;
};

const BmpVariant kBmpVariants[] = {
    {"24-bit, 40-byte header", "-type truecolor BMP3:", 40, 24, 0},
    {"24-bit, 124-byte header", "-type truecolor -define bmp:format=bmp4 BMP:", 124, 24, 0},
    {"8-bit palette", "-colors 200 -type palette -compress None BMP3:", 40, 8, 0},
    {"4-bit palette", "-colors 16 -type palette -compress None BMP3:", 40, 4, 0},
    {"1-bit palette", "-colors 2 -type palette -compress None BMP3:", 40, 1, 0},
    {"RLE8", "-colors 200 -type palette -compress RLE BMP3:", 40, 8, 1},
    {"RLE8 of few colours", "-colors 5 -type palette -compress RLE BMP3:", 40, 8, 1},
    {"16-bit 5-5-5 masks in a 124-byte header", "-define bmp:subtype=RGB555 BMP:", 124, 16, 3},
    {"16-bit 5-6-5 masks in a 124-byte header", "-define bmp:subtype=RGB565 BMP:", 124, 16, 3},
    {"32-bit plain", "-alpha set -define bmp3:alpha=true BMP3:", 40, 32, 0},
    {"32-bit masks in a 124-byte header", "-alpha set BMP:", 124, 32, 3},
    {"24-bit, 12-byte header", "-type truecolor BMP2:", 12, 24, 0},
    {"8-bit palette, 12-byte header", "-colors 200 -type palette BMP2:", 12, 8, 0},
    {"4-bit palette, 12-byte header", "-colors 16 -type palette BMP2:", 12, 4, 0},
};

struct HeaderFields {
    unsigned headerSize, bitCount, compression;
};

HeaderFields fieldsOf(const Bytes& file)
{
    const unsigned size = file[14] | file[15] << 8;
    if (size == 12)
        return {size, static_cast<unsigned>(file[24] | file[25] << 8), 0};
    return {size, static_cast<unsigned>(file[28] | file[29] << 8), file[30]};
}

void expectMatchesImageMagick(const std::string& path, const Bytes& file)
{
    const std::optional<RgbImage> image = decodeDib(file);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->width, kWidth);
    EXPECT_EQ(image->height, kHeight);
    // ImageMagick gives the top row first; our rows start at the bottom.
    const Bytes reference = flipRows(imageMagickPixels(path), kWidth * 3);
    ASSERT_EQ(reference.size(), image->pixels.size());
    EXPECT_TRUE(pixelsOf(image->pixels) == reference);
}

class ImageMagickFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        source = dir.file("source.ppm");
        writeSource(source);
    }
    std::string convert(const std::string& args, const std::string& name)
    {
        const std::string out = dir.file(name);
        EXPECT_TRUE(runCommand("convert '" + source + "' " + args + "'" + out + "'")) << args;
        return out;
    }
    ScratchDir dir;
    std::string source;
};

TEST_F(ImageMagickFiles, EveryBmpVariantDecodesToImageMagicksPixels)
{
    int n = 0;
    for (const BmpVariant& v : kBmpVariants) {
        SCOPED_TRACE(v.name);
        const std::string path = convert(v.convertArgs, "v" + std::to_string(n++) + ".bmp");
        const Bytes file = readBytes(path);
        ASSERT_GT(file.size(), 30u);
        const HeaderFields fields = fieldsOf(file);
        EXPECT_EQ(fields.headerSize, v.headerSize);
        EXPECT_EQ(fields.bitCount, v.bitCount);
        EXPECT_EQ(fields.compression, v.compression);
        expectMatchesImageMagick(path, file);
    }
}

// Variants ImageMagick does not write, made by editing files it did write.
TEST_F(ImageMagickFiles, EditedBmpVariantsDecodeLikeTheirOriginals)
{
    {
        SCOPED_TRACE("top-down rows come out bottom row first");
        const std::string path = convert("-type truecolor BMP3:", "up.bmp");
        const Bytes file = readBytes(path);
        const std::size_t offset = file[10];
        const std::size_t rowBytes = (kWidth * 3 + 3) / 4 * 4;
        Bytes down(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(offset));
        set32(down, 22, static_cast<std::uint32_t>(-kHeight));
        const Bytes rows(file.begin() + static_cast<std::ptrdiff_t>(offset),
                         file.begin() + static_cast<std::ptrdiff_t>(offset + rowBytes * kHeight));
        const Bytes flipped = flipRows(rows, rowBytes);
        down.insert(down.end(), flipped.begin(), flipped.end());
        expectMatchesImageMagick(path, down);
    }
    {
        SCOPED_TRACE("a bare DIB: no file header, pixels right after the palette");
        const std::string path = convert("-colors 16 -type palette -compress None BMP3:", "bare.bmp");
        const Bytes file = readBytes(path);
        ASSERT_EQ(file[10], 14 + 40 + 16 * 4);
        expectMatchesImageMagick(path, Bytes(file.begin() + 14, file.end()));
    }
    // ImageMagick's own 40-byte bit-field files leave the masks out, so these
    // are made from its 124-byte ones: masks after a 40-byte header, and
    // 16-bit 5-5-5 with no masks at all.
    for (const char* subtype : {"RGB565", "RGB555"}) {
        SCOPED_TRACE(subtype);
        const std::string path = convert(std::string("-define bmp:subtype=") + subtype + " BMP:", "v5.bmp");
        const Bytes v5 = readBytes(path);
        ASSERT_EQ(fieldsOf(v5).headerSize, 124u);
        const std::size_t offset = v5[10] | v5[11] << 8;
        Bytes v3(v5.begin(), v5.begin() + 14 + 40);
        set32(v3, 14, 40);
        v3.insert(v3.end(), v5.begin() + 14 + 40, v5.begin() + 14 + 52);  // the three masks
        set32(v3, 10, static_cast<std::uint32_t>(v3.size()));
        v3.insert(v3.end(), v5.begin() + static_cast<std::ptrdiff_t>(offset), v5.end());
        expectMatchesImageMagick(path, v3);

        if (std::strcmp(subtype, "RGB555") == 0) {
            Bytes plain(v3.begin(), v3.begin() + 14 + 40);
            set32(plain, 30, 0);
            set32(plain, 10, 14 + 40);
            plain.insert(plain.end(), v3.begin() + 14 + 52, v3.end());
            expectMatchesImageMagick(path, plain);
        }
    }
}

TEST_F(ImageMagickFiles, TgaVariantsDecodeToImageMagicksPixelsInFileRowOrder)
{
    struct Variant {
        const char* name;
        const char* args;
        unsigned type, bits;
    };
    const Variant variants[] = {
        {"24-bit", "TGA:", 2, 24},
        {"24-bit RLE", "-compress RLE TGA:", 10, 24},
        {"32-bit", "-alpha set -channel A -fx 'i/w' +channel TGA:", 2, 32},
        {"32-bit RLE", "-alpha set -channel A -fx 'i/w' +channel -compress RLE TGA:", 10, 32},
        {"with an ID field", "-set comment turfwar TGA:", 2, 24},
        {"flipped", "-flip -compress RLE TGA:", 10, 24},
    };
    int n = 0;
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.name);
        const std::string path = convert(v.args, "t" + std::to_string(n++) + ".tga");
        const Bytes file = readBytes(path);
        ASSERT_GE(file.size(), 18u);
        EXPECT_EQ(file[2], v.type);
        EXPECT_EQ(file[16], v.bits);
        const std::optional<TgaImage> image = decodeTga(file);
        ASSERT_TRUE(image.has_value());
        const int bpp = static_cast<int>(v.bits / 8);
        EXPECT_EQ(image->bytesPerPixel, bpp);
        EXPECT_EQ(image->width, kWidth);
        EXPECT_EQ(image->height, kHeight);
        // ImageMagick, like us, keeps a TGA's rows in the file's order: it only
        // records the origin the descriptor gives.
        const Bytes reference = imageMagickPixels(path, bpp == 4 ? "rgba" : "rgb");
        EXPECT_TRUE(pixelsOf(image->pixels) == reference);
    }
}

// --- BMP edges on hand-made files ---

TEST(BmpEdges, NarrowRowsSkipTheirPaddingAndPackTheOutput)
{
    for (int width = 1; width <= 3; ++width) {
        SCOPED_TRACE(width);
        const int height = 2;
        Bytes file = bmpHeader(width, height, 24, 0, 0, 54);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                file.push_back(static_cast<std::uint8_t>(x));           // blue
                file.push_back(static_cast<std::uint8_t>(y));           // green
                file.push_back(static_cast<std::uint8_t>(100 + x + y));  // red
            }
            file.insert(file.end(), static_cast<std::size_t>(width % 4), 0xEE);  // padding
        }
        const std::optional<RgbImage> image = decodeDib(file);
        ASSERT_TRUE(image.has_value());
        ASSERT_EQ(image->pixels.size(), static_cast<std::size_t>(width * height * 3));
        const std::uint8_t* p = image->pixels.data();
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x, p += 3) {
                EXPECT_EQ(p[0], 100 + x + y);
                EXPECT_EQ(p[1], y);
                EXPECT_EQ(p[2], x);
            }
        }
    }
}

// A 4-bit palette where entry i is (i, 10 i, 20 i).
Bytes rleFile(int width, int height, unsigned bitCount, unsigned compression, const Bytes& stream)
{
    const unsigned entries = bitCount == 4 ? 16 : 256;
    Bytes file = bmpHeader(width, height, bitCount, compression, 0, 54 + entries * 4);
    for (unsigned i = 0; i < entries; ++i) {
        file.push_back(static_cast<std::uint8_t>(20 * i));
        file.push_back(static_cast<std::uint8_t>(10 * i));
        file.push_back(static_cast<std::uint8_t>(i));
        file.push_back(0);
    }
    file.insert(file.end(), stream.begin(), stream.end());
    return file;
}

// Palette indices of each decoded pixel (red is the index), -1 for black-unset.
std::vector<int> indices(const RgbImage& image)
{
    std::vector<int> out;
    const std::uint8_t* p = image.pixels.data();
    for (std::size_t i = 0; i < image.pixels.size(); i += 3)
        out.push_back(p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 0 ? -1 : p[i]);
    return out;
}

TEST(BmpEdges, Rle4RunsAbsoluteBlocksDeltasAndEnds)
{
    // 6 x 3. Row 0: run of 5 alternating 1,2 then absolute 3 pixels 3,4,5 cut at
    // the row end; row 1: delta right 2, up 0, run 2 of 7; end of line; row 2:
    // run of 9 of colour 6 cut at the row; end of bitmap; then junk never read.
    const Bytes stream = {0x05, 0x12, 0x00, 0x03, 0x34, 0x50, 0x00, 0x00, 0x00, 0x02, 0x02, 0x00,
                          0x02, 0x77, 0x00, 0x00, 0x09, 0x66, 0x00, 0x01, 0x05, 0x99};
    const std::optional<RgbImage> image = decodeDib(rleFile(6, 3, 4, 2, stream));
    ASSERT_TRUE(image.has_value());
    const std::vector<int> expected = {1, 2, 1, 2, 1, 3,      //
                                       -1, -1, 7, 7, -1, -1,  //
                                       6, 6, 6, 6, 6, 6};
    EXPECT_EQ(indices(*image), expected);
}

TEST(BmpEdges, RleStreamsThatOverrunOrStopEarlyStayInsideTheImage)
{
    {
        SCOPED_TRACE("run and delta past the image, no end mark");
        const Bytes stream = {0xFF, 0x04, 0x00, 0x02, 0x00, 0x09, 0x03, 0x05};
        const std::optional<RgbImage> image = decodeDib(rleFile(4, 2, 8, 1, stream));
        ASSERT_TRUE(image.has_value());
        EXPECT_EQ(indices(*image), (std::vector<int>{4, 4, 4, 4, -1, -1, -1, -1}));
    }
    {
        SCOPED_TRACE("absolute block cut off by the end of the file");
        const Bytes stream = {0x01, 0x02, 0x00, 0x06, 0x03, 0x03};
        const std::optional<RgbImage> image = decodeDib(rleFile(4, 1, 8, 1, stream));
        ASSERT_TRUE(image.has_value());
        EXPECT_EQ(indices(*image), (std::vector<int>{2, -1, -1, -1}));
    }
    {
        SCOPED_TRACE("more end-of-lines than rows");
        const Bytes stream = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x05};
        const std::optional<RgbImage> image = decodeDib(rleFile(2, 2, 8, 1, stream));
        ASSERT_TRUE(image.has_value());
        EXPECT_EQ(indices(*image), (std::vector<int>{-1, -1, -1, -1}));
    }
}

TEST(BmpEdges, PaletteIndicesPastThePaletteAreBlack)
{
    // Two colours used, but the pixel bytes name entries 1, 2 and 255.
    Bytes file = bmpHeader(3, 1, 8, 0, 2, 54 + 8);
    file.insert(file.end(), {9, 9, 9, 0, 30, 20, 10, 0});
    file.insert(file.end(), {1, 2, 255, 0});
    const std::optional<RgbImage> image = decodeDib(file);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(pixelsOf(image->pixels), (Bytes{10, 20, 30, 0, 0, 0, 0, 0, 0}));
}

TEST(BmpEdges, BitFieldMasksOfAnyWidthGiveEightBits)
{
    // 32-bit 10-10-10: the top 8 bits of each channel.
    Bytes file = bmpHeader(1, 1, 32, 3, 0, 54 + 12);
    put32(file, 0x3FF00000);
    put32(file, 0x000FFC00);
    put32(file, 0x000003FF);
    put32(file, (0x3FFu << 20) | (0x200u << 10) | 0x003u);
    const std::optional<RgbImage> image = decodeDib(file);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(pixelsOf(image->pixels), (Bytes{255, 128, 0}));

    // 16-bit 5-5-5 widens by repeating bits: the largest value is 255.
    Bytes plain = bmpHeader(2, 1, 16, 0, 0, 54);
    put16(plain, 0x7FFF);
    put16(plain, (1u << 10) | (16u << 5) | 31u);
    const std::optional<RgbImage> wide = decodeDib(plain);
    ASSERT_TRUE(wide.has_value());
    EXPECT_EQ(pixelsOf(wide->pixels), (Bytes{255, 255, 255, 8, 132, 255}));
}

TEST(BmpEdges, DamagedAndHostileHeadersAreRejectedWithTheirMessage)
{
    struct Case {
        const char* name;
        Bytes file;
        const char* reason;
    };
    Bytes v2 = bmpHeader(1, 1, 24, 0, 0, 54);
    set32(v2, 14, 64);  // an OS/2 2.x header
    Bytes cut = bmpHeader(4, 4, 24, 0, 0, 54);
    cut.resize(54 + 16 * 3 - 1);
    Bytes zeroWidth = bmpHeader(0, 4, 24, 0, 0, 54);
    Bytes zeroHeight = bmpHeader(4, 0, 24, 0, 0, 54);
    Bytes jpeg = bmpHeader(4, 4, 24, 4, 0, 54);
    Bytes twoBit = bmpHeader(4, 4, 2, 0, 0, 54);
    Bytes topDownRle = rleFile(4, 4, 8, 1, {0, 1});
    set32(topDownRle, 22, static_cast<std::uint32_t>(-4));
    Bytes huge = bmpHeader(0x7FFFFFFF, 0x7FFFFFFF, 32, 0, 0, 54);
    huge.resize(200, 0);
    Bytes hugeRle = rleFile(60000, 60000, 8, 1, {0, 1});
    Bytes mostNegative = bmpHeader(4, INT32_MIN, 24, 0, 0, 54);
    Bytes offsetPastEnd = bmpHeader(1, 1, 24, 0, 0, 0xFFFFFFF0);
    offsetPastEnd.resize(60, 0);
    Bytes headerCut = bmpHeader(1, 1, 24, 0, 0, 54);
    headerCut.resize(51);
    Bytes paletteCut = bmpHeader(1, 1, 8, 0, 0, 54);
    paletteCut.resize(54 + 100, 0);
    const Case cases[] = {
        {"empty", {}, kDibUnknownFormat},
        {"file header only", Bytes{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0}, kDibUnknownFormat},
        {"info header cut short", headerCut, kDibUnknownFormat},
        {"64-byte header", v2, kDibUnknownFormat},
        {"pixel data cut short", cut, kDibConversionError},
        {"width 0", zeroWidth, kDibConversionError},
        {"height 0", zeroHeight, kDibConversionError},
        {"JPEG inside", jpeg, kDibConversionError},
        {"2 bits per pixel", twoBit, kDibConversionError},
        {"top-down RLE", topDownRle, kDibConversionError},
        {"sizes whose byte counts overflow", huge, kDibConversionError},
        {"a tiny RLE stream for a huge image", hugeRle, kDibOutOfMemory},
        {"the most negative height", mostNegative, kDibConversionError},
        {"pixel offset past the end", offsetPastEnd, kDibConversionError},
        {"palette cut short", paletteCut, kDibConversionError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string reason;
        EXPECT_FALSE(decodeDib(c.file, &reason).has_value());
        EXPECT_EQ(reason, c.reason);
    }
}

// --- TGA edges on hand-made files ---

TEST(TgaEdges, SixteenBitPixelsUseFiveBitsTimesEight)
{
    for (const unsigned type : {2u, 10u}) {
        SCOPED_TRACE(type);
        Bytes file = tgaHeader(type, 3, 1, 16);
        if (type == 10)
            file.push_back(0x02);  // a raw packet of 3
        put16(file, 0x7FFF);
        put16(file, 0x8000);
        put16(file, (3u << 10) | (17u << 5) | 30u);
        const std::optional<TgaImage> image = decodeTga(file);
        ASSERT_TRUE(image.has_value());
        EXPECT_EQ(image->bytesPerPixel, 3);
        EXPECT_EQ(pixelsOf(image->pixels), (Bytes{248, 248, 248, 0, 0, 0, 24, 136, 240}));
    }
}

TEST(TgaEdges, RlePacketLengthsAndOverrunsStopAtTheLastPixel)
{
    // 0x80 a run of 1, 0x00 one raw pixel, 0xFF a run of 128, 0x7F 128 raw
    // pixels: 258 pixels in a 258-pixel image.
    Bytes file = tgaHeader(10, 258, 1, 24);
    file.insert(file.end(), {0x80, 1, 2, 3, 0x00, 4, 5, 6, 0xFF, 7, 8, 9, 0x7F});
    for (int i = 0; i < 128; ++i)
        file.insert(file.end(), {static_cast<std::uint8_t>(i), 0, 0});
    std::optional<TgaImage> image = decodeTga(file);
    ASSERT_TRUE(image.has_value());
    const Bytes pixels = pixelsOf(image->pixels);
    EXPECT_EQ(Bytes(pixels.begin(), pixels.begin() + 9), (Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7}));
    EXPECT_EQ(Bytes(pixels.begin() + 3 * 129, pixels.begin() + 3 * 130), (Bytes{9, 8, 7}));
    EXPECT_EQ(Bytes(pixels.begin() + 3 * 130, pixels.begin() + 3 * 131), (Bytes{0, 0, 0}));
    EXPECT_EQ(Bytes(pixels.end() - 3, pixels.end()), (Bytes{0, 0, 127}));

    // A run and a raw packet both longer than the 3 pixels left.
    Bytes over = tgaHeader(10, 2, 2, 32);
    over.insert(over.end(), {0x80, 1, 2, 3, 4, 0xFF, 5, 6, 7, 8});
    image = decodeTga(over);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(pixelsOf(image->pixels), (Bytes{3, 2, 1, 4, 7, 6, 5, 8, 7, 6, 5, 8, 7, 6, 5, 8}));
    Bytes overRaw = tgaHeader(10, 2, 1, 24);
    overRaw.insert(overRaw.end(), {0x7F, 1, 2, 3, 4, 5, 6});  // claims 128, holds 2
    image = decodeTga(overRaw);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(pixelsOf(image->pixels), (Bytes{3, 2, 1, 6, 5, 4}));
}

// Declares a colour map in an 18-byte TGA header: its type, the index of its
// first entry, its number of entries and each entry's size in bits.
void declareColourMap(Bytes& header, unsigned mapType, unsigned firstEntry, unsigned entries, unsigned entryBits)
{
    header[1] = static_cast<std::uint8_t>(mapType);
    header[3] = static_cast<std::uint8_t>(firstEntry);
    header[4] = static_cast<std::uint8_t>(firstEntry >> 8);
    header[5] = static_cast<std::uint8_t>(entries);
    header[6] = static_cast<std::uint8_t>(entries >> 8);
    header[7] = static_cast<std::uint8_t>(entryBits);
}

TEST(TgaEdges, AColourMapInATrueColourFileIsSkippedBeforeThePixels)
{
    // Two 24-bit pixels, raw and as one RLE raw packet, after a 3-byte ID field.
    const Bytes id{'i', 'd', '!'};
    const Bytes raw{10, 20, 30, 40, 50, 60};
    const Bytes rle{0x01, 10, 20, 30, 40, 50, 60};
    const Bytes expected{30, 20, 10, 60, 50, 40};
    struct Map {
        unsigned entries, entryBits, bytes;  // bytes: what the entries take in the file
    };
    // 15-bit entries take two bytes each; the first entry's index does not
    // change how many are stored.
    const Map maps[] = {{5, 24, 15}, {3, 15, 6}, {2, 32, 8}, {1, 16, 2}, {0, 24, 0}, {4, 0, 0}};
    for (const unsigned type : {2u, 10u}) {
        for (const Map& m : maps) {
            SCOPED_TRACE(std::to_string(type) + ": " + std::to_string(m.entries) + " entries of " +
                         std::to_string(m.entryBits) + " bits");
            Bytes file = tgaHeader(type, 2, 1, 24, static_cast<unsigned>(id.size()));
            declareColourMap(file, 1, 7, m.entries, m.entryBits);
            file.insert(file.end(), id.begin(), id.end());
            for (unsigned i = 0; i < m.bytes; ++i)
                file.push_back(static_cast<std::uint8_t>(0xC0 + i));  // nothing like the pixels
            const Bytes& pixels = type == 10 ? rle : raw;
            file.insert(file.end(), pixels.begin(), pixels.end());
            const std::optional<TgaImage> image = decodeTga(file);
            ASSERT_TRUE(image.has_value());
            EXPECT_EQ(pixelsOf(image->pixels), expected);

            // The same file cut inside its map is refused like any short file.
            if (m.bytes > 0) {
                Bytes cut(file.begin(), file.begin() + 18 + static_cast<std::ptrdiff_t>(id.size() + m.bytes - 1));
                DecodeFailure failure;
                EXPECT_FALSE(decodeTga(cut, &failure).has_value());
                EXPECT_FALSE(failure.reason.empty());
                EXPECT_FALSE(failure.quiet);
            }
        }
    }

    // Without a map (type 0) the map fields are ignored, as ImageMagick
    // ignores them: the pixels start right after the ID field.
    Bytes noMap = tgaHeader(2, 2, 1, 24);
    declareColourMap(noMap, 0, 0, 5, 24);
    noMap.insert(noMap.end(), raw.begin(), raw.end());
    const std::optional<TgaImage> image = decodeTga(noMap);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(pixelsOf(image->pixels), expected);
}

TEST(TgaEdges, UnreadableFilesFailAndOnlyAnUnknownDepthIsQuiet)
{
    struct Case {
        const char* name;
        Bytes file;
        bool quiet;
    };
    Bytes rawCut = tgaHeader(2, 2, 2, 24);
    rawCut.resize(rawCut.size() + 11, 0);
    Bytes rleCut = tgaHeader(10, 4, 1, 24);
    rleCut.insert(rleCut.end(), {0x81, 1, 2, 3, 0x01, 4, 5, 6});
    Bytes rleHuge = tgaHeader(10, 65535, 65535, 32);
    rleHuge.insert(rleHuge.end(), {0xFF, 1, 2, 3, 4});
    Bytes idPastEnd = tgaHeader(2, 1, 1, 24, 200);
    idPastEnd.insert(idPastEnd.end(), {1, 2, 3});
    Bytes zeroWidth = tgaHeader(2, 0, 5, 24);
    Bytes zeroHeight = tgaHeader(10, 5, 0, 24);
    zeroHeight.insert(zeroHeight.end(), {0x80, 1, 2, 3});
    const Case cases[] = {
        {"shorter than a header", Bytes(10, 0), false},
        {"raw pixels cut short", rawCut, false},
        {"RLE packets cut short", rleCut, false},
        {"one RLE packet for a 65535 x 65535 image", rleHuge, false},
        {"ID field past the end", idPastEnd, false},
        {"width 0", zeroWidth, false},
        {"height 0", zeroHeight, false},
        {"8 bits per pixel", tgaHeader(2, 1, 1, 8), true},
        {"8-bit RLE", tgaHeader(10, 1, 1, 8), true},
        {"15 bits per pixel", tgaHeader(2, 1, 1, 15), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DecodeFailure failure;
        EXPECT_FALSE(decodeTga(c.file, &failure).has_value());
        EXPECT_FALSE(failure.reason.empty());
        EXPECT_EQ(failure.quiet, c.quiet);
    }
}

}  // namespace
