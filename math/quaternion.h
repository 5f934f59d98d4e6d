#pragma once
// Unit quaternion (x, y, z, w), w at index 3. Only ever the input of
// Matrix4::setFromQuaternion; nothing checks that it has unit length.

struct Quaternion {
    float q[4] = {0.0f, 0.0f, 0.0f, 1.0f};

    float& operator[](int i) { return q[i]; }
    float operator[](int i) const { return q[i]; }
};
