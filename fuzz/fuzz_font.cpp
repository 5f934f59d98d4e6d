// libFuzzer target: the text layer's font loading on arbitrary bytes, as the
// game builds it at start-up (FreeType, the atlas at the game's pixel size),
// then the layout of a fixed line. Beyond "no crash": a refused font says
// why, and an accepted one has a power-of-two atlas its glyphs lie inside,
// a positive line height, and quads that sample only the atlas.

#include "text/font_atlas.h"
#include "text/text_layer.h"

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

bool powerOfTwo(int n)
{
    return n > 0 && (n & (n - 1)) == 0;
}

bool inside(const FontAtlas& atlas, const AtlasGlyph& glyph)
{
    if (glyph.width == 0)
        return true;
    return glyph.width > 0 && glyph.height > 0 && glyph.atlasX >= kAtlasPadding && glyph.atlasY >= kAtlasPadding &&
           glyph.atlasX + glyph.width + kAtlasPadding <= atlas.width &&
           glyph.atlasY + glyph.height + kAtlasPadding <= atlas.height && std::isfinite(glyph.advance) &&
           glyph.advance >= 0.0f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string reason;
    const std::optional<FontAtlas> atlas = buildFontAtlas({data, size}, TextLayer::kDefaultPixelSize, reason);
    if (!atlas) {
        if (reason.empty())
            std::abort();
        return 0;
    }
    if (!powerOfTwo(atlas->width) || !powerOfTwo(atlas->height) || atlas->width > kMaxAtlasSide ||
        atlas->height > kMaxAtlasSide ||
        atlas->coverage.size() != std::size_t(atlas->width) * std::size_t(atlas->height) ||
        !(atlas->lineHeight() > 0.0f) || !std::isfinite(atlas->lineHeight()))
        std::abort();
    for (const AtlasGlyph& glyph : atlas->glyphs) {
        if (!inside(*atlas, glyph))
            std::abort();
    }

    // Every kind of byte the layout meets: ASCII, Latin-1 and other UTF-8,
    // controls, and sequences cut short or not UTF-8 at all.
    static constexpr char kLine[] = "Turfwar 1:0 \xC3\xA9t\xC3\xA9 \xE2\x82\xAC\n\t\x7f\xC2\x85 \xFF\xC0\x80\xED\xA0\x80 ?\xE2\x82";
    const std::string_view line(kLine, sizeof kLine - 1);
    std::vector<GlyphQuad> quads;
    layoutText(*atlas, line, 10.0f, 20.0f, 24.0f, quads);
    const float width = textWidth(*atlas, line, 24.0f);
    if (!std::isfinite(width) || width < 0.0f)
        std::abort();
    for (const GlyphQuad& q : quads) {
        for (const float st : {q.s0, q.t0, q.s1, q.t1}) {
            if (!(st >= 0.0f && st <= 1.0f))
                std::abort();
        }
        if (!(q.x0 < q.x1 && q.y0 < q.y1) || !std::isfinite(q.x0) || !std::isfinite(q.y1))
            std::abort();
    }
    return 0;
}
