#pragma once
// Three-float vector with the handful of free functions the game needs.
// Plain value, no invariant, no epsilons: normalising a zero vector divides by
// zero like any other. Game state that is kept as bare float[3] arrays reaches
// the matrix code through data().

struct Vector3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    float* data() { return &x; }
    const float* data() const { return &x; }
    float& operator[](int i) { return (&x)[i]; }
    float operator[](int i) const { return (&x)[i]; }
};
static_assert(sizeof(Vector3) == 3 * sizeof(float), "Vector3 must be three packed floats");

Vector3 subtract(Vector3 a, Vector3 b);
Vector3 add(Vector3 a, Vector3 b);
Vector3 divide(Vector3 a, float s);
Vector3 cross(Vector3 a, Vector3 b);
float magnitude(Vector3 a);        // float square root
Vector3 normalize(Vector3 a);      // a / magnitude(a); no test for zero length
