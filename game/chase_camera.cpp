#include "game/chase_camera.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cassert>
#include <cmath>

namespace {
constexpr float kSpringDistance = 50.0f;
constexpr float kSpringStiffness = 4.0f;
constexpr Vector3 kEyeAtStart{-20.0f, 20.0f, 20.0f};
}  // namespace

static_assert(CameraSpring::kMaxStepSeconds < 0.41f, "the spring's integration is stable only below 0.41 s");

CameraSpring::CameraSpring(float distance_, float height_, float stiffness_)
    : distance(distance_), height(height_), stiffness(stiffness_), damping(2.0f * std::sqrt(stiffness_))
{
}

void CameraSpring::update(float dt)
{
    // Semi-implicit Euler on this spring diverges for steps beyond about
    // 0.41 s, so a long frame (a stall, a machine resuming from sleep) is cut
    // into equal sub-steps of at most kMaxStepSeconds. Frames up to that
    // length take the single step they always took, to the last bit.
    if (!(dt > kMaxStepSeconds)) {
        step(dt, anchor);
        return;
    }
    assert(std::isfinite(dt) && "the frame time must be a finite number of seconds");
    const int steps = static_cast<int>(std::ceil(dt / kMaxStepSeconds));
    const float h = dt / static_cast<float>(steps);
    // The anchor is only known at the frame's end; during the frame it moves
    // back along its own velocity, so the eye, damped relative to that
    // velocity, keeps its place behind a moving car instead of running past
    // an anchor that seems to stand still.
    for (int i = 1; i <= steps; ++i) {
        const float secondsBeforeEnd = static_cast<float>(steps - i) * h;
        step(h, {anchor.x - anchorVelocity.x * secondsBeforeEnd, anchor.y - anchorVelocity.y * secondsBeforeEnd,
                 anchor.z - anchorVelocity.z * secondsBeforeEnd});
    }
}

void CameraSpring::step(float dt, const Vector3& at)
{
    const float rest[3] = {
        at.x - distance * heading[0],
        at.y + height,
        at.z - distance * heading[1],
    };
    for (int i = 0; i < 3; ++i) {
        float a = -stiffness * (position[i] - rest[i]);
        a -= damping * (velocity[i] - anchorVelocity[i]);
        velocity[i] += a * dt;
        position[i] += velocity[i] * dt;
    }
}

void ChaseCamera::init(float springHeight)
{
    up = {0.0f, 1.0f, 0.0f};
    spring = CameraSpring(kSpringDistance, springHeight, kSpringStiffness);
    spring.position = kEyeAtStart;
}

void ChaseCamera::update(float dt)
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
    const Vector3 centre = lookAtPoint();
    gluLookAt(spring.position.x, spring.position.y, spring.position.z, centre.x, centre.y, centre.z, up.x, up.y,
              up.z);
}
