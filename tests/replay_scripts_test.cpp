// The replay scripts kept for memory checkers still play the game they say
// they play: if the game changes under them, they would quietly stop
// reaching the cars, the shots or the end. And every script, these and the
// ones behind the README's pictures, plays and draws exactly what it did:
// what a player sees must not change unless we mean it to.

#include "game_folder.h"
#include "tool_runner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Reached {
    bool inCar = false;
    bool wheelOff = false;
    bool locked = false;
    bool ended = false;
};

Reached play(const std::string& script)
{
    GameFolder scratch(GameFolder::Contents::Empty);  // the screenshot lands here
    const ToolResult r = runTool("turfwar-replay", std::string(TURFWAR_SOURCE_DIR "/tests/replays/") + script);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(scratch.path() / (script.substr(0, script.find('.')) + ".png")));
    Reached reached;
    std::istringstream lines(r.out);
    long long lastFrame = -1;
    for (std::string line; std::getline(lines, line);) {
        const nlohmann::json state = nlohmann::json::parse(line);
        reached.inCar = reached.inCar || state["player"]["inCar"].get<bool>();
        reached.locked = reached.locked || state["weapon"]["targetLocked"].get<bool>();
        for (const auto& car : state["cars"])
            reached.wheelOff = reached.wheelOff || car["wheelsAttached"] < 4;
        // Escape ends the game: the last two states show the same frame.
        reached.ended = state["frame"] == lastFrame;
        lastFrame = state["frame"];
    }
    return reached;
}

TEST(ReplayScripts, EachPlaysTheGameItDescribes)
{
    for (const char* script : {"every_feature.txt", "quick_tour.txt"}) {
        SCOPED_TRACE(script);
        const Reached reached = play(script);
        EXPECT_TRUE(reached.inCar);
        EXPECT_TRUE(reached.wheelOff);
        EXPECT_TRUE(reached.locked);
        EXPECT_TRUE(reached.ended);
    }
}

// FNV-1a, 64 bits: enough to tell two outputs apart, and the same everywhere.
std::string digest(const std::string& bytes)
{
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : bytes)
        h = (h ^ c) * 1099511628211ull;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

// Every state line a script prints and every picture it takes, as digests:
// "<digest> <script> <what>". Screenshots are named from where the tool
// starts; a script that names docs/x.png writes into a docs folder there.
std::vector<std::string> outputDigests(const std::string& script)
{
    namespace fs = std::filesystem;
    GameFolder scratch(GameFolder::Contents::Empty);
    fs::create_directory(scratch.path() / "docs");
    const ToolResult r = runTool("turfwar-replay", std::string(TURFWAR_SOURCE_DIR "/") + script);
    EXPECT_EQ(r.status, 0) << script << ": " << r.err;
    std::vector<std::string> lines = {digest(r.out) + " " + script + " states"};
    std::vector<std::string> pictures;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(scratch.path()))
        if (entry.is_regular_file())
            pictures.push_back(entry.path().lexically_relative(scratch.path()).generic_string());
    std::sort(pictures.begin(), pictures.end());
    for (const std::string& picture : pictures)
        lines.push_back(digest(readWholeFile(scratch.path() / picture)) + " " + script + " " + picture);
    return lines;
}

TEST(ReplayScripts, PlayAndDrawExactlyAsRecorded)
{
    const std::string recordedFile = TURFWAR_SOURCE_DIR "/tests/replays/recorded_digests.txt";
    std::vector<std::string> recorded;
    std::istringstream in(readWholeFile(recordedFile));
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#')
            recorded.push_back(line);

    std::vector<std::string> now;
    for (const char* script : {"tests/replays/every_feature.txt", "tests/replays/quick_tour.txt",
                               "docs/on_foot.replay", "docs/driving.replay"}) {
        const std::vector<std::string> lines = outputDigests(script);
        now.insert(now.end(), lines.begin(), lines.end());
    }
    std::string all;
    for (const std::string& line : now)
        all += line + "\n";
    EXPECT_EQ(now, recorded) << "What the scripts give now (into " << recordedFile
                             << " only when the change is meant):\n" << all;

    // The README's pictures are the ones its scripts make.
    for (const char* picture : {"docs/on_foot.png", "docs/driving.png"}) {
        const std::string committed = digest(readWholeFile(std::string(TURFWAR_SOURCE_DIR "/") + picture));
        EXPECT_NE(std::find(now.begin(), now.end(), committed + " docs/" + std::filesystem::path(picture).stem().string() +
                                                         ".replay " + picture),
                  now.end())
            << picture << " is not what its script draws";
    }
}

}  // namespace
