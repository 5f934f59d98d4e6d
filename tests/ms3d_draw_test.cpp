// A skinned model drawn into a real (offscreen Mesa) GL context.
#include "assets/model_ms3d.h"
#include "ms3d_builder.h"
#include "offscreen_gl.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr int kSize = 64;

// Two quads in normalised device coordinates: "still" at x -0.8..-0.2,
// y -0.3..0.3 with the material, and "mover" at x -0.8..-0.2,
// y -0.9..-0.4 without one, whose joint slides it by +1 in x over 1 s.
Ms3dBuilder twoQuads()
{
    Ms3dBuilder b;
    auto quad = [&b](float x0, float y0, float x1, float y1, std::int8_t joint) {
        const auto first = static_cast<std::uint16_t>(b.vertices.size());
        b.vertices.push_back({{x0, y0, 0}, joint});
        b.vertices.push_back({{x1, y0, 0}, joint});
        b.vertices.push_back({{x1, y1, 0}, joint});
        b.vertices.push_back({{x0, y1, 0}, joint});
        const auto t = static_cast<std::uint16_t>(b.triangles.size());
        b.triangles.push_back({{first, static_cast<std::uint16_t>(first + 1), static_cast<std::uint16_t>(first + 2)}});
        b.triangles.push_back({{first, static_cast<std::uint16_t>(first + 2), static_cast<std::uint16_t>(first + 3)}});
        return std::vector<std::uint16_t>{t, static_cast<std::uint16_t>(t + 1)};
    };
    b.groups.push_back({quad(-0.8f, -0.3f, -0.2f, 0.3f, 0), 0});
    b.groups.push_back({quad(-0.8f, -0.9f, -0.2f, -0.4f, 1), -1});
    b.materials = {{""}};
    Ms3dBuilder::Joint still;
    still.name = "still";
    Ms3dBuilder::Joint mover;
    mover.name = "mover";
    mover.parent = "still";
    mover.position[1] = -0.5f;  // where it sits changes nothing drawn: vertices follow it
    mover.translationKeys = {{0.0f, {0, 0, 0}}, {1.0f, {1, 0, 0}}};
    b.joints = {still, mover};
    return b;
}

class Ms3dDraw : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(gl.ok());
        glViewport(0, 0, kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_LIGHTING);
        glDisable(GL_DEPTH_TEST);
        glClearColor(0, 0, 0, 1);
        glColor3f(1, 1, 1);
        ASSERT_TRUE(model.loadFromMemory(twoQuads().bytes(), "model.ms3d"));
    }

    // The pixel under a point in normalised device coordinates.
    const std::uint8_t* pixelAt(const FrameImage& image, float x, float y) const
    {
        const int px = static_cast<int>((x + 1.0f) * 0.5f * static_cast<float>(image.width));
        const int py = static_cast<int>((y + 1.0f) * 0.5f * static_cast<float>(image.height));
        return &image.rgb[static_cast<std::size_t>((py * image.width + px) * 3)];
    }
    bool litAt(const FrameImage& image, float x, float y) const { return pixelAt(image, x, y)[0] > 128; }

    FrameImage drawn()
    {
        glClear(GL_COLOR_BUFFER_BIT);
        model.draw();
        glFinish();
        return gl.platform.readFrame();
    }

    OffscreenGl gl{kSize, kSize};
    ModelMs3d model;
};

TEST_F(Ms3dDraw, LightsUpWhereThePosePutsIt)
{
    FrameImage image = drawn();
    EXPECT_TRUE(litAt(image, -0.5f, 0.0f));
    EXPECT_TRUE(litAt(image, -0.5f, -0.65f));
    EXPECT_FALSE(litAt(image, 0.5f, -0.65f));
    EXPECT_FALSE(litAt(image, 0.5f, 0.5f));

    model.advance(1000.0);
    image = drawn();
    EXPECT_TRUE(litAt(image, -0.5f, 0.0f));    // its joint has no keys
    EXPECT_FALSE(litAt(image, -0.5f, -0.65f));  // slid away...
    EXPECT_TRUE(litAt(image, 0.5f, -0.65f));   // ...to here
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Ms3dDraw, TexturesAndLeavesTextureStateAsFound)
{
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    const std::uint8_t red[2 * 2 * 3] = {255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0};
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, red);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);
    model.materials[0].texture = texture;

    glDisable(GL_TEXTURE_2D);
    FrameImage image = drawn();
    const std::uint8_t* textured = pixelAt(image, -0.5f, 0.0f);
    EXPECT_GT(textured[0], 200);
    EXPECT_LT(textured[1], 50);
    const std::uint8_t* plain = pixelAt(image, -0.5f, -0.65f);  // no material: texturing off
    EXPECT_GT(plain[1], 200);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));

    glEnable(GL_TEXTURE_2D);
    drawn();
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    glDisable(GL_TEXTURE_2D);
    glDeleteTextures(1, &texture);
}

// The corners as glBegin/glEnd per group sent them before the model drew
// through vertex arrays: the reference its arrays must match.
void drawImmediately(const SkinnedModel& model)
{
    const auto triangleCount = static_cast<std::int32_t>(model.triangles.size());
    SkinnedCorner corner;
    for (const ModelGroup& group : model.groups) {
        glBegin(GL_TRIANGLES);
        for (const std::int32_t index : group.triangleIndices) {
            if (index < 0 || index >= triangleCount)
                continue;
            for (int k = 0; k < 3; ++k) {
                model.skinCorner(model.ownPose, model.triangles[static_cast<std::size_t>(index)], k, corner);
                glTexCoord2f(corner.s, corner.t);
                glNormal3fv(corner.normal);
                glVertex3fv(corner.position);
            }
        }
        glEnd();
    }
}

TEST_F(Ms3dDraw, SendsWhatImmediateModeSentAndLeavesItsLastCornerCurrent)
{
    // A bad index inside the first group must not shift the second group's
    // corners; a slanted last normal and odd last texture coordinates show
    // what stays current after the draw.
    model.groups[0].triangleIndices.insert(model.groups[0].triangleIndices.begin() + 1, 999);
    model.triangles[3].s[2] = 0.25f;
    model.triangles[3].t[2] = 0.75f;
    const float slanted[3] = {0.0f, 0.6f, 0.8f};
    std::copy(slanted, slanted + 3, model.triangles[3].normals[2]);
    model.advance(500.0);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const float light[4] = {0.3f, 0.5f, 1.0f, 0.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, light);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glColor3f(0.8f, 0.6f, 0.4f);
    model.draw();  // both pictures start from the material state the model sets

    const FrameImage arrays = drawn();
    float arraysNormal[3], arraysTexCoord[4];
    glGetFloatv(GL_CURRENT_NORMAL, arraysNormal);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, arraysTexCoord);

    glNormal3f(1.0f, 0.0f, 0.0f);
    glTexCoord2f(0.5f, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT);
    drawImmediately(model);
    glFinish();
    const FrameImage immediate = gl.platform.readFrame();
    float immediateNormal[3], immediateTexCoord[4];
    glGetFloatv(GL_CURRENT_NORMAL, immediateNormal);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, immediateTexCoord);
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);

    EXPECT_TRUE(arrays.rgb == immediate.rgb) << "the arrays drew another picture";
    EXPECT_TRUE(litAt(arrays, 0.0f, -0.65f));  // the mover, half way
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(arraysNormal[i], immediateNormal[i]) << i;
    EXPECT_FLOAT_EQ(immediateNormal[1], 0.6f);
    EXPECT_EQ(arraysTexCoord[0], 0.25f);
    EXPECT_EQ(arraysTexCoord[1], 0.75f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Ms3dDraw, PushJointMatrix)
{
    model.advance(500.0);
    glLoadIdentity();
    model.pushJointMatrix(1);
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(m[i], model.ownPose.joints[1].matrix[i]) << i;
    EXPECT_FLOAT_EQ(m[12], 0.5f);
    glPopMatrix();

    // Outside the skeleton: pushed, unchanged, so the caller's pop still pairs.
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    model.pushJointMatrix(37);
    GLint pushed = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &pushed);
    EXPECT_EQ(pushed, depth + 1);
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_EQ(m[12], 0.0f);
    EXPECT_EQ(m[0], 1.0f);
    glPopMatrix();
}

}  // namespace
