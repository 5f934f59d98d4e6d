// Texture loading into a real (offscreen) GL context: the choice by
// extension, the two upload paths with their filters and formats, the boxes
// the loaders show, and the textures the start-up loads.

#include "assets/image.h"
#include "assets/texture.h"

#include "app/game.h"
#include "tests/image_test_support.h"
#include "tests/game_folder.h"
#include "tests/offscreen_gl.h"

#include <GL/gl.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <set>

namespace {

// A small BMP: 24-bit, rows bottom first, pixel (x, y) = (x * 30, y * 60, 7).
Bytes makeBmp(int width, int height)
{
    Bytes file = bmpHeader(width, height, 24, 0, 0, 54);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            file.insert(file.end(), {7, static_cast<std::uint8_t>(y * 60), static_cast<std::uint8_t>(x * 30)});
        file.insert(file.end(), static_cast<std::size_t>(width % 4), 0);
    }
    return file;
}

// A TGA of 24 or 32 bits: pixel i = (i * 20, 100, 200 - i, alpha 50 + i).
Bytes makeTga(int width, int height, unsigned bits)
{
    Bytes file = tgaHeader(2, static_cast<unsigned>(width), static_cast<unsigned>(height), bits);
    for (int i = 0; i < width * height; ++i) {
        file.insert(file.end(), {static_cast<std::uint8_t>(200 - i), 100, static_cast<std::uint8_t>(i * 20)});
        if (bits == 32)
            file.push_back(static_cast<std::uint8_t>(50 + i));
    }
    return file;
}

struct TextureState {
    GLint width = 0, height = 0, internalFormat = 0, minFilter = 0, magFilter = 0, wrapS = 0;
};

TextureState boundTexture()
{
    TextureState s;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &s.width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &s.height);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &s.internalFormat);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &s.minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &s.magFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &s.wrapS);
    return s;
}

// Level 0 of the bound texture, packed.
Bytes texels(GLenum format, int components, int width, int height)
{
    Bytes out(static_cast<std::size_t>(width * height * components));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, out.data());
    return out;
}

GLint unpackAlignment()
{
    GLint a = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &a);
    return a;
}

class TextureLoading : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(gl.ok()); }
    // Loads through the game's entry point; what each load met is gathered
    // in report, in order.
    TextureId load(const std::string& name)
    {
        const TextureLoad loaded = loadTexture(name.c_str());
        report.append(loaded.report);
        return loaded.id;
    }
    LoadReport report;
    OffscreenGl gl;
    ScratchDir dir;
};

TEST_F(TextureLoading, TgaBeforeAnyBmpIsReadWithPackedRowsAndLeavesTheAlignmentAlone)
{
    // The first texture of the process: GL's unpack alignment is still 4,
    // and 2 pixels of R G B make a 6-byte row.
    ASSERT_EQ(unpackAlignment(), 4);
    writeBytes(dir.file("narrow.tga"), makeTga(2, 2, 24));
    const std::string name = dir.file("narrow.tga");
    const TextureLoad loaded = loadTgaTexture(name.c_str());
    EXPECT_FALSE(loaded.report.fatal);
    EXPECT_NE(loaded.id, 0u);
    EXPECT_EQ(unpackAlignment(), 4);
    const TextureState s = boundTexture();
    EXPECT_EQ(s.width, 2);
    EXPECT_EQ(s.height, 2);
    EXPECT_TRUE(s.internalFormat == 3 || s.internalFormat == GL_RGB || s.internalFormat == GL_RGB8);
    EXPECT_EQ(s.minFilter, GL_NEAREST);
    EXPECT_EQ(s.magFilter, GL_NEAREST);
    EXPECT_EQ(s.wrapS, GL_REPEAT);
    EXPECT_EQ(texels(GL_RGB, 3, 2, 2), (Bytes{0, 100, 200, 20, 100, 199, 40, 100, 198, 60, 100, 197}));
    EXPECT_TRUE(loaded.report.messages.empty());
}

TEST_F(TextureLoading, BmpIsThreeComponentsLinearAndSetsAlignmentOne)
{
    writeBytes(dir.file("image.bmp"), makeBmp(8, 4));
    const TextureId id = load(dir.file("image.bmp"));
    ASSERT_NE(id, 0u);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<TextureId>(bound), id);
    const TextureState s = boundTexture();
    EXPECT_EQ(s.width, 8);
    EXPECT_EQ(s.height, 4);
    EXPECT_TRUE(s.internalFormat == 3 || s.internalFormat == GL_RGB || s.internalFormat == GL_RGB8);
    EXPECT_EQ(s.minFilter, GL_LINEAR);
    EXPECT_EQ(s.magFilter, GL_LINEAR);
    EXPECT_EQ(unpackAlignment(), 1);
    // Texture row 0 is the file's first row, the bottom of the picture.
    const Bytes t = texels(GL_RGB, 3, 8, 4);
    EXPECT_EQ(Bytes(t.begin() + 3 * 5, t.begin() + 3 * 6), (Bytes{150, 0, 7}));
    EXPECT_EQ(Bytes(t.end() - 3, t.end()), (Bytes{210, 180, 7}));
}

TEST_F(TextureLoading, ThirtyTwoBitTgaIsAnRgbaTexture)
{
    writeBytes(dir.file("alpha.TGA"), makeTga(2, 2, 32));
    const TextureId id = load(dir.file("alpha.TGA"));
    ASSERT_NE(id, 0u);
    const TextureState s = boundTexture();
    EXPECT_TRUE(s.internalFormat == 4 || s.internalFormat == GL_RGBA || s.internalFormat == GL_RGBA8);
    EXPECT_EQ(s.minFilter, GL_NEAREST);
    EXPECT_EQ(texels(GL_RGBA, 4, 2, 2), (Bytes{0, 100, 200, 50, 20, 100, 199, 51, 40, 100, 198, 52, 60, 100, 197, 53}));
}

TEST_F(TextureLoading, OnlyTheExactExtensionsAfterTheFirstDotLoadAndBackslashesAreFolders)
{
    for (const char* name : {"a.bmp", "a.BMP", "a.Bmp", "a.b.bmp", "abmp", "a.tga.bmp", "a.png"})
        writeBytes(dir.file(name), makeBmp(2, 2));
    writeBytes(dir.file("b.tga"), makeTga(2, 2, 24));
    EXPECT_NE(load(dir.file("a.bmp")), 0u);
    EXPECT_NE(load(dir.file("a.BMP")), 0u);
    EXPECT_NE(load(dir.file("b.tga")), 0u);
    for (const char* name : {"a.Bmp", "a.b.bmp", "abmp", "a.tga.bmp", "a.png", "missing.bmp", "missing.BMP"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(load(dir.file(name)), 0u);
    }
    // Data files name folders the Windows way.
    std::filesystem::create_directory(dir.file("sub"));
    writeBytes(dir.file("sub/x.bmp"), makeBmp(2, 2));
    EXPECT_NE(load(dir.path() + "\\sub\\x.bmp"), 0u);
    EXPECT_TRUE(report.messages.empty());
    EXPECT_FALSE(report.fatal);
    for (const auto loader : {loadTexture, loadBmpTexture, loadTgaTexture}) {
        const TextureLoad none = loader(nullptr);
        EXPECT_EQ(none.id, 0u);
        EXPECT_TRUE(none.report.messages.empty());
        EXPECT_FALSE(none.report.fatal);
    }
}

TEST_F(TextureLoading, FailuresShowTheBoxOfTheirKind)
{
    Bytes badHeader = makeBmp(2, 2);
    set32(badHeader, 14, 64);
    writeBytes(dir.file("header.bmp"), badHeader);
    Bytes cut = makeBmp(4, 4);
    cut.resize(cut.size() - 1);
    writeBytes(dir.file("cut.bmp"), cut);
    std::filesystem::create_directory(dir.file("folder.bmp"));
    Bytes cutTga = makeTga(4, 4, 24);
    cutTga.pop_back();
    writeBytes(dir.file("cut.tga"), cutTga);
    writeBytes(dir.file("grey.tga"), tgaHeader(3, 1, 1, 8));

    // BMP: a message captioned "Error", texture 0, and the game goes on.
    EXPECT_EQ(load(dir.file("header.bmp")), 0u);
    EXPECT_EQ(load(dir.file("cut.bmp")), 0u);
    EXPECT_EQ(load(dir.file("folder.bmp")), 0u);
    EXPECT_FALSE(report.fatal);
    ASSERT_EQ(report.messages.size(), 3u);
    EXPECT_EQ(report.messages[0].caption, "Error");
    EXPECT_EQ(report.messages[0].text, "Unknown DIB file format.");
    EXPECT_EQ(report.messages[1].text, "Image file conversion error.");
    EXPECT_EQ(report.messages[2].text, "Failed to open DIB file " + dir.file("folder.bmp") + ".\n");

    // TGA: "error laoding tga" in the game's own box, and the caller learns the
    // game cannot go on; a depth we cannot read says nothing.
    for (const char* name : {"missing.tga", "cut.tga", "grey.tga"}) {
        SCOPED_TRACE(name);
        const TextureLoad loaded = loadTexture(dir.file(name).c_str());
        EXPECT_EQ(loaded.id, 0u);
        EXPECT_TRUE(loaded.report.fatal);
        report.append(loaded.report);
    }
    ASSERT_EQ(report.messages.size(), 5u);
    EXPECT_EQ(report.messages[3].text, "error laoding tga");
    EXPECT_EQ(report.messages[3].caption, "");  // the game's own box
    EXPECT_EQ(report.messages[4].text, "error laoding tga");
}

TEST(FireFrames, NamesRunFrom12001To12015)
{
    char name[16];
    std::memcpy(name, kFirstFireFrameName, sizeof name);
    std::vector<std::string> names{name};
    for (int frame = 0; frame + 1 < kFireFrameCount; ++frame) {
        advanceFireFrameName(name, frame);
        names.emplace_back(name);
    }
    for (int i = 0; i < kFireFrameCount; ++i)
        EXPECT_EQ(names[static_cast<std::size_t>(i)], "fire//" + std::to_string(12001 + i) + ".bmp");
}

// The start-up loads the fire frames, the grass and the marker from the
// working folder; without a readable marker the game does not start.
TEST_F(TextureLoading, StartUpLoadsItsTexturesAndStopsWithoutTheMarker)
{
    GameFolder folder;
    folder.remove("aasdf.tga");
    {
        World world(gl.platform);
        EXPECT_FALSE(initGame(world));
        std::set<TextureId> distinct(std::begin(world.fireTextures), std::end(world.fireTextures));
        EXPECT_EQ(distinct.size(), static_cast<std::size_t>(kFireFrameCount));
        EXPECT_EQ(distinct.count(0), 0u);
        EXPECT_NE(world.groundTexture, 0u);
        EXPECT_EQ(world.markerTexture, 0u);
        // The start-up shows what the loaders met on the platform.
        const std::vector<RecordedMessageBox>& boxes = gl.platform.messageBoxes();
        ASSERT_FALSE(boxes.empty());
        EXPECT_EQ(boxes.back().text, "error laoding tga");
    }
    writeBytes(folder.path() / "aasdf.tga", makeTga(2, 2, 32));
    {
        World world(gl.platform);
        EXPECT_TRUE(initGame(world));
        EXPECT_NE(world.markerTexture, 0u);
    }
}

}  // namespace
