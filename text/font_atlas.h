#pragma once
// A font rasterised once into one coverage image, and single lines of text
// laid out on it. No GL here: text/text_layer.h uploads the image and draws
// the quads, so everything in this file can be tested and fuzzed bare.
//
// The atlas holds printable ASCII (32 to 126), the Latin-1 letters and signs
// (160 to 255) and one replacement glyph ('?' when the font has one, else
// its box), all rendered by FreeType at one pixel size. Building it is the
// expensive part (one to two milliseconds at 48 px, into 512 x 512); laying
// out a line is a walk over its bytes.
//
// Text is UTF-8. A code point the atlas lacks, and a byte that is not valid
// UTF-8, lays out as the replacement glyph; control characters (below 32,
// 127, and 128 to 159) take no room and draw nothing, so a newline or a tab
// is skipped, not drawn. A glyph FreeType cannot load counts as one the
// font lacks. There is no kerning and no line breaking.
//
// Rejected, with a reason naming no file (the caller adds the name): an
// empty buffer, anything FreeType cannot open as a scalable or fixed-size
// font at the size asked, a font without a Unicode character map or with no
// glyph for any printable ASCII character, a line height that is not
// positive, and glyphs too large to fit a kMaxAtlasSide square. A glyph
// wider or taller than four em is kept as a blank of its advance.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int kMinFontPixelSize = 6;
inline constexpr int kMaxFontPixelSize = 128;
inline constexpr int kMaxAtlasSide = 2048;  // pixels; every GL driver of this century takes it
// Blank pixels around every glyph: the bilinear filter at the quad's edge
// reads only blank, and the quarter-size mipmap still keeps glyphs apart.
inline constexpr int kAtlasPadding = 4;

struct AtlasGlyph {
    float advance = 0.0f;   // pixels the pen moves on, at the atlas's size
    int left = 0;           // pixels from the pen to the bitmap's left edge
    int top = 0;            // pixels from the baseline up to the bitmap's top row
    int width = 0;          // bitmap pixels; 0 for a blank such as the space
    int height = 0;
    int atlasX = 0;         // the bitmap's top-left pixel in the atlas
    int atlasY = 0;
};

struct FontAtlas {
    // Slots: printable ASCII, then Latin-1 160..255, then the replacement.
    static constexpr int kAsciiSlots = 126 - 32 + 1;
    static constexpr int kLatin1Slots = 255 - 160 + 1;
    static constexpr int kReplacementSlot = kAsciiSlots + kLatin1Slots;
    static constexpr int kSlotCount = kReplacementSlot + 1;

    int pixelSize = 0;       // the em size the glyphs were rendered at, pixels
    float ascender = 0.0f;   // pixels above the baseline, positive
    float descender = 0.0f;  // pixels below the baseline, negative
    int width = 0;           // atlas pixels, powers of two
    int height = 0;
    std::vector<std::uint8_t> coverage;  // width * height, 0..255, top row first
    std::array<AtlasGlyph, kSlotCount> glyphs{};
    std::array<bool, kSlotCount> present{};  // the font has the slot's code point (never the replacement)
    int glyphsFromFont = 0;                   // slots present, of kSlotCount - 1

    float lineHeight() const { return ascender - descender; }
    // The glyph a code point draws with: its own, or the replacement.
    const AtlasGlyph& glyphFor(char32_t codePoint) const;
    // Whether the font itself has the code point (not the replacement).
    bool hasGlyph(char32_t codePoint) const;
};

// The atlas from a font file's bytes. pixelSize must lie within
// [kMinFontPixelSize, kMaxFontPixelSize]. The bytes are only read during the call.
std::optional<FontAtlas> buildFontAtlas(std::span<const std::uint8_t> fontBytes, int pixelSize, std::string& reason);
// The same from a data file, read as every data file is (assets/data_file.h).
std::optional<FontAtlas> loadFontAtlas(const char* fileName, int pixelSize, std::string& reason);

// --- Layout. Heights are the line's: ascender to descender, in whatever
// units the caller draws in (pixels of a view); the glyphs are scaled to it.

// One glyph's quad. Positions are in the caller's units with y growing
// downwards from the top of the line; texture coordinates are fractions of
// the atlas, t = 0 at its top row.
struct GlyphQuad {
    float x0 = 0.0f, y0 = 0.0f, x1 = 0.0f, y1 = 0.0f;  // top-left and bottom-right corners
    float s0 = 0.0f, t0 = 0.0f, s1 = 0.0f, t1 = 0.0f;
};

// How far the pen moves over the text at that line height: where the next
// text would start. 0 for empty text, a zero or negative height.
float textWidth(const FontAtlas& atlas, std::string_view text, float height);
// The quads of the text with its line's top-left corner at (x, y),
// appended to quads (blanks add none). Nothing for a zero or negative height.
void layoutText(const FontAtlas& atlas, std::string_view text, float x, float y, float height,
                std::vector<GlyphQuad>& quads);

// The next code point of UTF-8 text from byte `at`, which moves past it.
// A byte that starts no valid sequence (overlong, surrogate, beyond U+10FFFF,
// cut short) is consumed alone and reads as U+FFFD.
char32_t nextCodePoint(std::string_view text, std::size_t& at);
