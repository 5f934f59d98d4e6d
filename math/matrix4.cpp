#include "math/matrix4.h"

#include <cmath>
#include <cstring>

namespace {

// The nine values of Rz(a2) Ry(a1) Rx(a0), in double precision from the float
// angles, in row-major reading order (row 0 first).
struct EulerBlock {
    double r[3][3];
};

EulerBlock eulerBlock(const float a[3])
{
    const double cr = std::cos(a[0]), sr = std::sin(a[0]);
    const double cp = std::cos(a[1]), sp = std::sin(a[1]);
    const double cy = std::cos(a[2]), sy = std::sin(a[2]);
    const double srsp = sr * sp, crsp = cr * sp;
    EulerBlock b;
    // Column 0 of the block is (cp cy, cp sy, -sp) and so on; r[row][col].
    b.r[0][0] = cp * cy;
    b.r[1][0] = cp * sy;
    b.r[2][0] = -sp;
    b.r[0][1] = srsp * cy - cr * sy;
    b.r[1][1] = srsp * sy + cr * cy;
    b.r[2][1] = sr * cp;
    b.r[0][2] = crsp * cy + sr * sy;
    b.r[1][2] = crsp * sy - sr * cy;
    b.r[2][2] = cr * cp;
    return b;
}

void toRadians(const float degrees[3], float radians[3])
{
    const float factor = static_cast<float>(kRadiansPerDegree);
    for (int i = 0; i < 3; ++i)
        radians[i] = degrees[i] * factor;
}

}  // namespace

void Matrix4::setIdentity()
{
    std::memset(m_, 0, sizeof m_);
    m_[0] = m_[5] = m_[10] = m_[15] = 1.0f;
}

void Matrix4::copyFrom(const float src[16]) { std::memcpy(m_, src, sizeof m_); }

void Matrix4::multiplyBy(const Matrix4& right)
{
    const float* l = m_;
    const float* r = right.m_;
    float n[16];
    for (int c = 0; c < 3; ++c) {
        for (int row = 0; row < 3; ++row) {
            n[4 * c + row] = l[row] * r[4 * c] + l[4 + row] * r[4 * c + 1] + l[8 + row] * r[4 * c + 2];
        }
    }
    for (int row = 0; row < 3; ++row)
        n[12 + row] = l[row] * r[12] + l[4 + row] * r[13] + l[8 + row] * r[14] + l[12 + row];
    n[3] = n[7] = n[11] = 0.0f;
    n[15] = 1.0f;
    std::memcpy(m_, n, sizeof m_);
}

void Matrix4::setTranslationPart(const float t[3])
{
    m_[12] = t[0];
    m_[13] = t[1];
    m_[14] = t[2];
}

void Matrix4::setNegatedTranslationPart(const float t[3])
{
    m_[12] = -t[0];
    m_[13] = -t[1];
    m_[14] = -t[2];
}

void Matrix4::setEulerRadians(const float a[3])
{
    const EulerBlock b = eulerBlock(a);
    for (int c = 0; c < 3; ++c)
        for (int row = 0; row < 3; ++row)
            m_[4 * c + row] = static_cast<float>(b.r[row][c]);
}

void Matrix4::setTransposedEulerRadians(const float a[3])
{
    const EulerBlock b = eulerBlock(a);
    for (int c = 0; c < 3; ++c)
        for (int row = 0; row < 3; ++row)
            m_[4 * row + c] = static_cast<float>(b.r[row][c]);
}

void Matrix4::setEulerDegrees(const float a[3])
{
    float radians[3];
    toRadians(a, radians);
    setEulerRadians(radians);
}

void Matrix4::setTransposedEulerDegrees(const float a[3])
{
    float radians[3];
    toRadians(a, radians);
    setTransposedEulerRadians(radians);
}

void Matrix4::setFromQuaternion(const Quaternion& q)
{
    const float x = q[0], y = q[1], z = q[2], w = q[3];
    m_[0] = 1.0f - 2.0f * y * y - 2.0f * z * z;
    m_[1] = 2.0f * x * y + 2.0f * w * z;
    m_[2] = 2.0f * x * z - 2.0f * w * y;
    m_[4] = 2.0f * x * y - 2.0f * w * z;
    m_[5] = 1.0f - 2.0f * x * x - 2.0f * z * z;
    m_[6] = 2.0f * y * z + 2.0f * w * x;
    m_[8] = 2.0f * x * z + 2.0f * w * y;
    m_[9] = 2.0f * y * z - 2.0f * w * x;
    m_[10] = 1.0f - 2.0f * x * x - 2.0f * y * y;
}

void Matrix4::applyInverseRotation(float v[3]) const
{
    const float t[3] = {
        v[0] * m_[0] + v[1] * m_[1] + v[2] * m_[2],
        v[0] * m_[4] + v[1] * m_[5] + v[2] * m_[6],
        v[0] * m_[8] + v[1] * m_[9] + v[2] * m_[10],
    };
    v[0] = t[0];
    v[1] = t[1];
    v[2] = t[2];
}

void Matrix4::applyInverseTranslation(float v[3]) const
{
    v[0] -= m_[12];
    v[1] -= m_[13];
    v[2] -= m_[14];
}

void Vector4::setXyz(const float v[3])
{
    v_[0] = v[0];
    v_[1] = v[1];
    v_[2] = v[2];
}

void Vector4::transformPoint(const Matrix4& matrix)
{
    const float* m = matrix.elements();
    const double x = v_[0], y = v_[1], z = v_[2];
    const double t[4] = {
        x * m[0] + y * m[4] + z * m[8] + m[12],
        x * m[1] + y * m[5] + z * m[9] + m[13],
        x * m[2] + y * m[6] + z * m[10] + m[14],
        x * m[3] + y * m[7] + z * m[11] + m[15],
    };
    for (int i = 0; i < 4; ++i)
        v_[i] = static_cast<float>(t[i]);
}

void Vector4::transformDirection(const Matrix4& matrix)
{
    const float* m = matrix.elements();
    const double x = v_[0], y = v_[1], z = v_[2];
    v_[0] = static_cast<float>(x * m[0] + y * m[4] + z * m[8]);
    v_[1] = static_cast<float>(x * m[1] + y * m[5] + z * m[9]);
    v_[2] = static_cast<float>(x * m[2] + y * m[6] + z * m[10]);
    v_[3] = 1.0f;
}

float Vector4::length() const { return std::sqrt(v_[0] * v_[0] + v_[1] * v_[1] + v_[2] * v_[2]); }

void Vector4::normalize()
{
    const float len = length();
    v_[0] /= len;
    v_[1] /= len;
    v_[2] /= len;
}
