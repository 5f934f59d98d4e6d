#include "game/render_helpers.h"

#include <GL/gl.h>

void beginBillboard()
{
    glPushMatrix();
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int column = 0; column < 3; ++column)
        for (int row = 0; row < 3; ++row)
            m[4 * column + row] = column == row ? 1.0f : 0.0f;
    glLoadMatrixf(m);
}

void beginSkyTransform()
{
    glPushMatrix();
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    m[12] = m[13] = m[14] = 0.0f;
    glLoadMatrixf(m);
    glTranslatef(0.0f, -20.0f, 0.0f);
}

void drawTexturedQuad(int width, int height, float s0, float t0, float s1, float t1)
{
    const float hw = static_cast<float>(width) / 2.0f;
    const float hh = static_cast<float>(height) / 2.0f;
    glBegin(GL_QUADS);
    glTexCoord2f(s0, t0);
    glVertex3f(-hw, hh, 0.0f);
    glTexCoord2f(s1, t0);
    glVertex3f(hw, hh, 0.0f);
    glTexCoord2f(s1, t1);
    glVertex3f(hw, -hh, 0.0f);
    glTexCoord2f(s0, t1);
    glVertex3f(-hw, -hh, 0.0f);
    glEnd();
}
