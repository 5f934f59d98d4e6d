// A dedicated server's match record watched in the game through
// turfwar-replay --server-record FILE SCRIPT: the world goes as the
// states-only replay (and so the server) stepped it, the pictures and the
// sound show the match, and a record that cannot be read is refused with
// the game's box and the tool's bad-input status.

#include "game_folder.h"
#include "image_test_support.h"
#include "net_rig.h"
#include "tool_runner.h"
#include "wav_capture_file.h"

#include "audio/audio.h"
#include "net/match_record.h"
#include "net/server.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

using nlohmann::json;

constexpr int kRecordTicks = 1400;    // 7 s: the 3 s countdown, then 4 s of play
constexpr int kFirstPlayTick = 620;   // past the countdown, when commands count

// Two players as a server would have stepped them: player 0 turns and, with
// shots, fires every 30 ticks; player 1 walks and is named part way through.
void writeRecord(const std::string& path, bool shots)
{
    std::ofstream out(path, std::ios::binary);
    MatchRecordHeader header;
    header.seed = 7;
    header.rules = {.rounds = 1, .roundSeconds = 60.0f, .respawnSeconds = 2.0f};
    header.players = 2;
    writeMatchRecordHeader(out, header);
    PlayerCommand commands[2];
    for (int tick = 1; tick <= kRecordTicks; ++tick) {
        commands[0] = {};
        commands[1] = {};
        if (tick >= kFirstPlayTick) {
            commands[0].lookYaw = 0.2f;
            commands[0].fire = shots && tick % 30 == 0;
            commands[1].forward = true;
            commands[1].lookYaw = -0.1f;
        }
        writeMatchRecordFrame(out, kServerTickSeconds, commands, 2);
        if (tick == 100)
            writeMatchRecordName(out, 1, "Watcher");
    }
}

std::string playbackArgs(const std::string& record, const std::string& more = "")
{
    return "--server-record " + record + " --data " + kNetGame + " " + more + " -";
}

// Of the samples from..to (interleaved, seconds), the root mean square of a
// and of a - b.
double rmsOf(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>* b, double from, double to)
{
    const std::size_t first = static_cast<std::size_t>(from * kAudioSampleRate) * 2;
    const std::size_t last = std::min(a.size(), static_cast<std::size_t>(to * kAudioSampleRate) * 2);
    double sum = 0.0;
    for (std::size_t i = first; i < last; ++i) {
        const double v = static_cast<double>(a[i]) - (b != nullptr && i < b->size() ? (*b)[i] : 0);
        sum += v * v;
    }
    return last > first ? std::sqrt(sum / static_cast<double>(last - first)) : 0.0;
}

// Pixels that differ between two pictures of the same size by more than a
// little in any channel.
int differingPixels(const Bytes& a, const Bytes& b)
{
    EXPECT_EQ(a.size(), b.size());
    int n = 0;
    for (std::size_t i = 0; i + 2 < a.size() && i + 2 < b.size(); i += 3)
        n += std::abs(a[i] - b[i]) > 8 || std::abs(a[i + 1] - b[i + 1]) > 8 || std::abs(a[i + 2] - b[i + 2]) > 8;
    return n;
}

// The in-game playback reaches the server's ticks on any frame length (whole
// ticks, fractions of them carried from frame to frame, a frame longer than
// the cap, a menu open) and shows there the world the states-only replay
// printed; after the end the world stays at the record's last tick while the
// script runs on.
TEST(RecordPlayback, WatchedRecordGoesThroughTheStatesOfTheStatesOnlyReplay)
{
    // Named from where the tool starts, not from the data folder it enters.
    GameFolder scratch(GameFolder::Contents::Empty);
    const std::string record = "match.txt";
    writeRecord(record, true);
    const ToolResult only = runTool("turfwar-replay", "--server-record " + record + " --states-every 40 --data " + kNetGame);
    ASSERT_EQ(only.status, 0) << only.err;
    std::map<long long, json> byTick;
    for (json& line : stateLines(only.out))
        byTick[line["tick"].get<long long>()] = line;
    ASSERT_EQ(byTick.size(), static_cast<std::size_t>(kRecordTicks / 40));

    std::string script = "tick 5\n";  // one tick a frame
    for (int i = 0; i < 5; ++i)
        script += "run 40\nstate\n";  // 40 .. 200
    script += "tick 16\nrun 125\nstate\n";  // 3.2 a frame: 600
    // 8 a frame: 800, the pause menu opened on the way, which holds a match
    // played here but not one watched.
    script += "tick 40\npress Escape\nrun 1\nrelease Escape\nrun 24\nstate\n";
    script += "tick 3000\nrun 1\nstate\n";  // a second at most, and 200 ticks of it: 1000
    script += "tick 100\nrun 25\nstate\nrun 10\nstate\n";  // 20 a frame: 1400, the end; and after it
    const ToolResult watched = runTool("turfwar-replay", playbackArgs(record), script);
    ASSERT_EQ(watched.status, 0) << watched.err;
    const std::vector<json> states = stateLines(watched.out);
    const std::vector<long long> expectedTicks = {40, 80, 120, 160, 200, 600, 800, 1000, 1400, 1400};
    ASSERT_EQ(states.size(), expectedTicks.size()) << watched.out;
    for (std::size_t i = 0; i < states.size(); ++i) {
        const json& state = states[i];
        ASSERT_TRUE(state.contains("playback")) << state.dump();
        const long long tick = state["playback"]["tick"].get<long long>();
        EXPECT_EQ(tick, expectedTicks[i]) << "state " << i;
        EXPECT_EQ(state["playback"]["ended"], i + 2 >= states.size()) << "state " << i;
        const auto line = byTick.find(tick);
        ASSERT_NE(line, byTick.end()) << tick;
        for (const auto& [key, value] : line->second.items()) {
            if (key != "tick") {
                EXPECT_EQ(state[key], value) << "tick " << tick << ", " << key;
            }
        }
        // Nobody plays here: no bots of ours in the server's match.
        for (const json& player : state["match"]["players"])
            EXPECT_FALSE(player.contains("bot")) << player.dump();
    }
    EXPECT_NE(states.back().dump().find("Watcher"), std::string::npos);
}

// What the tool's other outputs are for: the pictures show the match going
// on (the view turns with player 0, the HUD over it) and the capture hears
// its shots.
TEST(RecordPlayback, ScreenshotsShowTheMatchAndTheCaptureHearsItsShots)
{
    ScratchDir scratch;
    const std::string shots = scratch.file("shots.txt"), quiet = scratch.file("quiet.txt");
    writeRecord(shots, true);
    writeRecord(quiet, false);
    const std::string early = scratch.file("early.png"), late = scratch.file("late.png");
    const std::string free = scratch.file("free.png");
    // 16 ms frames: the countdown is over by frame 188, the last shot at 1380.
    const std::string script =
        "tick 16\nrun 1\nscreenshot " + early + "\nrun 299\nstate\nscreenshot " + late + "\nrun 140\n";
    const ToolResult heard = runTool("turfwar-replay", playbackArgs(shots, "--audio-out " + scratch.file("shots.wav")),
                                     script);
    ASSERT_EQ(heard.status, 0) << heard.err;
    const ToolResult still = runTool("turfwar-replay", playbackArgs(quiet, "--audio-out " + scratch.file("quiet.wav")),
                                     "tick 16\nrun 440\n");
    ASSERT_EQ(still.status, 0) << still.err;
    const ToolResult plain = runTool("turfwar-replay", "--data " + kNetGame + " -",
                                     "tick 16\nrun 300\nscreenshot " + free + "\n");
    ASSERT_EQ(plain.status, 0) << plain.err;

    const Bytes first = imageMagickPixels(early), later = imageMagickPixels(late), alone = imageMagickPixels(free);
    ASSERT_EQ(later.size(), 800u * 600u * 3u);
    EXPECT_GT(differingPixels(first, later), 800 * 600 / 20) << "the view stood still through the record";
    EXPECT_GT(differingPixels(alone, later), 800 * 600 / 20) << "the record's match looks like free play";

    // The shots' sound plays where the record fired them.
    const std::vector<json> states = stateLines(heard.out);
    ASSERT_EQ(states.size(), 1u);
    EXPECT_EQ(states[0]["playback"]["tick"], 960);
    EXPECT_NE(states[0]["audio"]["voices"].dump().find("\"handGun\""), std::string::npos) << states[0]["audio"];

    // The two records differ only in the shots, from tick 630 (3.15 s): the
    // captures are the same until then, and after it the shots are heard.
    const std::vector<std::int16_t> withShots = readCaptureSamples(scratch.file("shots.wav"));
    const std::vector<std::int16_t> without = readCaptureSamples(scratch.file("quiet.wav"));
    ASSERT_GT(withShots.size(), static_cast<std::size_t>(6 * kAudioSampleRate * 2));
    EXPECT_GT(rmsOf(withShots, nullptr, 1.0, 3.0), 10.0) << "the match is silent";
    EXPECT_EQ(rmsOf(withShots, &without, 0.0, 3.0), 0.0);
    EXPECT_GT(rmsOf(withShots, &without, 3.2, 6.5), 0.2 * rmsOf(without, nullptr, 3.2, 6.5))
        << "the shots are not heard";
}

// A record that cannot be watched: the game's box names the file (and the
// line), the status is the tool's bad input, and nothing crashes. A bad line
// part way ends the run after the states before it. Options the record
// decides are refused rather than ignored.
TEST(RecordPlayback, BadRecordsAndOptionsAreRefusedWithTheirReason)
{
    ScratchDir scratch;
    const std::string missing = scratch.file("none.txt");
    const ToolResult none = runTool("turfwar-replay", playbackArgs(missing), "run 10\nstate\n");
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.out, "");
    EXPECT_NE(none.err.find("Turfwar: " + missing + ": cannot be read"), std::string::npos) << none.err;

    const std::string badHeader = scratch.file("header.txt");
    std::ofstream(badHeader, std::ios::binary) << "turfwar-server-record 1\nseed x\n";
    const ToolResult header = runTool("turfwar-replay", playbackArgs(badHeader), "run 10\nstate\n");
    EXPECT_EQ(header.status, 2);
    EXPECT_EQ(header.out, "");
    EXPECT_NE(header.err.find("Turfwar: " + badHeader + ": line 2: "), std::string::npos) << header.err;

    // 100 good frames, a name, then a frame the reader cannot take.
    const std::string cut = scratch.file("cut.txt");
    writeRecord(cut, false);
    std::string lines = readWholeFile(cut);
    std::size_t at = 0;
    for (int line = 0; line < 4 + 101; ++line)
        at = lines.find('\n', at) + 1;
    lines = lines.substr(0, at) + "frame 0.005 nonsense\n" + lines.substr(at);
    std::ofstream(cut, std::ios::binary | std::ios::trunc) << lines;
    const ToolResult broken =
        runTool("turfwar-replay", playbackArgs(cut), "tick 5\nrun 50\nstate\nrun 100\nstate\nrun 100\nstate\n");
    EXPECT_EQ(broken.status, 2);
    const std::vector<json> before = stateLines(broken.out);
    ASSERT_EQ(before.size(), 1u) << broken.out;
    EXPECT_EQ(before[0]["playback"]["tick"], 50);
    EXPECT_NE(broken.err.find("Turfwar: " + cut + ": line 106: "), std::string::npos) << broken.err;

    const std::string good = scratch.file("good.txt");
    writeRecord(good, false);
    for (const char* option : {"--players 2", "--match", "--bots 1", "--seed 3", "--record-commands x.txt"}) {
        const ToolResult refused = runTool("turfwar-replay", playbackArgs(good, option), "run 1\n");
        EXPECT_EQ(refused.status, 2) << option;
        EXPECT_NE(refused.err.find("cannot be used with --server-record"), std::string::npos) << refused.err;
    }
    const ToolResult every = runTool("turfwar-replay", playbackArgs(good, "--states-every 10"), "run 1\n");
    EXPECT_EQ(every.status, 2);
    EXPECT_NE(every.err.find("--states-every is for --server-record without a script"), std::string::npos)
        << every.err;
    const ToolResult deaf = runTool("turfwar-replay", "--server-record " + good + " --data " + kNetGame +
                                                           " --audio-out " + scratch.file("x.wav"));
    EXPECT_EQ(deaf.status, 2);
    EXPECT_FALSE(std::filesystem::exists(scratch.file("x.wav")));
}

}  // namespace
