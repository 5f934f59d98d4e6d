// The car body, the wheel and their textures.
//
// The body is laid out in fractions of the chassis box so that it fills the
// box of whatever car file it is made for: bumpers reach the front and back
// faces, the floor the bottom, the cabin roof the top, the body sides the
// side faces. Every object has a textured material: the game draws an object
// without one in plain white.

#include "tools/datagen/datagen.h"
#include "tools/datagen/noise.h"

#include <algorithm>
#include <cmath>

namespace datagen {

namespace {

constexpr float kTwoPi = 6.28318530717958647692f;

// A hexahedron whose bottom (y = y0) and top (y = y1) are rectangles centred
// on z = 0: bottom x from bx0 to bx1 and half-width bz, top likewise.
std::array<V3, 8> slab(float y0, float y1, float bx0, float bx1, float bz, float tx0, float tx1, float tz)
{
    std::array<V3, 8> c{};
    for (std::size_t i = 0; i < 8; ++i) {
        const bool top = (i & 2) != 0;
        const float x = (i & 1) ? (top ? tx1 : bx1) : (top ? tx0 : bx0);
        const float z = (i & 4) ? (top ? tz : bz) : -(top ? tz : bz);
        c[i] = {x, top ? y1 : y0, z};
    }
    return c;
}

// Texture atlas of the trim: bumper, grille, headlight, tail light.
constexpr UvRect kBumperUv{0.0f, 0.0f, 0.5f, 0.5f};
constexpr UvRect kGrilleUv{0.5f, 0.0f, 1.0f, 0.5f};
constexpr UvRect kHeadlightUv{0.0f, 0.5f, 0.5f, 1.0f};
constexpr UvRect kTaillightUv{0.5f, 0.5f, 1.0f, 1.0f};
// The cabin texture: windows on the left half, roof paint on the right.
constexpr UvRect kWindowUv{0.0f, 0.0f, 0.5f, 1.0f};
constexpr UvRect kRoofUv{0.5f, 0.0f, 1.0f, 1.0f};

}  // namespace

Model3dsOut buildCarModel(const CarParams& car)
{
    const float hx = 0.5f * car.chassisSizeX, hz = 0.5f * car.chassisSizeZ;
    const float h = car.chassisSizeY;
    const auto y = [&](float f) { return -0.5f * h + f * h; };  // height as a fraction of the box

    Model3dsOut model;
    model.materials = {{"paint", "carpaint.bmp", {255, 255, 255}},
                       {"cabin", "carcabin.bmp", {255, 255, 255}},
                       {"trim", "cartrim.bmp", {255, 255, 255}}};

    Object3dsOut body{"body", "paint", {}};
    // Lower body: narrower at the floor, so the sides lean in underneath.
    addHexahedron(body.mesh, slab(y(0.0f), y(0.34f), -0.86f * hx, 0.86f * hx, 0.86f * hz, -0.93f * hx, 0.93f * hx, hz),
                  sameUvOnAllFaces({0.0f, 0.0f, 1.0f, 0.5f}));
    // Upper body: hood in front, rear deck behind, gently rounded at the top.
    addHexahedron(body.mesh, slab(y(0.34f), y(0.62f), -0.93f * hx, 0.93f * hx, hz, -0.9f * hx, 0.86f * hx, 0.94f * hz),
                  sameUvOnAllFaces({0.0f, 0.5f, 1.0f, 1.0f}));
    model.objects.push_back(std::move(body));

    Object3dsOut cabin{"cabin", "cabin", {}};
    {
        // Raked windscreen and rear window; the roof is the top of the box.
        std::array<UvRect, 6> uv = sameUvOnAllFaces(kWindowUv);
        uv[3] = kRoofUv;  // +y
        addHexahedron(cabin.mesh, slab(y(0.62f), y(1.0f), -0.58f * hx, 0.3f * hx, 0.88f * hz, -0.46f * hx, 0.0f, 0.74f * hz),
                      uv);
    }
    model.objects.push_back(std::move(cabin));

    Object3dsOut bumpers{"bumpers", "trim", {}};
    addBox(bumpers.mesh, {0.93f * hx, y(0.1f), -0.9f * hz}, {hx, y(0.32f), 0.9f * hz}, kBumperUv);
    addBox(bumpers.mesh, {-hx, y(0.1f), -0.9f * hz}, {-0.93f * hx, y(0.32f), 0.9f * hz}, kBumperUv);
    addBox(bumpers.mesh, {0.93f * hx, y(0.36f), -0.36f * hz}, {0.95f * hx, y(0.54f), 0.36f * hz}, kGrilleUv);
    model.objects.push_back(std::move(bumpers));

    Object3dsOut lights{"lights", "trim", {}};
    for (float side : {-1.0f, 1.0f}) {
        const float z0 = side * 0.44f * hz, z1 = side * 0.84f * hz;
        addBox(lights.mesh, {0.93f * hx, y(0.38f), std::min(z0, z1)}, {0.97f * hx, y(0.54f), std::max(z0, z1)},
               kHeadlightUv);
        addBox(lights.mesh, {-0.97f * hx, y(0.4f), std::min(z0, z1)}, {-0.93f * hx, y(0.54f), std::max(z0, z1)},
               kTaillightUv);
    }
    model.objects.push_back(std::move(lights));
    return model;
}

Model3dsOut buildWheelModel(const CarParams& car)
{
    const float r = car.wheelRadius;
    const float w = 0.7f * r;     // tyre width along the axle
    const float rimR = 0.62f * r;
    const int sides = 32;         // a multiple of 4, so the wheel reaches exactly r along x and y

    Model3dsOut model;
    model.materials = {{"tyre", "tyre.bmp", {255, 255, 255}}, {"rim", "rim.bmp", {255, 255, 255}}};

    // The tyre is a profile turned about z: sidewall, shoulder, tread,
    // shoulder, sidewall. Each profile segment has its own rings so the
    // creases stay sharp while the tread is smooth around.
    struct ProfilePoint {
        float radius, z, v;
    };
    const ProfilePoint profile[] = {{rimR, 0.5f * w, 0.0f},   {0.93f * r, 0.5f * w, 0.2f},
                                    {r, 0.36f * w, 0.28f},    {r, -0.36f * w, 0.72f},
                                    {0.93f * r, -0.5f * w, 0.8f}, {rimR, -0.5f * w, 1.0f}};
    Object3dsOut tyre{"tyre", "tyre", {}};
    for (std::size_t s = 0; s + 1 < std::size(profile); ++s) {
        const ProfilePoint a = profile[s], b = profile[s + 1];
        std::vector<std::uint16_t> ringA, ringB;
        for (int i = 0; i <= sides; ++i) {
            const float angle = kTwoPi * static_cast<float>(i) / static_cast<float>(sides);
            const float c = i % sides == 0 ? 1.0f : std::cos(angle), sn = i % sides == 0 ? 0.0f : std::sin(angle);
            const float u = 4.0f * static_cast<float>(i) / static_cast<float>(sides);  // tread repeats 4 times around
            ringA.push_back(tyre.mesh.addVertex({a.radius * c, a.radius * sn, a.z}, {}, {u, a.v}));
            ringB.push_back(tyre.mesh.addVertex({b.radius * c, b.radius * sn, b.z}, {}, {u, b.v}));
        }
        for (int i = 0; i < sides; ++i) {
            const auto k = static_cast<std::size_t>(i);
            // Outward: away from the axle on the tread, along the axle on the sidewalls.
            const V3 mid = (tyre.mesh.positions[ringA[k]] + tyre.mesh.positions[ringB[k + 1]]) * 0.5f;
            V3 outward{mid.x, mid.y, 0.0f};
            if (std::fabs(a.radius - b.radius) > std::fabs(a.z - b.z) * 0.5f)
                outward = outward + V3{0.0f, 0.0f, a.z > 0.0f ? r : -r};
            addOrientedTriangle(tyre.mesh, ringA[k], ringA[k + 1], ringB[k + 1], outward);
            addOrientedTriangle(tyre.mesh, ringA[k], ringB[k + 1], ringB[k], outward);
        }
    }
    model.objects.push_back(std::move(tyre));

    // Rims: a disc set into each side, textured with spokes so the spin shows.
    Object3dsOut rim{"rim", "rim", {}};
    for (float side : {1.0f, -1.0f}) {
        const float z = side * 0.38f * w;
        const V3 facing{0.0f, 0.0f, side};
        const std::uint16_t centre = rim.mesh.addVertex({0.0f, 0.0f, z + side * 0.06f * w}, facing, {0.5f, 0.5f});
        // The disc and the lip (from the tyre's bead down to the disc, facing
        // the axle) meet at a sharp edge: separate vertices, so that the
        // computed normals do not blend the two.
        std::vector<std::uint16_t> disc, lipInner, lipOuter;
        for (int i = 0; i < sides; ++i) {
            const float angle = kTwoPi * static_cast<float>(i) / static_cast<float>(sides);
            const float c = i == 0 ? 1.0f : std::cos(angle), sn = i == 0 ? 0.0f : std::sin(angle);
            const V2 uv{0.5f + 0.5f * c * side, 0.5f + 0.5f * sn};
            const V3 inward{-c, -sn, 0.0f};
            disc.push_back(rim.mesh.addVertex({rimR * c, rimR * sn, z}, facing, uv));
            lipInner.push_back(rim.mesh.addVertex({rimR * c, rimR * sn, z}, inward, uv));
            lipOuter.push_back(rim.mesh.addVertex({rimR * c, rimR * sn, side * 0.5f * w}, inward, uv));
        }
        for (int i = 0; i < sides; ++i) {
            const auto k = static_cast<std::size_t>(i), n = static_cast<std::size_t>((i + 1) % sides);
            addOrientedTriangle(rim.mesh, centre, disc[k], disc[n], facing);
            const V3 inward = rim.mesh.normals[lipInner[k]] + rim.mesh.normals[lipInner[n]];
            addOrientedTriangle(rim.mesh, lipInner[k], lipInner[n], lipOuter[n], inward);
            addOrientedTriangle(rim.mesh, lipInner[k], lipOuter[n], lipOuter[k], inward);
        }
    }
    model.objects.push_back(std::move(rim));
    return model;
}

namespace {

// The body's paint: a coat with a little grain, a light stripe and dark seams.
Image carPaint(Colour paint, Colour seam)
{
    const Colour stripe{0.95f, 0.93f, 0.88f};
    Image body(128, 128);
    for (int py = 0; py < body.height; ++py)
        for (int px = 0; px < body.width; ++px) {
            const float u = (static_cast<float>(px) + 0.5f) / 128.0f, v = (static_cast<float>(py) + 0.5f) / 128.0f;
            const float grain = 0.06f * (periodicFbm(u * 16.0f, v * 16.0f, 16, 3, 11) - 0.5f);
            // Each half of the texture is one body slab; a stripe runs along the middle of both,
            // so it goes round the car's flanks and along its hood and deck.
            const float vv = std::fmod(v * 2.0f, 1.0f);
            Colour c = mix(paint, stripe, std::fabs(vv - 0.5f) < 0.06f ? 1.0f : 0.0f);
            const float shade = 0.85f + 0.2f * vv + grain;
            c = {c.r * shade, c.g * shade, c.b * shade, 1.0f};
            // A dark seam at the edge of every face.
            if (u < 0.02f || u > 0.98f || vv < 0.03f || vv > 0.97f)
                c = seam;
            body.at(px, py) = toRgba(c);
        }
    return body;
}

// The cabin: windows on the left half, the roof in the car's paint on the right.
Image carCabin(Colour paint)
{
    Image cabin(128, 128);
    for (int py = 0; py < cabin.height; ++py)
        for (int px = 0; px < cabin.width; ++px) {
            const float u = (static_cast<float>(px) + 0.5f) / 128.0f, v = (static_cast<float>(py) + 0.5f) / 128.0f;
            Colour c = paint;
            if (u < 0.5f) {
                const float wu = u * 2.0f;
                const bool glass = wu > 0.1f && wu < 0.9f && v > 0.16f && v < 0.86f;
                if (glass) {
                    // Tinted glass with a soft diagonal reflection.
                    const float streak = std::exp(-std::pow((wu + v - 1.0f) * 6.0f, 2.0f));
                    c = mix({0.08f, 0.14f, 0.22f}, {0.6f, 0.7f, 0.8f}, 0.2f + 0.5f * streak + 0.25f * v);
                }
            } else {
                const float shade = 0.9f + 0.1f * periodicNoise(u * 8.0f, v * 8.0f, 8, 5);
                c = {paint.r * shade, paint.g * shade, paint.b * shade, 1.0f};
            }
            cabin.at(px, py) = toRgba(c);
        }
    return cabin;
}

}  // namespace

std::vector<NamedImage> buildCarTextures()
{
    std::vector<NamedImage> out;
    const Colour paint{0.78f, 0.1f, 0.08f};
    out.push_back({"carpaint.bmp", carPaint(paint, {0.2f, 0.03f, 0.03f, 1.0f})});
    // The blue team's car in a match: the same coat and roof in blue; the
    // trim is shared by both cars.
    const Colour bluePaint{0.08f, 0.2f, 0.8f};
    out.push_back({"carpaint_blue.bmp", carPaint(bluePaint, {0.03f, 0.05f, 0.2f, 1.0f})});

    out.push_back({"carcabin.bmp", carCabin(paint)});
    out.push_back({"carcabin_blue.bmp", carCabin(bluePaint)});

    Image trim(128, 128);
    for (int py = 0; py < trim.height; ++py)
        for (int px = 0; px < trim.width; ++px) {
            const float u = (static_cast<float>(px) + 0.5f) / 128.0f, v = (static_cast<float>(py) + 0.5f) / 128.0f;
            const float lu = std::fmod(u * 2.0f, 1.0f), lv = std::fmod(v * 2.0f, 1.0f);
            const float edge = std::min(std::min(lu, 1.0f - lu), std::min(lv, 1.0f - lv));
            Colour c;
            if (v < 0.5f && u < 0.5f) {  // bumper: dark rubber with a chrome strip
                c = std::fabs(lv - 0.5f) < 0.12f ? Colour{0.75f, 0.75f, 0.78f} : Colour{0.12f, 0.12f, 0.13f};
            } else if (v < 0.5f) {  // grille: chrome bars over black
                c = std::fmod(lv * 6.0f, 1.0f) < 0.35f ? Colour{0.7f, 0.7f, 0.72f} : Colour{0.04f, 0.04f, 0.05f};
            } else if (u < 0.5f) {  // headlight: bright lens in a chrome ring
                c = edge < 0.1f ? Colour{0.75f, 0.75f, 0.78f} : mix({1.0f, 0.98f, 0.85f}, {1.0f, 1.0f, 1.0f}, lv);
            } else {  // tail light
                c = edge < 0.1f ? Colour{0.3f, 0.3f, 0.32f} : mix({0.7f, 0.02f, 0.02f}, {1.0f, 0.25f, 0.2f}, lv);
            }
            trim.at(px, py) = toRgba(c);
        }
    out.push_back({"cartrim.bmp", std::move(trim)});

    // Tyre: tread blocks across the middle, plain sidewalls with a white band.
    Image tyre(128, 64);
    for (int py = 0; py < tyre.height; ++py)
        for (int px = 0; px < tyre.width; ++px) {
            const float u = (static_cast<float>(px) + 0.5f) / 128.0f, v = (static_cast<float>(py) + 0.5f) / 64.0f;
            float k = 0.16f;
            if (v > 0.28f && v < 0.72f) {
                // Chevron blocks: grooves that run across the tread at an angle.
                const float chevron = std::fmod(u * 8.0f + std::fabs(v - 0.5f) * 2.0f, 1.0f);
                k = chevron < 0.28f ? 0.05f : 0.2f;
                if (std::fabs(v - 0.5f) < 0.02f)
                    k = 0.05f;
            } else if (std::fabs(v - 0.1f) < 0.025f || std::fabs(v - 0.9f) < 0.025f) {
                k = 0.75f;
            }
            k += 0.03f * (hashUnit(px, py, 0, 21) - 0.5f);
            tyre.at(px, py) = toRgba({k, k, k, 1.0f});
        }
    out.push_back({"tyre.bmp", std::move(tyre)});

    // Rim: five spokes, a hub and one red valve cap, so that turning shows.
    Image rim(128, 128);
    for (int py = 0; py < rim.height; ++py)
        for (int px = 0; px < rim.width; ++px) {
            const float x = (static_cast<float>(px) + 0.5f) / 64.0f - 1.0f, yy = (static_cast<float>(py) + 0.5f) / 64.0f - 1.0f;
            const float radius = std::sqrt(x * x + yy * yy);
            const float angle = std::atan2(yy, x);
            Colour c{0.72f, 0.73f, 0.76f};
            const float spoke = std::fabs(std::remainder(angle * 5.0f / kTwoPi, 1.0f));
            if (radius > 0.25f && radius < 0.82f && spoke > 0.14f)
                c = {0.06f, 0.06f, 0.07f};  // the dark gaps between spokes
            if (radius < 0.16f)
                c = {0.45f, 0.45f, 0.48f};
            if (radius > 0.9f)
                c = {0.5f, 0.5f, 0.52f};
            const float vx = x - 0.86f, vy = yy;
            if (vx * vx + vy * vy < 0.004f)
                c = {0.85f, 0.1f, 0.05f};
            rim.at(px, py) = toRgba(c);
        }
    out.push_back({"rim.bmp", std::move(rim)});
    return out;
}

}  // namespace datagen
