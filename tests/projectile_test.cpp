#include "game/projectile.h"
#include "game/render_helpers.h"

#include "offscreen_gl.h"

#include <GL/gl.h>
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

TEST(RenderHelpers, BillboardAndSkyKeepWhatTheyShould)
{
    OffscreenGl gl;
    ASSERT_TRUE(gl.ok());
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(5.0f, 6.0f, 7.0f);
    glRotatef(30.0f, 0.3f, 1.0f, 0.2f);
    glScalef(2.0f, 2.0f, 2.0f);
    float before[16], m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);

    beginBillboard();
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int i = 0; i < 11; ++i) {
        if (i % 4 != 3) {
            EXPECT_EQ(m[i], (i % 5 == 0) ? 1.0f : 0.0f) << i;
        }
    }
    EXPECT_EQ(m[12], before[12]);
    EXPECT_EQ(m[14], before[14]);
    glPopMatrix();

    beginSkyTransform();
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(m[i], before[i]) << i;
    // Only the drop of 20 along the view's own y remains of the translation.
    for (int row = 0; row < 3; ++row)
        EXPECT_NEAR(m[12 + row], -20.0f * before[4 + row], 1e-5f);
    glPopMatrix();

    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
}

}  // namespace
