// The game played through turfwar-replay on the headless backend: walking,
// the follow camera, the weapon, and the pictures as a person would judge them.

#include "image_test_support.h"
#include "tool_runner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <vector>

namespace {

using nlohmann::json;

std::vector<json> play(const std::string& script)
{
    const ToolResult r = runTool("turfwar-replay", "-", script);
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<json> states;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);)
        states.push_back(json::parse(line));
    return states;
}

float at(const json& v, int i) { return v[static_cast<std::size_t>(i)].get<float>(); }

// --- walking; the player starts at the origin with yaw 180, facing -z ---

TEST(Gameplay, WalkingSpeedsDiagonalsAndTheWalkCycle)
{
    const auto s = play("tick 10\n"
                        "press W\nrun 100\nstate\n"                     // walk 1 s
                        "press Q\nrun 100\nstate\n"                     // run 1 s
                        "release Q\npress A\nrun 100\nstate\n"          // W + A 1 s
                        "release W\npress D\nrun 10\nstate\n"           // A + D
                        "release A D\nrun 1\nstate\n"
                        "mouse 10 0\nrun 1\nstate\n");
    ASSERT_EQ(s.size(), 6u);
    const auto& p0 = s[0]["player"];
    EXPECT_NEAR(at(p0["position"], 2), -15.0f, 0.01f);
    EXPECT_NEAR(at(p0["position"], 0), 0.0f, 0.01f);
    EXPECT_EQ(p0["gait"], 1);
    EXPECT_NEAR(at(s[1]["player"]["position"], 2), -45.0f, 0.02f);
    EXPECT_EQ(s[1]["player"]["gait"], 2);
    // Facing -z, the side vector is -x: W and A each move 15.
    EXPECT_NEAR(at(s[2]["player"]["position"], 2), -60.0f, 0.03f);
    EXPECT_NEAR(at(s[2]["player"]["position"], 0), -15.0f, 0.03f);
    // A and D cancel but the player still walks on the spot.
    EXPECT_NEAR(at(s[3]["player"]["position"], 0), -15.0f, 0.03f);
    EXPECT_EQ(s[3]["player"]["gait"], 1);
    EXPECT_EQ(s[4]["player"]["gait"], 0);
    EXPECT_FLOAT_EQ(s[5]["player"]["yaw"].get<float>(), 190.0f);
    EXPECT_EQ(at(s[5]["player"]["position"], 1), 0.0f);  // no gravity, no jumping
}

// --- the follow camera ---

TEST(Gameplay, TheEyeSettlesBehindAndAboveWithoutOvershootAndHoldsAtDtZero)
{
    std::string script = "tick 50\n";
    for (int i = 0; i < 40; ++i)
        script += "run 2\nstate\n";  // 4 s in steps of 0.1 s
    script += "tick 0\nrun 3\nstate\n";
    const auto s = play(script);
    ASSERT_EQ(s.size(), 41u);
    // Rest point: 50 against the facing (-z), 20 up; the centre 10 above the player.
    float lastZ = 0.0f;
    for (std::size_t i = 0; i < 40; ++i) {
        const auto& eye = s[i]["camera"]["eye"];
        EXPECT_LE(at(eye, 2), 50.0f + 1e-3f) << "overshoot at step " << i;
        EXPECT_LE(at(eye, 0), 1e-3f) << "overshoot at step " << i;
        EXPECT_GE(at(eye, 2), lastZ - 1e-4f) << "turned back at step " << i;
        lastZ = at(eye, 2);
    }
    // Critically damped with time constant 0.5 s: from 30 away, after 1 s
    // the error is (1 + 2t + ...)e^-2t of it, well above what is left at 4 s.
    EXPECT_GT(50.0f - at(s[9]["camera"]["eye"], 2), 1.0f);
    const auto& settled = s[39]["camera"];
    EXPECT_NEAR(at(settled["eye"], 0), 0.0f, 0.2f);
    EXPECT_NEAR(at(settled["eye"], 1), 20.0f, 1e-3f);
    EXPECT_NEAR(at(settled["eye"], 2), 50.0f, 0.2f);
    EXPECT_EQ(settled["lookAt"], json({0.0, 10.0, 0.0}));
    EXPECT_EQ(s[40]["camera"]["eye"], settled["eye"]);
}

TEST(Gameplay, BehindAMovingCarTheEyeKeepsPaceNearItsRestPoint)
{
    // Car 0 stands at the start; after 3 s of W it runs at some 300 units a
    // second (real time) and still gathers speed. Damped relative to the
    // chassis, the eye stays near the rest point 50 behind and 20 above; fed
    // the velocity per simulated second it trailed by some 200 units.
    const auto s = play("press E\nrun 1\nrelease E\npress W\nrun 200\nstate\n");
    ASSERT_EQ(s.size(), 1u);
    ASSERT_EQ(s[0]["player"]["inCar"], true);
    const auto& chassis = s[0]["cars"][0]["parts"][0];
    const auto& r = chassis["rotation"];  // rows; the forward direction is column 0
    const float forward[3] = {at(r[0], 0), at(r[1], 0), at(r[2], 0)};
    const auto& c = chassis["position"];
    ASSERT_GT(at(c, 0), 200.0f);
    const auto& eye = s[0]["camera"]["eye"];
    EXPECT_NEAR(at(eye, 0), at(c, 0) - 50.0f * forward[0], 20.0f);
    EXPECT_NEAR(at(eye, 1), at(c, 1) + 20.0f, 1.0f);
    EXPECT_NEAR(at(eye, 2), at(c, 2) - 50.0f * forward[2], 3.0f);
}

TEST(Gameplay, OnTheFrameThatEntersACarTheViewFollowsTheLastDriveAndTheCarOnlyAfter)
{
    // Movement ran on foot that frame, but the camera is fed from the viewer
    // values of the last drive: all zero before the first one. The frame
    // after, they are the new car's.
    const auto s = play("tick 50\nrun 20\nstate\npress E\nrun 1\nstate\nrelease E\nrun 1\nstate\n");
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[1]["player"]["inCar"], true);
    EXPECT_EQ(s[1]["camera"]["lookAt"], json({0.0, 10.0, 0.0}));
    const auto& chassis = s[2]["cars"][0]["parts"][0]["position"];
    const auto& lookAt = s[2]["camera"]["lookAt"];
    EXPECT_NEAR(at(lookAt, 0), at(chassis, 0), 0.5f);
    EXPECT_NEAR(at(lookAt, 1), at(chassis, 1) + 10.0f, 0.5f);
    EXPECT_NEAR(at(lookAt, 2), at(chassis, 2), 0.5f);
}

// --- the weapon ---

TEST(Gameplay, AClickWaitsForTheIntervalAndSeveralClicksGiveOneShot)
{
    const auto s = play("tick 100\nclick\nrun 5\nstate\n"  // 0.4 s gathered before the fifth frame
                        "click\nrun 1\nstate\n"
                        "click\nrun 1\nclick\nrun 3\nstate\n"
                        "run 2\nstate\n");
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0]["projectiles"], 0);
    EXPECT_EQ(s[0]["weapon"]["fireRequested"], true);
    EXPECT_EQ(s[1]["projectiles"], 1);
    EXPECT_EQ(s[1]["weapon"]["fireRequested"], false);
    EXPECT_NEAR(s[1]["weapon"]["shotTimer"].get<float>(), 0.4f, 1e-5f);  // 0.5 less this frame
    EXPECT_EQ(s[2]["weapon"]["fireRequested"], true);
    EXPECT_LE(s[2]["projectiles"].get<int>(), 1);
    EXPECT_EQ(s[3]["weapon"]["fireRequested"], false);  // the held clicks, fired once
    EXPECT_EQ(s[3]["weapon"]["sinceShot"], 0.0);
}

TEST(Gameplay, TheDrivenCarIsNeverLockedAndAShotAtTheOtherCarHitsIt)
{
    // Driving car 0, its own bodies never count (the search leaves it out).
    const auto s = play("press E\nrun 1\nrelease E\nrun 60\nstate\n");
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0]["player"]["inCar"], true);
    EXPECT_EQ(s[0]["weapon"]["targetLocked"], false);

    // Walk 36 units away, turn round and shoot: the locked part is hit at once.
    const auto shot = play("press W\nrun 150\nrelease W\nmouse 180 0\nrun 60\nstate\nclick\nrun 1\nstate\n");
    ASSERT_EQ(shot.size(), 2u);
    ASSERT_EQ(shot[0]["weapon"]["targetLocked"], true);
    const int part = shot[0]["weapon"]["targetPart"];
    EXPECT_EQ(shot[0]["cars"][0]["hits"][static_cast<std::size_t>(part)], 0);
    EXPECT_EQ(shot[1]["cars"][0]["hits"][static_cast<std::size_t>(part)], 1);
    EXPECT_EQ(shot[1]["projectiles"], 1);
}

// --- pictures ---

struct Picture {
    Bytes rgb;
    int width = 800;
    int height = 600;
    const std::uint8_t* px(int x, int y) const { return &rgb[static_cast<std::size_t>((y * width + x) * 3)]; }
    // How many pixels of the rectangle satisfy the test.
    template <typename Test>
    int count(int x0, int y0, int x1, int y1, Test test) const
    {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                n += test(px(x, y)) ? 1 : 0;
        return n;
    }
};

Picture screenshotAfter(const std::string& script)
{
    namespace fs = std::filesystem;
    const fs::path png = fs::temp_directory_path() / ("turfwar-gameplay-" + std::to_string(::getpid()) + ".png");
    play(script + "screenshot " + png.string() + "\n");
    Picture p;
    p.rgb = imageMagickPixels(png.string());
    fs::remove(png);
    EXPECT_EQ(p.rgb.size(), 800u * 600u * 3u);
    return p;
}

bool skyBlue(const std::uint8_t* c) { return c[2] > c[0] + 30 && c[2] > 150; }
bool grassGreen(const std::uint8_t* c) { return c[1] > c[0] && c[1] > c[2]; }
// The marker is drawn unlit in pure red; the lit car never reaches it.
bool markerRed(const std::uint8_t* c) { return c[0] > 250 && c[1] < 5 && c[2] < 5; }
bool carRed(const std::uint8_t* c) { return c[0] > 120 && c[1] < 70 && c[2] < 70; }

TEST(GameplayPictures, SkyAboveGrassACarAndTheMarkerOnItsLockedPart)
{
    const Picture p = screenshotAfter("press W\nrun 120\nrelease W\nmouse 170 0\nrun 90\n");
    if (p.rgb.size() != 800u * 600u * 3u)
        return;
    EXPECT_GT(p.count(0, 0, 800, 40, skyBlue), 800 * 40 * 9 / 10);
    EXPECT_GT(p.count(0, 520, 800, 600, grassGreen), 800 * 80 * 9 / 10);
    // The car stands ahead of the player, in the middle of the picture.
    EXPECT_GT(p.count(100, 150, 700, 400, carRed), 2000);
    EXPECT_GT(p.count(200, 150, 600, 400, markerRed), 50);

    // Turned away from the car (it stands behind the player, before the
    // eye): no lock, no marker.
    const Picture away = screenshotAfter("press W\nrun 120\nrelease W\nrun 90\n");
    if (away.rgb.size() != 800u * 600u * 3u)
        return;
    EXPECT_EQ(away.count(0, 0, 800, 600, markerRed), 0);

}

TEST(GameplayPictures, TheInsetShowsTheDrivenCarInTheTopLeftCornerOnlyWhileDriving)
{
    // On foot facing -z the corner is sky and grass of the main view.
    const Picture foot = screenshotAfter("run 30\n");
    const Picture driving = screenshotAfter("press E\nrun 1\nrelease E\nrun 30\n");
    if (foot.rgb.size() != 800u * 600u * 3u || driving.rgb.size() != 800u * 600u * 3u)
        return;
    // Inset: x 0..320, rows 0..209 from the top. The car is seen from behind in it.
    EXPECT_LT(foot.count(0, 0, 320, 209, carRed), 50);
    EXPECT_GT(driving.count(40, 40, 280, 209, carRed), 1000);
    // A view of its own: its top is sky while the main view beside it,
    // swinging down behind the car, shows grass there.
    EXPECT_GT(driving.count(0, 0, 320, 30, skyBlue), 320 * 30 * 8 / 10);
    EXPECT_EQ(driving.count(320, 0, 800, 30, skyBlue), 0);
}

}  // namespace
