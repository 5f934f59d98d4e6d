#pragma once
// ODE here works in double precision; the game keeps its numbers as floats.
// Every number read back from ODE becomes a float through odeToFloat: a
// double beyond a float's range has no float value (the plain conversion is
// undefined), so it is held at the largest float of its sign. A NaN stays a
// NaN, so a broken state still shows as one.

#include <ode/ode.h>

#include <cmath>
#include <limits>

inline float odeToFloat(dReal value)
{
    constexpr double kLargest = std::numeric_limits<float>::max();
    if (std::isnan(value))
        return std::numeric_limits<float>::quiet_NaN();
    if (value > kLargest)
        return std::numeric_limits<float>::max();
    if (value < -kLargest)
        return -std::numeric_limits<float>::max();
    return static_cast<float>(value);
}
