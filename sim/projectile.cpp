#include "sim/projectile.h"

namespace {
constexpr float kProjectileGravity = 2.0f;  // units per second squared
}

void Projectile::launch(Vector3 muzzle, Vector3 startVelocity, int byPlayer)
{
    shooter = byPlayer;
    position = muzzle;
    velocity = startVelocity;
    launchPosition = muzzle;
    launchVelocity = startVelocity;
    stepsFlown = 0;
    active = true;
}

void Projectile::update(float dt)
{
    if (!active)
        return;
    if (position.y < 0.0f) {
        active = false;
        return;
    }
    velocity.y -= kProjectileGravity * dt;
    position.x += velocity.x * dt;
    position.y += velocity.y * dt;
    position.z += velocity.z * dt;
    ++stepsFlown;
}
