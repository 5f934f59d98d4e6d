#pragma once
// 4 x 4 float matrix in OpenGL's element order (column-major: element (row r,
// column c) is index 4c + r), handed to glMultMatrixf / glLoadMatrixf as is,
// and the 4-float vector pushed through it.
//
// Every matrix the game builds is rigid: a rotation block in 0-2, 4-6, 8-10,
// a translation in 12-14, and a last row of (0, 0, 0, 1). multiplyBy relies on
// that and never reads the last rows. Angles are in radians unless the name
// says degrees. Nothing here allocates or checks: it runs per skinned vertex.

#include "math/quaternion.h"

class Matrix4 {
public:
    Matrix4() { setIdentity(); }

    void setIdentity();
    void copyFrom(const float src[16]);
    const float* elements() const { return m_; }
    float* elements() { return m_; }
    float operator[](int i) const { return m_[i]; }

    // this = this x right, for rigid transforms: the last rows are taken as
    // (0, 0, 0, 1) and come out that way.
    void multiplyBy(const Matrix4& right);

    void setTranslationPart(const float t[3]);
    void setNegatedTranslationPart(const float t[3]);

    // Rotation block R = Rz(a[2]) Ry(a[1]) Rx(a[0]): about x first, then y,
    // then z. Elements 3, 7, 11 and 12-15 are left alone.
    void setEulerRadians(const float a[3]);
    void setEulerDegrees(const float a[3]);
    // The transpose of the block above, i.e. the inverse rotation.
    void setTransposedEulerRadians(const float a[3]);
    void setTransposedEulerDegrees(const float a[3]);
    void setFromQuaternion(const Quaternion& q);

    // In place: v = transpose(R) v.
    void applyInverseRotation(float v[3]) const;
    // In place: v = v - translation.
    void applyInverseTranslation(float v[3]) const;

private:
    float m_[16];
};

class Vector4 {
public:
    Vector4() = default;
    explicit Vector4(const float v[3]) : v_{v[0], v[1], v[2], 1.0f} {}

    void setXyz(const float v[3]);
    // Full product with translation; the incoming w counts as 1 and the
    // result's w is whatever the matrix's last row gives.
    void transformPoint(const Matrix4& m);
    // Rotation block only; w becomes 1.
    void transformDirection(const Matrix4& m);
    float length() const;   // of x, y, z; w ignored
    void normalize();       // x, y, z over length(); no test for zero

    const float* components() const { return v_; }
    float operator[](int i) const { return v_[i]; }

private:
    float v_[4] = {0.0f, 0.0f, 0.0f, 1.0f};
};

// pi / 180, in double precision, rounded to float where it is used.
inline constexpr double kRadiansPerDegree = 0.017453292519943295;
