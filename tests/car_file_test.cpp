#include "physics/car_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace {

void expectParams(const CarParams& p, const float (&expected)[kCarParamCount])
{
    const float got[kCarParamCount] = {p.chassisSizeX, p.chassisSizeY, p.chassisSizeZ, p.chassisX,
                                       p.chassisY,     p.chassisZ,     p.wheelRadius,  p.rearTrack,
                                       p.frontTrack,   p.rearAxleX,    p.frontAxleX};
    for (int i = 0; i < kCarParamCount; ++i)
        EXPECT_EQ(got[i], expected[i]) << kCarParamNames[i];
}

TEST(CarFile, LayoutsThatReadTheSame)
{
    const float expected[kCarParamCount] = {30, 8, 16, -1.5f, 7, 0.25f, 4.5f, 20, 18, 10, 12};
    const char* files[] = {
        "30 8 16 -1.5 7 0.25 4.5 20 18 10 12",
        "30\n8\n16\n-1.5\n7\n0.25\n4.5\n20\n18\n10\n12\n",
        "30\t8\t16\t-1.5\t7\t.25\t4.5\t20\t18\t10\t12",
        "  \r\n30.0 +8 1.6e1 -15e-1\n\n7 2.5E-1 4.5 20. 18 10 12 13 14 garbage here",
        "30 8 16 -1.5 7 0.25 4.5 20 18 10 12trailing",
        "30 8 16 -1.5 7 0.25 4.5 20 18 10 12\nchassis size x y z, centre x y z, ...\n",
    };
    for (const char* text : files) {
        const CarFileResult result = parseCarParams(text, "car.txt");
        ASSERT_TRUE(result.params) << text << ": " << result.reason;
        expectParams(*result.params, expected);
    }
}

// Each refusal names the file, says what is wrong and which number.
TEST(CarFile, RefusalsNameTheFileAndTheNumber)
{
    struct Case {
        const char* text;
        const char* mustSay[3];
    };
    const Case cases[] = {
        {"", {"\"car.txt\"", "number 1 ", "chassisSizeX"}},
        {"30 8 16 0 7 0", {"only 6 of its 11", "number 7 ", "wheelRadius"}},
        {"30 8 16 0 7 0 4.5 20 20 10", {"only 10", "number 11 ", "frontAxleX"}},
        {"30 8 16 0 7 0 four 20 20 10 10", {"\"four\"", "number 7 ", "wheelRadius"}},
        {"30 8 16 0 7 0 4.5 20 20 - 10", {"\"-\"", "number 10 ", "rearAxleX"}},
        {"30 8 16 0 7 0 4.5 20 20 10 2e", {"\"2e\"", "number 11 ", "frontAxleX"}},
        {"30 8 16 0 7 0 4.5 20 x20 10 10", {"\"x20\"", "number 9 ", "frontTrack"}},
        {"30 8 1e39 0 7 0 4.5 20 20 10 10", {"1e39", "number 3 ", "float"}},
        {"0 8 16 0 7 0 4.5 20 20 10 10", {"number 1 ", "chassisSizeX", "greater than 0"}},
        {"30 -8 16 0 7 0 4.5 20 20 10 10", {"number 2 ", "is -8", "greater than 0"}},
        {"30 8 -0 0 7 0 4.5 20 20 10 10", {"number 3 ", "chassisSizeZ", "greater than 0"}},
        {"30 8 16 0 7 0 0 20 20 10 10", {"number 7 ", "wheelRadius", "greater than 0"}},
        {"30 8 16 0 7 0 -4.5 20 20 10 10", {"number 7 ", "wheelRadius", "greater than 0"}},
    };
    for (const Case& c : cases) {
        const CarFileResult result = parseCarParams(c.text, "car.txt");
        EXPECT_FALSE(result.params) << c.text;
        EXPECT_NE(result.reason.find("car.txt"), std::string::npos) << result.reason;
        for (const char* phrase : c.mustSay)
            EXPECT_NE(result.reason.find(phrase), std::string::npos) << c.text << " -> " << result.reason;
    }
    // Bytes that cannot be shown are not copied into the message.
    const std::string binary("30 8 16 0 7 0 \x01\xff 20 20 10 10", 27);
    const CarFileResult result = parseCarParams(binary, "car.txt");
    ASSERT_FALSE(result.params);
    EXPECT_NE(result.reason.find("\"??\""), std::string::npos) << result.reason;
}

// The shipped car's numbers with number `index` (0-based) replaced by text.
std::string shippedWith(int index, const std::string& text)
{
    const char* shipped[kCarParamCount] = {"30", "8", "16", "0", "7", "0", "4.5", "20", "20", "10", "10"};
    std::string out;
    for (int i = 0; i < kCarParamCount; ++i)
        out += (i == index ? text : std::string(shipped[i])) + " ";
    return out;
}

std::string exactly(float value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.9g", static_cast<double>(value));
    return buffer;
}

// A number too small for a float reads as 0, as a stream reads it; only one
// too large is refused for its size, however its digits are spread.
TEST(CarFile, NumbersTooSmallForAFloatReadAsZero)
{
    const char* tiny[] = {"1e-50", "-1e-50", "7e-46", "100000e-60", "0.00000000000000000000000000000000000000000000001",
                          "1e-99999999999999999999", "0.0e-999"};
    for (const char* number : tiny) {
        const CarFileResult result = parseCarParams(shippedWith(3, number), "car.txt");
        ASSERT_TRUE(result.params) << number << ": " << result.reason;
        EXPECT_EQ(result.params->chassisX, 0.0f) << number;
        EXPECT_EQ(std::signbit(result.params->chassisX), number[0] == '-') << number;
        EXPECT_EQ(result.params->chassisY, 7.0f);
    }
    // The smallest floats still read as themselves.
    const CarFileResult smallest = parseCarParams(shippedWith(5, "1.4e-45"), "car.txt");
    ASSERT_TRUE(smallest.params) << smallest.reason;
    EXPECT_EQ(smallest.params->chassisZ, std::numeric_limits<float>::denorm_min());

    // A size or radius that reads as 0 gets the message for 0.
    const CarFileResult size = parseCarParams(shippedWith(1, "1e-50"), "car.txt");
    ASSERT_FALSE(size.params);
    EXPECT_EQ(size.reason, "In the car file \"car.txt\", number 2 of 11 (chassisSizeY) is 0; it must be greater than 0.");
    const CarFileResult radius = parseCarParams(shippedWith(6, "-1e-60"), "car.txt");
    ASSERT_FALSE(radius.params);
    EXPECT_NE(radius.reason.find("number 7 of 11 (wheelRadius) is -0; it must be greater than 0."), std::string::npos)
        << radius.reason;

    const char* huge[] = {"1e39", "-3.5e38", "0.0001e43", "123456789012345678901234567890123456789012",
                          "1e99999999999999999999", "0.000000000000000000000000001e70"};
    for (const char* number : huge) {
        const CarFileResult result = parseCarParams(shippedWith(3, number), "car.txt");
        ASSERT_FALSE(result.params) << number;
        EXPECT_EQ(result.reason, std::string("In the car file \"car.txt\", number 4 of 11 (chassisX) is \"") +
                                     std::string(number).substr(0, 24) + "\", beyond what a float can hold.");
    }
}

// Every number has a range the simulation survives with margin: its ends are
// accepted, the next float beyond either end is refused with the range.
TEST(CarFile, NumbersOutsideTheirRangeAreRefused)
{
    for (int i = 0; i < kCarParamCount; ++i) {
        const CarParamRange range = kCarParamRanges[i];
        for (float atEnd : {range.min, range.max}) {
            const CarFileResult result = parseCarParams(shippedWith(i, exactly(atEnd)), "car.txt");
            ASSERT_TRUE(result.params) << kCarParamNames[i] << " " << atEnd << ": " << result.reason;
        }
        const float beyond[] = {std::nextafter(range.min, -std::numeric_limits<float>::infinity()),
                                std::nextafter(range.max, std::numeric_limits<float>::infinity())};
        for (float value : beyond) {
            const CarFileResult result = parseCarParams(shippedWith(i, exactly(value)), "car.txt");
            ASSERT_FALSE(result.params) << kCarParamNames[i] << " " << value;
            char expected[200];
            std::snprintf(expected, sizeof expected,
                          "In the car file \"car.txt\", number %d of 11 (%s) is %g; it must lie between %g and %g.",
                          i + 1, kCarParamNames[i], static_cast<double>(value), static_cast<double>(range.min),
                          static_cast<double>(range.max));
            EXPECT_EQ(result.reason, expected);
        }
    }

    // Files that passed the old checks and then took the game down.
    struct Case {
        const char* text;
        const char* mustSay;
    };
    const Case cases[] = {
        {"30 8 16 0 7 0 4.5 20 20 1e10 1e10", "number 10 of 11 (rearAxleX) is 1e+10; it must lie between -200 and 200."},
        {"1e-8 1e-8 1e-8 0 7 0 4.5 20 20 10 10", "number 1 of 11 (chassisSizeX) is 1e-08; it must lie between 0.1 and 400."},
        {"30 8 16 0 7 0 3e9 20 20 10 10", "number 7 of 11 (wheelRadius) is 3e+09; it must lie between 0.1 and 100."},
        {"30 8 16 0 7 0 4.5 3e9 3e9 10 10", "number 8 of 11 (rearTrack) is 3e+09; it must lie between -400 and 400."},
        {"30 8 1e30 0 7 0 4.5 20 20 10 10", "number 3 of 11 (chassisSizeZ) is 1e+30; it must lie between 0.1 and 400."},
        {"30 3e38 16 0 7 0 4.5 20 20 10 10", "number 2 of 11 (chassisSizeY) is 3e+38; it must lie between 0.1 and 400."},
        {"30 8 16 0 -1e6 0 4.5 20 20 10 10", "number 5 of 11 (chassisY) is -1e+06; it must lie between -200 and 200."},
    };
    for (const Case& c : cases) {
        const CarFileResult result = parseCarParams(c.text, "car.txt");
        ASSERT_FALSE(result.params) << c.text;
        EXPECT_NE(result.reason.find(c.mustSay), std::string::npos) << c.text << " -> " << result.reason;
    }
}

TEST(CarFile, MissingFile)
{
    const CarFileResult result = readCarFile("/nonexistent-dir/car.txt");
    EXPECT_FALSE(result.params);
    EXPECT_NE(result.reason.find("\"/nonexistent-dir/car.txt\""), std::string::npos) << result.reason;
    EXPECT_NE(result.reason.find("No such file"), std::string::npos) << result.reason;
}

TEST(CarFile, ShippedFileIsUsable)
{
    const CarFileResult result = readCarFile(TURFWAR_SOURCE_DIR "/data/car.txt");
    ASSERT_TRUE(result.params) << result.reason;
    EXPECT_GT(result.params->chassisY + 1.0f - result.params->chassisSizeY / 2, 0.0f);
}

}  // namespace
