// The sky dome and the effect textures: grass, target marker, muzzle flash.

#include "tools/datagen/datagen.h"
#include "tools/datagen/noise.h"

#include <algorithm>
#include <cmath>

namespace datagen {

namespace {

constexpr float kPi = 3.14159265358979323846f;
constexpr float kLowestElevation = -20.0f;  // degrees: the dome reaches below the horizon, past the arena's edge

float smoothstep(float e0, float e1, float x)
{
    const float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// The sky texture is a polar picture of the dome seen from below: the zenith
// at the centre, elevation falling linearly with the distance from it down to
// the lowest ring at radius 0.5. No seam and no pinched pole.
V2 skyUv(float elevationDegrees, float azimuth)
{
    const float r = 0.5f * (90.0f - elevationDegrees) / (90.0f - kLowestElevation);
    return {0.5f + r * std::cos(azimuth), 0.5f + r * std::sin(azimuth)};
}

}  // namespace

Ms3dModelOut buildSkyModel()
{
    const int rings = 11, segments = 32;
    Mesh m;
    const std::uint16_t top = m.addVertex({0.0f, kSkyRadius, 0.0f}, {0.0f, -1.0f, 0.0f}, {0.5f, 0.5f});
    std::vector<std::vector<std::uint16_t>> ring;
    for (int r = 1; r <= rings; ++r) {
        const float elevation = 90.0f - (90.0f - kLowestElevation) * static_cast<float>(r) / static_cast<float>(rings);
        const float e = elevation * kPi / 180.0f;
        std::vector<std::uint16_t> row;
        for (int s = 0; s < segments; ++s) {
            const float a = 2.0f * kPi * static_cast<float>(s) / static_cast<float>(segments);
            const V3 dir{std::cos(e) * std::cos(a), std::sin(e), std::cos(e) * std::sin(a)};
            // Normals point inwards: the dome is seen from inside.
            row.push_back(m.addVertex(dir * kSkyRadius, -dir, skyUv(elevation, a)));
        }
        ring.push_back(row);
    }
    for (int s = 0; s < segments; ++s) {
        const auto k = static_cast<std::size_t>(s), n = static_cast<std::size_t>((s + 1) % segments);
        addOrientedTriangle(m, top, ring[0][k], ring[0][n], m.normals[top]);
        for (std::size_t r = 0; r + 1 < ring.size(); ++r) {
            const V3 inward = m.normals[ring[r][k]];
            addOrientedTriangle(m, ring[r][k], ring[r + 1][k], ring[r + 1][n], inward);
            addOrientedTriangle(m, ring[r][k], ring[r + 1][n], ring[r][n], inward);
        }
    }
    Ms3dModelOut model;
    Ms3dMaterialOut sky;
    sky.name = "sky";
    for (int i = 0; i < 3; ++i) {
        sky.ambient[i] = 1.0f;
        sky.diffuse[i] = 1.0f;
    }
    sky.texture = ".\\sky.bmp";
    model.materials.push_back(sky);
    model.groups.push_back({"dome", std::move(m), 0});
    model.framesPerSecond = 25.0f;
    model.totalFrames = 1;
    return model;
}

NamedImage buildSkyTexture()
{
    Image image(512, 512);
    const Colour zenith{0.16f, 0.36f, 0.78f}, horizon{0.72f, 0.83f, 0.95f}, haze{0.62f, 0.68f, 0.66f};
    for (int py = 0; py < image.height; ++py)
        for (int px = 0; px < image.width; ++px) {
            const float x = (static_cast<float>(px) + 0.5f) / 512.0f - 0.5f;
            const float y = (static_cast<float>(py) + 0.5f) / 512.0f - 0.5f;
            const float r = std::sqrt(x * x + y * y);
            const float elevation = 90.0f - r / 0.5f * (90.0f - kLowestElevation);
            Colour c = elevation > 0.0f ? mix(horizon, zenith, std::pow(elevation / 90.0f, 0.6f))
                                        : mix(horizon, haze, std::min(1.0f, -elevation / 8.0f));
            if (elevation > 0.0f) {
                // Clouds: thresholded noise, thinning out towards the horizon.
                const float n = periodicFbm((x + 0.5f) * 10.0f, (y + 0.5f) * 10.0f, 10, 5, 61);
                const float cover = smoothstep(0.46f, 0.64f, n) * smoothstep(2.0f, 14.0f, elevation);
                const float shade = 0.82f + 0.18f * smoothstep(0.55f, 0.8f, n);
                c = mix(c, {shade, shade, shade + 0.02f}, cover * 0.9f);
            }
            image.at(px, py) = toRgba(c);
        }
    return {"sky.bmp", std::move(image)};
}

Image buildGrassTexture()
{
    // Tiles seamlessly: periodic noise for the ground, and blades drawn with
    // wrap-around so a blade crossing an edge continues on the other side.
    const int size = 256;
    Image image(size, size);
    std::vector<Colour> field(static_cast<std::size_t>(size * size));
    for (int py = 0; py < size; ++py)
        for (int px = 0; px < size; ++px) {
            const float u = static_cast<float>(px) / static_cast<float>(size);
            const float v = static_cast<float>(py) / static_cast<float>(size);
            const float patches = periodicFbm(u * 6.0f, v * 6.0f, 6, 4, 71);
            const float fine = periodicNoise(u * 64.0f, v * 64.0f, 64, 73);
            Colour c = mix({0.2f, 0.36f, 0.1f}, {0.36f, 0.52f, 0.16f}, patches);
            c = mix(c, {0.42f, 0.4f, 0.2f}, 0.25f * smoothstep(0.6f, 0.8f, patches));  // drier patches
            const float k = 0.85f + 0.3f * fine;
            field[static_cast<std::size_t>(py * size + px)] = {c.r * k, c.g * k, c.b * k, 1.0f};
        }
    Random random(79);
    for (int blade = 0; blade < 2200; ++blade) {
        const float x0 = random.range(0.0f, static_cast<float>(size)), y0 = random.range(0.0f, static_cast<float>(size));
        const float angle = random.range(0.3f, 2.8f), len = random.range(3.0f, 9.0f);
        const float light = random.range(0.75f, 1.3f);
        const Colour tint = mix({0.25f, 0.45f, 0.12f}, {0.5f, 0.65f, 0.2f}, random.unit());
        for (float t = 0.0f; t < len; t += 0.5f) {
            const int px = static_cast<int>(std::floor(x0 + std::cos(angle) * t));
            const int py = static_cast<int>(std::floor(y0 + std::sin(angle) * t));
            Colour& c = field[static_cast<std::size_t>(((py % size + size) % size) * size + ((px % size + size) % size))];
            c = mix(c, {tint.r * light, tint.g * light, tint.b * light, 1.0f}, 0.6f * (1.0f - t / len * 0.5f));
        }
    }
    for (int py = 0; py < size; ++py)
        for (int px = 0; px < size; ++px)
            image.at(px, py) = toRgba(field[static_cast<std::size_t>(py * size + px)]);
    return image;
}

Image buildMarkerTexture()
{
    // White, so the game's draw colour tints it; alpha carries the shape: a
    // ring with four corner brackets, transparent elsewhere, edges smoothed.
    const int size = 64;
    Image image(size, size);
    for (int py = 0; py < size; ++py)
        for (int px = 0; px < size; ++px) {
            float coverage = 0.0f;
            // 4 x 4 supersampling for soft edges.
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx) {
                    const float x = (static_cast<float>(px) + (static_cast<float>(sx) + 0.5f) / 4.0f) / size * 2.0f - 1.0f;
                    const float y = (static_cast<float>(py) + (static_cast<float>(sy) + 0.5f) / 4.0f) / size * 2.0f - 1.0f;
                    const float r = std::sqrt(x * x + y * y);
                    const bool ring = r > 0.5f && r < 0.62f;
                    const float ax = std::fabs(x), ay = std::fabs(y);
                    const bool bracket = (ax > 0.78f && ax < 0.92f && ay > 0.5f && ay < 0.92f) ||
                                         (ay > 0.78f && ay < 0.92f && ax > 0.5f && ax < 0.92f);
                    const bool dot = r < 0.08f;
                    if (ring || bracket || dot)
                        coverage += 1.0f / 16.0f;
                }
            image.at(px, py) = toRgba({1.0f, 1.0f, 1.0f, coverage});
        }
    return image;
}

Image buildFireFrame(int frame)
{
    // Blended additively over the scene, so black is "nothing". The flash
    // flares over the first frames and fades out by the last, widening as it
    // goes; its spikes turn from frame to frame.
    const int size = 64;
    const float t = static_cast<float>(frame) / 14.0f;
    const float brightness = frame < 2 ? 0.7f + 0.15f * static_cast<float>(frame) : std::pow(1.0f - t, 1.6f) * 1.15f;
    const float radius = 0.6f + 0.35f * std::sqrt(t);
    const float twist = static_cast<float>(frame) * 0.7f;
    Image image(size, size);
    for (int py = 0; py < size; ++py)
        for (int px = 0; px < size; ++px) {
            const float x = (static_cast<float>(px) + 0.5f) / size * 2.0f - 1.0f;
            const float y = (static_cast<float>(py) + 0.5f) / size * 2.0f - 1.0f;
            const float r = std::sqrt(x * x + y * y);
            const float a = std::atan2(y, x);
            const float spikes = 0.55f + 0.45f * std::pow(std::fabs(std::cos(3.0f * a + twist)), 6.0f) +
                                 0.15f * hashUnit(static_cast<int>((a + kPi) * 6.0f), frame, 0, 83);
            const float reach = radius * spikes;
            const float heat = std::max(0.0f, 1.0f - r / reach);
            const float core = std::max(0.0f, 1.0f - r / (0.45f * radius));
            const float e = brightness * (1.3f * heat + core);
            // White-yellow core, orange body, red edge.
            const Colour c{std::min(1.0f, e * 1.1f), std::min(1.0f, e * e * 0.85f), std::min(1.0f, e * e * e * 0.55f), 1.0f};
            image.at(px, py) = toRgba(c);
        }
    return image;
}

}  // namespace datagen
