#include "math/vector3.h"

#include <cmath>

Vector3 subtract(Vector3 a, Vector3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

Vector3 add(Vector3 a, Vector3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

Vector3 divide(Vector3 a, float s) { return {a.x / s, a.y / s, a.z / s}; }

Vector3 cross(Vector3 a, Vector3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float magnitude(Vector3 a) { return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z); }

Vector3 normalize(Vector3 a) { return divide(a, magnitude(a)); }
