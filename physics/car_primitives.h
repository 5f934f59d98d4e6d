#pragma once
// Stand-in drawing of a car part whose mesh did not load: the part as a lit
// solid of its true size (the chassis a box, a wheel a sphere), in the
// current GL modelview, which the caller has set to the part's pose. Each
// draws untextured in its own colours and leaves the current colour and
// texturing as it found them; lighting is the caller's.

#include "physics/car.h"

void drawStandInChassis(const Car& car);
void drawStandInWheel(const Car& car);
