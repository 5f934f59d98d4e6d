#include "game/car_drawing.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <numbers>

namespace {

void drawBox(float sx, float sy, float sz)
{
    const float half[3] = {sx / 2.0f, sy / 2.0f, sz / 2.0f};
    const float normals[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    glBegin(GL_QUADS);
    for (const auto& n : normals) {
        glNormal3fv(n);
        // u and v span the face with u x v = n, so the corners run
        // counter-clockwise seen from outside.
        const float u[3] = {n[0] == 0.0f ? 1.0f : 0.0f, n[0] != 0.0f ? 1.0f : 0.0f, 0.0f};
        const float v[3] = {n[1] * u[2] - n[2] * u[1], n[2] * u[0] - n[0] * u[2], n[0] * u[1] - n[1] * u[0]};
        for (const auto& c : corners) {
            float p[3];
            for (int k = 0; k < 3; ++k)
                p[k] = (n[k] + c[0] * u[k] + c[1] * v[k]) * half[k];
            glVertex3fv(p);
        }
    }
    glEnd();
}

// Latitude bands that show the wheel's spin.
void drawSphere(float radius)
{
    constexpr int kStacks = 8;
    constexpr int kSlices = 12;
    const float pi = std::numbers::pi_v<float>;
    for (int i = 0; i < kStacks; ++i) {
        const float a0 = pi * static_cast<float>(i) / kStacks - pi / 2.0f;
        const float a1 = pi * static_cast<float>(i + 1) / kStacks - pi / 2.0f;
        glBegin(GL_QUAD_STRIP);
        for (int j = 0; j <= kSlices; ++j) {
            const float b = 2.0f * pi * static_cast<float>(j) / kSlices;
            // Slices alternate in shade so a turning wheel can be seen to turn.
            const float shade = (j % 2 == 0) ? 0.25f : 0.4f;
            glColor3f(shade, shade, shade);
            for (float a : {a1, a0}) {
                const float nx = std::cos(a) * std::cos(b);
                const float ny = std::cos(a) * std::sin(b);
                const float nz = std::sin(a);
                glNormal3f(nx, ny, nz);
                glVertex3f(nx * radius, ny * radius, nz * radius);
            }
        }
        glEnd();
    }
}

// Untextured, whatever texture the sky or a mesh drawn before left bound
// (the solid would take that texture's colour at a stray coordinate), and
// with the current colour put back, so that a mesh drawn next is not tinted
// by the solid's colour.
template <typename Draw>
void drawUntextured(Draw draw)
{
    // The colour is set again rather than popped: only glColor moves the
    // material that colour tracking feeds from it.
    float colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_TEXTURE_2D);
    draw();
    glPopAttrib();
    glColor4fv(colour);
}

}  // namespace

void pushCarPartPose(const Car& car, int part)
{
    float m[16];
    car.partPose(part, m);
    glPushMatrix();
    glMultMatrixf(m);
}

void pushCarPartView(const Car& car, int part, Vector3 localPoint, Vector3 localDirection)
{
    Vector3 point;
    Vector3 direction;
    car.partToWorld(part, localPoint, localDirection, point, direction);
    Vector3 unusedPoint;
    Vector3 up;
    car.partToWorld(part, Vector3{}, Vector3{0.0f, 1.0f, 0.0f}, unusedPoint, up);
    const Vector3 centre = add(point, direction);
    glPushMatrix();
    gluLookAt(point.x, point.y, point.z, centre.x, centre.y, centre.z, up.x, up.y, up.z);
}

void drawStandInChassis(const Car& car)
{
    drawUntextured([&car] {
        glColor3f(0.7f, 0.15f, 0.1f);
        drawBox(car.params.chassisSizeX, car.params.chassisSizeY, car.params.chassisSizeZ);
    });
}

void drawStandInWheel(const Car& car)
{
    drawUntextured([&car] { drawSphere(car.params.wheelRadius); });
}
