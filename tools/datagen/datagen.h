#pragma once
// The default game data, made procedurally: every model, texture and the car
// file that the game opens at start-up, as (relative path, bytes) pairs.
// Deterministic: the same car file gives the same bytes on every run.
//
// The car file is the one source of the car's eleven numbers: the car and
// wheel meshes are fitted to them (the body fills the chassis box, the wheel
// has the wheel radius), and the file itself is shipped unchanged. It is read
// by the game's own parser (physics/car_file.h), so the data is made for
// exactly the cars the game accepts.

#include "sim/player.h"
#include "sim/weapon.h"
#include "physics/car_file.h"
#include "tools/datagen/geometry.h"
#include "tools/datagen/image.h"
#include "tools/datagen/skeleton_math.h"
#include "tools/datagen/writer_3ds.h"
#include "tools/datagen/writer_ms3d.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace datagen {

struct GeneratedFile {
    std::string path;  // relative, '/'-separated, e.g. "data/model.ms3d"
    std::vector<std::uint8_t> bytes;
};

// Every file of the data set; carFileText is shipped as "car.txt".
std::vector<GeneratedFile> generateGameData(const CarParams& car, std::string_view carFileText);

// The pieces, for tests and tools.
// The game's own: the right hand that holds the gun, and the muzzle in its frame.
inline constexpr int kHandJoint = kGunJoint;
inline constexpr V3 kMuzzleInHand{::kMuzzleInHand.x, ::kMuzzleInHand.y, ::kMuzzleInHand.z};
inline constexpr float kFeetHeight = -35.0f;           // model height of the soles
inline constexpr float kWalkStartSeconds = kWalkStartMs / 1000.0f;  // the standing pose; the walk loops from here
inline constexpr float kWalkEndSeconds = 5.2f;         // the end of the animation
inline constexpr float kSkyRadius = 1500.0f;

struct Model3dsOut {
    std::vector<Material3dsOut> materials;
    std::vector<Object3dsOut> objects;
};
// The car body in the chassis frame (+x forward, y up, z across).
Model3dsOut buildCarModel(const CarParams& car);
// A tyre and rim centred on the origin, axle along z.
Model3dsOut buildWheelModel(const CarParams& car);
Ms3dModelOut buildPlayerModel();
// Every joint's transform to model space at the given animation time, keyed
// and interpolated the way the game's animation does it; and at the bind pose.
std::vector<Rigid> poseSkeleton(const Ms3dModelOut& model, float timeMs);
std::vector<Rigid> bindSkeleton(const Ms3dModelOut& model);
Ms3dModelOut buildGunModel();
Ms3dModelOut buildSkyModel();

struct NamedImage {
    std::string path;
    Image image;
};
std::vector<NamedImage> buildCarTextures();
std::vector<NamedImage> buildPlayerTextures();  // under "data/", next to the models naming them
NamedImage buildSkyTexture();
Image buildGrassTexture();
Image buildMarkerTexture();
Image buildFireFrame(int frame);  // 0 to 14

}  // namespace datagen
