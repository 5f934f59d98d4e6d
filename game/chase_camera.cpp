#include "game/chase_camera.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

namespace {
constexpr float kSpringDistance = 50.0f;
constexpr float kSpringStiffness = 4.0f;
constexpr Vector3 kEyeAtStart{-20.0f, 20.0f, 20.0f};
}  // namespace

CameraSpring::CameraSpring(float distance_, float height_, float stiffness_)
    : distance(distance_), height(height_), stiffness(stiffness_), damping(2.0f * std::sqrt(stiffness_))
{
}

void CameraSpring::update(float dt)
{
    const float rest[3] = {
        anchor.x - distance * heading[0],
        anchor.y + height,
        anchor.z - distance * heading[1],
    };
    for (int i = 0; i < 3; ++i) {
        float a = -stiffness * (position[i] - rest[i]);
        a -= damping * (velocity[i] - anchorVelocity[i]);
        velocity[i] += a * dt;
        position[i] += velocity[i] * dt;
    }
}

void ChaseCamera::init(int modeValue, float springHeight)
{
    mode = modeValue;
    height = springHeight;
    up = {0.0f, 1.0f, 0.0f};
    spring = CameraSpring(kSpringDistance, height, kSpringStiffness);
    spring.position = kEyeAtStart;
}

void ChaseCamera::update(float dt, bool)
{
    spring.anchor = followPoint;
    spring.heading[0] = followDirection.x;
    spring.heading[1] = followDirection.z;
    spring.anchorVelocity = followVelocity;
    spring.update(dt);
}

Vector3 ChaseCamera::lookAtPoint() const
{
    return {target.x + up.x * lookHeight, target.y + up.y * lookHeight, target.z + up.z * lookHeight};
}

void ChaseCamera::apply() const
{
    glPushMatrix();
    const Vector3 centre = lookAtPoint();
    gluLookAt(spring.position.x, spring.position.y, spring.position.z, centre.x, centre.y, centre.z, up.x, up.y,
              up.z);
}
