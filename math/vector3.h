#pragma once
// Three-float vector with the handful of free functions the game needs.
// Plain value, no invariant, no epsilons: normalising a zero vector divides by
// zero like any other. The components are three separate named fields, so
// indexing picks one by name rather than walking a pointer from x past the end
// of its object; code that wants a float[3] (the matrix code) takes a copy
// from toArray().

#include <array>
#include <cassert>

struct Vector3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    // i is 0, 1 or 2 for x, y or z. Loops over a constant 0..2 unroll into
    // plain field accesses.
    constexpr float& operator[](int i)
    {
        assert(i >= 0 && i < 3 && "Vector3 index out of range");
        return i == 0 ? x : i == 1 ? y : z;
    }
    constexpr float operator[](int i) const
    {
        assert(i >= 0 && i < 3 && "Vector3 index out of range");
        return i == 0 ? x : i == 1 ? y : z;
    }
    // x, y, z as an array, for interfaces taking a float[3].
    constexpr std::array<float, 3> toArray() const { return {x, y, z}; }
};
static_assert(sizeof(Vector3) == 3 * sizeof(float), "Vector3 must be three packed floats");

Vector3 subtract(Vector3 a, Vector3 b);
Vector3 add(Vector3 a, Vector3 b);
Vector3 divide(Vector3 a, float s);
Vector3 cross(Vector3 a, Vector3 b);
float magnitude(Vector3 a);        // float square root
Vector3 normalize(Vector3 a);      // a / magnitude(a); no test for zero length
