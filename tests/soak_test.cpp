// A soak: a seeded random-play script from turfwar-soakgen played by
// turfwar-replay on the default data, checked line by line. Two minutes of
// game time by default; TURFWAR_SOAK_MINUTES and TURFWAR_SOAK_SEED choose
// another run, e.g. the half hour before a release:
//
//   TURFWAR_SOAK_MINUTES=30 build/tests/turfwar_tests --gtest_filter='Soak.*'

#include "physics/car_file.h"
#include "physics/physics_world.h"
#include "tool_runner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

// GCC says so with a macro, clang only through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define TURFWAR_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TURFWAR_TEST_ASAN 1
#endif
#endif

#if defined(TURFWAR_TEST_ASAN)
constexpr bool kSanitized = true;  // several times slower, and ASan holds freed memory back on purpose
#else
constexpr bool kSanitized = false;
#endif

std::string fromEnvironment(const char* name, const std::string& otherwise)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : otherwise;
}

// Every number is finite: nlohmann writes NaN and infinity as null, and the
// state has no other nulls.
bool allFinite(const nlohmann::json& j, std::string& where, const std::string& path = "")
{
    if (j.is_null()) {
        where = path;
        return false;
    }
    if (j.is_object()) {
        for (const auto& [key, value] : j.items())
            if (!allFinite(value, where, path + "." + key))
                return false;
    }
    if (j.is_array()) {
        for (std::size_t i = 0; i < j.size(); ++i)
            if (!allFinite(j[i], where, path + "[" + std::to_string(i) + "]"))
                return false;
    }
    return true;
}


TEST(Soak, RandomPlayStaysFiniteInsideTheArenaWithFlatMemory)
{
    const double minutes = std::stod(fromEnvironment("TURFWAR_SOAK_MINUTES", kSanitized ? "1" : "2"));
    const std::string seed = fromEnvironment("TURFWAR_SOAK_SEED", "1");
    const std::filesystem::path script =
        std::filesystem::temp_directory_path() / ("turfwar-soak-" + std::to_string(::getpid()) + ".txt");
    const ToolResult generated = runTool("turfwar-soakgen", "--seed " + seed + " --minutes " + std::to_string(minutes));
    ASSERT_EQ(generated.status, 0) << generated.err;
    std::ofstream(script) << generated.out;
    const ToolResult played = runTool("turfwar-replay", script.string());
    std::filesystem::remove(script);
    ASSERT_EQ(played.status, 0) << played.err;

    // Each body's own size: the chassis's largest side, the wheels' diameter.
    const CarFileResult car = readCarFile(TURFWAR_SOURCE_DIR "/data/car.txt");
    ASSERT_TRUE(car.params) << car.reason;
    const float chassisSize = std::max({car.params->chassisSizeX, car.params->chassisSizeY, car.params->chassisSizeZ});
    const float wheelSize = 2.0f * car.params->wheelRadius;

    std::istringstream lines(played.out);
    int states = 0;
    long long lastTime = -1;
    long long peakAfterFirstMinute = -1, peakAtEnd = -1;
    std::set<int> carsEntered;
    int hitsOnCar[2] = {}, fewestWheels = 4, mostProjectiles = 0;
    for (std::string line; std::getline(lines, line);) {
        const nlohmann::json j = nlohmann::json::parse(line);
        std::string where;
        ASSERT_TRUE(allFinite(j, where)) << "not finite at " << where << " in " << line;
        if (j.contains("memory")) {
            const long long peak = j["memory"]["peakRssKiB"];
            if (peakAfterFirstMinute < 0 && j["timeMs"] >= 60000)
                peakAfterFirstMinute = peak;
            peakAtEnd = peak;
            continue;
        }
        ++states;
        const long long time = j["timeMs"];
        ASSERT_GE(time, lastTime);
        lastTime = time;
        if (j["player"]["inCar"])
            carsEntered.insert(j["player"]["carIndex"].get<int>());
        mostProjectiles = std::max(mostProjectiles, j["projectiles"].get<int>());
        for (std::size_t c = 0; c < j["cars"].size(); ++c) {
            const auto& state = j["cars"][c];
            fewestWheels = std::min(fewestWheels, state["wheelsAttached"].get<int>());
            if (c < 2) {
                hitsOnCar[c] = 0;
                for (const auto& h : state["hits"])
                    hitsOnCar[c] += h.get<int>();
            }
            for (std::size_t part = 0; part < state["parts"].size(); ++part) {
                const float size = part == 0 ? chassisSize : wheelSize;
                const auto& p = state["parts"][part]["position"];
                const float x = p[0], y = p[1], z = p[2];
                ASSERT_GT(y, -size) << "below the floor at " << time << " ms: " << line;
                ASSERT_LT(std::fabs(x), kArenaHalfSize + size) << "outside a wall at " << time << " ms: " << line;
                ASSERT_LT(std::fabs(z), kArenaHalfSize + size) << "outside a wall at " << time << " ms: " << line;
            }
        }
    }
    EXPECT_GE(lastTime, static_cast<long long>(minutes * 60000.0) - 1000) << "the game stopped early";
    EXPECT_GE(states, static_cast<int>(minutes * 60.0));
    // The fixed opening gets into both cars; play that no longer does has lost its reach.
    EXPECT_EQ(carsEntered.size(), 2u);
    std::printf("soak: seed %s, %.1f min, %d states; cars entered %zu, hits %d and %d, fewest wheels %d, "
                "most projectiles %d; peak memory %lld KiB after a minute, %lld KiB at the end\n",
                seed.c_str(), minutes, states, carsEntered.size(), hitsOnCar[0], hitsOnCar[1], fewestWheels, mostProjectiles,
                peakAfterFirstMinute, peakAtEnd);
    if (!kSanitized && peakAfterFirstMinute > 0) {
        EXPECT_LE(peakAtEnd, peakAfterFirstMinute + peakAfterFirstMinute / 20) << "memory grows with play";
    }
}

}  // namespace
