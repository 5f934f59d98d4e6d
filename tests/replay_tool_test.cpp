// turfwar-replay, run as a user runs it: a script in, JSON and pictures out.

#include "app/error_box.h"
#include "app/game.h"

#include "game_folder.h"
#include "tool_runner.h"

#include "tools/replay/replay_script.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

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
    for (const char* bad : {"run 1\nstate\njump 3\n", "run 1\nstate\nrun -2\n", "run 1\nstate\npress Nokey\n",
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
pid_t startTool(const std::string& script, const std::filesystem::path& out, const std::filesystem::path& err,
                std::vector<std::string> options = {})
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
    sigaddset(&stops, SIGHUP);
    sigaddset(&stops, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &stops);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const std::string tool = TURFWAR_BINARY_DIR "/turfwar-replay";
    options.insert(options.begin(), {tool, script});
    std::vector<char*> argv;
    for (std::string& option : options)
        argv.push_back(option.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, tool.c_str(), &files, &attributes, argv.data(), environ) != 0)
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


// Waits (bounded) for the first state line, sends the signal, and returns the
// raw wait status (-1 when the tool had to be killed).
int stopAfterFirstState(pid_t pid, int signo, const std::filesystem::path& out)
{
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (readWholeFile(out).empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    std::this_thread::sleep_for(200ms);  // some frames of sound after it
    kill(pid, signo);
    int raw = 0;
    while (std::chrono::steady_clock::now() < deadline + 30s) {
        if (waitpid(pid, &raw, WNOHANG) == pid)
            return raw;
        std::this_thread::sleep_for(20ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &raw, 0);
    return -1;
}

std::uint32_t le32At(const std::string& bytes, std::size_t at)
{
    std::uint32_t v = 0;
    for (std::size_t i = 4; i-- > 0;)
        v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

// The sample bytes a 16-bit stereo WAV's header announces, after checking
// that it is one; -1 when it is not.
long long wavDataBytes(const std::string& wav)
{
    if (wav.size() < 44 || wav.compare(0, 4, "RIFF") != 0 || wav.compare(8, 4, "WAVE") != 0 ||
        wav.compare(36, 4, "data") != 0 || le32At(wav, 24) != 44100 || (le32At(wav, 20) & 0xffff) != 1)
        return -1;
    return le32At(wav, 40);
}

TEST(ReplayTool, UsageErrorsExitTwoWithTheReason)
{
    struct Case {
        const char* args;
        const char* reason;
    };
    for (const Case& c : {Case{"", "script is required"}, Case{"- extra", "not expected: extra"},
                          Case{"- --no-such-option", "--no-such-option"},
                          Case{"- --audio-out x.wav --audio-device default", "cannot be used together"}}) {
        const ToolResult r = runTool("turfwar-replay", c.args, "run 1\n");
        EXPECT_EQ(r.status, 2) << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << c.args << ": " << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists("x.wav"));
}

// The grammar and the statuses have one source, --help; the README's bullet
// must name every command and status it lists.
TEST(ReplayTool, ReadmeNamesEveryCommandAndExitStatusOfTheHelp)
{
    const ToolResult help = runTool("turfwar-replay", "--help");
    ASSERT_EQ(help.status, 0) << help.err;
    const std::string readme = readWholeFile(TURFWAR_SOURCE_DIR "/README.md");
    const std::size_t from = readme.find("- `turfwar-replay SCRIPT");
    ASSERT_NE(from, std::string::npos);
    const std::string bullet = readme.substr(from, readme.find("\n- ", from + 1) - from);
    for (const std::string& name : scriptCommandNames()) {
        EXPECT_NE(help.out.find("\n  " + name + " "), std::string::npos) << name;
        EXPECT_NE(bullet.find("`" + name), std::string::npos) << name << " is not in the README";
    }
    for (const char* status : {"0", "1", "2", "3", "129", "130", "141", "143"}) {
        const std::regex number(std::string("(^|[^0-9])") + status + "([^0-9]|$)");
        EXPECT_TRUE(std::regex_search(help.out, number)) << status;
        EXPECT_TRUE(std::regex_search(bullet, number)) << status << " is not in the README";
    }
}

TEST(ReplayTool, RefusesAnEndlessLineAndAnOversizedScriptUnread)
{
    const ToolResult zeros = runTool("turfwar-replay", "/dev/zero");
    EXPECT_EQ(zeros.status, 2);
    EXPECT_EQ(zeros.err, "turfwar-replay: /dev/zero: line 1: longer than " + std::to_string(kMaxScriptLineBytes) +
                             " bytes\n");

    GameFolder scratch(GameFolder::Contents::Empty);
    scratch.write("huge.txt", "run 1\n");
    std::filesystem::resize_file(scratch.path() / "huge.txt", kMaxScriptBytes + 1);  // sparse: costs no disk
    const ToolResult huge = runTool("turfwar-replay", (scratch.path() / "huge.txt").string());
    EXPECT_EQ(huge.status, 2);
    EXPECT_NE(huge.err.find("longer than " + std::to_string(kMaxScriptBytes) + " bytes"), std::string::npos)
        << huge.err;

    // A byte-order mark from an editor is no longer an invisible unknown command.
    const ToolResult marked = runTool("turfwar-replay", "-", "\xEF\xBB\xBFtick 16\nrun 1\nstate\n");
    EXPECT_EQ(marked.status, 0) << marked.err;
    EXPECT_EQ(stateLines(marked.out).size(), 1u);
}

// Reported before the start question, not after the whole run.
TEST(ReplayTool, AnUnwritableAudioOutFailsBeforeTheGameStarts)
{
    GameFolder scratch(GameFolder::Contents::Empty);
    for (const std::string& path :
         {scratch.path().string(), (scratch.path() / "missing" / "x.wav").string(), std::string("/dev/full")}) {
        const ToolResult r = runTool("turfwar-replay", "- --audio-out " + path, "run 100\nstate\n");
        EXPECT_EQ(r.status, 1) << path;
        EXPECT_EQ(r.out, "") << path;
        EXPECT_EQ(r.err.rfind("turfwar-replay: cannot write " + path + ": ", 0), 0u) << r.err;
        EXPECT_EQ(r.err.find(kStartQuestionCaption), std::string::npos) << r.err;
    }
}

TEST(ReplayTool, AStoppedRunLeavesAValidCaptureOfItsFrames)
{
    namespace fs = std::filesystem;
    GameFolder scratch(GameFolder::Contents::Empty);
    const fs::path out = scratch.path() / "out", err = scratch.path() / "err", wav = scratch.path() / "sound.wav";
    scratch.write("long.txt", "run 1\nstate\nrun 100000000\n");
    const std::string script = (scratch.path() / "long.txt").string();

    // Caught signals close the file as a normal end does.
    for (const int signo : {SIGHUP, SIGTERM}) {
        SCOPED_TRACE(signo);
        const pid_t pid = startTool(script, out, err, {"--audio-out", wav.string()});
        ASSERT_GT(pid, 0);
        const int raw = stopAfterFirstState(pid, signo, out);
        ASSERT_TRUE(raw != -1 && WIFEXITED(raw)) << "still running after the signal";
        EXPECT_EQ(WEXITSTATUS(raw), 128 + signo);
        const std::string bytes = readWholeFile(wav);
        EXPECT_GT(wavDataBytes(bytes), 0);
        EXPECT_EQ(wavDataBytes(bytes), static_cast<long long>(bytes.size()) - 44);
        EXPECT_EQ(le32At(bytes, 4), bytes.size() - 8);
    }

    // Even a kill leaves a header that announces no more than is there.
    const pid_t pid = startTool(script, out, err, {"--audio-out", wav.string()});
    ASSERT_GT(pid, 0);
    const int raw = stopAfterFirstState(pid, SIGKILL, out);
    ASSERT_TRUE(raw != -1 && WIFSIGNALED(raw));
    const std::string killed = readWholeFile(wav);
    EXPECT_GT(wavDataBytes(killed), 0);
    EXPECT_LE(wavDataBytes(killed), static_cast<long long>(killed.size()) - 44);
    EXPECT_EQ(wavDataBytes(killed) % 4, 0);
}

// `| head -1`: the tool stops at the closed pipe, with its capture whole.
TEST(ReplayTool, AClosedPipeEndsTheRunWithTheCaptureWritten)
{
    GameFolder scratch(GameFolder::Contents::Empty);
    std::string many;
    for (int i = 0; i < 3000; ++i)
        many += "run 1\nstate\n";
    scratch.write("many.txt", many);
    const std::string dir = scratch.path().string();
    const std::string command = "bash -c 'cd " + dir + " && " TURFWAR_BINARY_DIR "/turfwar-replay many.txt --audio-out " +
                                "sound.wav 2>err | head -n 1 >first; echo ${PIPESTATUS[0]} >status'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(readWholeFile(scratch.path() / "status"), "141\n");
    EXPECT_EQ(stateLines(readWholeFile(scratch.path() / "first")).size(), 1u);
    EXPECT_NE(readWholeFile(scratch.path() / "err").find("stopped by SIGPIPE"), std::string::npos);
    const std::string bytes = readWholeFile(scratch.path() / "sound.wav");
    EXPECT_GT(wavDataBytes(bytes), 0);
    EXPECT_EQ(wavDataBytes(bytes), static_cast<long long>(bytes.size()) - 44);

    // Output that cannot be written is a failure, not a success.
    const std::string full = "bash -c '" TURFWAR_BINARY_DIR "/turfwar-replay - >/dev/full 2>" + dir +
                             "/err <<< $'\"'\"'run 1\\nstate'\"'\"'; echo $? >" + dir + "/status'";
    ASSERT_EQ(std::system(full.c_str()), 0);
    EXPECT_EQ(readWholeFile(scratch.path() / "status"), "1\n");
    EXPECT_NE(readWholeFile(scratch.path() / "err").find("cannot write standard output"), std::string::npos);
}

// Rebound keys replay through --config, by the names the settings file uses.
TEST(ReplayTool, ReplaysReboundKeysFromASettingsFile)
{
    GameFolder scratch(GameFolder::Contents::Empty);
    scratch.write("keys.toml", "[keys]\nforward = \"Up\"\nrun = \"Left Shift\"\n");
    const std::string walk = "press Up \"Left Shift\"\nrun 60\nstate\n";
    const ToolResult rebound =
        runTool("turfwar-replay", "- --config " + (scratch.path() / "keys.toml").string(), walk);
    ASSERT_EQ(rebound.status, 0) << rebound.err;
    const ToolResult plain = runTool("turfwar-replay", "-", walk);
    ASSERT_EQ(plain.status, 0) << plain.err;
    const auto moved = stateLines(rebound.out).at(0)["player"]["position"];
    const auto still = stateLines(plain.out).at(0)["player"]["position"];
    EXPECT_GT(std::hypot(moved[0].get<double>() - still[0].get<double>(),
                         moved[2].get<double>() - still[2].get<double>()),
              10.0);

    // A file named and missing is said, and the game plays with the defaults.
    const ToolResult missing = runTool("turfwar-replay", "- --config " + (scratch.path() / "none.toml").string(),
                                       "run 1\nstate\n");
    EXPECT_EQ(missing.status, 0) << missing.err;
    EXPECT_NE(missing.err.find("none.toml"), std::string::npos) << missing.err;
}

// Two players at one keyboard replayed: the second's arrows from --config
// move the second player only, and a script that presses a key no one of
// its players holds is refused before anything runs.
TEST(ReplayTool, ReplaysASecondPlayersKeysAndRefusesAnotherPlayersKey)
{
    GameFolder scratch(GameFolder::Contents::Empty);
    scratch.write("arrows.toml", "[player2]\nforward = \"Up\"\n");
    const std::string config = " --config " + (scratch.path() / "arrows.toml").string();
    const ToolResult walked = runTool("turfwar-replay", "- --players 2" + config,
                                      "state\nplayer 2 press Up\nrun 30\nstate\n");
    ASSERT_EQ(walked.status, 0) << walked.err;
    const auto states = stateLines(walked.out);
    ASSERT_EQ(states.size(), 2u);
    const auto z = [&](std::size_t state, std::size_t player) {
        return states[state]["players"][player]["position"][2].get<double>();
    };
    EXPECT_LT(z(1, 1), z(0, 1) - 5.0);  // forward, facing -z
    EXPECT_EQ(z(1, 0), z(0, 0));

    const ToolResult unbound = runTool("turfwar-replay", "- --players 2", "run 1\nplayer 2 press Up\nstate\n");
    EXPECT_EQ(unbound.status, 2);
    EXPECT_EQ(unbound.out, "");
    EXPECT_EQ(unbound.err, "turfwar-replay: standard input: line 2: player 2 has no action on 'Up' (their keys: "
                           "[player2] in --config)\n");
}

// The game's own data-folder step, with the game's status.
TEST(ReplayTool, ADataFolderThatCannotBeEnteredEndsWithTheGamesStatus)
{
    const ToolResult r = runTool("turfwar-replay", "- --data /no/such/folder", "run 1\n");
    EXPECT_EQ(r.status, kExitBadGameData);
    EXPECT_NE(r.err.find(std::string(kErrorBoxCaption) + ": "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("/no/such/folder"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

}  // namespace
