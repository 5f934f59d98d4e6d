// The transforms the scene pass draws its billboards and the sky in.

#include "game/render_helpers.h"

#include "offscreen_gl.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

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

}  // namespace
