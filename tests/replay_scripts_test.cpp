// The replay scripts kept for memory checkers still play the game they say
// they play: if the game changes under them, they would quietly stop
// reaching the cars, the shots or the end.

#include "game_folder.h"
#include "tool_runner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

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

}  // namespace
