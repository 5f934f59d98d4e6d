// turfwar-replay, run as a user runs it: a script in, JSON and pictures out.

#include "app/error_box.h"
#include "app/game.h"

#include "game_folder.h"
#include "tool_runner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <thread>
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
                            "run 1\nstate\nresize 0 10\n", "run 1\nstate\nresize 800 4097\n",
                            "run 1\nstate\nminimize now\n"}) {
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

// The start question comes first, with the tool's answer; a broken mesh adds
// the reader's box and the model's, in the order the game showed them.
TEST(ReplayTool, PrintsEveryMessageBoxTheGameShows)
{
    const std::string question = std::string(kStartQuestionCaption) +
                                 ": Controls: \\nMove: WASD, Run: Q, Enter/Exit Vehicle: E\\nShoot: Left Click, "
                                 "Look: Mouse\\n\\nWould You Like To Run In Fullscreen Mode? -> No\n";
    const ToolResult sound = runTool("turfwar-replay", "-", "run 1\n");
    ASSERT_EQ(sound.status, 0) << sound.err;
    EXPECT_EQ(sound.err, question);

    GameFolder broken;
    broken.write("car.3ds", "");
    const ToolResult r = runTool("turfwar-replay", "- --data " + broken.path().string(), "run 1\nstate\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, question + "Error: Unable to load PRIMARY chuck from file: car.3ds!\n" + kErrorBoxCaption +
                         ": culdnt load model\n");
    EXPECT_EQ(stateLines(r.out).size(), 1u);
}

TEST(ReplayTool, RefusesAScriptPathThatIsNotAFile)
{
    GameFolder scratch(GameFolder::Contents::Empty);
    const std::string directory = scratch.path().string();
    const ToolResult r = runTool("turfwar-replay", directory);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "turfwar-replay: cannot read " + directory + ": is a directory\n");

    const ToolResult missing = runTool("turfwar-replay", directory + "/none.txt");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("cannot read " + directory + "/none.txt: "), std::string::npos) << missing.err;
}

// Starts the tool on a script file, stdout and stderr into files.
pid_t startTool(const std::string& script, const std::filesystem::path& out, const std::filesystem::path& err)
{
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Whatever the test runner blocks or ignores, the tool starts as from a shell.
    sigset_t none, stops;
    sigemptyset(&none);
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &stops);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const std::string tool = TURFWAR_BINARY_DIR "/turfwar-replay";
    char* argv[] = {const_cast<char*>(tool.c_str()), const_cast<char*>(script.c_str()), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, tool.c_str(), &files, &attributes, argv, environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    return pid;
}

// Ctrl-C and timeout(1) stop a script of a hundred million frames.
TEST(ReplayTool, SigintAndSigtermEndALongScript)
{
    GameFolder scratch(GameFolder::Contents::Empty);
    const std::filesystem::path script = scratch.path() / "long.txt", out = scratch.path() / "out",
                                err = scratch.path() / "err";
    scratch.write("long.txt", "run 1\nstate\nrun 100000000\n");
    for (const int signo : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signo);
        const pid_t pid = startTool(script.string(), out, err);
        ASSERT_GT(pid, 0);
        // The state line says the frames are running.
        using namespace std::chrono_literals;
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (readWholeFile(out).empty() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
        kill(pid, signo);
        int raw = 0;
        bool ended = false;
        while (!ended && std::chrono::steady_clock::now() < deadline + 30s) {
            ended = waitpid(pid, &raw, WNOHANG) == pid;
            std::this_thread::sleep_for(20ms);
        }
        if (!ended) {
            kill(pid, SIGKILL);
            waitpid(pid, &raw, 0);
        }
        ASSERT_TRUE(ended) << "still running after the signal";
        ASSERT_TRUE(WIFEXITED(raw));
        EXPECT_EQ(WEXITSTATUS(raw), 128 + signo);
        EXPECT_EQ(stateLines(readWholeFile(out)).size(), 1u);
        EXPECT_NE(readWholeFile(err).find(signo == SIGINT ? "stopped by SIGINT" : "stopped by SIGTERM"),
                  std::string::npos);
    }
}

}  // namespace
