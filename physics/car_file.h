#pragma once
// The car file, "car.txt": eleven decimal numbers in a fixed order, each
// after optional white space (spaces, tabs, line breaks in any mix), with an
// optional sign, fraction and exponent, the way a stream reads a float.
// Whatever follows the eleventh number is ignored.
//
// A number too small in magnitude for a float reads as 0, as it does for a
// stream.
//
// Rejected, with a reason that names the file and the number: a file that
// cannot be read, fewer than eleven numbers, text where a number should be,
// a number too large for a float, a chassis size or wheel radius of zero or
// less (ODE cannot give such a body a mass, and the car would have no parts),
// and any number outside its range in kCarParamRanges:
//   chassis sizes          0.1 to 400
//   chassis centre x, y, z -200 to 200
//   wheel radius           0.1 to 100
//   rear and front track   -400 to 400
//   rear and front axle x  -200 to 200
// The ranges leave wide margins around any sensible car (the shipped one is
// 30 x 8 x 16 on wheels of radius 4.5) and keep both cars, the second moved
// 400 along x and 200 along z, well inside the walls at +-1000. From about
// 1000 the cars start in the walls and are flung out of the arena; far
// beyond, ODE aborts the process (sides of 1e-7, axles of 1e10) or the state
// leaves a float's range (sizes of 3e38). A negative track or axle only
// mirrors the wheels; a chassis that starts in the floor is thrown out of it.

#include <optional>
#include <string>
#include <string_view>

// The eleven numbers, in file order. Model units.
struct CarParams {
    float chassisSizeX = 0.0f;  // chassis box length (x)
    float chassisSizeY = 0.0f;  // height (y)
    float chassisSizeZ = 0.0f;  // width (z)
    float chassisX = 0.0f;      // chassis centre
    float chassisY = 0.0f;      // before the lift of 1
    float chassisZ = 0.0f;
    float wheelRadius = 0.0f;
    float rearTrack = 0.0f;     // z distance between the rear wheel centres
    float frontTrack = 0.0f;    // z distance between the front wheel centres
    float rearAxleX = 0.0f;     // the rear wheels sit at x = -rearAxleX
    float frontAxleX = 0.0f;    // the front wheels sit at x = +frontAxleX
};

inline constexpr int kCarParamCount = 11;
// The field names in file order, as the messages name them.
inline constexpr const char* kCarParamNames[kCarParamCount] = {
    "chassisSizeX", "chassisSizeY", "chassisSizeZ", "chassisX",   "chassisY",  "chassisZ",
    "wheelRadius",  "rearTrack",    "frontTrack",   "rearAxleX", "frontAxleX"};

// The closed range each number must lie in, in file order. Model units.
struct CarParamRange {
    float min = 0.0f;
    float max = 0.0f;
};
inline constexpr float kCarSizeMin = 0.1f;
inline constexpr float kCarSizeMax = 400.0f;
inline constexpr float kCarPlaceLimit = 200.0f;  // chassis centre and axles, either sign
inline constexpr float kWheelRadiusMin = 0.1f;
inline constexpr float kWheelRadiusMax = 100.0f;
inline constexpr float kCarTrackLimit = 400.0f;  // either sign
inline constexpr CarParamRange kCarParamRanges[kCarParamCount] = {
    {kCarSizeMin, kCarSizeMax},         {kCarSizeMin, kCarSizeMax},        {kCarSizeMin, kCarSizeMax},
    {-kCarPlaceLimit, kCarPlaceLimit},  {-kCarPlaceLimit, kCarPlaceLimit}, {-kCarPlaceLimit, kCarPlaceLimit},
    {kWheelRadiusMin, kWheelRadiusMax}, {-kCarTrackLimit, kCarTrackLimit}, {-kCarTrackLimit, kCarTrackLimit},
    {-kCarPlaceLimit, kCarPlaceLimit},  {-kCarPlaceLimit, kCarPlaceLimit}};

struct CarFileResult {
    std::optional<CarParams> params;  // empty when the file is unusable
    std::string reason;               // why, when it is
};

// Parses the bytes of a car file; fileName only goes into the reason.
CarFileResult parseCarParams(std::string_view bytes, std::string_view fileName);
// Reads and parses the named file from the working directory.
CarFileResult readCarFile(const char* fileName);
