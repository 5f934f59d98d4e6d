#include "sim/player.h"

#include "assets/skinned_model.h"
#include "math/matrix4.h"

namespace {

Vector3 scaled(Vector3 v, float s) { return {v.x * s, v.y * s, v.z * s}; }

Vector3 rotated(const Matrix4& m, Vector3 v)
{
    Vector4 r(v.toArray().data());
    r.transformDirection(m);
    return {r[0], r[1], r[2]};
}

}  // namespace

void Player::updateOnFoot(float dt, const WalkControls& controls, const SkinnedModel& model, SkeletonPose& pose)
{
    Matrix4 turn;
    const float angles[3] = {0.0f, yaw, 0.0f};
    turn.setEulerDegrees(angles);
    facing = rotated(turn, {0.0f, 0.0f, 1.0f});
    side = rotated(turn, {1.0f, 0.0f, 0.0f});

    gait = 0;
    if (controls.left) {
        position = add(position, scaled(side, kWalkSpeed * dt));
        gait = 1;
    }
    if (controls.right) {
        position = subtract(position, scaled(side, kWalkSpeed * dt));
        gait = 1;
    }
    if (controls.forward) {
        if (controls.run) {
            position = add(position, scaled(facing, kRunSpeed * dt));
            gait = 2;
        } else {
            position = add(position, scaled(facing, kWalkSpeed * dt));
            gait = 1;
        }
    } else if (controls.back) {
        position = subtract(position, scaled(facing, kWalkSpeed * dt));
        gait = 1;
    }
    // The stick after the keys, and only on a line no key holds, so a key
    // never walks faster for a stick nudged at the same time. Full tilt
    // moves exactly as far as the key (a product with 1 is exact).
    if (!controls.left && !controls.right && controls.stickLeft != 0.0f) {
        position = add(position, scaled(side, kWalkSpeed * dt * controls.stickLeft));
        gait = gait > 0 ? gait : 1;
    }
    if (!controls.forward && !controls.back && controls.stickForward != 0.0f) {
        const bool running = controls.run && controls.stickForward > 0.0f;
        position = add(position, scaled(facing, (running ? kRunSpeed : kWalkSpeed) * dt * controls.stickForward));
        gait = running ? 2 : 1;
    }

    if (gait > 0) {
        const float frameMs = dt * 1000.0f;
        model.advance(pose, static_cast<double>(frameMs * static_cast<float>(gait)));
    } else {
        model.restartAnimation(pose);
    }
}
