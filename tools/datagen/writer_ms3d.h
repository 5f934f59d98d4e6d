#pragma once
// Writes MS3D model files (identifier "MS3D000000", version 4): vertices with
// one joint each, triangles with per-corner normals and texture coordinates,
// groups, materials, the animation header and the joints with their rotation
// and translation keys. Nothing is written after the last joint.
//
// Texture coordinates are given in OpenGL's convention (t = 0 at the bottom of
// the picture); the file counts t from the top, so the writer stores 1 - t.
// Key times are in seconds, as the format stores them. Counts are 16-bit and
// names fixed-width (32 bytes, texture names 128): exceeding them is a caller
// error (asserted).

#include "tools/datagen/geometry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace datagen {

struct Ms3dMaterialOut {
    std::string name;
    float ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    float diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    float specular[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float emissive[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float shininess = 0.0f;
    std::string texture;  // as the game resolves it, e.g. ".\\skin.bmp"
};

struct Ms3dGroupOut {
    std::string name;
    Mesh mesh;                // joint per vertex; normals and uvs per vertex, written per corner
    std::int8_t material = -1;
};

struct Ms3dKeyOut {
    float timeSeconds = 0.0f;
    V3 value;  // Euler angles in radians (rotation keys) or an offset (translation keys)
};

struct Ms3dJointOut {
    std::string name;
    std::string parentName;  // empty for a root; parents are listed before children
    V3 rotation;             // bind pose relative to the parent, Euler radians (x, then y, then z)
    V3 position;
    std::vector<Ms3dKeyOut> rotationKeys;
    std::vector<Ms3dKeyOut> translationKeys;
};

struct Ms3dModelOut {
    std::vector<Ms3dGroupOut> groups;
    std::vector<Ms3dMaterialOut> materials;
    float framesPerSecond = 25.0f;
    float currentTime = 0.0f;
    std::int32_t totalFrames = 0;
    std::vector<Ms3dJointOut> joints;
};

std::vector<std::uint8_t> writeMs3d(const Ms3dModelOut& model);

}  // namespace datagen
