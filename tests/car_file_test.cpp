#include "physics/car_file.h"

#include <gtest/gtest.h>

#include <cstdio>
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
