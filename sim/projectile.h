#pragma once
// Projectiles: visible shots on a ballistic arc. They live in a fixed pool;
// a shot takes the first free record and a full pool delays the shot instead
// of growing. They collide with nothing: the hit is applied when firing.

#include "math/vector3.h"

struct Projectile {
    Vector3 velocity;   // units per second
    Vector3 position;
    bool active = false;
    int shooter = 0;    // the index of the player who fired it
    bool locked = false;  // its hit was dealt when fired; in a match only unlocked shots hit on their path
    // The launch and the updates since: a network client flies a shot again
    // from these with the same arithmetic and lands exactly where it is.
    Vector3 launchPosition;
    Vector3 launchVelocity;
    unsigned stepsFlown = 0;  // updates that moved it since the launch

    void launch(Vector3 muzzle, Vector3 startVelocity, int byPlayer = 0);
    // Gravity of 2 units/s^2 with the real frame time. A projectile already
    // below the floor is retired before it moves, so it disappears on the
    // frame after it went under.
    void update(float dt);
};

inline constexpr int kProjectileCount = 200;
