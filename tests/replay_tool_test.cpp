// turfwar-replay, run as a user runs it: a script in, JSON and pictures out.

#include "tool_runner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <sstream>
#include <vector>

namespace {

std::vector<nlohmann::json> stateLines(const std::string& out)
{
    std::vector<nlohmann::json> states;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        states.push_back(nlohmann::json::parse(line));
    return states;
}

TEST(ReplayTool, RunsFramesOnTheScriptedClockAndDescribesTheGame)
{
    const ToolResult r = runTool("turfwar-replay", "-",
                                 "# a short look around\n"
                                 "tick 100\n"
                                 "mouse 10 0   # ten pixels left\n"
                                 "run 3\n"
                                 "state\n"
                                 "click\n"
                                 "run 1\n"
                                 "state\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto states = stateLines(r.out);
    ASSERT_EQ(states.size(), 2u);
    EXPECT_EQ(states[0]["frame"], 3);
    EXPECT_EQ(states[0]["timeMs"], 300);
    EXPECT_FLOAT_EQ(states[0]["player"]["yaw"].get<float>(), 190.0f);
    EXPECT_EQ(states[0]["player"]["inCar"], false);
    EXPECT_EQ(states[0]["weapon"]["fireRequested"], false);
    EXPECT_EQ(states[1]["frame"], 4);

    // Both cars, every part with its pose, the second car apart from the first.
    const auto& cars = states[1]["cars"];
    ASSERT_EQ(cars.size(), 2u);
    for (const auto& car : cars) {
        EXPECT_EQ(car["parts"].size(), 5u);
        EXPECT_EQ(car["wheelsAttached"], 4);
        EXPECT_EQ(car["parts"][0]["rotation"].size(), 3u);
    }
    // Only the car last driven (car 0 before any) holds its brake.
    EXPECT_EQ(cars[0]["brake"], 100);
    EXPECT_EQ(cars[1]["brake"], 0);
    EXPECT_NEAR(cars[1]["parts"][0]["position"][0].get<float>() - cars[0]["parts"][0]["position"][0].get<float>(),
                400.0f, 1.0f);
}

TEST(ReplayTool, EndsWithTheGameAndStillDescribesIt)
{
    const ToolResult r = runTool("turfwar-replay", "-", "run 2\npress Escape\nrun 50\nstate\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto states = stateLines(r.out);
    ASSERT_EQ(states.size(), 1u);
    EXPECT_EQ(states[0]["frame"], 3);

    const ToolResult closed = runTool("turfwar-replay", "-", "run 1\nclose\nrun 10\nstate\n");
    ASSERT_EQ(closed.status, 0) << closed.err;
    EXPECT_EQ(stateLines(closed.out)[0]["frame"], 1);
}

TEST(ReplayTool, RejectsAMalformedScriptBeforeRunningAnything)
{
    for (const char* bad : {"run 1\nstate\njump 3\n", "run 1\nstate\nrun -2\n", "run 1\nstate\npress X\n",
                            "run 1\nstate\nmouse 1\n", "run 1\nstate\ntick 5 6\n",
                            "run 1\nstate\nresize 0 10\n", "run 1\nstate\nminimize now\n"}) {
        const ToolResult r = runTool("turfwar-replay", "-", bad);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_EQ(r.out, "") << bad;
        EXPECT_NE(r.err.find("line 3"), std::string::npos) << r.err;
    }
}

// Width and height sit big-endian in a PNG's header chunk.
std::uint32_t be32At(const std::string& bytes, std::size_t at)
{
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

TEST(ReplayTool, ReportsMemoryUse)
{
    const ToolResult r = runTool("turfwar-replay", "-", "run 3\nmemory\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto lines = stateLines(r.out);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]["timeMs"], 48);
    const long long rss = lines[0]["memory"]["rssKiB"], peak = lines[0]["memory"]["peakRssKiB"];
    EXPECT_GT(rss, 1000);
    EXPECT_GE(peak, rss);
}

TEST(ReplayTool, SavesWhatTheWindowShows)
{
    namespace fs = std::filesystem;
    const fs::path png = fs::temp_directory_path() / "turfwar-replay-test.png";
    fs::remove(png);
    const ToolResult r = runTool("turfwar-replay", "-", "run 1\nscreenshot " + png.string() + "\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string bytes = readWholeFile(png);
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(1, 3), "PNG");
    EXPECT_EQ(be32At(bytes, 16), 800u);
    EXPECT_EQ(be32At(bytes, 20), 600u);
    fs::remove(png);

    // A minimised window draws on; a resized one draws at its new size.
    const ToolResult resized =
        runTool("turfwar-replay", "-", "run 1\nminimize\nrun 1\nresize 200 150\nrun 1\nscreenshot " + png.string() + "\n");
    ASSERT_EQ(resized.status, 0) << resized.err;
    const std::string small = readWholeFile(png);
    ASSERT_GT(small.size(), 24u);
    EXPECT_EQ(be32At(small, 16), 200u);
    EXPECT_EQ(be32At(small, 20), 150u);
    fs::remove(png);

    const ToolResult early = runTool("turfwar-replay", "-", "screenshot " + png.string() + "\n");
    EXPECT_NE(early.status, 0);
    EXPECT_FALSE(fs::exists(png));
}

}  // namespace
