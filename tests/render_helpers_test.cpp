// The transforms the scene pass draws its billboards and the sky in.

#include "game/render_helpers.h"

#include "sim/player.h"
#include "sim/weapon.h"

#include "offscreen_gl.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

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

// The game's projection at 4:3, the viewer at the origin looking along -z:
// the near plane at 10, the far at 2400, the sides 22.5 degrees up and down
// and tan(22.5) * 4 / 3 = 0.552 to each side.
TEST(RenderHelpers, SphereIsOutOfViewOnlyWhenWhollyOutside)
{
    OffscreenGl gl;
    ASSERT_TRUE(gl.ok());
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 4.0 / 3.0, 10.0, 2400.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    auto out = [](float x, float y, float z, float radius) {
        const float centre[3] = {x, y, z};
        return sphereOutOfView(centre, radius);
    };
    EXPECT_FALSE(out(0, 0, -100, 1));
    EXPECT_TRUE(out(0, 0, 50, 1));       // behind
    EXPECT_TRUE(out(0, 0, -5, 1));       // short of the near plane
    EXPECT_FALSE(out(0, 0, -5, 6));      // reaching past it
    EXPECT_TRUE(out(0, 0, -3000, 100));  // beyond the far plane
    EXPECT_FALSE(out(0, 0, -3000, 700));
    // 80 to the left at a depth of 100: 24.8 past the side, 21.7 from its plane.
    EXPECT_TRUE(out(-80, 0, -100, 21));
    EXPECT_FALSE(out(-80, 0, -100, 22));
    EXPECT_TRUE(out(0, 70, -100, 20));   // above: 28.6 past the top, 26.4 from its plane
    EXPECT_FALSE(out(0, 70, -100, 27));
    EXPECT_FALSE(out(-80, 0, -100, std::numeric_limits<float>::infinity()));
    EXPECT_FALSE(out(-80, 0, -100, std::nanf("")));
    EXPECT_FALSE(out(std::nanf(""), 0, -100, 1));

    // The modelview counts: turned a quarter round, the viewer sees down -x.
    glRotatef(-90.0f, 0.0f, 1.0f, 0.0f);
    EXPECT_TRUE(out(0, 0, -100, 1));
    EXPECT_FALSE(out(-100, 0, 0, 1));
    glLoadIdentity();
}

// The drawn player and the muzzle its shots leave from share one transform:
// a point of the model lands where GL draws it, for any yaw.
TEST(RenderHelpers, PlayerModelIsDrawnWhereTheMuzzleIsFound)
{
    OffscreenGl gl;
    ASSERT_TRUE(gl.ok());
    glMatrixMode(GL_MODELVIEW);
    Player player;
    player.position = {120.0f, 0.0f, -340.0f};
    const float point[3] = {20.0f, 2.0f, 5.0f};
    const float direction[3] = {300.0f, 0.0f, 0.0f};
    for (const float yaw : {0.0f, 180.0f, 37.5f, -725.0f}) {
        player.yaw = yaw;
        const PlayerModelTransform t = playerModelTransform(player);
        Vector3 worldPoint, worldDirection;
        playerModelToWorld(t, point, direction, worldPoint, worldDirection);

        glLoadIdentity();
        beginPlayerModelTransform(t);
        float m[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        glPopMatrix();
        const float drawn[3] = {m[0] * point[0] + m[4] * point[1] + m[8] * point[2] + m[12],
                                m[1] * point[0] + m[5] * point[1] + m[9] * point[2] + m[13],
                                m[2] * point[0] + m[6] * point[1] + m[10] * point[2] + m[14]};
        EXPECT_NEAR(drawn[0], worldPoint.x, 1e-3f) << "yaw " << yaw;
        EXPECT_NEAR(drawn[1], worldPoint.y, 1e-3f) << "yaw " << yaw;
        EXPECT_NEAR(drawn[2], worldPoint.z, 1e-3f) << "yaw " << yaw;
        // The direction turns with the model but keeps its length.
        const float turned[3] = {m[0] * direction[0] / t.scale, m[1] * direction[0] / t.scale,
                                 m[2] * direction[0] / t.scale};
        EXPECT_NEAR(turned[0], worldDirection.x, 1e-2f);
        EXPECT_NEAR(turned[2], worldDirection.z, 1e-2f);
    }
}

}  // namespace
