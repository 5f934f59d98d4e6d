#pragma once
// Writes 3DS mesh files: the main chunk (0x4D4D) with a file version, and the
// editor chunk (0x3D3D) opening with its mesh version, then the materials
// (name, diffuse colour, texture map file name) and the named triangle-mesh
// objects (vertices, texture coordinates, faces with one material group).
//
// Meshes are given in the game's frame (y up); the file is z-up, so a game
// point (x, y, z) is stored as (x, -z, y), which a y-up reader turns back.
// Counts are 16-bit in the format: more than 65535 vertices or faces in one
// object is a caller error (asserted).

#include "tools/datagen/byte_writer.h"
#include "tools/datagen/geometry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace datagen {

struct Material3dsOut {
    std::string name;         // at most 16 characters by the format's custom
    std::string textureFile;  // empty = no texture map chunk
    std::uint8_t colour[3] = {255, 255, 255};
};

struct Object3dsOut {
    std::string name;
    std::string materialName;  // one material group covering every face
    Mesh mesh;                 // positions, uvs and triangles are written; normals are the reader's job
};

std::vector<std::uint8_t> write3ds(const std::vector<Material3dsOut>& materials,
                                   const std::vector<Object3dsOut>& objects);

}  // namespace datagen
