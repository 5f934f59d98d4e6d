#pragma once
// 3DS reader: a chunked binary mesh file into an in-memory scene of materials
// (name, texture file, diffuse colour) and named mesh objects (vertices,
// texture coordinates, triangles, vertex normals, the object's textured
// material). Only the chunks the game uses are read; every other chunk is
// skipped. Positions are turned from the file's z-up to the game's y-up while
// reading, and vertex normals are computed once the whole file is in.
//
// The parse works on a byte span and never reads past it. A file that fails a
// check (a chunk shorter than its header or longer than its parent or the
// file, a string running out of its chunk, a count larger than the bytes that
// hold it, a face index past the vertex list, chunks nested absurdly deep) is
// rejected whole: the scene is left empty and error() says why. Strings are
// cut to 254 characters, a floating-point colour becomes bytes, and a vertex
// without a usable face gets the normal (0, 1, 0).
//
// Cost: linear in the file size; normals are one pass over the faces and one
// over the vertices.

#include "assets/load_report.h"
#include "math/vector3.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Bytes in a name or texture-file buffer: 254 characters and the terminator.
inline constexpr int kName3dsSize = 255;

// A chunk while it is being walked.
struct Chunk3ds {
    std::uint16_t id = 0;
    std::uint32_t length = 0;     // whole chunk, header included
    std::uint32_t bytesRead = 0;  // consumed so far; 6 right after the header
};

struct Material3ds {
    char name[kName3dsSize] = {};
    char textureFile[kName3dsSize] = {};  // empty: no texture
    std::uint8_t colour[3] = {};          // diffuse red, green, blue, 0 to 255
};

struct TexCoord3ds {
    float u = 0.0f;
    float v = 0.0f;
};

struct Face3ds {
    std::int32_t vertexIndex[3] = {};  // a, b, c in the file's order, into the object's vertices
};

// The lists carry their own lengths; no count is kept beside them, so none
// can disagree with its list.
struct Object3ds {
    // Index into the scene's materials, or -1. Names a material only when that
    // material has a texture file, except that a match on the first material,
    // or no material group at all, leaves the initial 0.
    std::int32_t materialIndex = 0;
    std::uint8_t hasTexture = 0;
    char name[kName3dsSize] = {};
    std::vector<Vector3> vertices;    // y up, model units
    std::vector<Vector3> normals;     // unit length, one per vertex
    std::vector<TexCoord3ds> texCoords;  // may be fewer than vertices (none without a mapping chunk)
    std::vector<Face3ds> faces;
};

struct Scene3ds {
    std::vector<Material3ds> materials;
    std::vector<Object3ds> objects;
};

class Reader3ds {
public:
    // Reads the named file into `scene` (which should be empty) and computes
    // its normals. On failure adds the reason to report (captioned "Error")
    // and returns false with the scene empty. A version over 3 adds a warning
    // (captioned "Warning") first and loads.
    bool import3ds(Scene3ds& scene, const char* fileName, LoadReport& report);

    // The same parse on bytes already in memory: on failure returns false,
    // leaves the scene empty and error() holds the message (naming
    // `fileName`). Safe on any input.
    bool importBytes(Scene3ds& scene, std::span<const std::uint8_t> bytes, const char* fileName = "");

    // Message of the last failed import.
    const std::string& error() const { return error_; }
    // Whether the last import met a version chunk over 3.
    bool versionWarning() const { return versionWarning_; }

    // Vertex normals for every object: per vertex, the sum of the unnormalised
    // normals of the faces using it (each face once, in face order), divided
    // by minus the count and normalised. Face indices must be in range.
    static void computeNormals(Scene3ds& scene);

private:
    bool readChunk(Chunk3ds& chunk, const Chunk3ds& parent);
    bool readString(char* buffer, Chunk3ds& chunk);
    bool processNextChunk(Scene3ds& scene, Chunk3ds& parent, int depth);
    bool processNextMaterialChunk(Scene3ds& scene, Chunk3ds& parent, int depth);
    bool processNextObjectChunk(Scene3ds& scene, Object3ds& object, Chunk3ds& parent, int depth);
    bool readColour(Material3ds& material, Chunk3ds& chunk);
    bool readCount(Chunk3ds& chunk, std::size_t elementSize, const char* list, const char* elements,
                   std::uint16_t& count);
    bool readVertices(Object3ds& object, Chunk3ds& chunk);
    bool readFaces(Object3ds& object, Chunk3ds& chunk);
    bool readTexCoords(Object3ds& object, Chunk3ds& chunk);
    bool readObjectMaterial(Scene3ds& scene, Object3ds& object, Chunk3ds& chunk);
    void readRemainingString(char* buffer, Chunk3ds& chunk);
    void skip(Chunk3ds& chunk);
    bool fail(const char* reason);

    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
    std::string fileName_;
    std::string error_;
    bool versionWarning_ = false;
};
