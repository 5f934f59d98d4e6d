// The server's match record reader on arbitrary bytes, stepping a world with
// both cars: no crash, no sanitizer report; a record it takes leaves the
// world with the players its lines say, and a refusal names its line.

#include "assets/model_ms3d.h"
#include "net/match_record.h"
#include "sim/sim_world.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// The game's own car, written once where the reader can open it.
const std::string& carFile()
{
    static const std::string path = [] {
        const std::filesystem::path p = std::filesystem::temp_directory_path() / "turfwar-fuzz-match-record-car.txt";
        std::ofstream(p) << "30 8 16\n0 7 0\n4.5\n20 20\n10 10\n";
        return p.string();
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Long records only step longer; a few frames find what the lines can do.
    if (size > 4096)
        return 0;
    SimWorld world;
    createSimWorld(world);
    std::string reason;
    if (!buildSimCars(world, carFile().c_str(), reason))
        std::abort();
    const ModelMs3d model;  // none: players stand in no pose
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    MatchRecordHeader header;
    long long frames = 0;
    std::string error;
    if (!replayMatchRecord(in, world, model, header, frames, error)) {
        if (error.rfind("line ", 0) != 0)
            std::abort();
        return 0;
    }
    if (header.players < 1 || header.players > kMaxPlayers || world.players.size() < static_cast<std::size_t>(header.players) ||
        world.players.size() > static_cast<std::size_t>(kMaxPlayers) || !world.match || frames < 0)
        std::abort();
    return 0;
}
