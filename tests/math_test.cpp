#include "math/matrix4.h"
#include "math/vector3.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

constexpr float kTol = 1e-6f;

void expectVector(const Vector4& v, float x, float y, float z, float tol = kTol)
{
    EXPECT_NEAR(v[0], x, tol);
    EXPECT_NEAR(v[1], y, tol);
    EXPECT_NEAR(v[2], z, tol);
}

TEST(Vector3Math, FreeFunctions)
{
    const Vector3 a{1, 2, 3}, b{4, 5, 6};
    const Vector3 c = cross(a, b);
    EXPECT_FLOAT_EQ(c.x, -3);
    EXPECT_FLOAT_EQ(c.y, 6);
    EXPECT_FLOAT_EQ(c.z, -3);
    EXPECT_FLOAT_EQ(magnitude({3, 4, 0}), 5);
    const Vector3 n = normalize({0, 0, -7});
    EXPECT_FLOAT_EQ(n.z, -1);
    const Vector3 d = subtract(add(a, b), a);
    EXPECT_EQ(d.x, b.x);
    // No epsilon anywhere: a zero vector normalises to NaN, it is not hidden.
    EXPECT_TRUE(std::isnan(normalize({0, 0, 0}).x));
}

// Indexing names the fields, so writes through it land in x, y and z and the
// array handed to the matrix code holds the same bits.
TEST(Vector3Math, IndexAndArrayNameTheFields)
{
    Vector3 v{1.5f, -2.0f, 1e-30f};
    EXPECT_EQ(v[0], 1.5f);
    EXPECT_EQ(v[1], -2.0f);
    EXPECT_EQ(v[2], 1e-30f);
    for (int i = 0; i < 3; ++i)
        v[i] += static_cast<float>(i + 1);
    EXPECT_EQ(v.x, 2.5f);
    EXPECT_EQ(v.y, 0.0f);
    EXPECT_EQ(v.z, 3.0f);
    const std::array<float, 3> a = v.toArray();
    EXPECT_EQ(a[0], v.x);
    EXPECT_EQ(a[1], v.y);
    EXPECT_EQ(a[2], v.z);
    static_assert(Vector3{4, 5, 6}[2] == 6 && Vector3{4, 5, 6}.toArray()[1] == 5, "usable in constant expressions");

    // A direction through Vector4 comes back unchanged by the identity.
    Vector4 r(Vector3{0.1f, 0.2f, 0.3f}.toArray().data());
    r.transformDirection(Matrix4());
    expectVector(r, 0.1f, 0.2f, 0.3f, 0.0f);
}

// The rotation order and signs decide where every bone, the facing and the
// muzzle end up, so they are pinned down axis by axis.
TEST(Matrix4Euler, OrderAndSigns)
{
    Matrix4 m;
    const float yaw90[3] = {0, 90, 0};
    m.setEulerDegrees(yaw90);
    Vector4 v;
    const float x[3] = {1, 0, 0};
    v.setXyz(x);
    v.transformDirection(m);
    expectVector(v, 0, 0, -1);

    // About x: positive turns y toward z.
    const float roll[3] = {0.3f, 0, 0};
    m.setEulerRadians(roll);
    EXPECT_EQ(m[0], 1.0f);
    EXPECT_EQ(m[1], 0.0f);
    EXPECT_EQ(m[2], 0.0f);
    EXPECT_FLOAT_EQ(m[5], std::cos(0.3f));
    EXPECT_FLOAT_EQ(m[6], std::sin(0.3f));

    // About z: positive turns x toward y.
    const float spin[3] = {0, 0, static_cast<float>(M_PI / 2)};
    m.setEulerRadians(spin);
    Vector4 w(x);
    w.transformDirection(m);
    expectVector(w, 0, 1, 0);

    // x first, then y, then z: (1,0,0) rotated about x stays; about y by 90
    // goes to (0,0,-1); about z leaves it. (0,1,0): x by 90 -> (0,0,1); y by
    // 90 -> (1,0,0); z by 90 -> (0,1,0).
    const float all[3] = {static_cast<float>(M_PI / 2), static_cast<float>(M_PI / 2),
                          static_cast<float>(M_PI / 2)};
    m.setEulerRadians(all);
    const float y[3] = {0, 1, 0};
    Vector4 u(y);
    u.transformDirection(m);
    expectVector(u, 0, 1, 0);

    // The player's start yaw of 180 degrees faces -z.
    const float yaw180[3] = {0, 180, 0};
    m.setEulerDegrees(yaw180);
    const float z[3] = {0, 0, 1};
    Vector4 f(z);
    f.transformDirection(m);
    expectVector(f, 0, 0, -1);
}

TEST(Matrix4Euler, KeepsTranslationAndTransposeInverts)
{
    Matrix4 m;
    const float t[3] = {5, -6, 7};
    m.setTranslationPart(t);
    const float a[3] = {0.4f, -1.1f, 2.5f};
    m.setEulerRadians(a);
    EXPECT_EQ(m[12], 5.0f);
    EXPECT_EQ(m[13], -6.0f);
    EXPECT_EQ(m[14], 7.0f);
    EXPECT_EQ(m[15], 1.0f);

    Matrix4 inverse;
    inverse.setTransposedEulerRadians(a);
    Matrix4 product = m;
    product.multiplyBy(inverse);
    for (int i : {0, 5, 10})
        EXPECT_NEAR(product[i], 1.0f, 1e-6f);
    for (int i : {1, 2, 4, 6, 8, 9})
        EXPECT_NEAR(product[i], 0.0f, 1e-6f);

    Matrix4 negated;
    negated.setNegatedTranslationPart(t);
    EXPECT_EQ(negated[12], -5.0f);
}

TEST(Matrix4Multiply, ComposesRigidTransformsAndKeepsLastRow)
{
    Matrix4 parent, child;
    const float yaw90[3] = {0, 90, 0};
    parent.setEulerDegrees(yaw90);
    const float pt[3] = {10, 0, 0};
    parent.setTranslationPart(pt);
    const float ct[3] = {1, 2, 3};
    child.setTranslationPart(ct);

    // Garbage in the last rows is never read and never comes out.
    float raw[16];
    for (int i = 0; i < 16; ++i)
        raw[i] = child[i];
    raw[3] = raw[7] = raw[11] = 9.0f;
    raw[15] = 4.0f;
    child.copyFrom(raw);

    parent.multiplyBy(child);
    EXPECT_EQ(parent[3], 0.0f);
    EXPECT_EQ(parent[7], 0.0f);
    EXPECT_EQ(parent[11], 0.0f);
    EXPECT_EQ(parent[15], 1.0f);

    // The child's origin lands where the parent puts the point (1, 2, 3).
    Vector4 origin;
    origin.transformPoint(parent);
    // yaw 90 maps x->-z and z->x: (1,2,3) -> (3, 2, -1), plus (10, 0, 0).
    expectVector(origin, 13, 2, -1, 1e-5f);
}

TEST(Matrix4Inverse, UndoesTransformPoint)
{
    Matrix4 m;
    const float a[3] = {0.7f, -0.2f, 1.9f};
    const float t[3] = {-3.5f, 12.0f, 0.25f};
    m.setEulerRadians(a);
    m.setTranslationPart(t);

    const float p[3] = {4.0f, -8.0f, 15.0f};
    Vector4 v(p);
    v.transformPoint(m);
    EXPECT_EQ(v[3], 1.0f);
    float back[3] = {v[0], v[1], v[2]};
    m.applyInverseTranslation(back);
    m.applyInverseRotation(back);
    EXPECT_NEAR(back[0], p[0], 1e-5f);
    EXPECT_NEAR(back[1], p[1], 1e-5f);
    EXPECT_NEAR(back[2], p[2], 1e-5f);
}

TEST(Matrix4Quaternion, MatchesTheEulerRotation)
{
    // A half-turn about y as a quaternion and as Euler angles.
    Quaternion q;
    const float half = static_cast<float>(M_PI / 4);
    q[1] = std::sin(half);
    q[3] = std::cos(half);
    Matrix4 fromQ, fromEuler;
    fromQ.setFromQuaternion(q);
    const float yaw90[3] = {0, static_cast<float>(M_PI / 2), 0};
    fromEuler.setEulerRadians(yaw90);
    for (int i : {0, 1, 2, 4, 5, 6, 8, 9, 10})
        EXPECT_NEAR(fromQ[i], fromEuler[i], 1e-6f) << "element " << i;
}

TEST(Vector4, WAndNormalize)
{
    const float p[3] = {3, 0, 4};
    Vector4 v(p);
    EXPECT_EQ(v[3], 1.0f);
    Matrix4 m;
    float raw[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2};
    m.copyFrom(raw);
    v.transformPoint(m);
    EXPECT_EQ(v[3], 2.0f);  // the point product keeps what the last row gives
    const float q[3] = {6, 8, 0};
    v.setXyz(q);
    EXPECT_EQ(v[3], 2.0f);  // setXyz leaves w alone
    EXPECT_FLOAT_EQ(v.length(), 10);
    v.normalize();
    expectVector(v, 0.6f, 0.8f, 0);
    EXPECT_EQ(v[3], 2.0f);
    v.transformDirection(m);
    EXPECT_EQ(v[3], 1.0f);
}

}  // namespace
