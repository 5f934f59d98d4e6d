#include "tools/datagen/noise.h"

#include <cmath>

namespace datagen {

std::uint32_t hash32(std::uint32_t x)
{
    // A well-mixed 32-bit integer hash (lowbias32).
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

float hashUnit(int x, int y, int z, std::uint32_t seed)
{
    std::uint32_t h = hash32(seed ^ 0x9e3779b9U);
    h = hash32(h ^ static_cast<std::uint32_t>(x));
    h = hash32(h ^ static_cast<std::uint32_t>(y) * 0x85ebca6bU);
    h = hash32(h ^ static_cast<std::uint32_t>(z) * 0xc2b2ae35U);
    return static_cast<float>(h >> 8) * (1.0f / 16777216.0f);
}

namespace {

int wrap(int i, int period)
{
    const int m = i % period;
    return m < 0 ? m + period : m;
}

float smooth(float t) { return t * t * (3.0f - 2.0f * t); }

}  // namespace

float periodicNoise(float x, float y, int period, std::uint32_t seed)
{
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    const float tx = smooth(x - fx), ty = smooth(y - fy);
    const int x0 = wrap(ix, period), x1 = wrap(ix + 1, period);
    const int y0 = wrap(iy, period), y1 = wrap(iy + 1, period);
    const float a = hashUnit(x0, y0, 0, seed), b = hashUnit(x1, y0, 0, seed);
    const float c = hashUnit(x0, y1, 0, seed), d = hashUnit(x1, y1, 0, seed);
    const float top = a + (b - a) * tx, bottom = c + (d - c) * tx;
    return top + (bottom - top) * ty;
}

float periodicFbm(float x, float y, int period, int octaves, std::uint32_t seed)
{
    float sum = 0.0f, weight = 1.0f, total = 0.0f, scale = 1.0f;
    for (int o = 0; o < octaves; ++o) {
        sum += weight * periodicNoise(x * scale, y * scale, period * static_cast<int>(scale),
                                      seed + static_cast<std::uint32_t>(o) * 1013U);
        total += weight;
        weight *= 0.5f;
        scale *= 2.0f;
    }
    return sum / total;
}

std::uint32_t Random::next()
{
    state_ += 0x6D2B79F5U;
    return hash32(state_);
}

float Random::unit() { return static_cast<float>(next() >> 8) * (1.0f / 16777216.0f); }

float Random::range(float lo, float hi) { return lo + (hi - lo) * unit(); }

}  // namespace datagen
