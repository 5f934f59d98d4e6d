// turfwar-inspect, run as a modder runs it on the game's own data and on
// broken files.

#include "tool_runner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

const std::string kGameDir = TURFWAR_BINARY_DIR "/game/";

Json inspect(const std::string& file)
{
    const ToolResult r = runTool("turfwar-inspect", "'" + file + "'");
    EXPECT_EQ(r.status, 0) << file << ": " << r.err;
    EXPECT_EQ(r.err, "") << file;
    return r.status == 0 ? Json::parse(r.out) : Json();
}

TEST(InspectTool, DescribesEveryFileOfTheDefaultData)
{
    const Json car = inspect(kGameDir + "car.3ds");
    EXPECT_EQ(car["format"], "3ds");
    ASSERT_FALSE(car["objects"].empty());
    for (const Json& object : car["objects"]) {
        EXPECT_GT(object["faces"].get<int>(), 0) << object["name"];
        EXPECT_EQ(object["texCoords"], object["vertices"]) << object["name"];
        EXPECT_TRUE(object["bounds"].is_object());
    }
    for (const Json& material : car["materials"])
        EXPECT_TRUE(fs::exists(kGameDir + material["textureFile"].get<std::string>())) << material;

    const Json wheel = inspect(kGameDir + "wheel.3ds");
    EXPECT_FLOAT_EQ(wheel["objects"][0]["bounds"]["max"][1].get<float>(), 4.5f);  // the car file's wheel radius

    const Json player = inspect(kGameDir + "data/model.ms3d");
    EXPECT_EQ(player["format"], "ms3d");
    EXPECT_GE(player["joints"].size(), 38u);
    for (std::size_t i = 0; i < player["joints"].size(); ++i)
        EXPECT_LT(player["joints"][i]["parent"].get<int>(), static_cast<int>(i));  // parents come first
    EXPECT_GT(player["totalTimeMs"].get<double>(), 4200.0);
    EXPECT_GT(player["triangles"].get<int>(), 0);
    for (const char* model : {"data/gun.ms3d", "sky.ms3d"}) {
        const Json m = inspect(kGameDir + model);
        EXPECT_GT(m["triangles"].get<int>(), 0) << model;
        ASSERT_FALSE(m["materials"].empty()) << model;
        EXPECT_TRUE(fs::exists(m["materials"][0]["textureFile"].get<std::string>())) << model;
    }

    const Json grass = inspect(kGameDir + "grass14.bmp");
    EXPECT_EQ(grass["format"], "bmp");
    EXPECT_EQ(grass["bytesPerPixel"], 3);
    const Json marker = inspect(kGameDir + "aasdf.tga");
    EXPECT_EQ(marker["bytesPerPixel"], 4);
    for (int frame = 12001; frame <= 12015; ++frame)
        EXPECT_EQ(inspect(kGameDir + "fire/" + std::to_string(frame) + ".bmp")["format"], "bmp");
}

TEST(InspectTool, WritesTheDecodedPixelsAsTheDecoderReturnsThem)
{
    // A 2 x 2, 24-bit BMP, bottom row first: blue, green / red, white.
    const unsigned char bmp[] = {
        'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,                     // file header
        40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,       // info header
        16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        255, 0, 0, 0, 255, 0, 0, 0,                                          // B G R: blue, green, pad
        0, 0, 255, 255, 255, 255, 0, 0,                                      // red, white, pad
    };
    const fs::path file = fs::temp_directory_path() / "turfwar-inspect-test.bmp";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bmp), sizeof bmp);

    const ToolResult r = runTool("turfwar-inspect", "--pixels " + file.string());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string expected = {0, 0, '\xff', 0, '\xff', 0, '\xff', 0, 0, '\xff', '\xff', '\xff'};
    EXPECT_EQ(r.out, expected);
    fs::remove(file);
}

TEST(InspectTool, ABrokenOrForeignFileGetsItsReasonAndAFailureStatus)
{
    const fs::path dir = fs::temp_directory_path() / "turfwar-inspect-broken";
    fs::create_directories(dir);
    const std::string garbage(100, '\x7f');
    for (const char* name : {"bad.bmp", "bad.tga", "bad.3ds", "bad.ms3d", "notes.txt"}) {
        std::ofstream(dir / name, std::ios::binary) << garbage;
        const ToolResult r = runTool("turfwar-inspect", (dir / name).string());
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_EQ(r.out, "") << name;
        EXPECT_NE(r.err, "") << name;
    }
    const ToolResult missing = runTool("turfwar-inspect", (dir / "nothing.3ds").string());
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("cannot read"), std::string::npos);
    const ToolResult notAnImage = runTool("turfwar-inspect", "--pixels " + kGameDir + "car.3ds");
    EXPECT_EQ(notAnImage.status, 1);
    fs::remove_all(dir);
}

// A texture is what the game would load as one: "x.Bmp" and "a.b.bmp" it
// skips, so the tool does not describe them either.
TEST(InspectTool, NamesATextureByTheGamesOwnRule)
{
    const fs::path dir = fs::temp_directory_path() / "turfwar-inspect-names";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string bmp = readWholeFile(kGameDir + "grass14.bmp");
    for (const char* name : {"upper.BMP", "mixed.Bmp", "two.dots.bmp"})
        std::ofstream(dir / name, std::ios::binary) << bmp;
    EXPECT_EQ(inspect((dir / "upper.BMP").string())["format"], "bmp");
    for (const char* name : {"mixed.Bmp", "two.dots.bmp"}) {
        const ToolResult r = runTool("turfwar-inspect", (dir / name).string());
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_NE(r.err.find("not a file the game reads"), std::string::npos) << r.err;
    }
    fs::remove_all(dir);
}

// What stands where a file should be is refused unread: a pipe with no
// writer would block the tool and /dev/zero would never end.
TEST(InspectTool, AFolderAPipeOrADeviceIsRefusedWithItsReason)
{
    const fs::path dir = fs::temp_directory_path() / "turfwar-inspect-not-files";
    fs::remove_all(dir);
    fs::create_directories(dir / "folder.3ds");
    ASSERT_EQ(::mkfifo((dir / "pipe.ms3d").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir / "zero.bmp");
    fs::create_symlink("/dev/zero", dir / "zero.tga");
    const std::pair<const char*, const char*> cases[] = {
        {"folder.3ds", "Is a directory"},
        {"pipe.ms3d", "Not a regular file"},
        {"zero.bmp", "Not a regular file"},
        {"zero.tga", "Not a regular file"},
    };
    for (const auto& [name, reason] : cases) {
        for (const char* option : {"", "--pixels "}) {
            const ToolResult r = runTool("turfwar-inspect", option + (dir / name).string());
            EXPECT_EQ(r.status, 1) << name;
            EXPECT_EQ(r.out, "") << name;
            EXPECT_EQ(r.err, "turfwar-inspect: cannot read " + (dir / name).string() + ": " + reason + "\n");
        }
    }
    fs::remove_all(dir);
}

}  // namespace
