#pragma once
// A dedicated server's match record stepped again through a fresh world, a
// line of the world's state every so many ticks: the lines turfwar-server's
// --states wrote as it played, the same to the byte when the record is whole.

#include "sim/sim_world.h"

#include <cstdint>
#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>

inline constexpr int kDefaultStatesEvery = 200;  // ticks: one a simulated second

// The line for a tick: "tick" and the simulation as the replay's states
// describe it (tools/replay/sim_state.h).
nlohmann::json serverStateLine(std::uint32_t tick, const SimWorld& world);

// Reads car.txt and data/model.ms3d from the working directory, steps the
// record and writes a state line to out at every tick that is a multiple of
// every. False with error when the data, the file or a record line is bad
// (the lines before it written).
bool playServerRecord(const std::string& recordPath, int every, std::ostream& out, std::string& error);
