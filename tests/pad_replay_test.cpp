// A gamepad in turfwar-replay: scripted plug-in, sticks, triggers, buttons
// and pull-out, played on the real game and read back from its states.

#include "tool_runner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<nlohmann::json> states(const ToolResult& r)
{
    std::vector<nlohmann::json> out;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);)
        out.push_back(nlohmann::json::parse(line));
    return out;
}

std::vector<nlohmann::json> play(const std::string& script)
{
    const ToolResult r = runTool("turfwar-replay", "-", script);
    EXPECT_EQ(r.status, 0) << r.err;
    return states(r);
}

float at(const nlohmann::json& state, int axis) { return state["player"]["position"][axis].get<float>(); }

TEST(PadReplay, LeftStickWalksAsTheKeysDoScaledByItsTilt)
{
    const std::string settle = "tick 100\nrun 2\nstate\n";
    const auto keys = play(settle + "press W\nrun 10\nstate\n");
    const auto full = play("pad connect\n" + settle + "pad axis lefty -1\nrun 10\nstate\n");
    const auto half = play("pad connect\n" + settle + "pad axis lefty -0.5\nrun 10\nstate\n");
    const auto rest = play("pad connect\n" + settle + "pad axis lefty -0.1\npad axis leftx 0.12\nrun 10\nstate\n");
    ASSERT_EQ(keys.size(), 2u);
    ASSERT_EQ(full.size(), 2u);
    ASSERT_EQ(half.size(), 2u);
    ASSERT_EQ(rest.size(), 2u);

    // Fully forward is W, to the bit.
    EXPECT_EQ(full[1]["player"]["position"], keys[1]["player"]["position"]);
    EXPECT_EQ(full[1]["player"]["gait"], 1);
    // Half tilt, half the way (a second at 15 units a second, facing -z).
    const float keyWay = at(keys[1], 2) - at(keys[0], 2);
    EXPECT_NEAR(keyWay, -15.0f, 1e-3f);
    EXPECT_NEAR(at(half[1], 2) - at(half[0], 2), keyWay / 2.0f, 1e-3f);
    // Inside the dead zone nothing moves and the walk does not start.
    EXPECT_EQ(rest[1]["player"]["position"], rest[0]["player"]["position"]);
    EXPECT_EQ(rest[1]["player"]["gait"], 0);
}

TEST(PadReplay, LeftStickPressedRunsAndStrafesWithTheStick)
{
    const auto run = play("pad connect\ntick 100\nrun 1\nstate\npad axis lefty -1\npad press leftstick\nrun 10\n"
                          "state\npad axis lefty 0\npad axis leftx -1\nrun 10\nstate\n");
    ASSERT_EQ(run.size(), 3u);
    EXPECT_NEAR(at(run[1], 2) - at(run[0], 2), -30.0f, 1e-3f);
    EXPECT_EQ(run[1]["player"]["gait"], 2);
    // Stick left strafes along the side vector (+x turned by the yaw of 180: -x).
    EXPECT_NEAR(at(run[2], 0) - at(run[1], 0), -15.0f, 1e-3f);
    EXPECT_EQ(run[2]["player"]["gait"], 1);
}

TEST(PadReplay, RightStickTurnsAtItsRateTimesTheFrameTime)
{
    const auto s = play("pad connect\ntick 100\nrun 1\nstate\npad axis rightx 1\nrun 3\nstate\n"
                        "pad axis rightx 0\npad axis righty -1\nrun 1\nstate\n");
    ASSERT_EQ(s.size(), 3u);
    // 180 degrees a second at full tilt, three frames of 0.1 s, to the right.
    EXPECT_NEAR(s[1]["player"]["yaw"].get<float>() - s[0]["player"]["yaw"].get<float>(), -54.0f, 1e-3f);
    EXPECT_NEAR(s[2]["player"]["pitch"].get<float>() - s[1]["player"]["pitch"].get<float>(), 18.0f, 1e-3f);
}

// The quick tour plays every path; an idle pad plugged in all along must not
// change a thing of it.
TEST(PadReplay, AnIdlePadChangesNothing)
{
    const std::string tour = readWholeFile(TURFWAR_SOURCE_DIR "/tests/replays/quick_tour.txt");
    std::string withoutScreenshot;
    std::istringstream lines(tour);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("screenshot", 0) != 0)
            withoutScreenshot += line + "\n";
    }
    auto without = play(withoutScreenshot);
    auto with = play("pad connect\n" + withoutScreenshot);
    ASSERT_FALSE(without.empty());
    ASSERT_EQ(with.size(), without.size());
    for (std::size_t i = 0; i < with.size(); ++i) {
        EXPECT_FALSE(without[i].contains("pad"));
        EXPECT_TRUE(with[i]["pad"]["connected"].get<bool>());
        with[i].erase("pad");
        EXPECT_EQ(with[i], without[i]) << "state " << i;
    }
}

// From the start, the first car stands a few units ahead after a running
// step (as in the quick tour).
const char* const kToTheCar = "tick 500\nrun 1\npress W Q\nrun 1\nrelease W Q\npad connect\n";

TEST(PadReplay, DrivesWithTriggersAndStickAndLetsGoWhenPulledOut)
{
    const auto s = play(std::string(kToTheCar) +
                        "pad press y\nrun 1\npad release y\nstate\n"
                        "tick 20\npad axis righttrigger 0.5\npad axis leftx 0.5\nrun 1\nstate\n"
                        "pad axis lefttrigger 0.8\nrun 1\nstate\n"
                        "pad axis lefttrigger 0\npad axis righttrigger 1\npad axis leftx -1\nrun 1\nstate\n"
                        "pad disconnect\nrun 1\nstate\n"
                        "pad connect\npad axis righttrigger 1\nrun 1\nstate\n");
    ASSERT_EQ(s.size(), 6u);
    EXPECT_TRUE(s[0]["player"]["inCar"].get<bool>());  // Y entered
    EXPECT_EQ(s[0]["player"]["carIndex"], 0);

    const auto& half = s[1]["cars"][0];
    EXPECT_EQ(half["throttle"], 50);
    EXPECT_EQ(half["steer"], 0.5);
    EXPECT_EQ(half["brake"], 0);
    EXPECT_EQ(s[2]["cars"][0]["brake"], 80);
    const auto& full = s[3]["cars"][0];
    EXPECT_EQ(full["throttle"], 100);
    EXPECT_EQ(full["steer"], -1.0);
    // Pulled out with the throttle held: the next frame holds nothing.
    const auto& pulled = s[4]["cars"][0];
    EXPECT_FALSE(s[4]["pad"]["connected"].get<bool>());
    EXPECT_EQ(pulled["throttle"], 0);
    EXPECT_EQ(pulled["steer"], 0.0);
    EXPECT_EQ(pulled["brake"], 0);
    // Plugged in again, it starts at rest: only what is set after counts.
    EXPECT_EQ(s[5]["cars"][0]["throttle"], 100);
    EXPECT_EQ(s[5]["cars"][0]["steer"], 0.0);
}

TEST(PadReplay, YNextToACarEntersAndLeaves)
{
    const auto s = play(std::string(kToTheCar) +
                        "pad press y\nrun 1\npad release y\nstate\ntick 600\nrun 1\npad press y\nrun 1\nstate\n");
    ASSERT_EQ(s.size(), 2u);
    EXPECT_TRUE(s[0]["player"]["inCar"].get<bool>());
    EXPECT_FALSE(s[1]["player"]["inCar"].get<bool>());
}

TEST(PadReplay, BackWithStartEndsTheGameWithStatusZero)
{
    const auto s = play("pad connect\nrun 2\npad press back\nrun 2\nstate\npad press start\nrun 1\nrun 5\nstate\n");
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0]["frame"], 4);  // Back alone does nothing
    EXPECT_EQ(s[1]["frame"], 5);  // with Start it ends after that frame
}

TEST(PadReplay, RumblesOnEachShot)
{
    const auto s = play("pad connect\ntick 500\nrun 1\npad press rightshoulder\nrun 1\nstate\n"
                        "pad release rightshoulder\nclick\nrun 2\nstate\n");
    ASSERT_EQ(s.size(), 2u);
    ASSERT_EQ(s[0]["pad"]["rumbles"].size(), 1u);
    EXPECT_EQ(s[0]["pad"]["rumbles"][0]["durationMs"], 80);
    EXPECT_EQ(s[0]["projectiles"], 1);
    // A mouse shot shakes the pad too: the player holds it.
    EXPECT_EQ(s[1]["pad"]["rumbles"].size(), 2u);
}

TEST(PadReplay, RejectsMalformedPadCommandsWithTheirLine)
{
    for (const char* bad : {"pad\n", "pad plug\n", "pad connect now\n", "pad axis leftx\n", "pad axis leftx 1.5\n",
                            "pad axis lefttrigger -0.2\n", "pad axis wheel 0.5\n", "pad axis leftx nan\n",
                            "pad axis leftx 0.5x\n", "pad press\n", "pad press a jump\n", "pad release z\n"}) {
        const ToolResult r = runTool("turfwar-replay", "-", std::string("run 1\nstate\n") + bad);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_EQ(r.out, "") << bad;
        EXPECT_NE(r.err.find("line 3"), std::string::npos) << bad << r.err;
    }
}

}  // namespace
