#include "game/weapon.h"

void onMouseButton(WeaponState& weapon, int button, int, int)
{
    if (button == 1)
        weapon.fireRequested = true;
}

void onMouseButtonRelease(WeaponState&, int, int, int) {}
