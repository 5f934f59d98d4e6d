#include "tools/replay/server_record.h"

#include "assets/model_ms3d.h"
#include "net/match_record.h"
#include "tools/replay/sim_state.h"

#include <fstream>
#include <ostream>

nlohmann::json serverStateLine(std::uint32_t tick, const SimWorld& world)
{
    nlohmann::json state;
    state["tick"] = tick;
    describeSimWorld(world, state);
    return state;
}

bool playServerRecord(const std::string& recordPath, int every, std::ostream& out, std::string& error)
{
    std::ifstream in(recordPath, std::ios::binary);
    if (!in) {
        error = recordPath + ": cannot be read";
        return false;
    }
    SimWorld world;
    createSimWorld(world);
    if (!buildSimCars(world, "car.txt", error))
        return false;
    ModelMs3d model;
    if (!model.loadWithoutTextures("data\\model.ms3d", &error))
        return false;
    model.setAnimationStart(kWalkStartMs);
    model.restartAnimation();
    MatchRecordReader reader;
    if (!reader.begin(in, world, model, error)) {
        error = recordPath + ": " + error;
        return false;
    }
    for (;;) {
        switch (reader.next(error)) {
        case MatchRecordLine::Frame:
            if (every > 0 && reader.frames() % every == 0)
                out << serverStateLine(static_cast<std::uint32_t>(reader.frames()), world).dump() << '\n';
            break;
        case MatchRecordLine::Change:
            break;
        case MatchRecordLine::End:
            out.flush();
            return true;
        case MatchRecordLine::Malformed:
            error = recordPath + ": " + error;
            return false;
        }
    }
}
