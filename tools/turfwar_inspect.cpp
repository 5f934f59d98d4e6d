// turfwar-inspect: what our loaders read from a data file, as one JSON object,
// without any GL. For modders checking their files and for our tests.
//
//   turfwar-inspect FILE            describe a 3DS, MS3D, BMP or TGA file
//   turfwar-inspect --pixels FILE   the decoded pixels of a BMP or TGA, raw,
//                                   rows in the decoder's order (RGB or RGBA)
//
// The format is chosen by the file name's extension, as the game chooses it.
// A file the loaders reject prints the reason on standard error and exits 1.

#include "assets/data_file.h"
#include "assets/image.h"
#include "assets/model_ms3d.h"
#include "assets/reader_3ds.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <cctype>
#include <cstdint>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace {

using Json = nlohmann::json;

std::string extensionOf(const std::string& path)
{
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find_first_of("/\\", dot) != std::string::npos)
        return "";
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

// Textures by the game's own rule (the first dot of the file's name, exact
// case), so the tool never describes a texture the game would skip; models
// by their extension in any case. "" for anything else.
std::string formatOf(const std::string& path)
{
    switch (imageFormatOf(std::filesystem::path(path).filename().string().c_str())) {
    case ImageFormat::Bmp: return "bmp";
    case ImageFormat::Tga: return "tga";
    case ImageFormat::None: break;
    }
    const std::string ext = extensionOf(path);
    return ext == "3ds" || ext == "ms3d" ? ext : "";
}

Json boundsOf(const std::vector<Vector3>& points)
{
    if (points.empty())
        return nullptr;
    Vector3 lo{std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
               std::numeric_limits<float>::max()};
    Vector3 hi{-lo.x, -lo.y, -lo.z};
    for (const Vector3& p : points) {
        for (int i = 0; i < 3; ++i) {
            lo[i] = std::min(lo[i], p[i]);
            hi[i] = std::max(hi[i], p[i]);
        }
    }
    return {{"min", {lo.x, lo.y, lo.z}}, {"max", {hi.x, hi.y, hi.z}}};
}

bool describe3ds(const std::string& path, const std::vector<std::uint8_t>& bytes, Json& out, std::string& error)
{
    Scene3ds scene;
    Reader3ds reader;
    if (!reader.importBytes(scene, bytes, path.c_str())) {
        error = reader.error();
        return false;
    }
    Json objects = Json::array();
    for (const Object3ds& o : scene.objects) {
        objects.push_back({{"name", o.name},
                           {"vertices", o.vertices.size()},
                           {"faces", o.faces.size()},
                           {"texCoords", o.texCoords.size()},
                           {"materialIndex", o.materialIndex},
                           {"bounds", boundsOf(o.vertices)}});
    }
    Json materials = Json::array();
    for (const Material3ds& m : scene.materials) {
        materials.push_back({{"name", m.name},
                             {"textureFile", m.textureFile},
                             {"colour", {m.colour[0], m.colour[1], m.colour[2]}}});
    }
    out = {{"format", "3ds"}, {"objects", objects}, {"materials", materials}};
    if (reader.versionWarning())
        out["versionWarning"] = true;
    return true;
}

bool describeMs3d(const std::string& path, const std::vector<std::uint8_t>& bytes, Json& out, std::string& error)
{
    ModelMs3d model;
    if (!model.loadFromMemory(bytes, path.c_str(), &error))
        return false;
    Json materials = Json::array();
    for (const ModelMaterial& m : model.materials)
        materials.push_back({{"textureFile", m.textureFile}});
    Json joints = Json::array();
    for (const ModelJoint& j : model.joints) {
        joints.push_back({{"name", j.name},
                          {"parent", j.parent},
                          {"rotationKeys", j.rotationKeys.size()},
                          {"translationKeys", j.translationKeys.size()}});
    }
    out = {{"format", "ms3d"},
           {"vertices", model.vertices.size()},
           {"triangles", model.triangles.size()},
           {"groups", model.groups.size()},
           {"materials", materials},
           {"joints", joints},
           {"totalTimeMs", model.totalTimeMs}};
    return true;
}

// A decoded image: its description, and its pixels exactly as the decoder returns them.
struct DecodedImage {
    int width = 0;
    int height = 0;
    int bytesPerPixel = 0;
    std::span<const std::uint8_t> pixels;
    std::optional<RgbImage> bmp;
    std::optional<TgaImage> tga;
};

bool decodeImage(const std::string& ext, const std::vector<std::uint8_t>& bytes, DecodedImage& image,
                 std::string& error)
{
    DecodeFailure failure;
    if (ext == "bmp") {
        image.bmp = decodeDibImage(bytes, failure);
        if (image.bmp) {
            image.width = image.bmp->width;
            image.height = image.bmp->height;
            image.bytesPerPixel = 3;
            image.pixels = image.bmp->pixels.bytes();
        }
    } else {
        image.tga = decodeTgaImage(bytes, failure);
        if (image.tga) {
            image.width = image.tga->width;
            image.height = image.tga->height;
            image.bytesPerPixel = image.tga->bytesPerPixel;
            image.pixels = image.tga->pixels.bytes();
        }
    }
    if (!image.bmp && !image.tga) {
        error = failure.reason.empty() ? "the image cannot be decoded" : failure.reason;
        if (failure.quiet)
            error += " (the game skips this texture without a message)";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Describes what Turfwar's loaders read from a 3DS, MS3D, BMP or TGA file."};
    std::string path;
    bool pixels = false;
    app.add_flag("--pixels", pixels, "Write the decoded pixels of a BMP or TGA to standard output");
    app.add_option("file", path, "The file to read")->required();
    CLI11_PARSE(app, argc, argv);

    std::string reason;
    const auto bytes = readDataFile(path.c_str(), &reason);
    if (!bytes) {
        std::cerr << "turfwar-inspect: cannot read " << path << ": " << reason << "\n";
        return 1;
    }
    const std::string ext = formatOf(path);
    Json out;
    std::string error;
    bool ok = false;
    if (pixels && ext != "bmp" && ext != "tga") {
        std::cerr << "turfwar-inspect: --pixels takes a BMP or TGA file\n";
        return 1;
    }
    if (ext == "bmp" || ext == "tga") {
        DecodedImage image;
        ok = decodeImage(ext, *bytes, image, error);
        if (ok && pixels) {
            std::cout.write(reinterpret_cast<const char*>(image.pixels.data()),
                            static_cast<std::streamsize>(image.pixels.size()));
            return std::cout ? 0 : 1;
        }
        out = {{"format", ext}, {"width", image.width}, {"height", image.height}, {"bytesPerPixel", image.bytesPerPixel}};
    } else if (ext == "3ds") {
        ok = describe3ds(path, *bytes, out, error);
    } else if (ext == "ms3d") {
        ok = describeMs3d(path, *bytes, out, error);
    } else {
        std::cerr << "turfwar-inspect: " << path << ": not a file the game reads (.3ds or .ms3d; a texture is .bmp, .BMP, .tga or .TGA after the "
                     "first dot of its name)\n";
        return 1;
    }
    if (!ok) {
        std::cerr << "turfwar-inspect: " << error << "\n";
        return 1;
    }
    // Names come from the file as bytes; anything that is not UTF-8 is replaced, not fatal.
    std::cout << out.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
    return 0;
}
