#pragma once
// Model3ds: a drawable mesh loaded from a 3DS file. Each object of the file
// keeps its own interleaved vertex array and 32-bit triangle indices, drawn
// with GL client vertex arrays; each material gets one texture. The reader's
// scene is thrown away after the load.
//
// load and the draws need a current GL context. A file that cannot be read
// leaves the model empty (it draws nothing); its report holds the reader's
// message and "culdnt load model". Textures are never deleted: they live as
// long as the game.

#include "assets/texture.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

// The layout is part of the interface: drawing hands it to GL with a stride
// of 32 bytes and attributes at bytes 0, 12 and 20.
struct Model3dsVertex {
    float position[3];  // model units, y up
    float texCoord[2];
    float normal[3];    // unit length
};
static_assert(sizeof(Model3dsVertex) == 32, "Model3dsVertex must be 8 packed floats");

struct Model3dsMaterial {
    // Red, green and blue are the file's colour bytes as floats, 0 to 255
    // (not 0 to 1); alpha is 1.
    float diffuse[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    TextureId texture = 0;
    std::string textureFile;  // as the file names it (empty: none), for loading a variant beside it
};

struct Model3dsObject {
    std::vector<Model3dsVertex> vertices;
    // Three per triangle, 0-based into this object's vertices; each triangle runs
    // counter-clockwise seen from the side its normals point to.
    std::vector<std::uint32_t> indices;
    const Model3dsMaterial* material = nullptr;  // one of the model's materials, or none
};

// A sphere in model units holding every vertex of a model. The default, of
// infinite radius, holds anything.
struct BoundingSphere {
    float centre[3] = {};
    float radius = std::numeric_limits<float>::infinity();
};

class Model3ds {
public:
    Model3ds() = default;
    Model3ds(const Model3ds&) = delete;  // objects point into materials
    Model3ds& operator=(const Model3ds&) = delete;
    Model3ds(Model3ds&&) = default;
    Model3ds& operator=(Model3ds&&) = default;

    // Reads the file and converts it; on failure the model is empty. Loads
    // one texture per material, in material order, after the objects, and
    // stops at one the game cannot run without (a fatal report). Returns what
    // the reader and the textures met, for the caller to show.
    LoadReport load(const char* fileName);
    // Every object in order.
    void draw() const;
    // One object, 0 to objects.size() - 1. Leaves the three client arrays
    // enabled and texturing as the object set it.
    void drawObject(int index) const;
    // The same with texture bound in place of its material's (another team's
    // paint, say); an object without a material draws as it is.
    void drawObject(int index, TextureId texture) const;
    // Everything draw() sets, without the geometry: for a model wholly out
    // of view, so that what is drawn after it finds GL as draw() leaves it.
    void applyDrawState() const;

    // The sphere round every object's vertices; load sets it. A model built
    // by hand keeps the default, which holds anything, unless this is called.
    void computeBounds();
    BoundingSphere bounds;

    // Sizes are the vectors' own: no count is kept beside them.
    std::vector<Model3dsObject> objects;
    std::vector<Model3dsMaterial> materials;
};
