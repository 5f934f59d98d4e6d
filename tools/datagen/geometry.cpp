#include "tools/datagen/geometry.h"

#include <cassert>
#include <cmath>

namespace datagen {

float dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float length(V3 a) { return std::sqrt(dot(a, a)); }
V3 normalized(V3 a)
{
    const float l = length(a);
    return l > 0.0f ? a * (1.0f / l) : a;
}

std::uint16_t Mesh::addVertex(V3 p, V3 n, V2 uv, std::int8_t joint)
{
    assert(positions.size() < 0xFFFF && "mesh too big for 16-bit vertex indices");
    positions.push_back(p);
    normals.push_back(n);
    uvs.push_back(uv);
    joints.push_back(joint);
    return static_cast<std::uint16_t>(positions.size() - 1);
}

void Mesh::append(const Mesh& other)
{
    const auto base = static_cast<std::uint16_t>(positions.size());
    assert(positions.size() + other.positions.size() <= 0xFFFF && "mesh too big for 16-bit vertex indices");
    positions.insert(positions.end(), other.positions.begin(), other.positions.end());
    normals.insert(normals.end(), other.normals.begin(), other.normals.end());
    uvs.insert(uvs.end(), other.uvs.begin(), other.uvs.end());
    joints.insert(joints.end(), other.joints.begin(), other.joints.end());
    for (const auto& t : other.triangles)
        triangles.push_back({static_cast<std::uint16_t>(t[0] + base), static_cast<std::uint16_t>(t[1] + base),
                             static_cast<std::uint16_t>(t[2] + base)});
}

void addQuad(Mesh& mesh, const std::array<V3, 4>& corners, const std::array<V2, 4>& uvs, V3 outward,
             std::int8_t joint)
{
    std::array<int, 4> order{0, 1, 2, 3};
    // Newell's normal copes with slightly non-planar quads.
    V3 n{};
    for (int i = 0; i < 4; ++i) {
        const V3 a = corners[static_cast<std::size_t>(i)], b = corners[static_cast<std::size_t>((i + 1) % 4)];
        n = n + cross(a, b);
    }
    if (dot(n, outward) < 0.0f) {
        order = {0, 3, 2, 1};
        n = -n;
    }
    n = normalized(n);
    std::array<std::uint16_t, 4> idx{};
    for (std::size_t i = 0; i < 4; ++i)
        idx[i] = mesh.addVertex(corners[static_cast<std::size_t>(order[i])], n, uvs[static_cast<std::size_t>(order[i])],
                                joint);
    mesh.triangles.push_back({idx[0], idx[1], idx[2]});
    mesh.triangles.push_back({idx[0], idx[2], idx[3]});
}

namespace {

// Corner bits of each face, listed so that the first runs to the second along
// the face's u axis and the first to the fourth along its v axis, as seen from
// outside with the face upright.
constexpr int kFaceCorners[6][4] = {
    {0, 4, 6, 2},  // -x: u along +z, v along +y
    {5, 1, 3, 7},  // +x: u along -z
    {4, 5, 1, 0},  // -y: u along +x, v along -z
    {2, 3, 7, 6},  // +y: u along +x, v along +z
    {1, 0, 2, 3},  // -z: u along -x
    {4, 5, 7, 6},  // +z: u along +x
};
constexpr V3 kFaceAxes[6] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};

}  // namespace

void addHexahedron(Mesh& mesh, const std::array<V3, 8>& corners, const std::array<UvRect, 6>& faceUvs,
                   std::int8_t joint)
{
    V3 centre{};
    for (const V3& c : corners)
        centre = centre + c * 0.125f;
    for (std::size_t f = 0; f < 6; ++f) {
        std::array<V3, 4> quad{};
        V3 faceCentre{};
        for (std::size_t i = 0; i < 4; ++i) {
            quad[i] = corners[static_cast<std::size_t>(kFaceCorners[f][i])];
            faceCentre = faceCentre + quad[i] * 0.25f;
        }
        const UvRect r = faceUvs[f];
        const std::array<V2, 4> uv{V2{r.u0, r.v0}, V2{r.u1, r.v0}, V2{r.u1, r.v1}, V2{r.u0, r.v1}};
        // Outward: away from the solid's centre; the nominal axis breaks ties
        // for flat (zero-thickness) solids.
        V3 outward = faceCentre - centre;
        if (length(outward) < 1e-6f)
            outward = kFaceAxes[f];
        addQuad(mesh, quad, uv, outward, joint);
    }
}

void addBox(Mesh& mesh, V3 lo, V3 hi, UvRect uv, std::int8_t joint)
{
    std::array<V3, 8> c{};
    for (std::size_t i = 0; i < 8; ++i)
        c[i] = {(i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z};
    addHexahedron(mesh, c, sameUvOnAllFaces(uv), joint);
}

std::array<UvRect, 6> sameUvOnAllFaces(UvRect uv) { return {uv, uv, uv, uv, uv, uv}; }

void addSegment(Mesh& mesh, V3 a, V3 b, V3 side, float widthA, float depthA, float widthB, float depthB,
                const std::array<UvRect, 6>& faceUvs, std::int8_t joint)
{
    const V3 axis = normalized(b - a);
    const V3 w = normalized(side - axis * dot(side, axis));
    const V3 d = cross(w, axis);  // right-handed, so textures are not mirrored
    // Local box axes: x = width, y = along the segment, z = depth.
    std::array<V3, 8> c{};
    for (std::size_t i = 0; i < 8; ++i) {
        const bool atB = (i & 2) != 0;
        const float hw = 0.5f * (atB ? widthB : widthA), hd = 0.5f * (atB ? depthB : depthA);
        const V3 base = atB ? b : a;
        c[i] = base + w * ((i & 1) ? hw : -hw) + d * ((i & 4) ? hd : -hd);
    }
    addHexahedron(mesh, c, faceUvs, joint);
}

Bounds boundsOf(const Mesh& mesh)
{
    Bounds b{};
    if (mesh.positions.empty())
        return b;
    b.lo = b.hi = mesh.positions.front();
    for (const V3& p : mesh.positions) {
        b.lo = {std::fmin(b.lo.x, p.x), std::fmin(b.lo.y, p.y), std::fmin(b.lo.z, p.z)};
        b.hi = {std::fmax(b.hi.x, p.x), std::fmax(b.hi.y, p.y), std::fmax(b.hi.z, p.z)};
    }
    return b;
}

}  // namespace datagen

namespace datagen {

void addOrientedTriangle(Mesh& mesh, std::uint16_t a, std::uint16_t b, std::uint16_t c, V3 facing)
{
    const V3 n = cross(mesh.positions[b] - mesh.positions[a], mesh.positions[c] - mesh.positions[a]);
    if (dot(n, facing) < 0.0f)
        mesh.triangles.push_back({a, c, b});
    else
        mesh.triangles.push_back({a, b, c});
}

void addPrism(Mesh& mesh, V3 a, V3 b, V3 side, float radius, int sides, UvRect uv, std::int8_t joint)
{
    const V3 axis = normalized(b - a);
    const V3 u = normalized(side - axis * dot(side, axis));
    const V3 w = cross(axis, u);
    const float kTwoPi = 6.28318530717958647692f;
    // Side wall: one extra column of vertices closes the texture seam.
    std::vector<std::uint16_t> ringA, ringB;
    for (int i = 0; i <= sides; ++i) {
        const float angle = kTwoPi * static_cast<float>(i) / static_cast<float>(sides);
        const V3 radial = u * std::cos(angle) + w * std::sin(angle);
        const float s = uv.u0 + (uv.u1 - uv.u0) * static_cast<float>(i) / static_cast<float>(sides);
        ringA.push_back(mesh.addVertex(a + radial * radius, radial, {s, uv.v0}, joint));
        ringB.push_back(mesh.addVertex(b + radial * radius, radial, {s, uv.v1}, joint));
    }
    for (int i = 0; i < sides; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const V3 outward = mesh.normals[ringA[k]] + mesh.normals[ringA[k + 1]];
        addOrientedTriangle(mesh, ringA[k], ringA[k + 1], ringB[k + 1], outward);
        addOrientedTriangle(mesh, ringA[k], ringB[k + 1], ringB[k], outward);
    }
    // Caps: a fan around a centre vertex, flat normals.
    const float cu = 0.5f * (uv.u0 + uv.u1), cv = 0.5f * (uv.v0 + uv.v1);
    const float su = (uv.u1 - uv.u0) / 6.0f, sv = (uv.v1 - uv.v0) / 6.0f;
    for (int end = 0; end < 2; ++end) {
        const V3 centre = end == 0 ? a : b;
        const V3 n = end == 0 ? -axis : axis;
        const std::uint16_t mid = mesh.addVertex(centre, n, {cu, cv}, joint);
        std::vector<std::uint16_t> ring;
        for (int i = 0; i < sides; ++i) {
            const float angle = kTwoPi * static_cast<float>(i) / static_cast<float>(sides);
            const float c = std::cos(angle), s = std::sin(angle);
            ring.push_back(mesh.addVertex(centre + (u * c + w * s) * radius, n, {cu + su * c, cv + sv * s}, joint));
        }
        for (int i = 0; i < sides; ++i)
            addOrientedTriangle(mesh, mid, ring[static_cast<std::size_t>(i)],
                                ring[static_cast<std::size_t>((i + 1) % sides)], n);
    }
}

}  // namespace datagen
