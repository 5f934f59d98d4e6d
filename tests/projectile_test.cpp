#include "sim/projectile.h"

#include <gtest/gtest.h>

namespace {

TEST(Projectile, FliesABallisticArcAndIsRetiredTheFrameAfterItGoesUnder)
{
    Projectile p;
    EXPECT_FALSE(p.active);
    p.launch({0.0f, 1.0f, 0.0f}, {10.0f, -20.0f, 0.0f});
    ASSERT_TRUE(p.active);

    p.update(0.1f);  // from y = 1: velocity -20.2, y = -1.02
    EXPECT_TRUE(p.active);
    EXPECT_FLOAT_EQ(p.velocity.y, -20.2f);
    EXPECT_FLOAT_EQ(p.position.x, 1.0f);
    EXPECT_LT(p.position.y, 0.0f);

    const Vector3 under = p.position;
    p.update(0.1f);  // below the floor before moving: retired where it was
    EXPECT_FALSE(p.active);
    EXPECT_EQ(p.position.y, under.y);

    p.update(0.1f);  // an inactive record does not move
    EXPECT_EQ(p.position.y, under.y);
}

TEST(Projectile, GravityActsWithTheFrameTime)
{
    Projectile p;
    p.launch({0.0f, 100.0f, 0.0f}, {0.0f, 0.0f, 0.0f});
    for (int i = 0; i < 100; ++i)
        p.update(0.01f);
    EXPECT_NEAR(p.velocity.y, -2.0f, 1e-4f);
    EXPECT_NEAR(p.position.y, 100.0f - 1.01f, 1e-3f);  // semi-implicit: (n+1)/2n of g t^2
}

}  // namespace
