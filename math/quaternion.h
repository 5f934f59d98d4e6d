#pragma once
// Unit quaternion (x, y, z, w), w at index 3. Nothing checks that it has
// unit length; the few operations below are for blending orientations
// (a network client's interpolation and corrections).

#include <cmath>

struct Quaternion {
    float q[4] = {0.0f, 0.0f, 0.0f, 1.0f};

    float& operator[](int i) { return q[i]; }
    float operator[](int i) const { return q[i]; }
};

// The rotation a, then b before it: b * a applies a first.
inline Quaternion multiply(const Quaternion& b, const Quaternion& a)
{
    return {{b[3] * a[0] + b[0] * a[3] + b[1] * a[2] - b[2] * a[1],
             b[3] * a[1] - b[0] * a[2] + b[1] * a[3] + b[2] * a[0],
             b[3] * a[2] + b[0] * a[1] - b[1] * a[0] + b[2] * a[3],
             b[3] * a[3] - b[0] * a[0] - b[1] * a[1] - b[2] * a[2]}};
}

// The inverse of a unit quaternion.
inline Quaternion conjugate(const Quaternion& a) { return {{-a[0], -a[1], -a[2], a[3]}}; }

// From a (t = 0) to b (t = 1) the short way round, normalised.
inline Quaternion nlerp(const Quaternion& a, const Quaternion& b, float t)
{
    const float dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
    const float sign = dot < 0.0f ? -1.0f : 1.0f;
    Quaternion out;
    float length = 0.0f;
    for (int i = 0; i < 4; ++i) {
        out[i] = a[i] + (sign * b[i] - a[i]) * t;
        length += out[i] * out[i];
    }
    length = std::sqrt(length);
    if (length > 0.0f)
        for (float& c : out.q)
            c /= length;
    return out;
}
