#include "app/record_playback.h"

#include "app/error_box.h"
#include "app/world.h"
#include "net/server.h"

#include <algorithm>

namespace {

// dt arrives as whole milliseconds in a float: 5 ms is a hair under one tick
// at 200 a second. The slack, far below a tick, keeps such a frame from
// leaving its tick to the next and the record from running a frame behind.
constexpr double kTickSlack = 1e-3;

}  // namespace

bool beginRecordPlayback(World& world, const std::string& path, std::string& error)
{
    RecordPlayback& playback = world.playback;
    playback.owedTicks = 0.0;
    playback.ended = false;
    if (!playback.record.open(path, error) || !playback.record.begin(world.sim, world.playerModel, error)) {
        playback.error = error;
        playback.active = false;
        return false;
    }
    playback.error.clear();
    playback.active = true;
    return true;
}

void stepRecordPlayback(World& world, float dt)
{
    RecordPlayback& playback = world.playback;
    if (!playback.active || playback.ended)
        return;
    playback.owedTicks = std::min(playback.owedTicks + static_cast<double>(dt) * kServerTickRate,
                                  kMaxPlaybackTicksPerFrame);
    while (playback.owedTicks + kTickSlack >= 1.0) {
        std::string error;
        switch (playback.record.nextFrame(error)) {
        case MatchRecordLine::Frame:
            playback.owedTicks -= 1.0;
            for (const StepEvent& event : playback.record.reader().events())
                world.events.add(event);
            break;
        case MatchRecordLine::Change:  // made by nextFrame on the way to a step
            break;
        case MatchRecordLine::End:
            playback.ended = true;
            playback.owedTicks = 0.0;
            return;
        case MatchRecordLine::Malformed:
            playback.ended = true;
            playback.owedTicks = 0.0;
            playback.error = error;
            showErrorBox("%s", error.c_str());
            return;
        }
    }
}
