#include "net/snapshot.h"

// A stand-in until the snapshot codec is written: the tick alone.
#include "net/protocol.h"
#include "net/wire.h"
#include "sim/sim_world.h"

void captureSnapshot(const SimWorld& world, std::uint32_t tick, WorldSnapshot& out)
{
    out = {};
    out.tick = tick;
    out.players.resize(world.players.size());
}

void quantiseSnapshot(WorldSnapshot&) {}

void applySnapshot(const WorldSnapshot&, float, SimWorld&) {}

void encodeSnapshot(const WorldSnapshot& snapshot, const WorldSnapshot*, std::vector<std::uint8_t>& out)
{
    ByteWriter w(out);
    w.u8(static_cast<std::uint8_t>(MessageType::Snapshot));
    w.u32(snapshot.tick);
}

bool decodeSnapshot(std::span<const std::uint8_t> bytes, std::span<const WorldSnapshot>, WorldSnapshot& out)
{
    ByteReader in(bytes);
    if (in.u8() != static_cast<std::uint8_t>(MessageType::Snapshot))
        return false;
    out = {};
    out.tick = in.u32();
    return in.atEnd();
}
