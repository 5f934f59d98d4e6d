// turfwar-datagen and the default data it makes. The tool is run as a user
// runs it; the files are then read back by independent means: assimp for the
// 3DS and MS3D structure, ImageMagick for the images, and small readers and
// skeleton math of this file for what the game's code is written around
// (joint 37's muzzle and aim, the feet, the walk, the dome's facing).

#include "tests/game_folder.h"
#include "tests/tool_runner.h"
#include "tools/datagen/datagen.h"
#include "tools/datagen/image.h"
#include "tools/datagen/sounds.h"

#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The files the game opens, and the textures their materials name.
const std::vector<std::string> kExpectedFiles = [] {
    std::vector<std::string> files = {"car.txt",      "car.3ds",      "wheel.3ds",   "carpaint.bmp",
                                      "carcabin.bmp", "cartrim.bmp",  "tyre.bmp",    "rim.bmp",
                                      "data/model.ms3d", "data/gun.ms3d", "data/skin.bmp", "data/gun.bmp",
                                      "sky.ms3d",     "sky.bmp",      "grass14.bmp", "aasdf.tga"};
    for (int i = 0; i < 15; ++i)
        files.push_back("fire/" + std::to_string(12001 + i) + ".bmp");
    files.push_back("carpaint_blue.bmp");
    files.push_back("carcabin_blue.bmp");
    for (const char* sound : {"hand_gun", "car_gun", "hit", "clank", "wheel_off", "engine", "skid", "crash",
                              "footstep", "door", "round_start", "clock_tick", "knock_out", "round_end"})
        files.push_back(std::string("sound/") + sound + ".wav");
    std::sort(files.begin(), files.end());
    return files;
}();

constexpr double kPi = std::numbers::pi;

const std::string kCarFile = std::string(TURFWAR_SOURCE_DIR) + "/data/car.txt";

fs::path scratchDir(const std::string& name)
{
    return fs::temp_directory_path() / ("turfwar-datagen-test-" + std::to_string(::getpid()) + "-" + name);
}

std::vector<std::string> filesUnder(const fs::path& dir)
{
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file())
            files.push_back(fs::relative(entry.path(), dir).generic_string());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::uint8_t> readBytes(const fs::path& path)
{
    const std::string s = readWholeFile(path);
    return {s.begin(), s.end()};
}

// The eleven numbers, read the way the game reads them.
std::array<float, 11> carNumbers()
{
    std::istringstream in(readWholeFile(kCarFile));
    std::array<float, 11> v{};
    for (float& f : v)
        in >> f;
    EXPECT_TRUE(in) << "data/car.txt must hold eleven numbers";
    return v;
}

// Bounded little-endian reader for the checks below.
struct Cursor {
    const std::vector<std::uint8_t>& bytes;
    std::size_t at = 0;
    bool ok = true;

    bool need(std::size_t n)
    {
        if (at + n > bytes.size())
            ok = false;
        return ok;
    }
    std::uint32_t uint(int size)
    {
        if (!need(static_cast<std::size_t>(size)))
            return 0;
        std::uint32_t v = 0;
        for (int i = 0; i < size; ++i)
            v |= static_cast<std::uint32_t>(bytes[at + static_cast<std::size_t>(i)]) << (8 * i);
        at += static_cast<std::size_t>(size);
        return v;
    }
    std::uint8_t u8() { return static_cast<std::uint8_t>(uint(1)); }
    std::uint16_t u16() { return static_cast<std::uint16_t>(uint(2)); }
    float f32()
    {
        const std::uint32_t bits = uint(4);
        float f = 0.0f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    std::string text(std::size_t width)
    {
        if (!need(width))
            return {};
        std::string s(reinterpret_cast<const char*>(&bytes[at]), width);
        at += width;
        return s.substr(0, s.find('\0'));
    }
    void skip(std::size_t n)
    {
        if (need(n))
            at += n;
    }
};

// --- MS3D, as laid out for the game's reader ---------------------------------

struct Vec {
    double x = 0, y = 0, z = 0;
};
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double len(Vec a) { return std::sqrt(dot(a, a)); }

struct Key {
    float timeMs;
    Vec value;
};
struct Joint {
    std::string name, parentName;
    int parent = -1;
    Vec rotation, position;
    std::vector<Key> rotationKeys, translationKeys;
};
struct Ms3d {
    bool ok = false;
    int version = 0;
    std::vector<Vec> vertices;
    std::vector<int> vertexJoint;
    std::vector<std::array<int, 3>> triangles;
    std::vector<std::string> textures;
    float fps = 0.0f;
    int totalFrames = 0;
    std::vector<Joint> joints;
};

Ms3d readMs3d(const fs::path& path)
{
    const std::vector<std::uint8_t> bytes = readBytes(path);
    Cursor c{bytes};
    Ms3d m;
    if (c.text(10) != "MS3D000000")
        return m;
    m.version = static_cast<int>(c.uint(4));
    const int vertexCount = c.u16();
    for (int i = 0; i < vertexCount && c.ok; ++i) {
        c.skip(1);
        const float x = c.f32(), y = c.f32(), z = c.f32();
        m.vertices.push_back({x, y, z});
        m.vertexJoint.push_back(static_cast<std::int8_t>(c.u8()));
        c.skip(1);
    }
    const int triangleCount = c.u16();
    for (int i = 0; i < triangleCount && c.ok; ++i) {
        c.skip(2);
        std::array<int, 3> t{};
        for (int& v : t)
            v = c.u16();
        m.triangles.push_back(t);
        c.skip(36 + 12 + 12 + 2);
    }
    const int groupCount = c.u16();
    for (int i = 0; i < groupCount && c.ok; ++i) {
        c.skip(33);
        c.skip(2u * c.u16());
        c.skip(1);
    }
    const int materialCount = c.u16();
    for (int i = 0; i < materialCount && c.ok; ++i) {
        c.skip(105);
        m.textures.push_back(c.text(128));
        c.skip(128);
    }
    m.fps = c.f32();
    c.f32();
    m.totalFrames = static_cast<int>(c.uint(4));
    const int jointCount = c.u16();
    for (int i = 0; i < jointCount && c.ok; ++i) {
        Joint j;
        c.skip(1);
        j.name = c.text(32);
        j.parentName = c.text(32);
        j.rotation = {c.f32(), c.f32(), c.f32()};
        j.position = {c.f32(), c.f32(), c.f32()};
        const int rotations = c.u16(), translations = c.u16();
        for (int k = 0; k < rotations + translations && c.ok; ++k) {
            const float t = c.f32();
            const Key key{static_cast<float>(t * 1000.0), {c.f32(), c.f32(), c.f32()}};
            (k < rotations ? j.rotationKeys : j.translationKeys).push_back(key);
        }
        for (int p = 0; p < static_cast<int>(m.joints.size()); ++p)
            if (m.joints[static_cast<std::size_t>(p)].name == j.parentName)
                j.parent = p;
        m.joints.push_back(j);
    }
    // Our files end with the last joint: anything left over means the writer
    // and the layout disagree somewhere.
    m.ok = c.ok && c.at == bytes.size();
    return m;
}

// A rigid transform with the animation's conventions: Euler (a0, a1, a2)
// turns about x, then y, then z.
struct Rigid {
    double r[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    Vec t;

    static Rigid euler(Vec a, Vec translation)
    {
        const double cr = std::cos(static_cast<float>(a.x)), sr = std::sin(static_cast<float>(a.x));
        const double cp = std::cos(static_cast<float>(a.y)), sp = std::sin(static_cast<float>(a.y));
        const double cy = std::cos(static_cast<float>(a.z)), sy = std::sin(static_cast<float>(a.z));
        Rigid m;
        const double rz[3][3] = {{cy, -sy, 0}, {sy, cy, 0}, {0, 0, 1}};
        const double ry[3][3] = {{cp, 0, sp}, {0, 1, 0}, {-sp, 0, cp}};
        const double rx[3][3] = {{1, 0, 0}, {0, cr, -sr}, {0, sr, cr}};
        double zy[3][3] = {};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                for (int k = 0; k < 3; ++k)
                    zy[i][j] += rz[i][k] * ry[k][j];
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                m.r[i][j] = 0;
                for (int k = 0; k < 3; ++k)
                    m.r[i][j] += zy[i][k] * rx[k][j];
            }
        m.t = translation;
        return m;
    }
    Rigid operator*(const Rigid& b) const
    {
        Rigid o;
        const double bt[3] = {b.t.x, b.t.y, b.t.z};
        double ot[3] = {t.x, t.y, t.z};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j)
                o.r[i][j] = r[i][0] * b.r[0][j] + r[i][1] * b.r[1][j] + r[i][2] * b.r[2][j];
            ot[i] += r[i][0] * bt[0] + r[i][1] * bt[1] + r[i][2] * bt[2];
        }
        o.t = {ot[0], ot[1], ot[2]};
        return o;
    }
    Vec direction(Vec v) const
    {
        return {r[0][0] * v.x + r[0][1] * v.y + r[0][2] * v.z, r[1][0] * v.x + r[1][1] * v.y + r[1][2] * v.z,
                r[2][0] * v.x + r[2][1] * v.y + r[2][2] * v.z};
    }
    Vec point(Vec v) const
    {
        const Vec d = direction(v);
        return {d.x + t.x, d.y + t.y, d.z + t.z};
    }
    Vec inversePoint(Vec v) const
    {
        const Vec d = v - t;
        return {r[0][0] * d.x + r[1][0] * d.y + r[2][0] * d.z, r[0][1] * d.x + r[1][1] * d.y + r[2][1] * d.z,
                r[0][2] * d.x + r[1][2] * d.y + r[2][2] * d.z};
    }
};

Vec sampleKeys(const std::vector<Key>& keys, float timeMs)
{
    std::size_t f = 0;
    while (f < keys.size() && keys[f].timeMs < timeMs)
        ++f;
    if (f == 0)
        return keys.front().value;
    if (f == keys.size())
        return keys.back().value;
    const Key& a = keys[f - 1];
    const Key& b = keys[f];
    const double u = (timeMs - a.timeMs) / (b.timeMs - a.timeMs);
    return {a.value.x + (b.value.x - a.value.x) * u, a.value.y + (b.value.y - a.value.y) * u,
            a.value.z + (b.value.z - a.value.z) * u};
}

std::vector<Rigid> bindPose(const Ms3d& m)
{
    std::vector<Rigid> bind;
    for (const Joint& j : m.joints) {
        const Rigid local = Rigid::euler(j.rotation, j.position);
        bind.push_back(j.parent < 0 ? local : bind[static_cast<std::size_t>(j.parent)] * local);
    }
    return bind;
}

// Joint transforms at a clock time, as the game's animation poses them
// (a joint without keys stays at its bind pose).
std::vector<Rigid> poseAt(const Ms3d& m, float timeMs)
{
    const std::vector<Rigid> bind = bindPose(m);
    std::vector<Rigid> pose;
    for (std::size_t i = 0; i < m.joints.size(); ++i) {
        const Joint& j = m.joints[i];
        if (j.rotationKeys.empty() && j.translationKeys.empty()) {
            pose.push_back(bind[i]);
            continue;
        }
        const Rigid r = Rigid::euler(j.rotation, j.position) *
                        Rigid::euler(sampleKeys(j.rotationKeys, timeMs), sampleKeys(j.translationKeys, timeMs));
        pose.push_back(j.parent < 0 ? r : pose[static_cast<std::size_t>(j.parent)] * r);
    }
    return pose;
}

double lowestSkinnedY(const Ms3d& m, float timeMs)
{
    const std::vector<Rigid> bind = bindPose(m), pose = poseAt(m, timeMs);
    double lowest = 1e9;
    for (std::size_t v = 0; v < m.vertices.size(); ++v) {
        const auto j = static_cast<std::size_t>(m.vertexJoint[v]);
        lowest = std::min(lowest, pose[j].point(bind[j].inversePoint(m.vertices[v])).y);
    }
    return lowest;
}

int jointNamed(const Ms3d& m, const std::string& name)
{
    for (std::size_t i = 0; i < m.joints.size(); ++i)
        if (m.joints[i].name == name)
            return static_cast<int>(i);
    return -1;
}

// --- BMP and TGA pixels, for content checks --------------------------------

struct Pixels {
    int width = 0, height = 0, channels = 0;
    std::vector<std::uint8_t> data;  // bottom row first, channels as stored (BGR or BGRA)
    const std::uint8_t* at(int x, int y) const
    {
        return &data[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) *
                     static_cast<std::size_t>(channels)];
    }
};

Pixels readBmp(const fs::path& path)
{
    const std::vector<std::uint8_t> bytes = readBytes(path);
    Cursor c{bytes};
    Pixels p;
    c.at = 10;
    const std::uint32_t offset = c.uint(4);
    c.at = 18;
    p.width = static_cast<int>(c.uint(4));
    p.height = static_cast<int>(c.uint(4));
    p.channels = 3;
    const std::size_t rowBytes = (static_cast<std::size_t>(p.width) * 3 + 3) & ~std::size_t{3};
    for (int y = 0; y < p.height; ++y) {
        c.at = offset + static_cast<std::size_t>(y) * rowBytes;
        for (int i = 0; i < p.width * 3; ++i)
            p.data.push_back(c.u8());
    }
    return c.ok ? p : Pixels{};
}

Pixels readTga32(const fs::path& path)
{
    const std::vector<std::uint8_t> bytes = readBytes(path);
    Cursor c{bytes};
    Pixels p;
    c.at = 12;
    p.width = c.u16();
    p.height = c.u16();
    p.channels = 4;
    c.at = 18;
    for (int i = 0; i < p.width * p.height * 4; ++i)
        p.data.push_back(c.u8());
    return c.ok ? p : Pixels{};
}

double meanBrightness(const Pixels& p)
{
    double sum = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            sum += p.at(x, y)[0] + p.at(x, y)[1] + p.at(x, y)[2];
    return sum / (3.0 * p.width * p.height);
}

// --- The data made once per test process --------------------------------------

class GeneratedData : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = scratchDir("data");
        fs::remove_all(dir_);
        result_ = runTool("turfwar-datagen", dir_.string() + " --car " + kCarFile);
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }
    void SetUp() override { ASSERT_EQ(result_.status, 0) << result_.err; }

    static fs::path dir_;
    static ToolResult result_;
};
fs::path GeneratedData::dir_;
ToolResult GeneratedData::result_;

struct Box {
    aiVector3D lo{1e9f, 1e9f, 1e9f}, hi{-1e9f, -1e9f, -1e9f};
    void add(const aiVector3D& p)
    {
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
};

Box boundsOf(const aiScene* scene)
{
    Box box;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m)
        for (unsigned v = 0; v < scene->mMeshes[m]->mNumVertices; ++v)
            box.add(scene->mMeshes[m]->mVertices[v]);
    return box;
}

}  // namespace

TEST(DatagenTool, WritesEveryFileTheGameOpensWithTheSameBytesOnEveryRun)
{
    const fs::path a = scratchDir("a"), b = scratchDir("b");
    fs::remove_all(a);
    fs::remove_all(b);
    const ToolResult first = runTool("turfwar-datagen", a.string() + " --car " + kCarFile);
    const ToolResult second = runTool("turfwar-datagen", "--quiet --car " + kCarFile + " " + b.string());
    ASSERT_EQ(first.status, 0) << first.err;
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_NE(first.out.find("wrote " + std::to_string(kExpectedFiles.size()) + " files"), std::string::npos) << first.out;
    EXPECT_EQ(second.out, "");

    EXPECT_EQ(filesUnder(a), kExpectedFiles);
    EXPECT_EQ(filesUnder(b), kExpectedFiles);
    for (const std::string& file : kExpectedFiles) {
        const std::string bytes = readWholeFile(a / file);
        EXPECT_GT(bytes.size(), 0u) << file;
        EXPECT_EQ(bytes, readWholeFile(b / file)) << file << " differs between two runs";
    }
    // The car file is shipped as it stands: it is the one source of the numbers.
    EXPECT_EQ(readWholeFile(a / "car.txt"), readWholeFile(kCarFile));
    fs::remove_all(a);
    fs::remove_all(b);
}

// With no --car the tool takes the car file of the game's data, found as the
// game finds it (here the current directory), never a path of the build: an
// installed tool has no build tree to read.
TEST(DatagenTool, WithoutACarFileTakesTheGameDataOne)
{
    const fs::path out = scratchDir("from-data");
    fs::remove_all(out);
    GameFolder folder;
    const std::string carText = "31 8 16 0 7 0 4.5 20 20 10 10\n";
    folder.write("car.txt", carText);
    const ToolResult r = runTool("turfwar-datagen", "--quiet " + out.string());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readWholeFile(out / "car.txt"), carText);
    fs::remove_all(out);

    const ToolResult help = runTool("turfwar-datagen", "--help");
    EXPECT_EQ(help.status, 0);
    // Past the usage line, which names the program by the path it was run as.
    const std::string options = help.out.substr(std::min(help.out.find("Options:"), help.out.size()));
    EXPECT_NE(options.find("--car"), std::string::npos) << help.out;
    EXPECT_EQ(options.find(TURFWAR_SOURCE_DIR), std::string::npos) << help.out;
}

TEST(DatagenTool, RefusesACarFileItCannotFitTheCarTo)
{
    const fs::path in = scratchDir("in"), out = scratchDir("out");
    fs::create_directories(in);
    fs::remove_all(out);
    const auto runWith = [&](const std::string& carText) {
        std::ofstream(in / "car.txt") << carText;
        return runTool("turfwar-datagen", out.string() + " --car " + (in / "car.txt").string());
    };

    ToolResult r = runWith("30 8 16 0 7 0 4.5 20 20 10");  // ten numbers
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("number 11 (frontAxleX)"), std::string::npos) << r.err;
    r = runWith("30 8 16 0 7 0 wheel 20 20 10 10");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("wheelRadius"), std::string::npos) << r.err;
    r = runWith("30 8 16 0 7 0 0 20 20 10 10");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("(wheelRadius) is 0; it must be greater than 0"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(out)) << "nothing is written for an unusable car file";

    r = runTool("turfwar-datagen", out.string() + " --car " + (in / "missing.txt").string());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("missing.txt"), std::string::npos) << r.err;
    EXPECT_EQ(runTool("turfwar-datagen", "").status, 2);

    // Another car file gives meshes fitted to it.
    r = runWith("40 10 20 0 9 0 6 24 22 13 12 and a note after the numbers");
    ASSERT_EQ(r.status, 0) << r.err;
    Assimp::Importer importer;
    const aiScene* car = importer.ReadFile((out / "car.3ds").string(), 0);
    ASSERT_NE(car, nullptr) << importer.GetErrorString();
    const Box box = boundsOf(car);
    EXPECT_NEAR(box.hi.x - box.lo.x, 40.0f, 1e-3f);
    EXPECT_NEAR(box.hi.z - box.lo.z, 10.0f, 1e-3f);
    EXPECT_NEAR(box.hi.y - box.lo.y, 20.0f, 1e-3f);
    fs::remove_all(in);
    fs::remove_all(out);
}

TEST_F(GeneratedData, TheCarMeshFillsTheChassisBoxOfTheCarFileAndIsTextured)
{
    const std::array<float, 11> car = carNumbers();
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile((dir_ / "car.3ds").string(), 0);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    EXPECT_GE(scene->mNumMeshes, 4u) << "body, cabin, bumpers, lights";

    // The file is z-up: the game's x, y, z are the file's x, z, -y.
    const Box box = boundsOf(scene);
    EXPECT_NEAR(box.lo.x, -car[0] / 2, 1e-4f);
    EXPECT_NEAR(box.hi.x, car[0] / 2, 1e-4f);
    EXPECT_NEAR(box.lo.z, -car[1] / 2, 1e-4f);
    EXPECT_NEAR(box.hi.z, car[1] / 2, 1e-4f);
    EXPECT_NEAR(box.lo.y, -car[2] / 2, 1e-4f);
    EXPECT_NEAR(box.hi.y, car[2] / 2, 1e-4f);

    // Every object has a material with a texture that was written (an object
    // without one would draw plain white), and texture coordinates to use it.
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        const aiMesh* mesh = scene->mMeshes[m];
        EXPECT_TRUE(mesh->HasTextureCoords(0)) << "mesh " << m;
        aiString texture;
        ASSERT_EQ(scene->mMaterials[mesh->mMaterialIndex]->GetTexture(aiTextureType_DIFFUSE, 0, &texture), AI_SUCCESS);
        EXPECT_TRUE(fs::exists(dir_ / texture.C_Str())) << texture.C_Str();
    }
}

TEST_F(GeneratedData, TheWheelHasTheCarFileRadiusAroundAnAxleAlongZ)
{
    const float radius = carNumbers()[6];
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile((dir_ / "wheel.3ds").string(), 0);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    const Box box = boundsOf(scene);
    // The game's x and y (the file's x and z) span the diameter; the game's z
    // axle (the file's y) is the thin side, centred.
    EXPECT_NEAR(box.lo.x, -radius, 1e-4f);
    EXPECT_NEAR(box.hi.x, radius, 1e-4f);
    EXPECT_NEAR(box.lo.z, -radius, 1e-4f);
    EXPECT_NEAR(box.hi.z, radius, 1e-4f);
    EXPECT_NEAR(box.lo.y, -box.hi.y, 1e-4f);
    EXPECT_LT(box.hi.y - box.lo.y, radius);
    float farthest = 0.0f;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m)
        for (unsigned v = 0; v < scene->mMeshes[m]->mNumVertices; ++v) {
            const aiVector3D p = scene->mMeshes[m]->mVertices[v];
            farthest = std::max(farthest, std::sqrt(p.x * p.x + p.z * p.z));
        }
    EXPECT_NEAR(farthest, radius, 1e-4f);
}

TEST_F(GeneratedData, ClosedModelsTurnTheirFrontFacesOutwards)
{
    // Lighting and the 3DS normals (taken from the winding) need every face's
    // counter-clockwise side outside. The car, wheel, player and gun are built
    // from closed pieces, so with outward faces their signed volume (the sum
    // over triangles of a . (b x c) / 6) is positive, and a flipped piece would
    // subtract its own volume.
    const std::array<float, 11> car = carNumbers();
    const struct {
        const char* file;
        double minimum, maximum;
    } models[] = {
        {"car.3ds", 0.4 * car[0] * car[1] * car[2], 1.0 * car[0] * car[1] * car[2]},
        {"wheel.3ds", 0.5 * kPi * car[6] * car[6] * 0.7 * car[6], kPi * car[6] * car[6] * 0.7 * car[6]},
        {"data/model.ms3d", 3000.0, 20000.0},
        {"data/gun.ms3d", 50.0, 600.0},
    };
    for (const auto& model : models) {
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile((dir_ / model.file).string(), 0);
        ASSERT_NE(scene, nullptr) << importer.GetErrorString();
        double volume = 0;
        for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
            const aiMesh* mesh = scene->mMeshes[m];
            for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
                const aiFace& face = mesh->mFaces[f];
                const aiVector3D a = mesh->mVertices[face.mIndices[0]], b = mesh->mVertices[face.mIndices[1]],
                                 c = mesh->mVertices[face.mIndices[2]];
                volume += a * (b ^ c) / 6.0;
            }
        }
        EXPECT_GT(volume, model.minimum) << model.file;
        EXPECT_LT(volume, model.maximum) << model.file;
    }
}

TEST_F(GeneratedData, The3dsFilesOpenTheWayTheGamesReaderWalksThem)
{
    for (const char* file : {"car.3ds", "wheel.3ds"}) {
        const std::vector<std::uint8_t> bytes = readBytes(dir_ / file);
        Cursor c{bytes};
        EXPECT_EQ(c.u16(), 0x4D4D) << file;
        EXPECT_EQ(c.uint(4), bytes.size()) << file;
        // A version of 3 or less loads without the "over version 3" warning.
        EXPECT_EQ(c.u16(), 0x0002) << file;
        EXPECT_EQ(c.uint(4), 10u) << file;
        EXPECT_EQ(c.uint(4), 3u) << file;
        // The editor's first sub-chunk is skipped unseen: it must be the mesh
        // version, not a material or an object.
        EXPECT_EQ(c.u16(), 0x3D3D) << file;
        c.uint(4);
        EXPECT_EQ(c.u16(), 0x3D3E) << file;
        EXPECT_TRUE(c.ok) << file;

        // Every container's sub-chunks fill it exactly: the reader adds up the
        // sub-chunks' lengths to know where its parent ends.
        std::vector<std::string> problems;
        const std::function<void(std::size_t, std::size_t, int)> walk = [&](std::size_t begin, std::size_t end,
                                                                             int depth) {
            std::size_t at = begin;
            while (at < end) {
                if (at + 6 > end) {
                    problems.push_back("chunk header past its parent at " + std::to_string(at));
                    return;
                }
                Cursor h{bytes, at};
                const std::uint16_t id = h.u16();
                const std::uint32_t length = h.uint(4);
                if (length < 6 || at + length > end) {
                    problems.push_back("chunk " + std::to_string(id) + " overruns its parent at " + std::to_string(at));
                    return;
                }
                std::size_t payload = at + 6;
                if (id == 0x4000)  // a name before the sub-chunks
                    while (payload < at + length && bytes[payload++] != 0) {
                    }
                if (id == 0x4120)  // faces before the sub-chunks
                    payload += 2 + 8 * static_cast<std::size_t>(bytes[payload] | bytes[payload + 1] << 8);
                const std::set<std::uint16_t> containers = {0x4D4D, 0x3D3D, 0xAFFF, 0xA020, 0xA200,
                                                            0x4000, 0x4100, 0x4120};
                if (containers.count(id) && depth < 8)
                    walk(payload, at + length, depth + 1);
                at += length;
            }
        };
        walk(0, bytes.size(), 0);
        EXPECT_TRUE(problems.empty()) << file << ": " << problems.front();
    }
}

TEST_F(GeneratedData, TheSkyIsADomeOfRadius1500SeenFromInside)
{
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile((dir_ / "sky.ms3d").string(), 0);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    ASSERT_EQ(scene->mNumMeshes, 1u);
    const aiMesh* dome = scene->mMeshes[0];
    const Box box = boundsOf(scene);
    EXPECT_NEAR(box.hi.y, 1500.0f, 0.01f);
    EXPECT_LT(box.lo.y, 0.0f) << "reaches below the horizon, past the arena's edge";
    for (unsigned v = 0; v < dome->mNumVertices; ++v)
        ASSERT_NEAR(dome->mVertices[v].Length(), 1500.0f, 0.05f);
    // Every face turns its front (counter-clockwise side) and its normals to the centre.
    for (unsigned f = 0; f < dome->mNumFaces; ++f) {
        const aiFace& face = dome->mFaces[f];
        ASSERT_EQ(face.mNumIndices, 3u);
        const aiVector3D a = dome->mVertices[face.mIndices[0]], b = dome->mVertices[face.mIndices[1]],
                         c = dome->mVertices[face.mIndices[2]];
        const aiVector3D n = (b - a) ^ (c - a);
        ASSERT_LT(n * (a + b + c), 0.0f) << "face " << f << " faces outwards";
        ASSERT_LT(dome->mNormals[face.mIndices[0]] * a, 0.0f);
    }
    const Ms3d sky = readMs3d(dir_ / "sky.ms3d");
    ASSERT_TRUE(sky.ok);
    ASSERT_EQ(sky.textures.size(), 1u);
    EXPECT_EQ(sky.textures[0].rfind(".\\", 0), 0u);
    EXPECT_TRUE(fs::exists(dir_ / sky.textures[0].substr(2)));
}

TEST_F(GeneratedData, ThePlayerHas38JointsParentsFirstAndOtherToolsReadIt)
{
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile((dir_ / "data/model.ms3d").string(), 0);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    ASSERT_EQ(scene->mNumAnimations, 1u);
    EXPECT_GE(scene->mAnimations[0]->mNumChannels, 38u);
    EXPECT_NEAR(boundsOf(scene).lo.y, -35.0f, 1e-4f);

    const Ms3d player = readMs3d(dir_ / "data/model.ms3d");
    ASSERT_TRUE(player.ok);
    EXPECT_EQ(player.version, 4);
    ASSERT_GE(player.joints.size(), 38u);
    for (std::size_t i = 0; i < player.joints.size(); ++i) {
        const Joint& j = player.joints[i];
        if (j.parentName.empty())
            continue;
        EXPECT_GE(j.parent, 0) << j.name << " names a parent listed after it (or none)";
        // Every joint is keyed, so it follows its parent as the body moves.
        EXPECT_FALSE(j.rotationKeys.empty() || j.translationKeys.empty()) << j.name;
    }
    for (int joint : player.vertexJoint)
        ASSERT_TRUE(joint >= 0 && joint < static_cast<int>(player.joints.size()));
    // The skin is named relative to the model's own folder.
    ASSERT_EQ(player.textures.size(), 1u);
    EXPECT_EQ(player.textures[0].rfind(".\\", 0), 0u) << player.textures[0];
    EXPECT_TRUE(fs::exists(dir_ / "data" / player.textures[0].substr(2)));
}

TEST_F(GeneratedData, TheRightHandAimsTheGunAheadThroughTheWholeWalk)
{
    const Ms3d player = readMs3d(dir_ / "data/model.ms3d");
    ASSERT_TRUE(player.ok);
    ASSERT_GE(player.joints.size(), 38u);
    const float endMs = static_cast<float>(player.totalFrames * 1000.0 / player.fps);
    EXPECT_FLOAT_EQ(endMs, 5200.0f);
    for (float t = 4200.0f; t <= endMs; t += 25.0f) {
        const Rigid hand = poseAt(player, t)[datagen::kHandJoint];
        const Vec aim = hand.direction({1, 0, 0});
        const Vec muzzle = hand.point({datagen::kMuzzleInHand.x, datagen::kMuzzleInHand.y, datagen::kMuzzleInHand.z});
        // +x of the hand along the player's forward (model +z), the gun upright.
        EXPECT_GT(aim.z, std::cos(3.0 * std::numbers::pi / 180.0)) << "at " << t << " ms";
        EXPECT_GT(hand.direction({0, 1, 0}).y, 0.99) << "at " << t << " ms";
        // The muzzle is well ahead of the body, on the right (-x), at chest height.
        EXPECT_GT(muzzle.z, 20.0) << "at " << t << " ms";
        EXPECT_LT(muzzle.x, -2.0) << "at " << t << " ms";
        EXPECT_TRUE(muzzle.y > 0.0 && muzzle.y < 25.0) << "at " << t << " ms: " << muzzle.y;
    }

    // The gun, modelled in that frame, ends in the muzzle (20, 2, 5).
    const Ms3d gun = readMs3d(dir_ / "data/gun.ms3d");
    ASSERT_TRUE(gun.ok);
    double maxX = -1e9;
    for (const Vec& v : gun.vertices)
        maxX = std::max(maxX, v.x);
    EXPECT_NEAR(maxX, 20.0, 1e-5);
    Vec tipLo{1e9, 1e9, 1e9}, tipHi{-1e9, -1e9, -1e9};
    int tipCount = 0;
    for (std::size_t i = 0; i < gun.vertices.size(); ++i) {
        EXPECT_EQ(gun.vertexJoint[i], -1);
        const Vec v = gun.vertices[i];
        if (v.x > 20.0 - 1e-5) {
            tipLo = {v.x, std::min(tipLo.y, v.y), std::min(tipLo.z, v.z)};
            tipHi = {v.x, std::max(tipHi.y, v.y), std::max(tipHi.z, v.z)};
            ++tipCount;
        }
    }
    ASSERT_GT(tipCount, 2);
    EXPECT_NEAR((tipLo.y + tipHi.y) / 2, 2.0, 1e-5);
    EXPECT_NEAR((tipLo.z + tipHi.z) / 2, 5.0, 1e-5);
    EXPECT_LT(tipHi.y - tipLo.y, 3.0) << "the muzzle is the barrel's end, not a wide face";
}

TEST_F(GeneratedData, TheWalkStartsStandingOnTheGroundLoopsAndAlternates)
{
    const Ms3d player = readMs3d(dir_ / "data/model.ms3d");
    ASSERT_TRUE(player.ok);
    const std::vector<Rigid> bind = bindPose(player);

    // At exactly 4200 ms (where the game starts and restarts the animation)
    // and at the end where the loop jumps back to it: the bind pose.
    for (float t : {4200.0f, 5200.0f}) {
        const std::vector<Rigid> pose = poseAt(player, t);
        for (std::size_t j = 0; j < pose.size(); ++j) {
            EXPECT_NEAR(len(pose[j].t - bind[j].t), 0.0, 1e-4) << player.joints[j].name << " at " << t;
            for (const Vec axis : {Vec{1, 0, 0}, Vec{0, 1, 0}})
                EXPECT_NEAR(len(pose[j].direction(axis) - bind[j].direction(axis)), 0.0, 1e-5)
                    << player.joints[j].name << " at " << t;
        }
    }
    EXPECT_NEAR(lowestSkinnedY(player, 4200.0f), -35.0, 1e-4);

    // Standing on the ground all the way through: the lower foot stays at -35.
    for (float t = 4200.0f; t <= 5200.0f; t += 10.0f)
        EXPECT_NEAR(lowestSkinnedY(player, t), -35.0, 0.6) << "at " << t << " ms";

    // Legs alternate and the free arm swings.
    const int leftAnkle = jointNamed(player, "ankle_l"), rightAnkle = jointNamed(player, "ankle_r");
    const int leftWrist = jointNamed(player, "wrist_l");
    ASSERT_TRUE(leftAnkle >= 0 && rightAnkle >= 0 && leftWrist >= 0);
    const auto stride = [&](float t) {
        const std::vector<Rigid> pose = poseAt(player, t);
        return pose[static_cast<std::size_t>(leftAnkle)].t.z - pose[static_cast<std::size_t>(rightAnkle)].t.z;
    };
    const auto wristZ = [&](float t) { return poseAt(player, t)[static_cast<std::size_t>(leftWrist)].t.z; };
    EXPECT_LT(stride(4450.0f), -8.0) << "right foot ahead a quarter into the cycle";
    EXPECT_GT(stride(4950.0f), 8.0) << "left foot ahead three quarters in";
    EXPECT_GT(wristZ(4450.0f) - wristZ(4950.0f), 4.0) << "the left arm swings with the right leg";
}

TEST_F(GeneratedData, ImagesHaveTheSizesAndDepthsTheGameExpects)
{
    struct Expected {
        std::string file, format;
        int width, height;
        std::string channels;
    };
    std::vector<Expected> expected = {
        {"grass14.bmp", "BMP3", 256, 256, "srgb"},   {"sky.bmp", "BMP3", 512, 512, "srgb"},
        {"data/skin.bmp", "BMP3", 256, 256, "srgb"}, {"data/gun.bmp", "BMP3", 128, 128, "srgb"},
        {"carpaint.bmp", "BMP3", 128, 128, "srgb"},  {"tyre.bmp", "BMP3", 128, 64, "srgb"},
        {"carpaint_blue.bmp", "BMP3", 128, 128, "srgb"}, {"carcabin_blue.bmp", "BMP3", 128, 128, "srgb"},
        {"aasdf.tga", "TGA", 64, 64, "srgba"},
    };
    for (int i = 0; i < 15; ++i)
        expected.push_back({"fire/" + std::to_string(12001 + i) + ".bmp", "BMP3", 64, 64, "srgb"});
    for (const Expected& e : expected) {
        const std::string command = "identify -format '%m %w %h %z %[channels]' '" + (dir_ / e.file).string() + "'";
        FILE* pipe = ::popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        char line[256] = {};
        const std::size_t n = std::fread(line, 1, sizeof line - 1, pipe);
        ::pclose(pipe);
        EXPECT_EQ(std::string(line, n), e.format + " " + std::to_string(e.width) + " " + std::to_string(e.height) +
                                            " 8 " + e.channels)
            << e.file;
    }
}

// The blue team's paint is the red paint's coat in blue: the same size and
// pattern (the stripe where the red has it), clearly bluer.
TEST_F(GeneratedData, TheBluePaintIsTheRedPaintInBlue)
{
    const Pixels red = readBmp(dir_ / "carpaint.bmp");
    const Pixels blue = readBmp(dir_ / "carpaint_blue.bmp");
    ASSERT_GT(red.width, 0);
    ASSERT_EQ(blue.width, red.width);
    ASSERT_EQ(blue.height, red.height);
    // Channel means, B G R as stored.
    const auto means = [](const Pixels& p) {
        std::array<double, 3> sum{};
        for (std::size_t i = 0; i < p.data.size(); ++i)
            sum[i % 3] += p.data[i];
        for (double& m : sum)
            m /= static_cast<double>(p.data.size() / 3);
        return sum;
    };
    const std::array<double, 3> r = means(red), b = means(blue);
    EXPECT_GT(r[2], 2.0 * r[0]) << "the normal paint is red";
    EXPECT_GT(b[0], 2.0 * b[2]) << "the blue paint is blue";
    EXPECT_GT(b[0], 100.0);
    // The stripe is the same light colour in both.
    int sameStripe = 0, stripe = 0;
    for (int y = 0; y < red.height; ++y)
        for (int x = 0; x < red.width; ++x) {
            const std::uint8_t* a = red.at(x, y);
            if (a[0] > 150 && a[1] > 150 && a[2] > 150) {
                ++stripe;
                const std::uint8_t* c = blue.at(x, y);
                sameStripe += c[0] == a[0] && c[1] == a[1] && c[2] == a[2];
            }
        }
    EXPECT_GT(stripe, 500);
    EXPECT_EQ(sameStripe, stripe);
}

TEST_F(GeneratedData, GrassTilesTheMarkerIsCutOutAndTheFlashFlaresThenFades)
{
    // Grass: the step across the wrap-around edge is no larger than a typical
    // step between neighbouring columns inside the picture.
    const Pixels grass = readBmp(dir_ / "grass14.bmp");
    ASSERT_EQ(grass.width, 256);
    const auto columnStep = [&](int x0, int x1) {
        double sum = 0;
        for (int y = 0; y < grass.height; ++y)
            for (int c = 0; c < 3; ++c)
                sum += std::abs(grass.at(x0, y)[c] - grass.at(x1, y)[c]);
        return sum / (3.0 * grass.height);
    };
    const auto rowStep = [&](int y0, int y1) {
        double sum = 0;
        for (int x = 0; x < grass.width; ++x)
            for (int c = 0; c < 3; ++c)
                sum += std::abs(grass.at(x, y0)[c] - grass.at(x, y1)[c]);
        return sum / (3.0 * grass.width);
    };
    double inside = 0;
    for (int x = 0; x + 1 < grass.width; ++x)
        inside += columnStep(x, x + 1) / (grass.width - 1);
    EXPECT_LT(columnStep(grass.width - 1, 0), 1.5 * inside);
    EXPECT_LT(rowStep(grass.height - 1, 0), 1.5 * inside);

    // Marker: transparent in the corners and the middle ring opaque, with both
    // fully transparent and fully opaque pixels present.
    const Pixels marker = readTga32(dir_ / "aasdf.tga");
    ASSERT_EQ(marker.width, 64);
    std::set<int> alphas;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            alphas.insert(marker.at(x, y)[3]);
    EXPECT_TRUE(alphas.count(0) && alphas.count(255));
    EXPECT_EQ(marker.at(0, 0)[3], 0);
    EXPECT_EQ(marker.at(63, 63)[3], 0);
    EXPECT_EQ(marker.at(32 + 18, 32)[3], 255) << "on the ring";

    // Fire: black edges in every frame; brightest within the first frames,
    // then dimming frame after frame.
    std::vector<double> brightness;
    for (int i = 0; i < 15; ++i) {
        const Pixels frame = readBmp(dir_ / ("fire/" + std::to_string(12001 + i) + ".bmp"));
        ASSERT_EQ(frame.width, 64);
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(frame.at(0, 0)[c], 0) << "frame " << i;
        brightness.push_back(meanBrightness(frame));
    }
    const auto peak = std::max_element(brightness.begin(), brightness.end()) - brightness.begin();
    EXPECT_LE(peak, 3);
    for (std::size_t i = static_cast<std::size_t>(peak) + 1; i < brightness.size(); ++i)
        EXPECT_LT(brightness[i], brightness[i - 1]) << "frame " << i;
    EXPECT_LT(brightness.back(), 0.05 * brightness[static_cast<std::size_t>(peak)]);
}

namespace {

// The pixels ImageMagick decodes from a file, top row first, as raw bytes.
std::string decodedByImageMagick(const fs::path& file, const char* layout)
{
    // -auto-orient: ImageMagick keeps a TGA's bottom-up rows as they are
    // stored and only records the orientation.
    const std::string command = std::string("convert '") + file.string() + "' -auto-orient -depth 8 " + layout + ":-";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    for (std::size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    if (pipe)
        ::pclose(pipe);
    return out;
}

// Where two decodings first differ (-1 when they agree), so a failure names a
// pixel instead of printing two pictures.
long firstDifference(const std::string& a, const std::string& b)
{
    if (a == b)
        return -1;
    const auto mismatch = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    return static_cast<long>(mismatch.first - a.begin());
}

std::string expectedTopRowFirst(const datagen::Image& image, bool alpha)
{
    std::string out;
    for (int y = image.height - 1; y >= 0; --y)
        for (int x = 0; x < image.width; ++x) {
            const datagen::Rgba p = image.at(x, y);
            out += static_cast<char>(p.r);
            out += static_cast<char>(p.g);
            out += static_cast<char>(p.b);
            if (alpha)
                out += static_cast<char>(p.a);
        }
    return out;
}

void writeFile(const fs::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

TEST(DatagenWriters, BmpRowsArePaddedAndStoredBottomUp)
{
    const fs::path dir = scratchDir("bmp");
    fs::create_directories(dir);
    // Widths whose rows need 3, 2, 1 and 0 padding bytes.
    for (int width : {1, 2, 3, 4, 5}) {
        datagen::Image image(width, 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < width; ++x)
                image.at(x, y) = {static_cast<std::uint8_t>(40 * x + 1), static_cast<std::uint8_t>(70 * y + 2),
                                  static_cast<std::uint8_t>(x * 7 + y * 11), 255};
        const fs::path file = dir / ("w" + std::to_string(width) + ".bmp");
        const std::vector<std::uint8_t> bytes = datagen::writeBmp24(image);
        EXPECT_EQ(bytes.size(), 54u + 3u * ((3u * static_cast<unsigned>(width) + 3u) & ~3u)) << width;
        writeFile(file, bytes);
        EXPECT_EQ(firstDifference(decodedByImageMagick(file, "rgb"), expectedTopRowFirst(image, false)), -1)
            << "width " << width;
    }
    fs::remove_all(dir);
}

TEST(DatagenWriters, TgaRunLengthPacketsDecodeToTheSamePixelsAsUncompressed)
{
    const fs::path dir = scratchDir("tga");
    fs::create_directories(dir);
    // Rows mixing runs longer than one packet can hold (128), short runs,
    // lone pixels between runs and all-different stretches; alpha varies too.
    datagen::Image image(300, 4);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const bool run = x < 140 || (x >= 200 && x < 203) || (x >= 250 && (x / 2) % 2 == 0);
            const int v = run ? y * 50 : (x * 37 + y) % 256;
            image.at(x, y) = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(255 - v),
                              static_cast<std::uint8_t>(run ? 9 : x % 7), static_cast<std::uint8_t>(run ? 255 : x % 256)};
        }
    const fs::path raw = dir / "raw.tga", rle = dir / "rle.tga";
    const std::vector<std::uint8_t> rawBytes = datagen::writeTga32(image), rleBytes = datagen::writeTga32(image, true);
    EXPECT_EQ(rawBytes.size(), 18u + 4u * 300u * 4u);
    EXPECT_LT(rleBytes.size(), rawBytes.size());
    EXPECT_EQ(rawBytes[2], 2);
    EXPECT_EQ(rleBytes[2], 10);
    writeFile(raw, rawBytes);
    writeFile(rle, rleBytes);
    const std::string expected = expectedTopRowFirst(image, true);
    EXPECT_EQ(firstDifference(decodedByImageMagick(raw, "rgba"), expected), -1) << "byte offset, top row first";
    EXPECT_EQ(firstDifference(decodedByImageMagick(rle, "rgba"), expected), -1) << "byte offset, top row first";
    fs::remove_all(dir);
}

// The generated sounds: one-shots short and starting and ending at rest, loops
// that repeat without a click (the sample after the last continues the
// waveform as the first does).
TEST(DatagenSounds, OneShotsAreShortAndQuietAtTheEndsAndLoopsJoinWithoutAStep)
{
    for (int i = 0; i < kGameSoundCount; ++i) {
        const GameSoundFile& file = kGameSoundFiles[i];
        SCOPED_TRACE(file.path);
        const std::vector<float> s = datagen::synthesiseSound(static_cast<GameSound>(i));
        ASSERT_GT(s.size(), 100u);
        float peak = 0.0f, largestStep = 0.0f;
        for (std::size_t k = 0; k < s.size(); ++k) {
            peak = std::max(peak, std::fabs(s[k]));
            if (k > 0)
                largestStep = std::max(largestStep, std::fabs(s[k] - s[k - 1]));
        }
        EXPECT_GT(peak, 0.3f);
        EXPECT_LE(peak, 1.0f);
        if (!file.loops) {
            EXPECT_LE(s.size(), 2u * kAudioSampleRate);
            EXPECT_LT(std::fabs(s.front()), 0.01f);
            EXPECT_LT(std::fabs(s.back()), 0.01f);
        } else {
            // Across the seam the wave moves no more than it does inside.
            EXPECT_LE(std::fabs(s.front() - s.back()), largestStep);
        }
    }
}

// The match's sounds as files: each a mono 16-bit PCM WAV at the game's rate,
// a short signal (the tick a beep well under a second, the others two
// seconds at most) with sound in it.
TEST_F(GeneratedData, TheMatchSoundsAreShortMonoWavs)
{
    struct Expected {
        const char* file;
        double shortest, longest;  // seconds
    };
    for (const Expected& e : {Expected{"sound/round_start.wav", 0.3, 2.0}, Expected{"sound/clock_tick.wav", 0.03, 0.3},
                              Expected{"sound/knock_out.wav", 0.3, 2.0}, Expected{"sound/round_end.wav", 0.3, 2.0}}) {
        SCOPED_TRACE(e.file);
        const std::vector<std::uint8_t> bytes = readBytes(dir_ / e.file);
        ASSERT_GT(bytes.size(), 44u);
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
        EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 12), "WAVE");
        Cursor c{bytes};
        c.at = 12;
        std::uint32_t dataBytes = 0, rate = 0;
        int format = 0, channels = 0, bits = 0;
        std::size_t dataAt = 0;
        while (c.ok && c.at + 8 <= bytes.size()) {
            const std::string id(bytes.begin() + static_cast<std::ptrdiff_t>(c.at),
                                 bytes.begin() + static_cast<std::ptrdiff_t>(c.at + 4));
            c.at += 4;
            const std::uint32_t size = c.uint(4);
            const std::size_t next = c.at + size + (size & 1u);
            if (id == "fmt ") {
                format = c.u16();
                channels = c.u16();
                rate = c.uint(4);
                c.at += 6;
                bits = c.u16();
            } else if (id == "data") {
                dataBytes = size;
                dataAt = c.at;
            }
            c.at = next;
        }
        EXPECT_EQ(format, 1);
        EXPECT_EQ(channels, 1);
        EXPECT_EQ(bits, 16);
        EXPECT_EQ(rate, static_cast<std::uint32_t>(kAudioSampleRate));
        ASSERT_GT(dataAt, 0u);
        ASSERT_LE(dataAt + dataBytes, bytes.size());
        const double seconds = dataBytes / 2.0 / kAudioSampleRate;
        EXPECT_GE(seconds, e.shortest);
        EXPECT_LE(seconds, e.longest);
        int loudest = 0;
        for (std::size_t i = dataAt; i + 1 < dataAt + dataBytes; i += 2) {
            const auto sample = static_cast<std::int16_t>(bytes[i] | bytes[i + 1] << 8);
            loudest = std::max(loudest, std::abs(static_cast<int>(sample)));
        }
        EXPECT_GT(loudest, 10000);
    }
}
