#pragma once
// The car file, "car.txt": eleven decimal numbers in a fixed order, each
// after optional white space (spaces, tabs, line breaks in any mix), with an
// optional sign, fraction and exponent, the way a stream reads a float.
// Whatever follows the eleventh number is ignored.
//
// Rejected, with a reason that names the file and the number: a file that
// cannot be read, fewer than eleven numbers, text where a number should be,
// a number a float cannot hold, and a chassis size or wheel radius of zero or
// less (ODE cannot give such a body a mass, and the car would have no parts).

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

struct CarFileResult {
    std::optional<CarParams> params;  // empty when the file is unusable
    std::string reason;               // why, when it is
};

// Parses the bytes of a car file; fileName only goes into the reason.
CarFileResult parseCarParams(std::string_view bytes, std::string_view fileName);
// Reads and parses the named file from the working directory.
CarFileResult readCarFile(const char* fileName);
