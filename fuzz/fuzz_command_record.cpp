// The frame record reader on arbitrary bytes: no crash and no sanitizer
// report; a line it accepts holds values inside their ranges and, written
// back, reads as the same frame; a refusal says why.

#include "sim/command_record.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool sameCommand(const PlayerCommand& x, const PlayerCommand& y)
{
    return x.forward == y.forward && x.back == y.back && x.left == y.left && x.right == y.right &&
           x.run == y.run && x.enterLeave == y.enterLeave && x.fire == y.fire &&
           x.stickForward == y.stickForward && x.stickLeft == y.stickLeft && x.steer == y.steer &&
           x.throttle == y.throttle && x.brake == y.brake && x.lookYaw == y.lookYaw && x.lookPitch == y.lookPitch;
}

bool inRange(const PlayerCommand& c)
{
    const auto unit = [](float v) { return v >= -1.0f && v <= 1.0f; };
    return unit(c.stickForward) && unit(c.stickLeft) && unit(c.steer) && c.throttle >= 0 && c.throttle <= 100 &&
           c.brake >= 0 && c.brake <= 100 && std::isfinite(c.lookYaw) && std::isfinite(c.lookPitch);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    FrameRecord record;
    std::string error;
    if (!readFrameRecord(line, record, error)) {
        if (error.empty())
            std::abort();
        return 0;
    }
    if (record.playerCount < 1 || record.playerCount > kMaxPlayers || !(record.dt >= 0.0f && record.dt <= 1.0f))
        std::abort();
    for (int p = 0; p < record.playerCount; ++p)
        if (!inRange(record.commands[static_cast<std::size_t>(p)]))
            std::abort();

    const std::string written = frameRecordLine(record.dt, record.commands.data(), record.playerCount);
    FrameRecord again;
    if (!readFrameRecord(written, again, error) || again.playerCount != record.playerCount || again.dt != record.dt)
        std::abort();
    for (int p = 0; p < record.playerCount; ++p)
        if (!sameCommand(again.commands[static_cast<std::size_t>(p)], record.commands[static_cast<std::size_t>(p)]))
            std::abort();
    return 0;
}
