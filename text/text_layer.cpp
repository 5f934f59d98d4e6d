#include "text/text_layer.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <vector>

namespace {

// The attribute groups holding every switch the pass and the draws touch
// (see text_layer.h); the matrices are saved by value instead, so the pass
// needs no room on the caller's matrix stacks.
// The lighting bit for the materials (see the pass's end).
constexpr GLbitfield kSavedAttributes = GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT | GL_DEPTH_BUFFER_BIT |
                                        GL_TEXTURE_BIT | GL_VIEWPORT_BIT | GL_TRANSFORM_BIT | GL_POLYGON_BIT |
                                        GL_LIGHTING_BIT;

// The atlas as a texture, leaving the caller's binding and unpack alignment
// as they were. 0 when GL cannot take it.
GLuint uploadAtlas(const FontAtlas& atlas, std::string& reason)
{
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    if (atlas.width > largest || atlas.height > largest) {
        reason = "The font atlas (" + std::to_string(atlas.width) + " x " + std::to_string(atlas.height) +
                 ") is larger than this GL's textures (" + std::to_string(largest) + ")";
        return 0;
    }
    GLint bound = 0;
    GLint alignment = 4;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    // Mipmaps: text is mostly drawn well below the atlas's size, where a
    // single level would sample only some of each glyph's pixels.
    const GLint built = gluBuild2DMipmaps(GL_TEXTURE_2D, GL_ALPHA, atlas.width, atlas.height, GL_ALPHA,
                                          GL_UNSIGNED_BYTE, atlas.coverage.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    if (built != 0) {
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
        glDeleteTextures(1, &id);
        reason = std::string("Cannot upload the font atlas: ") +
                 reinterpret_cast<const char*>(gluErrorString(static_cast<GLenum>(built)));
        return 0;
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
    return id;
}

}  // namespace

bool TextLayer::load(const char* fontFile, std::string& reason, int pixelSize)
{
    if (texture_ != 0) {
        const GLuint old = texture_;
        glDeleteTextures(1, &old);
        texture_ = 0;
    }
    atlas_ = FontAtlas{};
    std::optional<FontAtlas> atlas = loadFontAtlas(fontFile, pixelSize, reason);
    if (!atlas)
        return false;
    const GLuint id = uploadAtlas(*atlas, reason);
    if (id == 0)
        return false;
    atlas_ = std::move(*atlas);
    atlas_.coverage.clear();
    atlas_.coverage.shrink_to_fit();
    texture_ = id;
    return true;
}

float TextLayer::width(std::string_view text, float height) const
{
    return loaded() ? textWidth(atlas_, text, height) : 0.0f;
}

void TextLayer::draw(std::string_view text, float x, float y, float height, TextColour colour) const
{
    if (!loaded())
        return;
    // Kept between draws, so a frame's text allocates nothing once warm.
    static thread_local std::vector<GlyphQuad> quads;
    quads.clear();
    layoutText(atlas_, text, x, y, height, quads);
    if (quads.empty())
        return;
    glBindTexture(GL_TEXTURE_2D, texture_);
    glColor4f(colour.r, colour.g, colour.b, colour.a);
    glBegin(GL_QUADS);
    for (const GlyphQuad& q : quads) {
        glTexCoord2f(q.s0, q.t0);
        glVertex2f(q.x0, q.y0);
        glTexCoord2f(q.s0, q.t1);
        glVertex2f(q.x0, q.y1);
        glTexCoord2f(q.s1, q.t1);
        glVertex2f(q.x1, q.y1);
        glTexCoord2f(q.s1, q.t0);
        glVertex2f(q.x1, q.y0);
    }
    glEnd();
}

TextPass::TextPass(int viewportX, int viewportY, int viewportWidth, int viewportHeight)
{
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode_);
    glGetFloatv(GL_PROJECTION_MATRIX, projection_);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview_);
    glPushAttrib(kSavedAttributes);

    // A minimised window has views of no size: nothing shows, but GL must
    // not be handed a negative viewport or a flat projection (an error each).
    const int width = std::max(viewportWidth, 0);
    const int height = std::max(viewportHeight, 0);
    glViewport(viewportX, viewportY, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, std::max(width, 1), std::max(height, 1), 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glDisable(GL_LIGHTING);
    // The y-down projection turns the quads' winding around: culling would drop them.
    glDisable(GL_CULL_FACE);
    glDisable(GL_FOG);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_1D);
    glEnable(GL_TEXTURE_2D);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

TextPass::~TextPass()
{
    glPopAttrib();
    // Colour material (as the game lights its models) took the text's colour
    // into the material, and neither popping the colour nor setting the same
    // colour again takes it out; switching the tracking on again does, from
    // the colour as it now is.
    if (glIsEnabled(GL_COLOR_MATERIAL) == GL_TRUE) {
        glDisable(GL_COLOR_MATERIAL);
        glEnable(GL_COLOR_MATERIAL);
    }
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(projection_);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(modelview_);
    glMatrixMode(static_cast<GLenum>(matrixMode_));
}
