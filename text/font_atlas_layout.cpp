#include "text/font_atlas.h"

#include <cmath>

namespace {

constexpr char32_t kInvalid = 0xFFFD;

bool isControl(char32_t codePoint)
{
    return codePoint < 32 || (codePoint >= 127 && codePoint < 160);
}

bool usableHeight(const FontAtlas& atlas, float height)
{
    return std::isfinite(height) && height > 0.0f && atlas.lineHeight() > 0.0f;
}

}  // namespace

char32_t nextCodePoint(std::string_view text, std::size_t& at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    ++at;
    if (lead < 0x80)
        return lead;
    int length = 0;
    char32_t value = 0;
    char32_t smallest = 0;  // below this the sequence is overlong
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1Fu;
        smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0Fu;
        smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07u;
        smallest = 0x10000;
    } else {
        return kInvalid;  // a continuation byte, or a lead no valid text uses
    }
    const std::size_t start = at;
    for (int i = 1; i < length; ++i) {
        if (at >= text.size() || (byte(at) & 0xC0u) != 0x80u) {
            at = start;  // only the lead is consumed: what follows is read again on its own
            return kInvalid;
        }
        value = (value << 6) | (byte(at) & 0x3Fu);
        ++at;
    }
    if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        at = start;
        return kInvalid;
    }
    return value;
}

float textWidth(const FontAtlas& atlas, std::string_view text, float height)
{
    if (!usableHeight(atlas, height))
        return 0.0f;
    float pen = 0.0f;
    for (std::size_t at = 0; at < text.size();) {
        const char32_t codePoint = nextCodePoint(text, at);
        if (!isControl(codePoint))
            pen += atlas.glyphFor(codePoint).advance;
    }
    return pen * height / atlas.lineHeight();
}

void layoutText(const FontAtlas& atlas, std::string_view text, float x, float y, float height,
                std::vector<GlyphQuad>& quads)
{
    if (!usableHeight(atlas, height) || atlas.width <= 0 || atlas.height <= 0)
        return;
    const float scale = height / atlas.lineHeight();
    const float baseline = y + atlas.ascender * scale;
    const float toS = 1.0f / static_cast<float>(atlas.width);
    const float toT = 1.0f / static_cast<float>(atlas.height);
    float pen = 0.0f;  // atlas pixels from x
    for (std::size_t at = 0; at < text.size();) {
        const char32_t codePoint = nextCodePoint(text, at);
        if (isControl(codePoint))
            continue;
        const AtlasGlyph& glyph = atlas.glyphFor(codePoint);
        if (glyph.width > 0 && glyph.height > 0) {
            // One blank pixel of the padding on every side, so the filter
            // fades the glyph's edge out instead of cutting it.
            const float left = pen + static_cast<float>(glyph.left - 1);
            const float top = static_cast<float>(glyph.top + 1);
            GlyphQuad quad;
            quad.x0 = x + left * scale;
            quad.y0 = baseline - top * scale;
            quad.x1 = x + (left + static_cast<float>(glyph.width + 2)) * scale;
            quad.y1 = quad.y0 + static_cast<float>(glyph.height + 2) * scale;
            quad.s0 = static_cast<float>(glyph.atlasX - 1) * toS;
            quad.t0 = static_cast<float>(glyph.atlasY - 1) * toT;
            quad.s1 = static_cast<float>(glyph.atlasX + glyph.width + 1) * toS;
            quad.t1 = static_cast<float>(glyph.atlasY + glyph.height + 1) * toT;
            quads.push_back(quad);
        }
        pen += glyph.advance;
    }
}
