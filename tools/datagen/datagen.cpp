#include "tools/datagen/datagen.h"

#include <locale>
#include <sstream>

namespace datagen {

std::optional<CarShape> parseCarShape(std::string_view text, std::string& reason)
{
    static const char* const kNames[] = {"chassisSizeX", "chassisSizeY", "chassisSizeZ", "chassisX",
                                         "chassisY",     "chassisZ",     "wheelRadius",  "rearTrack",
                                         "frontTrack",   "rearAxleX",    "frontAxleX"};
    std::istringstream in{std::string(text)};
    in.imbue(std::locale::classic());
    float values[11] = {};
    for (int i = 0; i < 11; ++i) {
        if (!(in >> values[i])) {
            reason = "number " + std::to_string(i + 1) + " (" + kNames[i] + ") is missing or not a number";
            return std::nullopt;
        }
    }
    CarShape car{values[0], values[1], values[2], values[3], values[4],  values[5],
                 values[6], values[7], values[8], values[9], values[10]};
    const float mustBePositive[] = {car.chassisSizeX, car.chassisSizeY, car.chassisSizeZ, car.wheelRadius};
    const int positions[] = {0, 1, 2, 6};
    for (int i = 0; i < 4; ++i) {
        if (!(mustBePositive[i] > 0.0f)) {
            reason = std::string(kNames[positions[i]]) + " must be greater than zero";
            return std::nullopt;
        }
    }
    return car;
}

namespace {

void add3ds(std::vector<GeneratedFile>& files, const char* path, const Model3dsOut& model)
{
    files.push_back({path, write3ds(model.materials, model.objects)});
}

void addImage(std::vector<GeneratedFile>& files, const std::string& path, const Image& image)
{
    files.push_back({path, writeBmp24(image)});
}

}  // namespace

std::vector<GeneratedFile> generateGameData(const CarShape& car, std::string_view carFileText)
{
    std::vector<GeneratedFile> files;
    files.push_back({"car.txt", std::vector<std::uint8_t>(carFileText.begin(), carFileText.end())});

    add3ds(files, "car.3ds", buildCarModel(car));
    add3ds(files, "wheel.3ds", buildWheelModel(car));
    for (const NamedImage& texture : buildCarTextures())
        addImage(files, texture.path, texture.image);

    files.push_back({"data/model.ms3d", writeMs3d(buildPlayerModel())});
    files.push_back({"data/gun.ms3d", writeMs3d(buildGunModel())});
    for (const NamedImage& texture : buildPlayerTextures())
        addImage(files, texture.path, texture.image);

    files.push_back({"sky.ms3d", writeMs3d(buildSkyModel())});
    const NamedImage sky = buildSkyTexture();
    addImage(files, sky.path, sky.image);

    addImage(files, "grass14.bmp", buildGrassTexture());
    files.push_back({"aasdf.tga", writeTga32(buildMarkerTexture())});
    for (int frame = 0; frame < 15; ++frame)
        addImage(files, "fire/" + std::to_string(12001 + frame) + ".bmp", buildFireFrame(frame));
    return files;
}

}  // namespace datagen
