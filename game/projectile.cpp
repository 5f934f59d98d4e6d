#include "game/projectile.h"

#include <GL/gl.h>

namespace {
constexpr float kProjectileGravity = 2.0f;  // units per second squared
}

void Projectile::launch(Vector3 muzzle, Vector3 startVelocity)
{
    position = muzzle;
    velocity = startVelocity;
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
}

void Projectile::draw() const
{
    glBegin(GL_POINTS);
    glVertex3f(position.x, position.y, position.z);
    glEnd();
}
