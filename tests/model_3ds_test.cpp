#include "assets/model_3ds.h"

#include "assets/reader_3ds.h"
#include "file_3ds_builder.h"
#include "offscreen_gl.h"

#include <GL/gl.h>
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

using namespace build3ds;

namespace {

// A square in the game's x-y plane from x = -1 to 0, y = -1 to 1, facing +z
// (counter-clockwise seen from +z), stored z-up as a 3DS writer would.
Bytes leftSquare(const Bytes& groups = {}, bool mapped = true)
{
    Bytes mesh = cat({vertices({-1, 0, -1, 0, 0, -1, 0, 0, 1, -1, 0, 1}), faces({0, 1, 2, 0, 2, 3}, groups)});
    if (mapped)
        mesh = cat({mesh, texCoords({0, 0, 1, 0, 1, 1, 0, 1})});
    return object("square", mesh);
}

void lookAlongMinusZ()
{
    glViewport(0, 0, 64, 64);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

const std::uint8_t* pixel(const FrameImage& image, int x, int y)
{
    return &image.rgb[(static_cast<std::size_t>(y) * image.width + x) * 3];
}

}  // namespace

TEST(Model3dsLoad, ObjectsKeepTheirOwnArraysAndMaterials)
{
    OffscreenGl gl;
    ASSERT_TRUE(gl.ok());
    const Bytes materials = cat({material("plain", "", colour24(255, 128, 0)), material("tex", "t.bmp"),
                                 material("plain2", "", colour24(1, 2, 3))});
    const Bytes second = object("second", cat({vertices({0, 0, 0, 1, 0, 0, 0, 0, 1}), faces({2, 1, 0}, materialGroup("plain2"))}));
    const std::string path = writeTemp(file(cat({materials, leftSquare(materialGroup("tex"), false), second})), "two.3ds");
    Model3ds model;
    const LoadReport report = model.load(path.c_str());
    EXPECT_TRUE(report.messages.empty());
    EXPECT_FALSE(report.fatal);
    ASSERT_EQ(model.objects.size(), 2u);
    ASSERT_EQ(model.materials.size(), 3u);
    EXPECT_EQ(model.materials[0].diffuse[0], 255.0f);
    EXPECT_EQ(model.materials[0].diffuse[1], 128.0f);
    EXPECT_EQ(model.materials[0].diffuse[2], 0.0f);

    const Model3dsObject& square = model.objects[0];
    EXPECT_EQ(square.material, &model.materials[1]);
    ASSERT_EQ(square.vertices.size(), 4u);
    EXPECT_EQ(square.indices, (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3}));
    const Model3dsVertex& corner = square.vertices[2];  // file (0, 0, 1)
    EXPECT_EQ(std::vector<float>(corner.position, corner.position + 3), (std::vector<float>{0, 1, 0}));
    // No mapping chunk: every vertex sits at the texture's corner.
    EXPECT_EQ(corner.texCoord[0], 0.0f);
    EXPECT_EQ(corner.texCoord[1], 0.0f);
    EXPECT_FLOAT_EQ(corner.normal[2], 1.0f);

    const Model3dsObject& tri = model.objects[1];
    EXPECT_EQ(tri.material, nullptr);  // its material has no texture file
    EXPECT_EQ(tri.indices, (std::vector<std::uint32_t>{2, 1, 0}));
    EXPECT_EQ(tri.vertices.size(), 3u);

    // Without any material an object's index 0 names nothing.
    Model3ds bare;
    bare.load(writeTemp(file(leftSquare()), "bare.3ds").c_str());
    ASSERT_EQ(bare.objects.size(), 1u);
    EXPECT_EQ(bare.objects[0].material, nullptr);
}

TEST(Model3dsLoad, UnreadableFileLeavesTheModelEmpty)
{
    OffscreenGl gl;
    ASSERT_TRUE(gl.ok());
    Model3ds wheel;
    const LoadReport missing = wheel.load("wheel-that-is-not-there.3ds");
    ASSERT_EQ(missing.messages.size(), 2u);
    EXPECT_EQ(missing.messages[0].caption, "Error");
    EXPECT_EQ(missing.messages[0].text, "Unable to find the file: wheel-that-is-not-there.3ds!");
    EXPECT_EQ(missing.messages[1].caption, "");  // the game's own box
    EXPECT_EQ(missing.messages[1].text, "culdnt load model");
    EXPECT_FALSE(missing.fatal);
    EXPECT_TRUE(wheel.objects.empty());
    EXPECT_TRUE(wheel.materials.empty());
    wheel.draw();  // nothing to draw, nothing to break
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    Bytes damaged = file(leftSquare());
    damaged[damaged.size() - 40] ^= 0x40;
    Model3ds model;
    const LoadReport damagedReport = model.load(writeTemp(damaged, "damaged-model.3ds").c_str());
    EXPECT_TRUE(model.objects.empty());
    ASSERT_EQ(damagedReport.messages.size(), 2u);
    EXPECT_EQ(damagedReport.messages[1].text, "culdnt load model");
}

TEST(Model3dsDraw, LitSquareCoversItsHalfOfTheView)
{
    OffscreenGl gl;
    ASSERT_TRUE(gl.ok());
    Model3ds model;
    model.load(writeTemp(file(leftSquare()), "square.3ds").c_str());
    ASSERT_EQ(model.objects.size(), 1u);

    lookAlongMinusZ();
    // The light sits in front of the square: only a normal that faces the
    // viewer, and corners that run counter-clockwise, make it bright.
    const float lightDirection[4] = {0, 0, 1, 0};
    glLightfv(GL_LIGHT0, GL_POSITION, lightDirection);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    model.draw();
    glFinish();
    const FrameImage image = gl.platform.readFrame();
    EXPECT_GT(pixel(image, 16, 32)[0], 240);
    EXPECT_GT(pixel(image, 2, 2)[1], 240);
    EXPECT_EQ(pixel(image, 48, 32)[0], 0);
    EXPECT_EQ(pixel(image, 40, 10)[2], 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Model3dsDraw, TexturedSquareShowsItsTexture)
{
    OffscreenGl gl;
    ASSERT_TRUE(gl.ok());
    Model3ds model;
    model.load(writeTemp(file(cat({material("m", "two.bmp"), leftSquare(materialGroup("m"))})), "tsquare.3ds").c_str());
    ASSERT_EQ(model.objects.size(), 1u);
    ASSERT_NE(model.objects[0].material, nullptr);

    // Red on the left half of the texture, green on the right.
    const std::uint8_t texels[6] = {255, 0, 0, 0, 255, 0};
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 2, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);
    model.materials[0].texture = texture;

    lookAlongMinusZ();
    glDisable(GL_LIGHTING);
    glColor3f(1, 1, 1);
    model.draw();
    glFinish();
    const FrameImage image = gl.platform.readFrame();
    const std::uint8_t* left = pixel(image, 8, 32);
    const std::uint8_t* right = pixel(image, 24, 32);
    EXPECT_EQ((std::vector<int>{left[0], left[1], left[2]}), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ((std::vector<int>{right[0], right[1], right[2]}), (std::vector<int>{0, 255, 0}));
    EXPECT_EQ(pixel(image, 48, 32)[1], 0);
    glDeleteTextures(1, &texture);
}

// assimp as the oracle. It unshares vertices (three per face), adds a default
// material to a file without one, and places meshes by the keyframer's node
// transforms; so what is compared is face counts, triangle areas in the
// file's face order, materials, and (in files without animation) the
// positions of the corners in the world.
TEST(Model3dsFiles, EveryTestModelAgreesWithAssimp)
{
    const std::filesystem::path root = "/usr/share/assimp/models";
    if (!std::filesystem::exists(root))
        GTEST_SKIP() << "assimp-testmodels is not installed";
    int compared = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        std::string extension = entry.path().extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
        if (!entry.is_regular_file() || extension != ".3ds")
            continue;
        const std::string path = entry.path().string();
        SCOPED_TRACE(path);
        Scene3ds scene;
        Reader3ds reader;
        std::FILE* f = std::fopen(path.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        Bytes bytes;
        for (int c; (c = std::fgetc(f)) != EOF;)
            bytes.push_back(static_cast<std::uint8_t>(c));
        std::fclose(f);
        const bool ours = reader.importBytes(scene, bytes, path.c_str());
        Assimp::Importer importer;
        const aiScene* theirs = importer.ReadFile(path, 0);
        ASSERT_EQ(ours, theirs != nullptr) << reader.error();
        if (!ours)
            continue;
        ++compared;

        // Objects: assimp makes one node per object, under its own root.
        int nodes = -1;
        std::function<void(const aiNode*)> count = [&](const aiNode* n) {
            ++nodes;
            for (unsigned c = 0; c < n->mNumChildren; ++c)
                count(n->mChildren[c]);
        };
        count(theirs->mRootNode);
        EXPECT_EQ(static_cast<int>(scene.objects.size()), nodes);

        if (scene.materials.empty()) {
            EXPECT_EQ(theirs->mNumMaterials, 1u);  // its stand-in
        } else {
            ASSERT_EQ(theirs->mNumMaterials, static_cast<unsigned>(scene.materials.size()));
            for (unsigned m = 0; m < theirs->mNumMaterials; ++m) {
                aiString name, texture;
                theirs->mMaterials[m]->Get(AI_MATKEY_NAME, name);
                theirs->mMaterials[m]->GetTexture(aiTextureType_DIFFUSE, 0, &texture);
                EXPECT_STREQ(scene.materials[m].name, name.C_Str());
                EXPECT_STREQ(scene.materials[m].textureFile, texture.C_Str());
            }
        }

        // Corners in world space, mesh by mesh; the meshes come in object order.
        std::vector<std::vector<aiVector3D>> corners(theirs->mNumMeshes);
        std::function<void(const aiNode*, aiMatrix4x4)> place = [&](const aiNode* n, aiMatrix4x4 parent) {
            const aiMatrix4x4 world = parent * n->mTransformation;
            for (unsigned k = 0; k < n->mNumMeshes; ++k) {
                const aiMesh* mesh = theirs->mMeshes[n->mMeshes[k]];
                for (unsigned i = 0; i < mesh->mNumFaces; ++i)
                    for (unsigned c = 0; c < 3; ++c)
                        corners[n->mMeshes[k]].push_back(world * mesh->mVertices[mesh->mFaces[i].mIndices[c]]);
            }
            for (unsigned c = 0; c < n->mNumChildren; ++c)
                place(n->mChildren[c], world);
        };
        place(theirs->mRootNode, aiMatrix4x4());

        unsigned mesh = 0;
        int ourFaces = 0, theirFaces = 0;
        for (unsigned m = 0; m < theirs->mNumMeshes; ++m)
            theirFaces += static_cast<int>(theirs->mMeshes[m]->mNumFaces);
        for (const Object3ds& object : scene.objects) {
            ourFaces += static_cast<int>(object.faces.size());
            if (object.faces.empty())
                continue;
            ASSERT_LT(mesh, theirs->mNumMeshes);
            const std::vector<aiVector3D>& expected = corners[mesh++];
            ASSERT_EQ(expected.size(), object.faces.size() * 3);
            double size = 0;
            for (const Vector3& v : object.vertices)
                size = std::max({size, std::fabs(double{v.x}), std::fabs(double{v.y}), std::fabs(double{v.z})});
            const double tolerance = 1e-5 * std::max(size, 1.0);
            for (std::size_t i = 0; i < object.faces.size(); ++i) {
                const auto area = [](aiVector3D a, aiVector3D b, aiVector3D c) { return ((b - a) ^ (c - a)).Length(); };
                aiVector3D our[3];
                for (int c = 0; c < 3; ++c) {
                    const Vector3 v = object.vertices[object.faces[i].vertexIndex[c]];
                    our[c] = aiVector3D(v.x, v.y, v.z);
                }
                EXPECT_NEAR(area(our[0], our[1], our[2]), area(expected[3 * i], expected[3 * i + 1], expected[3 * i + 2]),
                            tolerance * size * 10)
                    << object.name << " face " << i;
                if (theirs->mNumAnimations != 0)
                    continue;
                for (int c = 0; c < 3; ++c) {
                    const bool found = std::any_of(expected.begin(), expected.end(), [&](const aiVector3D& e) {
                        return (e - our[c]).Length() < tolerance;
                    });
                    EXPECT_TRUE(found) << object.name << " face " << i << " corner " << c;
                }
            }
        }
        EXPECT_EQ(mesh, theirs->mNumMeshes);
        EXPECT_EQ(ourFaces, theirFaces);
    }
    EXPECT_GE(compared, 9);
}

namespace {

// What drawing a model leaves behind in GL for what is drawn after it.
struct LeftState {
    bool textured = false;
    GLint texture = 0;
    float colour[4] = {};
    float diffuse[4] = {};
    bool arrays = false;
    bool operator==(const LeftState& o) const
    {
        return textured == o.textured && texture == o.texture && std::equal(colour, colour + 4, o.colour) &&
               std::equal(diffuse, diffuse + 4, o.diffuse) && arrays == o.arrays;
    }
};

LeftState leftState()
{
    LeftState s;
    s.textured = glIsEnabled(GL_TEXTURE_2D) == GL_TRUE;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &s.texture);
    glGetFloatv(GL_CURRENT_COLOR, s.colour);
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, s.diffuse);
    s.arrays = glIsEnabled(GL_VERTEX_ARRAY) && glIsEnabled(GL_TEXTURE_COORD_ARRAY) && glIsEnabled(GL_NORMAL_ARRAY);
    return s;
}

void resetState()
{
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glBindTexture(GL_TEXTURE_2D, 0);
    glEnable(GL_TEXTURE_2D);
    glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
    const float grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    glMaterialfv(GL_FRONT, GL_DIFFUSE, grey);
}

}  // namespace

// A mesh out of view sends no triangles but must leave GL as its draw does,
// whichever kind of object comes last.
TEST(Model3dsDraw, OutOfViewLeavesTheStateItsDrawLeaves)
{
    OffscreenGl gl;
    ASSERT_TRUE(gl.ok());
    glDisable(GL_LIGHTING);
    for (const bool materialLast : {false, true}) {
        Model3ds model;
        model.materials.resize(2);
        model.materials[0].texture = 7;
        model.materials[1].texture = 9;
        model.materials[1].diffuse[0] = 200.0f;
        model.objects.resize(3);
        for (Model3dsObject& object : model.objects) {
            object.vertices.resize(3);
            object.vertices[1].position[0] = 1.0f;
            object.vertices[2].position[1] = 1.0f;
            object.indices = {0, 1, 2};
        }
        model.objects[0].material = &model.materials[0];
        model.objects[materialLast ? 1 : 2].material = nullptr;
        model.objects[materialLast ? 2 : 1].material = &model.materials[1];

        lookAlongMinusZ();
        resetState();
        model.draw();
        const LeftState drawn = leftState();
        glClear(GL_COLOR_BUFFER_BIT);
        resetState();
        model.applyDrawState();
        glFinish();
        EXPECT_TRUE(leftState() == drawn) << "last object with a material: " << materialLast;
        EXPECT_EQ(drawn.textured, materialLast);
        const FrameImage image = gl.platform.readFrame();
        EXPECT_TRUE(std::all_of(image.rgb.begin(), image.rgb.end(), [](std::uint8_t c) { return c == 0; }))
            << "the state alone drew something";
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Model3dsLoad, BoundsHoldEveryVertexAndGiveUpOnNaN)
{
    OffscreenGl gl;
    ASSERT_TRUE(gl.ok());
    Model3ds model;
    model.load(writeTemp(file(leftSquare()), "square.3ds").c_str());
    ASSERT_EQ(model.objects.size(), 1u);
    // x -1..0, y -1..1, z 0: centred on (-0.5, 0, 0), half the diagonal wide.
    EXPECT_FLOAT_EQ(model.bounds.centre[0], -0.5f);
    EXPECT_FLOAT_EQ(model.bounds.centre[1], 0.0f);
    EXPECT_FLOAT_EQ(model.bounds.radius, std::sqrt(1.25f));

    model.objects[0].vertices[2].position[1] = std::nanf("");
    model.computeBounds();
    EXPECT_TRUE(std::isinf(model.bounds.radius));

    Model3ds empty;
    EXPECT_TRUE(std::isinf(empty.bounds.radius));  // built by hand: holds anything
    empty.computeBounds();
    EXPECT_EQ(empty.bounds.radius, 0.0f);
}
