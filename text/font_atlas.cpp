#include "text/font_atlas.h"

#include "assets/data_file.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numeric>

namespace {

// FreeType's own words for its errors. Debian's build leaves out
// FT_Error_String's table, so the header's list is expanded here instead.
struct FreeTypeErrorText {
    int code;
    const char* text;
};
#undef FTERRORS_H_
#define FT_ERRORDEF(e, v, s) {v, s},
#define FT_ERROR_START_LIST constexpr FreeTypeErrorText kFreeTypeErrors[] = {
#define FT_ERROR_END_LIST {0, nullptr}};
#include FT_ERRORS_H

std::string freeTypeError(FT_Error error)
{
    for (const FreeTypeErrorText& entry : kFreeTypeErrors) {
        if (entry.text != nullptr && entry.code == error)
            return entry.text;
    }
    char text[32];
    std::snprintf(text, sizeof text, "FreeType error %d", static_cast<int>(error));
    return text;
}

struct LibraryDeleter {
    void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct FaceDeleter {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
using Library = std::unique_ptr<std::remove_pointer_t<FT_Library>, LibraryDeleter>;
using Face = std::unique_ptr<std::remove_pointer_t<FT_Face>, FaceDeleter>;

char32_t codePointOfSlot(int slot)
{
    if (slot < FontAtlas::kAsciiSlots)
        return static_cast<char32_t>(32 + slot);
    return static_cast<char32_t>(160 + (slot - FontAtlas::kAsciiSlots));
}

int slotOf(char32_t codePoint)
{
    if (codePoint >= 32 && codePoint <= 126)
        return static_cast<int>(codePoint - 32);
    if (codePoint >= 160 && codePoint <= 255)
        return FontAtlas::kAsciiSlots + static_cast<int>(codePoint - 160);
    return -1;
}

// One rendered glyph before packing: its metrics and its coverage rows.
struct Rendered {
    AtlasGlyph glyph;
    std::vector<std::uint8_t> pixels;  // width * height, top row first
};

// The rendered bitmap as 8-bit coverage, whatever FreeType's pixel mode.
// Colour bitmaps are not asked for; a mode we do not read leaves the glyph blank.
bool copyCoverage(const FT_Bitmap& bitmap, Rendered& out)
{
    const int width = static_cast<int>(bitmap.width);
    const int rows = static_cast<int>(bitmap.rows);
    if (width == 0 || rows == 0 || bitmap.buffer == nullptr)
        return false;
    const bool mono = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
    if (!mono && bitmap.pixel_mode != FT_PIXEL_MODE_GRAY)
        return false;
    const int pitch = bitmap.pitch;
    const std::size_t rowBytes = static_cast<std::size_t>(pitch < 0 ? -pitch : pitch);
    const std::size_t needed = mono ? (static_cast<std::size_t>(width) + 7) / 8 : static_cast<std::size_t>(width);
    if (rowBytes < needed)
        return false;
    const int levels = mono ? 2 : std::max(2, static_cast<int>(bitmap.num_grays));
    out.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(rows), 0);
    for (int y = 0; y < rows; ++y) {
        // A negative pitch stores the rows bottom-up from the buffer's start.
        const int memoryRow = pitch < 0 ? rows - 1 - y : y;
        const unsigned char* row = bitmap.buffer + static_cast<std::size_t>(memoryRow) * rowBytes;
        std::uint8_t* to = out.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int x = 0; x < width; ++x) {
            if (mono) {
                to[x] = (row[x / 8] & (0x80 >> (x % 8))) != 0 ? 255 : 0;
            } else {
                const int value = std::min<int>(row[x], levels - 1);
                to[x] = static_cast<std::uint8_t>(value * 255 / (levels - 1));
            }
        }
    }
    out.glyph.width = width;
    out.glyph.height = rows;
    return true;
}

// Renders one glyph unhinted: the quads are scaled to any height, so a
// fit to the 48 px grid would only distort the smaller and larger sizes.
// Nothing when FreeType cannot load it (a damaged outline).
std::optional<Rendered> renderGlyph(FT_Face face, FT_UInt index, int pixelSize)
{
    Rendered out;
    if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_NO_HINTING) != 0)
        return std::nullopt;
    const FT_GlyphSlot slot = face->glyph;
    const float limit = 4.0f * static_cast<float>(pixelSize);
    // linearHoriAdvance is 16.16 and never rounded to whole pixels.
    float advance = static_cast<float>(slot->linearHoriAdvance) / 65536.0f;
    if (!FT_IS_SCALABLE(face) || advance <= 0.0f)
        advance = static_cast<float>(slot->advance.x) / 64.0f;
    out.glyph.advance = std::clamp(advance, 0.0f, limit);
    const auto pixelLimit = static_cast<unsigned>(limit);
    if (slot->bitmap.width > pixelLimit || slot->bitmap.rows > pixelLimit || slot->bitmap_left < -pixelSize * 4 ||
        slot->bitmap_left > pixelSize * 4 || slot->bitmap_top < -pixelSize * 4 || slot->bitmap_top > pixelSize * 4)
        return out;
    if (copyCoverage(slot->bitmap, out)) {
        out.glyph.left = slot->bitmap_left;
        out.glyph.top = slot->bitmap_top;
    }
    return out;
}

int nextPowerOfTwo(int value)
{
    int side = 1;
    while (side < value)
        side *= 2;
    return side;
}

// Shelf packing, tallest first, into the narrowest power-of-two width whose
// height does not exceed it. Fills atlasX/atlasY and the atlas's size.
bool packGlyphs(std::vector<Rendered>& rendered, FontAtlas& atlas)
{
    std::vector<std::size_t> order(rendered.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return rendered[a].glyph.height > rendered[b].glyph.height; });
    for (int side = 64; side <= kMaxAtlasSide; side *= 2) {
        int x = kAtlasPadding;
        int y = kAtlasPadding;
        int shelf = 0;
        bool fits = true;
        for (const std::size_t i : order) {
            AtlasGlyph& glyph = rendered[i].glyph;
            if (glyph.width == 0)
                continue;
            if (glyph.width + 2 * kAtlasPadding > side) {
                fits = false;
                break;
            }
            if (x + glyph.width + kAtlasPadding > side) {
                x = kAtlasPadding;
                y += shelf + kAtlasPadding;
                shelf = 0;
            }
            glyph.atlasX = x;
            glyph.atlasY = y;
            x += glyph.width + kAtlasPadding;
            shelf = std::max(shelf, glyph.height);
            if (y + shelf + kAtlasPadding > side) {
                fits = false;
                break;
            }
        }
        if (!fits)
            continue;
        atlas.width = side;
        atlas.height = nextPowerOfTwo(y + shelf + kAtlasPadding);
        return true;
    }
    return false;
}

// The line's extent. A scalable font's own unrounded numbers; a bitmap
// font's from its strike.
void setLineMetrics(FT_Face face, int pixelSize, FontAtlas& atlas)
{
    if (FT_IS_SCALABLE(face) && face->units_per_EM > 0) {
        const float scale = static_cast<float>(pixelSize) / static_cast<float>(face->units_per_EM);
        atlas.ascender = static_cast<float>(face->ascender) * scale;
        atlas.descender = static_cast<float>(face->descender) * scale;
    } else {
        atlas.ascender = static_cast<float>(face->size->metrics.ascender) / 64.0f;
        atlas.descender = static_cast<float>(face->size->metrics.descender) / 64.0f;
    }
    // Some fonts give the descender as a positive depth.
    if (atlas.descender > 0.0f)
        atlas.descender = -atlas.descender;
}

// Sets the em size: a scalable font at exactly pixelSize, a bitmap font at
// its nearest strike. Answers the pixel size the glyphs come out at.
int setSize(FT_Face face, int pixelSize, std::string& reason)
{
    if (FT_IS_SCALABLE(face)) {
        const FT_Error error = FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize));
        if (error != 0) {
            reason = "Cannot set the font's size: " + freeTypeError(error);
            return 0;
        }
        return pixelSize;
    }
    if (!FT_HAS_FIXED_SIZES(face) || face->num_fixed_sizes <= 0 || face->available_sizes == nullptr) {
        reason = "Not a scalable font, and it has no bitmap sizes";
        return 0;
    }
    int best = 0;
    for (int i = 1; i < face->num_fixed_sizes; ++i) {
        if (std::abs(face->available_sizes[i].height - pixelSize) < std::abs(face->available_sizes[best].height - pixelSize))
            best = i;
    }
    const FT_Error error = FT_Select_Size(face, best);
    const int strike = face->available_sizes[best].height;
    if (error != 0 || strike < kMinFontPixelSize || strike > kMaxFontPixelSize) {
        reason = error != 0 ? "Cannot set the font's size: " + freeTypeError(error)
                            : "Its bitmap sizes are all unusable (" + std::to_string(strike) + " px nearest)";
        return 0;
    }
    return strike;
}

}  // namespace

const AtlasGlyph& FontAtlas::glyphFor(char32_t codePoint) const
{
    const int slot = slotOf(codePoint);
    if (slot < 0 || !hasGlyph(codePoint))
        return glyphs[kReplacementSlot];
    return glyphs[static_cast<std::size_t>(slot)];
}

bool FontAtlas::hasGlyph(char32_t codePoint) const
{
    const int slot = slotOf(codePoint);
    return slot >= 0 && present[static_cast<std::size_t>(slot)];
}

std::optional<FontAtlas> buildFontAtlas(std::span<const std::uint8_t> fontBytes, int pixelSize, std::string& reason)
{
    assert(pixelSize >= kMinFontPixelSize && pixelSize <= kMaxFontPixelSize && "font pixel size out of range");
    if (fontBytes.empty()) {
        reason = "Empty file";
        return std::nullopt;
    }
    FT_Library rawLibrary = nullptr;
    if (const FT_Error error = FT_Init_FreeType(&rawLibrary); error != 0) {
        reason = "Cannot start FreeType: " + freeTypeError(error);
        return std::nullopt;
    }
    const Library library(rawLibrary);
    FT_Face rawFace = nullptr;
    if (const FT_Error error = FT_New_Memory_Face(library.get(), fontBytes.data(),
                                                  static_cast<FT_Long>(fontBytes.size()), 0, &rawFace);
        error != 0) {
        reason = "Not a font FreeType can read: " + freeTypeError(error);
        return std::nullopt;
    }
    const Face face(rawFace);
    if (FT_Select_Charmap(face.get(), FT_ENCODING_UNICODE) != 0) {
        reason = "The font has no Unicode character map";
        return std::nullopt;
    }
    FontAtlas atlas;
    atlas.pixelSize = setSize(face.get(), pixelSize, reason);
    if (atlas.pixelSize == 0)
        return std::nullopt;
    setLineMetrics(face.get(), atlas.pixelSize, atlas);
    if (!(atlas.lineHeight() > 0.0f) || atlas.lineHeight() > 4.0f * static_cast<float>(atlas.pixelSize)) {
        reason = "The font's line height is not usable";
        return std::nullopt;
    }

    std::vector<Rendered> rendered(FontAtlas::kSlotCount);
    int asciiFound = 0;
    for (int slot = 0; slot < FontAtlas::kReplacementSlot; ++slot) {
        const FT_UInt index = FT_Get_Char_Index(face.get(), codePointOfSlot(slot));
        if (index == 0)
            continue;
        // A glyph that does not load is one the font lacks: it draws as the replacement.
        std::optional<Rendered> glyph = renderGlyph(face.get(), index, atlas.pixelSize);
        if (!glyph)
            continue;
        rendered[static_cast<std::size_t>(slot)] = std::move(*glyph);
        atlas.present[static_cast<std::size_t>(slot)] = true;
        ++atlas.glyphsFromFont;
        asciiFound += slot < FontAtlas::kAsciiSlots;
    }
    if (asciiFound == 0) {
        reason = "The font has none of the printable ASCII characters";
        return std::nullopt;
    }
    // The replacement is '?' when the font has it; otherwise glyph 0, the
    // font's own sign for a missing character (a box in most fonts).
    const auto question = static_cast<std::size_t>(slotOf(U'?'));
    const bool replaceWithQuestion = atlas.present[question];
    if (!replaceWithQuestion) {
        if (std::optional<Rendered> box = renderGlyph(face.get(), 0, atlas.pixelSize))
            rendered[FontAtlas::kReplacementSlot] = std::move(*box);
    }

    if (!packGlyphs(rendered, atlas)) {
        reason = "The glyphs at " + std::to_string(atlas.pixelSize) + " px do not fit a " +
                 std::to_string(kMaxAtlasSide) + " x " + std::to_string(kMaxAtlasSide) + " atlas";
        return std::nullopt;
    }
    atlas.coverage.assign(static_cast<std::size_t>(atlas.width) * static_cast<std::size_t>(atlas.height), 0);
    for (std::size_t slot = 0; slot < rendered.size(); ++slot) {
        const Rendered& glyph = rendered[slot];
        atlas.glyphs[slot] = glyph.glyph;
        const auto width = static_cast<std::size_t>(glyph.glyph.width);
        for (int y = 0; y < glyph.glyph.height; ++y) {
            const std::size_t to =
                static_cast<std::size_t>(glyph.glyph.atlasY + y) * static_cast<std::size_t>(atlas.width) +
                static_cast<std::size_t>(glyph.glyph.atlasX);
            std::copy_n(glyph.pixels.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(y) * width),
                        width, atlas.coverage.begin() + static_cast<std::ptrdiff_t>(to));
        }
    }
    if (replaceWithQuestion)
        atlas.glyphs[FontAtlas::kReplacementSlot] = atlas.glyphs[question];
    return atlas;
}

std::optional<FontAtlas> loadFontAtlas(const char* fileName, int pixelSize, std::string& reason)
{
    const std::optional<std::vector<std::uint8_t>> bytes = readDataFile(fileName, &reason);
    if (!bytes)
        return std::nullopt;
    return buildFontAtlas(*bytes, pixelSize, reason);
}
