#pragma once
// Text over the game's views in fixed-function OpenGL 1.1: one font atlas
// (text/font_atlas.h) uploaded once as a GL_ALPHA texture with mipmaps, and
// lines of text drawn as textured quads scaled to any height, so the one
// atlas serves an 800 x 600 window and a 4K screen alike.
//
// Loading needs the game's GL context current and costs a few milliseconds
// (reading, rasterising, and the mipmapped upload). A layer that failed to load, or was never
// loaded, measures every text as 0 wide and draws nothing: the game runs on
// without text. The texture lives as long as the game, like every other
// texture; loading again replaces it.
//
// Drawing happens inside a TextPass, which sets up pixel coordinates over a
// viewport and puts back everything it and the layer's draws change.

#include "text/font_atlas.h"

#include <cstdint>
#include <string>
#include <string_view>

struct TextColour {
    float r = 1.0f, g = 1.0f, b = 1.0f, a = 1.0f;  // 0..1; a scales the glyphs' coverage
};

class TextLayer {
public:
    static constexpr int kDefaultPixelSize = 48;

    // Reads the font (a data file, assets/data_file.h), rasterises it at
    // pixelSize and uploads the atlas. On failure: false, reason says why
    // without naming the file (e.g. "No such file or directory"), and the
    // layer is as if never loaded.
    bool load(const char* fontFile, std::string& reason, int pixelSize = kDefaultPixelSize);
    bool loaded() const { return texture_ != 0; }

    // Width and drawing as text/font_atlas.h lays out: height is the line's
    // (ascender to descender) in pixels. Inside a TextPass, (x, y) is the
    // line's top-left corner in pixels from the viewport's top-left corner.
    float width(std::string_view text, float height) const;
    void draw(std::string_view text, float x, float y, float height, TextColour colour) const;

    // The metrics of the loaded atlas; its coverage image is dropped after
    // the upload.
    const FontAtlas& atlas() const { return atlas_; }
    std::uint32_t texture() const { return texture_; }
    int atlasWidth() const { return atlas_.width; }
    int atlasHeight() const { return atlas_.height; }

private:
    FontAtlas atlas_;
    std::uint32_t texture_ = 0;  // GL texture name; 0 until loaded
};

// An orthographic pass in pixels over a viewport, for the life of the
// object. The viewport is given as glViewport takes it (its bottom-left
// corner in window pixels, then its size); inside it, x grows rightwards
// and y downwards from the viewport's top-left corner.
//
// It saves, and on destruction puts back: both matrices and the matrix
// mode, the viewport, the current colour, blending and its function, depth
// testing and writing, lighting, face culling, fog, alpha and stencil
// tests, texturing enables, the 2D texture binding and the texture
// environment mode. The scissor test is left as the caller set it, so an
// inset's scissor still clips its text. Passes do not nest.
class TextPass {
public:
    TextPass(int viewportX, int viewportY, int viewportWidth, int viewportHeight);
    ~TextPass();
    TextPass(const TextPass&) = delete;
    TextPass& operator=(const TextPass&) = delete;

private:
    float projection_[16] = {};
    float modelview_[16] = {};
    int matrixMode_ = 0;
};
