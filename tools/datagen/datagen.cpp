#include "tools/datagen/datagen.h"

#include "tools/datagen/sounds.h"

namespace datagen {

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

std::vector<GeneratedFile> generateGameData(const CarParams& car, std::string_view carFileText)
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
    for (GeneratedFile& sound : generateSounds())
        files.push_back(std::move(sound));
    return files;
}

}  // namespace datagen
