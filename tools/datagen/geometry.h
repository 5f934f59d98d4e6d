#pragma once
// Small geometry kit for the data generator: vectors, an indexed triangle
// mesh with per-vertex normals, texture coordinates and joint indices, and the
// primitives the models are built from. Everything is in the game's frame
// (y up); the 3DS writer turns it into the file's z-up frame.
//
// Faces are always wound counter-clockwise seen from outside (the side their
// normal points to), which is what the game's 3DS normals and lighting expect.

#include <array>
#include <cstdint>
#include <vector>

namespace datagen {

struct V3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};
struct V2 {
    float u = 0.0f, v = 0.0f;
};

inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator*(V3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline V3 operator-(V3 a) { return {-a.x, -a.y, -a.z}; }
float dot(V3 a, V3 b);
V3 cross(V3 a, V3 b);
float length(V3 a);
V3 normalized(V3 a);  // a zero vector stays zero

// A texture rectangle: corner (u0, v0) to (u1, v1), OpenGL convention (v up).
struct UvRect {
    float u0 = 0.0f, v0 = 0.0f, u1 = 1.0f, v1 = 1.0f;
};

struct Mesh {
    std::vector<V3> positions;
    std::vector<V3> normals;
    std::vector<V2> uvs;
    std::vector<std::int8_t> joints;  // -1 = not attached
    std::vector<std::array<std::uint16_t, 3>> triangles;

    std::uint16_t addVertex(V3 p, V3 n, V2 uv, std::int8_t joint = -1);
    // Appends other's vertices and triangles (indices shifted).
    void append(const Mesh& other);
};

// Flat quad: four corners in order around its edge, each with its texture
// coordinates. The winding is flipped when needed so the face's normal points
// along outward.
void addQuad(Mesh& mesh, const std::array<V3, 4>& corners, const std::array<V2, 4>& uvs, V3 outward,
             std::int8_t joint = -1);

// A six-faced solid given by its eight corners, corner i sitting at the
// (i & 1 ? +x : -x, i & 2 ? +y : -y, i & 4 ? +z : -z) end of its own box
// axes. Each face is flat shaded and gets its own rectangle of the texture
// (order -x, +x, -y, +y, -z, +z), seen upright from outside.
void addHexahedron(Mesh& mesh, const std::array<V3, 8>& corners, const std::array<UvRect, 6>& faceUvs,
                   std::int8_t joint = -1);
// Axis-aligned box from lo to hi, one rectangle on every face.
void addBox(Mesh& mesh, V3 lo, V3 hi, UvRect uv, std::int8_t joint = -1);
std::array<UvRect, 6> sameUvOnAllFaces(UvRect uv);

// A tapered box from point a to point b (a limb between two joints): the
// cross-section is widthA x depthA at a and widthB x depthB at b; side is the
// direction the width runs along (made perpendicular to a-b).
void addSegment(Mesh& mesh, V3 a, V3 b, V3 side, float widthA, float depthA, float widthB, float depthB,
                const std::array<UvRect, 6>& faceUvs, std::int8_t joint = -1);

// Bounds of a mesh's positions.
struct Bounds {
    V3 lo, hi;
};
Bounds boundsOf(const Mesh& mesh);

}  // namespace datagen

namespace datagen {

// One triangle over existing vertices, wound so that its normal points along
// facing.
void addOrientedTriangle(Mesh& mesh, std::uint16_t a, std::uint16_t b, std::uint16_t c, V3 facing);

// A closed prism around an axis from a to b (a cylinder with `sides` flat
// sides and flat end caps), smooth-shaded around; side points from the axis
// to the first edge. Texture: the sides take uv's full width around and its
// height along; the caps take the central third of uv.
void addPrism(Mesh& mesh, V3 a, V3 b, V3 side, float radius, int sides, UvRect uv, std::int8_t joint = -1);

}  // namespace datagen
