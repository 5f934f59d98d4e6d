#pragma once
// Drawing a car part in GL: the modelview set to the part's pose or to a view
// from the part, and the stand-in solid of a part whose mesh did not load.
// The pose is read from the car's bodies as they are now; nothing here
// changes the car.
//
// The push* functions push the GL modelview; the caller pops. The stand-ins
// draw the part as a lit solid of its true size (the chassis a box, a wheel a
// sphere) in the current modelview, which the caller has set to the part's
// pose. Each draws untextured in its own colours and leaves the current
// colour and texturing as it found them; lighting is the caller's.

#include "math/vector3.h"
#include "physics/car.h"

// Pushes the modelview and multiplies it by the part's pose (0 to 4).
void pushCarPartPose(const Car& car, int part);
// Pushes the modelview and multiplies it by a view from localPoint along
// localDirection, both in the part's frame, with the part's own up.
void pushCarPartView(const Car& car, int part, Vector3 localPoint, Vector3 localDirection);

void drawStandInChassis(const Car& car);
void drawStandInWheel(const Car& car);
