// The text layer: the font atlas built from the game's own font, the layout
// of lines on it, fonts that cannot be used, and drawing into a real GL
// context with the 3D state around it left as it was.

#include "text/font_atlas.h"
#include "text/text_layer.h"

#include "offscreen_gl.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kFontFile = TURFWAR_BINARY_DIR "/game/font/DejaVuSans.ttf";

std::vector<std::uint8_t> fontBytes()
{
    std::ifstream in(kFontFile, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const FontAtlas& gameAtlas()
{
    static const FontAtlas atlas = [] {
        std::string reason;
        std::optional<FontAtlas> built = loadFontAtlas(kFontFile.c_str(), TextLayer::kDefaultPixelSize, reason);
        EXPECT_TRUE(built) << reason;
        return built ? *built : FontAtlas{};
    }();
    return atlas;
}

bool isPowerOfTwo(int n)
{
    return n > 0 && (n & (n - 1)) == 0;
}

TEST(FontAtlas, TheGameFontHasEveryGlyphPackedApartWithSaneMetrics)
{
    const FontAtlas& atlas = gameAtlas();
    ASSERT_GT(atlas.width, 0);
    EXPECT_EQ(atlas.pixelSize, 48);
    EXPECT_TRUE(isPowerOfTwo(atlas.width) && isPowerOfTwo(atlas.height)) << atlas.width << " x " << atlas.height;
    EXPECT_LE(atlas.width, kMaxAtlasSide);
    ASSERT_EQ(atlas.coverage.size(), static_cast<std::size_t>(atlas.width) * static_cast<std::size_t>(atlas.height));
    // DejaVu Sans has every one of them.
    EXPECT_EQ(atlas.glyphsFromFont, FontAtlas::kSlotCount - 1);
    EXPECT_GT(atlas.ascender, 0.7f * 48.0f);
    EXPECT_LT(atlas.descender, -0.1f * 48.0f);
    EXPECT_LT(atlas.lineHeight(), 1.5f * 48.0f);

    const AtlasGlyph& capital = atlas.glyphFor(U'H');
    EXPECT_NEAR(capital.top, 0.73f * 48.0f, 2.0f);  // cap height
    EXPECT_EQ(capital.top, capital.height);          // standing on the baseline
    EXPECT_LT(atlas.glyphFor(U'g').top - atlas.glyphFor(U'g').height, -5);  // the descender
    EXPECT_EQ(atlas.glyphFor(U' ').width, 0);
    EXPECT_GT(atlas.glyphFor(U' ').advance, 5.0f);

    struct Box {
        int x0, y0, x1, y1;
    };
    std::vector<Box> boxes;
    for (char32_t c = 32; c <= 255; ++c) {
        if (c == 127)
            c = 160;
        SCOPED_TRACE(static_cast<unsigned>(c));
        ASSERT_TRUE(atlas.hasGlyph(c));
        const AtlasGlyph& glyph = atlas.glyphFor(c);
        EXPECT_GT(glyph.advance, 0.0f);
        EXPECT_LT(glyph.advance, 1.5f * 48.0f);
        if (c == 32 || c == 160)
            continue;
        ASSERT_GT(glyph.width, 0);
        ASSERT_GT(glyph.height, 0);
        EXPECT_GE(glyph.atlasX, kAtlasPadding);
        EXPECT_GE(glyph.atlasY, kAtlasPadding);
        ASSERT_LE(glyph.atlasX + glyph.width + kAtlasPadding, atlas.width);
        ASSERT_LE(glyph.atlasY + glyph.height + kAtlasPadding, atlas.height);
        EXPECT_LE(glyph.top, atlas.ascender + 4.0f);
        EXPECT_GE(glyph.top - glyph.height, atlas.descender - 4.0f);
        // The bitmap's pixels are in its rectangle: some ink, and its
        // outermost rows and columns each touched.
        int ink = 0;
        for (int y = 0; y < glyph.height; ++y)
            for (int x = 0; x < glyph.width; ++x)
                ink += atlas.coverage[static_cast<std::size_t>(glyph.atlasY + y) * atlas.width + glyph.atlasX + x] > 0;
        EXPECT_GT(ink, 0);
        boxes.push_back({glyph.atlasX, glyph.atlasY, glyph.atlasX + glyph.width, glyph.atlasY + glyph.height});
    }
    // Apart by the padding: no two rectangles, each grown by it, overlap.
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        for (std::size_t j = i + 1; j < boxes.size(); ++j) {
            const Box& a = boxes[i];
            const Box& b = boxes[j];
            const bool apart = a.x1 + kAtlasPadding <= b.x0 || b.x1 + kAtlasPadding <= a.x0 ||
                               a.y1 + kAtlasPadding <= b.y0 || b.y1 + kAtlasPadding <= a.y0;
            ASSERT_TRUE(apart) << "glyphs " << i << " and " << j;
        }
    }
    // Outside the rectangles the atlas is blank, so no glyph's filter
    // picks up its neighbour.
    std::vector<bool> inside(atlas.coverage.size(), false);
    for (const Box& b : boxes)
        for (int y = b.y0; y < b.y1; ++y)
            for (int x = b.x0; x < b.x1; ++x)
                inside[static_cast<std::size_t>(y) * atlas.width + x] = true;
    int stray = 0;
    for (std::size_t i = 0; i < inside.size(); ++i)
        stray += !inside[i] && atlas.coverage[i] != 0;
    EXPECT_EQ(stray, 0);
    // The replacement is the question mark's.
    const AtlasGlyph& replacement = atlas.glyphFor(U'\u20AC');
    EXPECT_EQ(replacement.atlasX, atlas.glyphFor(U'?').atlasX);
    EXPECT_EQ(replacement.atlasY, atlas.glyphFor(U'?').atlasY);
    EXPECT_FALSE(atlas.hasGlyph(U'\u20AC'));
}

TEST(TextLayout, WidthGrowsWithTheTextAndScalesWithTheHeight)
{
    const FontAtlas& atlas = gameAtlas();
    ASSERT_GT(atlas.width, 0);
    float last = 0.0f;
    std::string text;
    for (char c : std::string("Turfwar 2026!")) {
        text += c;
        const float w = textWidth(atlas, text, 20.0f);
        EXPECT_GT(w, last) << text;
        last = w;
    }
    EXPECT_NEAR(textWidth(atlas, text, 40.0f), 2.0f * textWidth(atlas, text, 20.0f), 1e-3f);
    EXPECT_NEAR(textWidth(atlas, text, 2160.0f / 20.0f), textWidth(atlas, text, 600.0f / 20.0f) * 3.6f, 1e-2f);
    EXPECT_EQ(textWidth(atlas, "", 20.0f), 0.0f);
    for (float bad : {0.0f, -5.0f, std::nanf(""), INFINITY})
        EXPECT_EQ(textWidth(atlas, text, bad), 0.0f) << bad;

    const float q = textWidth(atlas, "?", 20.0f);
    // Control characters take no room; what the atlas lacks, and bytes that
    // are not UTF-8, take the question mark's.
    EXPECT_EQ(textWidth(atlas, "a\nb\tc\x7f", 20.0f), textWidth(atlas, "abc", 20.0f));
    EXPECT_EQ(textWidth(atlas, "\xC2\x85", 20.0f), 0.0f);         // U+0085, a C1 control
    EXPECT_FLOAT_EQ(textWidth(atlas, "\xE2\x82\xAC", 20.0f), q);  // the euro sign: one code point, one '?'
    EXPECT_FLOAT_EQ(textWidth(atlas, "\xFF", 20.0f), q);
    EXPECT_FLOAT_EQ(textWidth(atlas, "\xC3", 20.0f), q);          // cut short at the end
    EXPECT_FLOAT_EQ(textWidth(atlas, "\xE2\x82" "A", 20.0f), 2.0f * q + textWidth(atlas, "A", 20.0f));
    EXPECT_FLOAT_EQ(textWidth(atlas, "\xC0\x80", 20.0f), 2.0f * q);  // overlong NUL
    EXPECT_FLOAT_EQ(textWidth(atlas, "\xED\xA0\x80", 20.0f), 3.0f * q);  // a surrogate
    EXPECT_FLOAT_EQ(textWidth(atlas, "\xF4\x90\x80\x80", 20.0f), 4.0f * q);  // beyond U+10FFFF
    // Latin-1 letters are their own, given as UTF-8.
    EXPECT_FLOAT_EQ(textWidth(atlas, "\xC3\xA9", 20.0f), textWidth(atlas, "e", 20.0f));
    std::size_t at = 0;
    EXPECT_EQ(nextCodePoint("\xC3\xA9", at), U'\u00E9');
    EXPECT_EQ(at, 2u);
    at = 0;
    EXPECT_EQ(nextCodePoint("\xF0\x9F\x8E\xAE", at), U'\U0001F3AE');
    EXPECT_EQ(at, 4u);
}

TEST(TextLayout, QuadsStayInTheLineBoxAndSampleTheirOwnGlyphs)
{
    const FontAtlas& atlas = gameAtlas();
    ASSERT_GT(atlas.width, 0);
    const std::string text = "Hg, \xC3\x89t\xC3\xA9 \xE2\x82\xAC!";  // "Hg, Été €!"
    const float x = 30.0f, y = 10.0f, height = 24.0f;
    std::vector<GlyphQuad> quads;
    layoutText(atlas, text, x, y, height, quads);
    ASSERT_EQ(quads.size(), 8u);  // the two spaces draw nothing
    const float pixel = height / atlas.lineHeight();  // one atlas pixel, the padding each quad carries
    const float right = x + textWidth(atlas, text, height);
    float lastX = -1.0f;
    for (const GlyphQuad& quad : quads) {
        EXPECT_GT(quad.x0, lastX);
        lastX = quad.x0;
        EXPECT_GE(quad.x0, x - 2.0f * pixel);
        EXPECT_LE(quad.x1, right + 2.0f * pixel);
        // The É reaches a little above the ascender.
        EXPECT_GE(quad.y0, y - 4.0f * pixel);
        EXPECT_LE(quad.y1, y + height + 2.0f * pixel);
        EXPECT_LT(quad.x0, quad.x1);
        EXPECT_LT(quad.y0, quad.y1);
        for (float st : {quad.s0, quad.t0, quad.s1, quad.t1}) {
            EXPECT_GE(st, 0.0f);
            EXPECT_LE(st, 1.0f);
        }
    }
    // The last quad is the '!', the one before it the euro sign's '?'.
    const auto sOf = [&](char32_t c) { return static_cast<float>(atlas.glyphFor(c).atlasX - 1) / static_cast<float>(atlas.width); };
    EXPECT_FLOAT_EQ(quads[7].s0, sOf(U'!'));
    EXPECT_FLOAT_EQ(quads[6].s0, sOf(U'?'));
    EXPECT_FLOAT_EQ(quads[5].s0, sOf(U'\u00E9'));
    EXPECT_FLOAT_EQ(quads[3].s0, sOf(U'\u00C9'));
    // A baseline glyph's bottom at ascender scaled, plus its padding pixel.
    EXPECT_NEAR(quads[0].y1, y + atlas.ascender * pixel + pixel, 1e-3f);

    quads.clear();
    layoutText(atlas, text, x, y, 0.0f, quads);
    layoutText(atlas, "\n\t  ", x, y, height, quads);
    EXPECT_TRUE(quads.empty());
}

struct ScratchFiles {
    ScratchFiles() : dir(fs::temp_directory_path() / ("turfwar-text-test-" + std::to_string(::getpid())))
    {
        fs::create_directories(dir);
    }
    ~ScratchFiles()
    {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) const
    {
        const fs::path file = dir / name;
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return file.string();
    }
    fs::path dir;
};

TEST(FontAtlas, FontsThatCannotBeUsedAreRefusedWithAReason)
{
    const std::vector<std::uint8_t> font = fontBytes();
    ASSERT_GT(font.size(), 100000u);
    ScratchFiles scratch;
    std::vector<std::uint8_t> garbage(4096);
    for (std::size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<std::uint8_t>(i * 7919u >> 3);
    // A TrueType header claiming tables that are not there.
    std::vector<std::uint8_t> headerOnly(font.begin(), font.begin() + 332);
    struct Case {
        std::string name;
        std::string file;
        std::string reasonStart;
    };
    const std::vector<Case> cases = {
        {"missing", (scratch.dir / "none.ttf").string(), "No such file or directory"},
        {"a folder", scratch.dir.string(), "Is a directory"},
        {"empty", scratch.write("empty.ttf", {}), "Empty file"},
        {"garbage", scratch.write("garbage.ttf", garbage), "Not a font FreeType can read"},
        {"header only", scratch.write("header.ttf", headerOnly), "Not a font FreeType can read"},
        {"first half", scratch.write("half.ttf", {font.begin(), font.begin() + font.size() / 2}),
         "Not a font FreeType can read"},
        {"first 5 bytes", scratch.write("five.ttf", {font.begin(), font.begin() + 5}), "Not a font FreeType can read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string reason;
        EXPECT_FALSE(loadFontAtlas(c.file.c_str(), 48, reason));
        EXPECT_EQ(reason.rfind(c.reasonStart, 0), 0u) << reason;
    }
}

// --- Drawing, on a real GL context.

constexpr int kWindowWidth = 256;
constexpr int kWindowHeight = 128;

struct Pixels {
    std::vector<unsigned char> rgb;  // bottom row first, as GL reads
    // (x, y) from the window's top-left corner.
    const unsigned char* at(int x, int y) const
    {
        return &rgb[(static_cast<std::size_t>(kWindowHeight - 1 - y) * kWindowWidth + x) * 3];
    }
};

Pixels readWindow()
{
    Pixels pixels;
    pixels.rgb.resize(static_cast<std::size_t>(kWindowWidth) * kWindowHeight * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWindowWidth, kWindowHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.rgb.data());
    return pixels;
}

// The state a 3D pass leaves behind, set so that text drawn without a
// proper pass would be culled, depth-tested away, lit or misplaced.
void setThreeDimensionalState(GLuint someTexture)
{
    glViewport(3, 5, 100, 50);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 4.0 / 3.0, 10.0, 2400.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1.0f, 2.0f, -30.0f);
    glRotatef(20.0f, 0.0f, 1.0f, 0.0f);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_LIGHTING);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, someTexture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    // The game's models take their lit colour from the current colour.
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glColor4f(0.25f, 0.5f, 0.75f, 1.0f);
}

// What the pass promises to put back, read as numbers: each state with
// its name, for the message when one differs.
std::vector<std::pair<std::string, float>> readGlState()
{
    struct Query {
        const char* name;
        GLenum what;
        int count;
    };
    static const Query kQueries[] = {
        {"viewport", GL_VIEWPORT, 4},
        {"projection", GL_PROJECTION_MATRIX, 16},
        {"modelview", GL_MODELVIEW_MATRIX, 16},
        {"colour", GL_CURRENT_COLOR, 4},
        {"matrix mode", GL_MATRIX_MODE, 1},
        {"texture binding", GL_TEXTURE_BINDING_2D, 1},
        {"depth function", GL_DEPTH_FUNC, 1},
        {"depth writes", GL_DEPTH_WRITEMASK, 1},
        {"cull face mode", GL_CULL_FACE_MODE, 1},
        {"unpack alignment", GL_UNPACK_ALIGNMENT, 1},
        {"projection stack", GL_PROJECTION_STACK_DEPTH, 1},
        {"modelview stack", GL_MODELVIEW_STACK_DEPTH, 1},
        {"attribute stack", GL_ATTRIB_STACK_DEPTH, 1},
        {"depth test", GL_DEPTH_TEST, 1},
        {"lighting", GL_LIGHTING, 1},
        {"culling", GL_CULL_FACE, 1},
        {"blending", GL_BLEND, 1},
        {"2D texturing", GL_TEXTURE_2D, 1},
    };
    std::vector<std::pair<std::string, float>> state;
    for (const Query& q : kQueries) {
        float values[16] = {};
        glGetFloatv(q.what, values);
        for (int i = 0; i < q.count; ++i)
            state.emplace_back(std::string(q.name) + " " + std::to_string(i), values[i]);
    }
    GLint envMode = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &envMode);
    state.emplace_back("texture environment", static_cast<float>(envMode));
    // The text's colour must not stay behind in a material that follows the colour.
    float diffuse[4] = {};
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
    for (int i = 0; i < 4; ++i)
        state.emplace_back("material diffuse " + std::to_string(i), diffuse[i]);
    return state;
}

GLuint someTexture()
{
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    const unsigned char white[4] = {255, 255, 255, 255};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
    return id;
}

TEST(TextLayer, DrawsItsColourInsideTheTextBoxOnlyAndPutsTheStateBack)
{
    OffscreenGl gl(kWindowWidth, kWindowHeight);
    ASSERT_TRUE(gl.ok());
    const GLuint texture = someTexture();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);  // the layer's upload must not leave it at 1
    TextLayer text;
    std::string reason;
    ASSERT_TRUE(text.load(kFontFile.c_str(), reason)) << reason;
    EXPECT_TRUE(text.loaded());
    EXPECT_EQ(text.atlasWidth(), gameAtlas().width);
    EXPECT_FLOAT_EQ(text.width("Turfwar", 20.0f), textWidth(gameAtlas(), "Turfwar", 20.0f));

    // The window split in two views side by side, as split screen draws:
    // text in the right one is placed from that view's top-left corner.
    struct Draw {
        const char* text;
        int viewportX;
        float x, y, height;
    };
    for (const Draw& d : {Draw{"Hello, Turfwar", 0, 8.0f, 12.0f, 14.0f}, Draw{"Hg 42", 128, 10.0f, 30.0f, 40.0f}}) {
        SCOPED_TRACE(d.text);
        glDisable(GL_SCISSOR_TEST);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClearDepth(0.0);  // depth testing left on would hide everything
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glClearDepth(1.0);
        setThreeDimensionalState(texture);
        const auto before = readGlState();
        {
            const TextPass pass(d.viewportX, 0, 128, kWindowHeight);
            text.draw(d.text, d.x, d.y, d.height, TextColour{1.0f, 0.5f, 0.0f, 1.0f});
        }
        const auto after = readGlState();
        ASSERT_EQ(after.size(), before.size());
        for (std::size_t i = 0; i < after.size(); ++i)
            EXPECT_EQ(after[i], before[i]);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

        const Pixels pixels = readWindow();
        const float left = static_cast<float>(d.viewportX) + d.x;
        const float right = left + text.width(d.text, d.height);
        // A little slack for the filter's fringe and É-like glyphs above the ascender.
        const float slack = 1.5f;
        int inside = 0, full = 0, outside = 0, offColour = 0;
        for (int y = 0; y < kWindowHeight; ++y) {
            for (int x = 0; x < kWindowWidth; ++x) {
                const unsigned char* p = pixels.at(x, y);
                if (p[0] == 0 && p[1] == 0 && p[2] == 0)
                    continue;
                const auto px = static_cast<float>(x), py = static_cast<float>(y);
                const bool inBox = px + 1.0f > left - slack && px < right + slack && py + 1.0f > d.y - slack &&
                                   py < d.y + d.height + slack;
                (inBox ? inside : outside) += 1;
                full += p[0] == 255 && p[1] >= 126 && p[1] <= 129;
                // Orange blended over black: green half of red, no blue.
                offColour += p[2] != 0 || std::abs(2 * p[1] - p[0]) > 3;
            }
        }
        EXPECT_GT(inside, static_cast<int>(d.height * d.height * 0.5f));
        if (d.height >= 30.0f) {
            EXPECT_GT(full, 10);  // the strokes' middles are the colour itself
        }
        EXPECT_EQ(outside, 0);
        EXPECT_EQ(offColour, 0);
    }

    // Control characters and empty text draw nothing at all.
    glClear(GL_COLOR_BUFFER_BIT);
    {
        const TextPass pass(0, 0, kWindowWidth, kWindowHeight);
        text.draw("\n\t\x01", 10.0f, 10.0f, 30.0f, TextColour{});
        text.draw("", 10.0f, 10.0f, 30.0f, TextColour{});
    }
    // Nor does a view of no size, as a minimised window has, and GL takes it without an error.
    for (const int side : {0, -4}) {
        const TextPass pass(0, 0, side, side);
        text.draw("Turfwar", 10.0f, 10.0f, 30.0f, TextColour{});
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    const Pixels blank = readWindow();
    int lit = 0;
    for (unsigned char c : blank.rgb)
        lit += c != 0;
    EXPECT_EQ(lit, 0);
}

TEST(TextLayer, WithoutItsFontItMeasuresNothingAndDrawsNothing)
{
    OffscreenGl gl(kWindowWidth, kWindowHeight);
    ASSERT_TRUE(gl.ok());
    ScratchFiles scratch;
    const std::string broken = scratch.write("broken.ttf", {'O', 'T', 'T', 'O', 0, 1, 2, 3});
    for (const std::string& file : {(scratch.dir / "font/none.ttf").string(), broken}) {
        SCOPED_TRACE(file);
        TextLayer text;
        std::string reason;
        EXPECT_FALSE(text.load(file.c_str(), reason));
        EXPECT_FALSE(reason.empty());
        EXPECT_FALSE(text.loaded());
        EXPECT_EQ(text.width("Turfwar", 20.0f), 0.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        {
            const TextPass pass(0, 0, kWindowWidth, kWindowHeight);
            text.draw("Turfwar", 10.0f, 10.0f, 30.0f, TextColour{});
        }
        int lit = 0;
        for (unsigned char c : readWindow().rgb)
            lit += c != 0;
        EXPECT_EQ(lit, 0);
    }
    // A failed load after a good one leaves the layer unloaded, not half the old font.
    TextLayer text;
    std::string reason;
    ASSERT_TRUE(text.load(kFontFile.c_str(), reason)) << reason;
    EXPECT_FALSE(text.load(broken.c_str(), reason));
    EXPECT_FALSE(text.loaded());
    EXPECT_EQ(text.width("Turfwar", 20.0f), 0.0f);
}

}  // namespace
