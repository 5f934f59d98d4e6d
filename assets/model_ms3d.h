#pragma once
// The MS3D reader ("MS3D000000", version 3 or later): vertices, triangles,
// groups, materials and the skeleton with its keyframes, read from a byte
// span with a cursor that cannot run past its end. Key times are converted
// from seconds to milliseconds, joints are linked to their parents by name,
// and a texture name starting with ".\" is taken relative to the model's
// own directory.
//
// Rejected (load returns false and the model is left exactly as it was):
// a wrong identifier, a version below 3, any count that runs past the end of
// the file, a vertex joint index, triangle vertex index, group triangle
// index or material index outside its array, a position, normal, angle or
// offset that is not finite or is beyond +-1e15 (so no pose can overflow),
// and a key time that is not finite in milliseconds.
//
// A joint whose parent name matches no earlier joint also fails the load,
// but the geometry, the materials (with their textures) and the joints before
// it stay in the model, without a bind pose: a model with a broken skeleton
// still draws where its vertices lie in the file.
//
// Names and texture names are at most their field's width (32 and 128 bytes);
// one that fills its field without a terminator is kept whole.

#include "assets/skinned_model.h"

#include <cstdint>
#include <span>
#include <string>

class ModelMs3d : public SkinnedModel {
public:
    // Reads the file (a '\' in the name is taken as '/'), loads the material
    // textures (needs a current GL context), builds the bind pose and restarts
    // the animation. False when the file cannot be read, with reason (when
    // given) saying why; what the material textures met goes into report.
    bool load(const char* fileName, LoadReport& report, std::string* reason = nullptr);
    // Everything load does but the textures, so it needs no GL: what the
    // simulation reads of the player (its skeleton and walk) comes this way.
    bool loadWithoutTextures(const char* fileName, std::string* reason = nullptr);

    // Everything load does except opening the file and loading the textures;
    // fileName only gives the directory for ".\" texture names. On false,
    // reason (when given) says why.
    bool loadFromMemory(std::span<const std::uint8_t> bytes, const char* fileName,
                        std::string* reason = nullptr);

private:
    enum class ParseResult {
        Loaded,          // posed and restarted
        BrokenSkeleton,  // geometry, materials and the joints before the bad one kept
        Rejected,        // nothing changed
    };
    ParseResult parse(std::span<const std::uint8_t> bytes, const char* fileName, std::string* reason);
    ParseResult readFile(const char* fileName, std::string* reason);
};

// The directory part of fileName with a trailing '/' ("data\model.ms3d" gives
// "data/"), or "" when the name has no directory.
std::string ms3dDirectoryPrefix(const char* fileName);
