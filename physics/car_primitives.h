#pragma once
// Stand-in drawing of the cars until their meshes load: every part as a lit
// solid of its true size (the chassis a box, each wheel a sphere) in its
// pose. Uses the current GL modelview; needs lighting set up by the caller.

#include "physics/car.h"

#include <span>

void drawCarsAsPrimitives(std::span<const Car> cars);
