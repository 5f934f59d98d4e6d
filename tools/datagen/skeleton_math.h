#pragma once
// Rigid transforms for posing our own skeletons while generating them, with
// the conventions of the game's animation: Euler angles (a0, a1, a2) in
// radians turn about x first, then y, then z (R = Rz Ry Rx), and a joint's
// key pose is applied after its bind-pose local transform.

#include "tools/datagen/geometry.h"

namespace datagen {

struct Rigid {
    double r[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};  // row-major rotation
    double t[3] = {0, 0, 0};

    static Rigid fromEuler(V3 angles, V3 translation);
    Rigid then(const Rigid& child) const;  // this * child
    V3 point(V3 p) const;
    V3 direction(V3 d) const;
    V3 inversePoint(V3 p) const;
};

}  // namespace datagen
