#include "tools/datagen/skeleton_math.h"

#include <cmath>

namespace datagen {

Rigid Rigid::fromEuler(V3 angles, V3 translation)
{
    const double cr = std::cos(angles.x), sr = std::sin(angles.x);
    const double cp = std::cos(angles.y), sp = std::sin(angles.y);
    const double cy = std::cos(angles.z), sy = std::sin(angles.z);
    Rigid m;
    m.r[0][0] = cp * cy;
    m.r[1][0] = cp * sy;
    m.r[2][0] = -sp;
    m.r[0][1] = sr * sp * cy - cr * sy;
    m.r[1][1] = sr * sp * sy + cr * cy;
    m.r[2][1] = sr * cp;
    m.r[0][2] = cr * sp * cy + sr * sy;
    m.r[1][2] = cr * sp * sy - sr * cy;
    m.r[2][2] = cr * cp;
    m.t[0] = translation.x;
    m.t[1] = translation.y;
    m.t[2] = translation.z;
    return m;
}

Rigid Rigid::then(const Rigid& child) const
{
    Rigid out;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j)
            out.r[i][j] = r[i][0] * child.r[0][j] + r[i][1] * child.r[1][j] + r[i][2] * child.r[2][j];
        out.t[i] = r[i][0] * child.t[0] + r[i][1] * child.t[1] + r[i][2] * child.t[2] + t[i];
    }
    return out;
}

V3 Rigid::point(V3 p) const
{
    const V3 d = direction(p);
    return {d.x + static_cast<float>(t[0]), d.y + static_cast<float>(t[1]), d.z + static_cast<float>(t[2])};
}

V3 Rigid::direction(V3 d) const
{
    const double v[3] = {d.x, d.y, d.z};
    double o[3];
    for (int i = 0; i < 3; ++i)
        o[i] = r[i][0] * v[0] + r[i][1] * v[1] + r[i][2] * v[2];
    return {static_cast<float>(o[0]), static_cast<float>(o[1]), static_cast<float>(o[2])};
}

V3 Rigid::inversePoint(V3 p) const
{
    const double v[3] = {p.x - t[0], p.y - t[1], p.z - t[2]};
    double o[3];
    for (int i = 0; i < 3; ++i)
        o[i] = r[0][i] * v[0] + r[1][i] * v[1] + r[2][i] * v[2];
    return {static_cast<float>(o[0]), static_cast<float>(o[1]), static_cast<float>(o[2])};
}

}  // namespace datagen
