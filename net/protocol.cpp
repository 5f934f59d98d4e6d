#include "net/protocol.h"

#include "net/wire.h"
#include "sim/driving.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr float kPositionScale = 32.0f;  // 1/32 unit

std::int16_t quantisedCoordinate(float v)
{
    if (!std::isfinite(v))
        return 0;
    return static_cast<std::int16_t>(std::lround(std::clamp(v * kPositionScale, -32767.0f, 32767.0f)));
}

bool begin(ByteReader& in, MessageType type) { return in.u8() == static_cast<std::uint8_t>(type) && in.ok(); }

void encodeEvent(ByteWriter& out, const StepEvent& e)
{
    out.u8(static_cast<std::uint8_t>(e.kind));
    out.i8(static_cast<std::int8_t>(std::clamp(e.player, -1, 127)));
    out.i8(static_cast<std::int8_t>(std::clamp(e.car, -1, 127)));
    out.i8(static_cast<std::int8_t>(std::clamp(e.part, -128, 127)));
    out.i8(static_cast<std::int8_t>(std::clamp(e.target, -1, 127)));
    out.u8(static_cast<std::uint8_t>(std::lround(std::clamp(std::isfinite(e.strength) ? e.strength : 0.0f, 0.0f, 1.0f) * 255.0f)));
    out.i16(quantisedCoordinate(e.position.x));
    out.i16(quantisedCoordinate(e.position.y));
    out.i16(quantisedCoordinate(e.position.z));
}

bool decodeEvent(ByteReader& in, StepEvent& e)
{
    const std::uint8_t kind = in.u8();
    if (kind > static_cast<std::uint8_t>(StepEventKind::ClockWarning))
        return false;
    e.kind = static_cast<StepEventKind>(kind);
    e.player = in.i8();
    e.car = in.i8();
    e.part = in.i8();
    e.target = in.i8();
    e.strength = static_cast<float>(in.u8()) / 255.0f;
    // The encoder holds coordinates to +-32767 steps: -32768 is not ours
    // (and would not encode again as itself).
    bool coordinatesOk = true;
    for (float* c : {&e.position.x, &e.position.y, &e.position.z}) {
        const std::int16_t v = in.i16();
        coordinatesOk = coordinatesOk && v != std::numeric_limits<std::int16_t>::min();
        *c = static_cast<float>(v) / kPositionScale;
    }
    // Players and cars are indices or -1; anything else is not ours.
    return in.ok() && coordinatesOk && e.player >= -1 && e.player < kMaxPlayers && e.target >= -1 && e.target < kMaxPlayers &&
           e.car >= -1 && e.car < kCarCount;
}

}  // namespace

const char* refusalText(RefusalReason reason)
{
    switch (reason) {
    case RefusalReason::WrongVersion:
        return "the server plays another version of the game";
    case RefusalReason::WrongGameData:
        return "the server's car file differs from this game's";
    case RefusalReason::WrongPassword:
        return "the password is wrong";
    case RefusalReason::Full:
        return "the server is full";
    case RefusalReason::Malformed:
        return "the server could not read what this game sent";
    }
    return "the server refused";
}

void encodeHello(const HelloMessage& m, std::vector<std::uint8_t>& out)
{
    ByteWriter w(out);
    w.u8(static_cast<std::uint8_t>(MessageType::Hello));
    w.u16(m.version);
    w.u64(m.gameDataHash);
    w.text(m.name.substr(0, kMaxNameBytes));
    w.text(m.password.substr(0, kMaxPasswordBytes));
}

bool decodeHello(std::span<const std::uint8_t> bytes, HelloMessage& m)
{
    ByteReader in(bytes);
    if (!begin(in, MessageType::Hello))
        return false;
    m.version = in.u16();
    m.gameDataHash = in.u64();
    m.name = in.text(kMaxNameBytes);
    m.password = in.text(kMaxPasswordBytes);
    return in.atEnd();
}

void encodeWelcome(const WelcomeMessage& m, std::vector<std::uint8_t>& out)
{
    ByteWriter w(out);
    w.u8(static_cast<std::uint8_t>(MessageType::Welcome));
    w.u8(m.player);
    w.u8(m.playerCount);
    w.u32(m.tick);
    w.u32(m.seed);
    w.u8(m.rounds);
    w.f32(m.roundSeconds);
    w.f32(m.respawnSeconds);
}

bool decodeWelcome(std::span<const std::uint8_t> bytes, WelcomeMessage& m)
{
    ByteReader in(bytes);
    if (!begin(in, MessageType::Welcome))
        return false;
    m.player = in.u8();
    m.playerCount = in.u8();
    m.tick = in.u32();
    m.seed = in.u32();
    m.rounds = in.u8();
    m.roundSeconds = in.f32();
    m.respawnSeconds = in.f32();
    return in.atEnd() && m.playerCount >= 1 && m.playerCount <= kMaxPlayers && m.player < m.playerCount &&
           m.rounds >= 1 && std::isfinite(m.roundSeconds) && m.roundSeconds > 0.0f && m.roundSeconds < 1e6f &&
           std::isfinite(m.respawnSeconds) && m.respawnSeconds >= 0.0f && m.respawnSeconds < 1e6f;
}

void encodeRefused(const RefusedMessage& m, std::vector<std::uint8_t>& out)
{
    ByteWriter w(out);
    w.u8(static_cast<std::uint8_t>(MessageType::Refused));
    w.u8(static_cast<std::uint8_t>(m.reason));
}

bool decodeRefused(std::span<const std::uint8_t> bytes, RefusedMessage& m)
{
    ByteReader in(bytes);
    if (!begin(in, MessageType::Refused))
        return false;
    const std::uint8_t reason = in.u8();
    m.reason = static_cast<RefusalReason>(reason);
    return in.atEnd() && reason >= static_cast<std::uint8_t>(RefusalReason::WrongVersion) &&
           reason <= static_cast<std::uint8_t>(RefusalReason::Malformed);
}

namespace {

// What an older input in a packet changed from the one after it.
constexpr std::uint8_t kSequenceGap = 1;   // not one less than the newer one's
constexpr std::uint8_t kButtonsChanged = 2;
constexpr std::uint8_t kSticksChanged = 4;
constexpr std::uint8_t kPedalsChanged = 8;
constexpr std::uint8_t kYawChanged = 16;
constexpr std::uint8_t kPitchChanged = 32;
constexpr std::uint8_t kFireChanged = 64;
constexpr std::uint8_t kUnknownChanges = 128;

std::int32_t wrappingDifference(std::int32_t a, std::int32_t b)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

void encodeWholeInput(ByteWriter& w, const NetInput& n)
{
    w.u32(n.sequence);
    w.u8(n.buttons);
    w.i8(n.stickForward);
    w.i8(n.stickLeft);
    w.i8(n.steer);
    w.u8(n.throttle);
    w.u8(n.brake);
    w.i32(n.lookYawTotal);
    w.i32(n.lookPitchTotal);
    w.u16(n.fireCount);
}

void decodeWholeInput(ByteReader& in, NetInput& n)
{
    n.sequence = in.u32();
    n.buttons = in.u8();
    n.stickForward = in.i8();
    n.stickLeft = in.i8();
    n.steer = in.i8();
    n.throttle = in.u8();
    n.brake = in.u8();
    n.lookYawTotal = in.i32();
    n.lookPitchTotal = in.i32();
    n.fireCount = in.u16();
}

void encodeOlderInput(ByteWriter& w, const NetInput& n, const NetInput& newer)
{
    std::uint8_t changes = 0;
    if (n.sequence != newer.sequence - 1)
        changes |= kSequenceGap;
    if (n.buttons != newer.buttons)
        changes |= kButtonsChanged;
    if (n.stickForward != newer.stickForward || n.stickLeft != newer.stickLeft || n.steer != newer.steer)
        changes |= kSticksChanged;
    if (n.throttle != newer.throttle || n.brake != newer.brake)
        changes |= kPedalsChanged;
    if (n.lookYawTotal != newer.lookYawTotal)
        changes |= kYawChanged;
    if (n.lookPitchTotal != newer.lookPitchTotal)
        changes |= kPitchChanged;
    if (n.fireCount != newer.fireCount)
        changes |= kFireChanged;
    w.u8(changes);
    if (changes & kSequenceGap)
        w.u32(n.sequence);
    if (changes & kButtonsChanged)
        w.u8(n.buttons);
    if (changes & kSticksChanged) {
        w.i8(n.stickForward);
        w.i8(n.stickLeft);
        w.i8(n.steer);
    }
    if (changes & kPedalsChanged) {
        w.u8(n.throttle);
        w.u8(n.brake);
    }
    if (changes & kYawChanged)
        w.svar32(wrappingDifference(newer.lookYawTotal, n.lookYawTotal));
    if (changes & kPitchChanged)
        w.svar32(wrappingDifference(newer.lookPitchTotal, n.lookPitchTotal));
    if (changes & kFireChanged)
        w.u16(static_cast<std::uint16_t>(newer.fireCount - n.fireCount));
}

bool decodeOlderInput(ByteReader& in, NetInput& n, const NetInput& newer)
{
    const std::uint8_t changes = in.u8();
    if (changes & kUnknownChanges)
        return false;
    n = newer;
    n.sequence = (changes & kSequenceGap) ? in.u32() : newer.sequence - 1;
    if (changes & kButtonsChanged)
        n.buttons = in.u8();
    if (changes & kSticksChanged) {
        n.stickForward = in.i8();
        n.stickLeft = in.i8();
        n.steer = in.i8();
    }
    if (changes & kPedalsChanged) {
        n.throttle = in.u8();
        n.brake = in.u8();
    }
    // The difference taken back modulo 2^32: any 32 bits a packet holds
    // (the most negative among them, which has no negation) give a total.
    if (changes & kYawChanged)
        n.lookYawTotal = wrappingDifference(newer.lookYawTotal, in.svar32());
    if (changes & kPitchChanged)
        n.lookPitchTotal = wrappingDifference(newer.lookPitchTotal, in.svar32());
    if (changes & kFireChanged)
        n.fireCount = static_cast<std::uint16_t>(newer.fireCount - in.u16());
    return in.ok();
}

bool streamed(std::uint8_t type)
{
    return type == static_cast<std::uint8_t>(MessageType::Welcome) ||
           type == static_cast<std::uint8_t>(MessageType::Events) || type == static_cast<std::uint8_t>(MessageType::Roster);
}

}  // namespace

void encodeInput(const InputMessage& m, std::vector<std::uint8_t>& out)
{
    ByteWriter w(out);
    w.u8(static_cast<std::uint8_t>(MessageType::Input));
    w.u32(m.ackedSnapshot);
    w.u32(m.ackedStream);
    const std::size_t count = std::min(m.inputs.size(), kInputsPerPacket);
    w.u8(static_cast<std::uint8_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        if (i == 0)
            encodeWholeInput(w, m.inputs[0]);
        else
            encodeOlderInput(w, m.inputs[i], m.inputs[i - 1]);
    }
}

bool decodeInput(std::span<const std::uint8_t> bytes, InputMessage& m)
{
    ByteReader in(bytes);
    if (!begin(in, MessageType::Input))
        return false;
    m.ackedSnapshot = in.u32();
    m.ackedStream = in.u32();
    const std::size_t count = in.u8();
    if (count < 1 || count > kInputsPerPacket)
        return false;
    m.inputs.resize(count);
    decodeWholeInput(in, m.inputs[0]);
    for (std::size_t i = 1; i < count; ++i)
        if (!decodeOlderInput(in, m.inputs[i], m.inputs[i - 1]))
            return false;
    return in.atEnd();
}

std::size_t encodeStream(std::uint32_t first, std::span<const std::span<const std::uint8_t>> items,
                         std::vector<std::uint8_t>& out)
{
    ByteWriter w(out);
    w.u8(static_cast<std::uint8_t>(MessageType::Stream));
    w.u32(first);
    const std::size_t countAt = out.size();
    w.u8(0);
    std::size_t count = 0;
    std::size_t bytes = kStreamHeaderBytes;
    for (const auto& item : items) {
        const std::size_t size = kStreamItemHeaderBytes + item.size();
        if (count == kMaxStreamItems || (count > 0 && bytes + size > kMaxMessageBytes))
            break;
        w.u16(static_cast<std::uint16_t>(item.size()));
        w.bytes(item);
        bytes += size;
        ++count;
    }
    out[countAt] = static_cast<std::uint8_t>(count);
    return count;
}

std::size_t encodeStream(std::uint32_t first, std::span<const std::vector<std::uint8_t>> items,
                         std::vector<std::uint8_t>& out)
{
    const std::vector<std::span<const std::uint8_t>> views(items.begin(), items.end());
    return encodeStream(first, views, out);
}

bool decodeStream(std::span<const std::uint8_t> bytes, StreamMessage& m)
{
    ByteReader in(bytes);
    if (!begin(in, MessageType::Stream))
        return false;
    m.first = in.u32();
    const std::size_t count = in.u8();
    if (count < 1)
        return false;
    m.items.resize(count);
    for (auto& item : m.items) {
        const std::size_t size = in.u16();
        const std::span<const std::uint8_t> b = in.bytes(size);
        if (!in.ok() || b.empty() || !streamed(b[0]))
            return false;
        item.assign(b.begin(), b.end());
    }
    return in.atEnd();
}

void encodeEvents(const EventsMessage& m, std::vector<std::uint8_t>& out)
{
    ByteWriter w(out);
    w.u8(static_cast<std::uint8_t>(MessageType::Events));
    w.u32(m.tick);
    const std::size_t count = std::min(m.events.size(), kMaxEventsPerMessage);
    w.u8(static_cast<std::uint8_t>(count));
    for (std::size_t i = 0; i < count; ++i)
        encodeEvent(w, m.events[i]);
}

bool decodeEvents(std::span<const std::uint8_t> bytes, EventsMessage& m)
{
    ByteReader in(bytes);
    if (!begin(in, MessageType::Events))
        return false;
    m.tick = in.u32();
    const std::size_t count = in.u8();
    if (count > kMaxEventsPerMessage || in.remaining() != count * kEventBytes)
        return false;
    m.events.resize(count);
    for (StepEvent& e : m.events)
        if (!decodeEvent(in, e))
            return false;
    return in.atEnd();
}

void encodeRoster(const RosterMessage& m, std::vector<std::uint8_t>& out)
{
    ByteWriter w(out);
    w.u8(static_cast<std::uint8_t>(MessageType::Roster));
    const std::size_t count = std::min<std::size_t>(m.players.size(), kMaxPlayers);
    w.u8(static_cast<std::uint8_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        w.u8(m.players[i].player);
        w.u8(m.players[i].bot ? 1 : 0);
        w.text(m.players[i].name.substr(0, kMaxNameBytes));
    }
}

bool decodeRoster(std::span<const std::uint8_t> bytes, RosterMessage& m)
{
    ByteReader in(bytes);
    if (!begin(in, MessageType::Roster))
        return false;
    const std::size_t count = in.u8();
    if (count > static_cast<std::size_t>(kMaxPlayers))
        return false;
    m.players.resize(count);
    for (RosterEntry& e : m.players) {
        e.player = in.u8();
        const std::uint8_t bot = in.u8();
        e.bot = bot == 1;
        e.name = in.text(kMaxNameBytes);
        if (e.player >= kMaxPlayers || bot > 1)
            return false;
    }
    return in.atEnd();
}

void encodeGoodbye(std::vector<std::uint8_t>& out) { out.push_back(static_cast<std::uint8_t>(MessageType::Goodbye)); }

bool decodeGoodbye(std::span<const std::uint8_t> bytes)
{
    ByteReader in(bytes);
    return begin(in, MessageType::Goodbye) && in.atEnd();
}

bool messageType(std::span<const std::uint8_t> bytes, MessageType& type)
{
    if (bytes.empty() || bytes[0] < static_cast<std::uint8_t>(MessageType::Hello) ||
        bytes[0] > static_cast<std::uint8_t>(MessageType::Stream))
        return false;
    type = static_cast<MessageType>(bytes[0]);
    return true;
}

PlayerCommand commandFromInput(const NetInput& newest, const NetInput& lastApplied)
{
    PlayerCommand c;
    c.forward = (newest.buttons & kInputForward) != 0;
    c.back = (newest.buttons & kInputBack) != 0;
    c.left = (newest.buttons & kInputLeft) != 0;
    c.right = (newest.buttons & kInputRight) != 0;
    c.run = (newest.buttons & kInputRun) != 0;
    c.enterLeave = (newest.buttons & kInputEnterLeave) != 0;
    const auto axis = [](std::int8_t v) { return std::clamp(static_cast<float>(v) / 127.0f, -1.0f, 1.0f); };
    c.stickForward = axis(newest.stickForward);
    c.stickLeft = axis(newest.stickLeft);
    c.steer = axis(newest.steer);
    c.throttle = std::min<int>(newest.throttle, kFullThrottle);
    c.brake = std::min<int>(newest.brake, kFullBrake);
    // Totals wrap: the difference is taken modulo 2^32 and read as signed.
    const auto look = [](std::int32_t now, std::int32_t before) {
        const auto diff = static_cast<std::int32_t>(static_cast<std::uint32_t>(now) - static_cast<std::uint32_t>(before));
        return std::clamp(static_cast<float>(diff) / 100.0f, -kMaxLookPerInput, kMaxLookPerInput);
    };
    c.lookYaw = look(newest.lookYawTotal, lastApplied.lookYawTotal);
    c.lookPitch = look(newest.lookPitchTotal, lastApplied.lookPitchTotal);
    const auto presses = static_cast<std::uint16_t>(newest.fireCount - lastApplied.fireCount);
    c.fire = presses != 0 && presses < 0x8000;
    return c;
}

std::uint64_t gameDataHash(std::span<const std::uint8_t> bytes)
{
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (const std::uint8_t b : bytes) {
        h ^= b;
        h *= 0x100000001b3ull;
    }
    return h;
}
