#include "tools/replay/server_record.h"

#include "assets/model_ms3d.h"
#include "net/match_record.h"
#include "tools/replay/sim_state.h"

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
    // The file first: a record that cannot be read is named before the data is.
    MatchRecordFile record;
    if (!record.open(recordPath, error))
        return false;
    SimWorld world;
    createSimWorld(world);
    if (!buildSimCars(world, "car.txt", error))
        return false;
    ModelMs3d model;
    if (!model.loadWithoutTextures("data\\model.ms3d", &error))
        return false;
    model.setAnimationStart(kWalkStartMs);
    model.restartAnimation();
    if (!record.begin(world, model, error))
        return false;
    for (;;) {
        switch (record.nextFrame(error)) {
        case MatchRecordLine::Frame:
            if (const long long tick = record.reader().frames(); every > 0 && tick % every == 0)
                out << serverStateLine(static_cast<std::uint32_t>(tick), world).dump() << '\n';
            break;
        case MatchRecordLine::Change:  // nextFrame makes the changes itself
            break;
        case MatchRecordLine::End:
            out.flush();
            return true;
        case MatchRecordLine::Malformed:
            return false;
        }
    }
}
