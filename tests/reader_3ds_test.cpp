#include "assets/reader_3ds.h"

#include "file_3ds_builder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

using namespace build3ds;

namespace {

struct Parsed {
    bool ok = false;
    Scene3ds scene;
    std::string error;
    bool warning = false;
};

Parsed parse(const Bytes& bytes)
{
    Parsed p;
    Reader3ds reader;
    p.ok = reader.importBytes(p.scene, bytes, "test.3ds");
    p.error = reader.error();
    p.warning = reader.versionWarning();
    return p;
}

Bytes triangleObject(const std::string& name, const Bytes& groups = {})
{
    return object(name, cat({vertices({0, 0, 0, 1, 0, 0, 0, 0, 1}), faces({0, 1, 2}, groups)}));
}

void expectVector(Vector3 v, float x, float y, float z)
{
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
}

// The straightforward per-vertex search over all faces that the linear
// computeNormals must match bit for bit.
std::vector<Vector3> referenceNormals(const Object3ds& object)
{
    std::vector<Vector3> faceVectors;
    for (const Face3ds& f : object.faces) {
        const Vector3 v0 = object.vertices[f.vertexIndex[0]];
        const Vector3 v1 = object.vertices[f.vertexIndex[1]];
        const Vector3 v2 = object.vertices[f.vertexIndex[2]];
        faceVectors.push_back(cross(subtract(v0, v2), subtract(v2, v1)));
    }
    std::vector<Vector3> normals;
    const int vertexCount = static_cast<int>(object.vertices.size());
    for (int v = 0; v < vertexCount; ++v) {
        Vector3 sum;
        int shared = 0;
        for (std::size_t f = 0; f < object.faces.size(); ++f) {
            const auto& idx = object.faces[f].vertexIndex;
            if (idx[0] == v || idx[1] == v || idx[2] == v) {
                sum = add(sum, faceVectors[f]);
                ++shared;
            }
        }
        normals.push_back(normalize(divide(sum, -static_cast<float>(shared))));
    }
    return normals;
}

}  // namespace

TEST(Reader3dsFile, VersionWarningAndPrimaryChunk)
{
    const Parsed v3 = parse(chunk(0x4D4D, version(3)));
    EXPECT_TRUE(v3.ok);
    EXPECT_FALSE(v3.warning);
    EXPECT_TRUE(v3.scene.objects.empty());
    EXPECT_TRUE(v3.scene.materials.empty());

    // Two version chunks still warn once.
    const std::string v4 = writeTemp(chunk(0x4D4D, cat({version(4), version(4)})), "v4.3ds");
    Scene3ds scene;
    LoadReport report;
    EXPECT_TRUE(Reader3ds().import3ds(scene, v4.c_str(), report));
    ASSERT_EQ(report.messages.size(), 1u);
    EXPECT_EQ(report.messages[0].text, "This 3DS file is over version 3 so it may load incorrectly");
    EXPECT_EQ(report.messages[0].caption, "Warning");

    for (const Bytes& bad : {Bytes{}, Bytes{0x4D, 0x4D, 6, 0}, chunk(0x3D3D, Bytes{}), Bytes{0x4D, 0x4C, 6, 0, 0, 0}}) {
        const Parsed p = parse(bad);
        EXPECT_FALSE(p.ok);
        EXPECT_EQ(p.error, "Unable to load PRIMARY chuck from file: test.3ds!");
    }
    const std::string empty = writeTemp({}, "empty.3ds");
    EXPECT_FALSE(Reader3ds().import3ds(scene, empty.c_str(), report));
    EXPECT_FALSE(Reader3ds().import3ds(scene, "no-such-file.3ds", report));
    ASSERT_EQ(report.messages.size(), 3u);
    EXPECT_EQ(report.messages[1].text, "Unable to load PRIMARY chuck from file: " + empty + "!");
    EXPECT_EQ(report.messages[2].text, "Unable to find the file: no-such-file.3ds!");
    EXPECT_EQ(report.messages[1].caption, "Error");
    EXPECT_EQ(report.messages[2].caption, "Error");
    EXPECT_FALSE(report.fatal);
}

TEST(Reader3dsFile, EditorChunkLosesItsFirstSubChunkUnseen)
{
    // No mesh-version chunk: the material in its place is skipped.
    const Bytes editor = chunk(0x3D3D, cat({material("lost"), material("kept"), triangleObject("tri")}));
    const Parsed p = parse(chunk(0x4D4D, editor));
    ASSERT_TRUE(p.ok) << p.error;
    ASSERT_EQ(p.scene.materials.size(), 1u);
    EXPECT_STREQ(p.scene.materials[0].name, "kept");
    ASSERT_EQ(p.scene.objects.size(), 1u);
    EXPECT_STREQ(p.scene.objects[0].name, "tri");

    // An empty editor chunk has nothing to skip.
    EXPECT_TRUE(parse(chunk(0x4D4D, chunk(0x3D3D, {}))).ok);
}

TEST(Reader3dsFile, GeometryTurnsToYUpAndGetsNormals)
{
    const Bytes mesh = cat({vertices({1, 2, 3, 0, 0, 0, 5, 5, 5}), faces({0, 1, 2}), texCoords({0.25f, 0.75f})});
    Parsed p = parse(file(object("box", mesh)));
    ASSERT_TRUE(p.ok) << p.error;
    const Object3ds& o = p.scene.objects[0];
    ASSERT_EQ(o.vertices.size(), 3u);
    expectVector(o.vertices[0], 1, 3, -2);
    ASSERT_EQ(o.faces.size(), 1u);
    EXPECT_EQ(o.faces[0].vertexIndex[0], 0);
    EXPECT_EQ(o.faces[0].vertexIndex[1], 1);
    EXPECT_EQ(o.faces[0].vertexIndex[2], 2);  // the flags, 7, are gone
    // Fewer coordinates than vertices are kept as they are; the mesh fills in.
    ASSERT_EQ(o.texCoords.size(), 1u);
    EXPECT_EQ(o.texCoords[0].u, 0.25f);
    EXPECT_EQ(o.texCoords[0].v, 0.75f);

    // Corners (0,0,0), (1,0,0), (0,1,0) after the turn: normal +z for all three.
    // Vertex 3 is used by no face, vertex 4 only by a degenerate one.
    const Bytes normals = cat({vertices({0, 0, 0, 1, 0, 0, 0, 0, -1, 9, 9, 9, 2, 2, 2}), faces({0, 1, 2, 4, 4, 0})});
    p = parse(file(object("tri", normals)));
    ASSERT_TRUE(p.ok) << p.error;
    const Object3ds& t = p.scene.objects[0];
    expectVector(t.vertices[2], 0, -1, 0);
    // (0,0,0),(1,0,0),(0,-1,0) runs clockwise seen from +z, so its normal is -z.
    expectVector(t.normals[1], 0, 0, -1);
    expectVector(t.normals[2], 0, 0, -1);
    expectVector(t.normals[3], 0, 1, 0);
    expectVector(t.normals[4], 0, 1, 0);
    // Vertex 0 sums the real face and the degenerate one: still -z.
    expectVector(t.normals[0], 0, 0, -1);

    const Bytes ccw = cat({vertices({0, 0, 0, 1, 0, 0, 0, 0, 1}), faces({0, 1, 2})});
    p = parse(file(object("ccw", ccw)));
    expectVector(p.scene.objects[0].normals[0], 0, 0, 1);
}

TEST(Reader3dsFile, MaterialGroupsNameOnlyTexturedMaterials)
{
    const Bytes materials = cat({material("plain"), material("plain2"), material("wood", "wood.bmp")});
    const auto indexFor = [&](const Bytes& groups) {
        const Parsed p = parse(file(cat({materials, triangleObject("o", groups)})));
        EXPECT_TRUE(p.ok) << p.error;
        return std::pair{p.scene.objects[0].materialIndex, int{p.scene.objects[0].hasTexture}};
    };
    EXPECT_EQ(indexFor({}), std::pair(0, 0));                     // no group: the initial 0
    EXPECT_EQ(indexFor(materialGroup("plain")), std::pair(0, 0));  // first, untextured: stays 0
    EXPECT_EQ(indexFor(materialGroup("plain2")), std::pair(-1, 0));
    EXPECT_EQ(indexFor(materialGroup("wood")), std::pair(2, 1));
    EXPECT_EQ(indexFor(materialGroup("Wood")), std::pair(-1, 0));  // case matters
    // A textured match sticks through later groups that find nothing.
    EXPECT_EQ(indexFor(cat({materialGroup("wood"), materialGroup("plain2")})), std::pair(2, 1));
    EXPECT_EQ(indexFor(cat({materialGroup("wood"), materialGroup("none")})), std::pair(2, 1));
}

TEST(Reader3dsFile, ColoursAndLongNames)
{
    Bytes floats;
    for (float f : {1.0f, 0.5f, -3.0f})
        putFloat(floats, f);
    const Bytes twoColours = cat({colour24(255, 128, 0), chunk(0x0012, Bytes{1, 2, 3})});
    const std::string longName(300, 'n');
    const std::string longTexture(400, 't');
    Parsed p = parse(file(cat({material("a", "", twoColours), material("b", "", chunk(0x0010, floats)),
                               material(longName, longTexture), triangleObject(longName, materialGroup(longName))})));
    ASSERT_TRUE(p.ok) << p.error;
    ASSERT_EQ(p.scene.materials.size(), 3u);
    const auto* c = p.scene.materials[0].colour;
    EXPECT_EQ((std::vector<int>{c[0], c[1], c[2]}), (std::vector<int>{255, 128, 0}));
    c = p.scene.materials[1].colour;
    EXPECT_EQ((std::vector<int>{c[0], c[1], c[2]}), (std::vector<int>{255, 128, 0}));
    EXPECT_EQ(std::string(p.scene.materials[2].name), longName.substr(0, 254));
    EXPECT_EQ(std::string(p.scene.materials[2].textureFile), longTexture.substr(0, 254));
    EXPECT_EQ(std::string(p.scene.objects[0].name), longName.substr(0, 254));
    // The group's name is cut the same way, so it still finds its material.
    EXPECT_EQ(p.scene.objects[0].materialIndex, 2);
}

TEST(Reader3dsFile, DamagedFilesAreRejectedWhole)
{
    const Bytes good = file(cat({material("m", "m.bmp"), triangleObject("t", materialGroup("m"))}));
    ASSERT_TRUE(parse(good).ok);

    const auto expectRejected = [](const Bytes& bytes, const char* what) {
        const Parsed p = parse(bytes);
        EXPECT_FALSE(p.ok) << what;
        EXPECT_TRUE(p.scene.objects.empty() && p.scene.materials.empty()) << what;
        EXPECT_NE(p.error.find("test.3ds"), std::string::npos) << what;
    };
    // Every cut of a good file: the main chunk then runs past the end.
    for (std::size_t size = 6; size < good.size(); ++size)
        expectRejected(Bytes(good.begin(), good.begin() + static_cast<long>(size)), "truncated");

    Bytes shortChunk = file(chunk(0x1234, {}));
    shortChunk[shortChunk.size() - 4] = 5;  // length 5: shorter than a header
    expectRejected(shortChunk, "length under 6");
    expectRejected(chunk(0x4D4D, cat({version(3), Bytes{1, 2, 3}})), "bytes too few for a chunk");
    Bytes overParent = file(object("o", vertices({1, 2, 3})));
    overParent[overParent.size() - 18] += 1;  // the vertex chunk claims one byte of the next level up
    expectRejected(overParent, "chunk past its parent");

    expectRejected(file(object("o", cat({vertices({0, 0, 0, 1, 1, 1}), faces({0, 1, 2})}))), "face index past the vertices");
    Bytes manyVertices = vertices({0, 0, 0});
    manyVertices[6] = 0xFF;  // the count says 255 vertices, the chunk holds one
    expectRejected(file(object("o", manyVertices)), "vertex count past the chunk");
    Bytes manyFaces = faces({0, 0, 0});
    manyFaces[6] = 200;
    expectRejected(file(object("o", cat({vertices({0, 0, 0}), manyFaces}))), "face count past the chunk");
    Bytes manyCoords = texCoords({0, 0});
    manyCoords[7] = 1;
    expectRejected(file(object("o", manyCoords)), "coordinate count past the chunk");
    expectRejected(file(chunk(0x4000, Bytes{'a', 'b'})), "object name without an end");
    expectRejected(file(chunk(0xAFFF, chunk(0xA020, Bytes{}))), "diffuse chunk without a colour");

    // Texture-map chunks nest inside each other with no limit in the format.
    Bytes nested = chunk(0xA300, text("deep.bmp"));
    for (int i = 0; i < 5000; ++i)
        nested = chunk(0xA200, nested);
    expectRejected(file(chunk(0xAFFF, nested)), "deep nesting");

    // Through the file wrapper the reason reaches the player.
    Scene3ds scene;
    LoadReport report;
    EXPECT_FALSE(Reader3ds().import3ds(scene, writeTemp(shortChunk, "damaged.3ds").c_str(), report));
    ASSERT_EQ(report.messages.size(), 1u);
    EXPECT_NE(report.messages[0].text.find("damaged.3ds is damaged"), std::string::npos);
}

TEST(Reader3dsNormals, LinearPassMatchesPerVertexSearchBitForBit)
{
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> coordinate(-50.0f, 50.0f);
    for (int round = 0; round < 20; ++round) {
        Scene3ds scene;
        Object3ds& o = scene.objects.emplace_back();
        const int vertexCount = 40 + round * 7;
        for (int v = 0; v < vertexCount; ++v)
            o.vertices.push_back({coordinate(random), coordinate(random), coordinate(random)});
        std::uniform_int_distribution<int> pick(0, vertexCount - 1);
        for (int f = 0; f < 3 * vertexCount; ++f) {
            Face3ds face{{pick(random), pick(random), pick(random)}};
            if (f % 5 == 0)
                face.vertexIndex[2] = face.vertexIndex[0];  // names a vertex twice
            if (f % 11 == 0)
                face.vertexIndex[1] = face.vertexIndex[0];
            o.faces.push_back(face);
        }
        Reader3ds::computeNormals(scene);
        const std::vector<Vector3> expected = referenceNormals(o);
        for (std::size_t v = 0; v < o.vertices.size(); ++v) {
            if (std::isnan(expected[v].x)) {
                expectVector(o.normals[v], 0, 1, 0);  // where the search divides by zero
                continue;
            }
            EXPECT_EQ(std::memcmp(&o.normals[v], &expected[v], sizeof(Vector3)), 0) << "round " << round << " vertex " << v;
        }
    }
}

TEST(Reader3dsNormals, ExtremeCoordinatesGiveUnitNormals)
{
    Scene3ds scene;
    Object3ds& o = scene.objects.emplace_back();
    // Float squares overflow for the first triangle and underflow for the second.
    o.vertices = {{0, 0, 0}, {1e18f, 0, 0}, {0, 1e18f, 0}, {0, 0, 0}, {1e-17f, 0, 0}, {0, 1e-17f, 0},
                  {NAN, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    o.faces = {Face3ds{{0, 1, 2}}, Face3ds{{3, 4, 5}}, Face3ds{{6, 7, 8}}};
    Reader3ds::computeNormals(scene);
    for (int v = 0; v < 6; ++v)
        expectVector(o.normals[v], 0, 0, 1);
    for (int v = 6; v < 9; ++v)
        expectVector(o.normals[v], 0, 1, 0);
}
