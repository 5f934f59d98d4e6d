// turfwar-inspect: what our loaders read from a data file, as one JSON object,
// without any GL. For modders checking their files and for our tests.
//
//   turfwar-inspect FILE            describe a 3DS, MS3D, BMP or TGA file
//   turfwar-inspect --pixels FILE   the decoded pixels of a BMP or TGA, raw,
//                                   rows in the decoder's order (RGB or RGBA)
//
// The format is chosen by the file name's extension, as the game chooses it.
// A file the loaders reject prints the reason on standard error and exits 1.

#include "assets/reader_3ds.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
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

std::optional<std::vector<std::uint8_t>> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
                           {"vertices", o.vertexCount},
                           {"faces", o.faceCount},
                           {"texCoords", o.texCoordCount},
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

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Describes what Turfwar's loaders read from a 3DS, MS3D, BMP or TGA file."};
    std::string path;
    bool pixels = false;
    app.add_flag("--pixels", pixels, "Write the decoded pixels of a BMP or TGA to standard output");
    app.add_option("file", path, "The file to read")->required();
    CLI11_PARSE(app, argc, argv);

    const auto bytes = readBytes(path);
    if (!bytes) {
        std::cerr << "turfwar-inspect: cannot read " << path << "\n";
        return 1;
    }
    const std::string ext = extensionOf(path);
    Json out;
    std::string error;
    bool ok = false;
    if (pixels && ext != "bmp" && ext != "tga") {
        std::cerr << "turfwar-inspect: --pixels takes a BMP or TGA file\n";
        return 1;
    }
    if (ext == "3ds") {
        ok = describe3ds(path, *bytes, out, error);
    } else {
        std::cerr << "turfwar-inspect: " << path << ": not a file the game reads (.3ds, .ms3d, .bmp or .tga)\n";
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
