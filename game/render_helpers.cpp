#include "game/render_helpers.h"

#include "sim/weapon.h"

#include <GL/gl.h>

#include <cmath>
#include <initializer_list>

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

void beginPlayerModelTransform(const PlayerModelTransform& t)
{
    glPushMatrix();
    glTranslatef(t.position.x, t.position.y, t.position.z);
    glScalef(t.scale, t.scale, t.scale);
    glTranslatef(t.lift.x, t.lift.y, t.lift.z);
    glRotatef(t.yawDegrees, 0.0f, 1.0f, 0.0f);
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

bool sphereOutOfView(const float centre[3], float radius)
{
    float modelview[16];
    float projection[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    // The clip matrix, column-major: clip = projection * modelview.
    double clip[16];
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += static_cast<double>(projection[4 * k + row]) * modelview[4 * column + k];
            clip[4 * column + row] = sum;
        }
    // Each side of the volume is w + x >= 0, w - x >= 0 and so on for y and
    // z: a plane in the model's own space.
    const double margin = 1e-3 * radius + 1e-3;
    for (int axis = 0; axis < 3; ++axis)
        for (const double sign : {1.0, -1.0}) {
            double plane[4];
            for (int column = 0; column < 4; ++column)
                plane[column] = clip[4 * column + 3] + sign * clip[4 * column + axis];
            const double length = std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
            if (!(length > 0.0))
                continue;
            const double distance =
                (plane[0] * centre[0] + plane[1] * centre[1] + plane[2] * centre[2] + plane[3]) / length;
            if (distance < -(radius + margin))
                return true;
        }
    return false;
}
