#pragma once
// A frame's commands as one line of text, so that a run can be recorded and
// stepped again by anything that has the simulation (a test with no window,
// later a server): "frame DT" and then each player's command as 14 numbers,
// forward back left right run enterLeave fire (0 or 1), stickForward
// stickLeft steer, throttle brake (whole numbers), lookYaw lookPitch.
// Numbers are written in the shortest form that reads back to the same
// float, so a replayed step is exact.
//
// Reading refuses, with a message naming what is wrong: a line that is not a
// frame, a player count of 0 or above kMaxPlayers, a number that does not
// read whole or is out of its range (dt 0 to 1 s, the longest frame the game
// runs; sticks and steering -1 to 1; throttle and brake 0 to 100; look
// finite and within +-1e6 degrees), and a line longer than kMaxRecordLine.

#include "sim/player_command.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::size_t kMaxRecordLine = 4096;

struct FrameRecord {
    float dt = 0.0f;
    int playerCount = 0;
    std::array<PlayerCommand, kMaxPlayers> commands{};
};

std::string frameRecordLine(float dt, const PlayerCommand* commands, int playerCount);
// On false, error says why and record is unspecified.
bool readFrameRecord(std::string_view line, FrameRecord& record, std::string& error);
