// The car file parser on arbitrary bytes: it never reads past the end, and
// whatever it accepts can be built into a car (every number finite and in
// its range, sizes and radius positive).

#include "physics/car_file.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const CarFileResult result =
        parseCarParams(std::string_view(reinterpret_cast<const char*>(data), size), "car.txt");
    if (!result.params) {
        if (result.reason.empty())
            std::abort();
        return 0;
    }
    const CarParams& p = *result.params;
    const float all[] = {p.chassisSizeX, p.chassisSizeY, p.chassisSizeZ, p.chassisX,  p.chassisY, p.chassisZ,
                         p.wheelRadius,  p.rearTrack,    p.frontTrack,   p.rearAxleX, p.frontAxleX};
    for (int i = 0; i < kCarParamCount; ++i)
        if (!std::isfinite(all[i]) || all[i] < kCarParamRanges[i].min || all[i] > kCarParamRanges[i].max)
            std::abort();
    if (!(p.chassisSizeX > 0 && p.chassisSizeY > 0 && p.chassisSizeZ > 0 && p.wheelRadius > 0))
        std::abort();
    return 0;
}
