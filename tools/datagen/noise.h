#pragma once
// Deterministic noise for the procedural textures: integer hashing only, so
// the same build always makes the same bytes (no clock, no std:: random
// distributions, whose results differ between standard libraries).

#include <cstdint>

namespace datagen {

std::uint32_t hash32(std::uint32_t x);
// A float in [0, 1) from up to three integers and a seed.
float hashUnit(int x, int y, int z, std::uint32_t seed);

// Smooth value noise in [0, 1] that repeats every period cells along x and y
// (period >= 1), so textures built from it tile seamlessly.
float periodicNoise(float x, float y, int period, std::uint32_t seed);
// Sum of octaves of periodicNoise, each of double the frequency and period and
// half the weight; normalised to [0, 1].
float periodicFbm(float x, float y, int period, int octaves, std::uint32_t seed);

// A small deterministic generator for placing things (blades, clouds).
class Random {
public:
    explicit Random(std::uint32_t seed) : state_(seed) {}
    std::uint32_t next();
    float unit();                       // [0, 1)
    float range(float lo, float hi);    // [lo, hi)

private:
    std::uint32_t state_;
};

}  // namespace datagen
