#pragma once
// The weapon state: the fire request that a left-button press sets between
// frames, the shot timers and the target of the auto-aim.

#include "math/vector3.h"

struct WeaponState {
    bool fireRequested = false;  // set by a left-button press, cleared when a shot is fired
    float sinceShot = 0.0f;      // seconds since the last shot (grows only on frames without one)
    float shotTimer = 0.0f;      // seconds; 0.5 at a shot, counts down to 0
    Vector3 shotOrigin;          // muzzle position of the last shot
    bool targetLocked = false;   // a target was found this frame
    int targetCar = 0;           // car index of the last target found
    int targetPart = 0;          // part number (0 to 4) of the last target found
    Vector3 targetPosition;      // body position of the last target found
};

// A mouse button was pressed: button 1 (left) asks for a shot, anything else
// does nothing. x, y are window pixels and unused.
void onMouseButton(WeaponState& weapon, int button, int x, int y);
// Button releases do nothing.
void onMouseButtonRelease(WeaponState& weapon, int button, int x, int y);
