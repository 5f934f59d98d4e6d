// Every network decoder on arbitrary bytes, as a client and a server would
// meet them: no crash and no sanitizer report; what a decoder accepts is
// within its ranges and, encoded again, decodes to the same message (a
// snapshot's orientations to within their quantisation, since bytes from
// anywhere need not be the packing the encoder would choose).

#include "net/protocol.h"
#include "net/snapshot.h"

#include <cmath>
#include <cstdio>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// Says which check failed, so a finding is read from its log alone.
void checkAt(bool condition, int line)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_net_messages: check at line %d failed\n", line);
        std::abort();
    }
}
#define check(condition) checkAt((condition), __LINE__)

// A client's last few snapshots: deltas name one of these ticks.
std::vector<WorldSnapshot> makeHistory()
{
    std::vector<WorldSnapshot> history(3);
    for (std::size_t k = 0; k < history.size(); ++k) {
        WorldSnapshot& s = history[k];
        s.tick = static_cast<std::uint32_t>(10 * (k + 1));
        for (int c = 0; c < kCarCount; ++c)
            for (int p = 0; p < kCarPartCount; ++p) {
                CarPartSnapshot& part = s.cars[static_cast<std::size_t>(c)].parts[static_cast<std::size_t>(p)];
                part.position = {static_cast<float>(c * 400 + p * 5), 5.0f + static_cast<float>(k), 1.5f};
                part.linearVelocity = {static_cast<float>(k), 0.0f, -2.0f};
            }
        s.players.resize(2 + k * 3);
        for (std::size_t i = 0; i < s.players.size(); ++i) {
            s.players[i].position = {static_cast<float>(i) * 3.0f, 0.0f, -30.0f * static_cast<float>(i)};
            s.players[i].yaw = 180.0f + static_cast<float>(k * 10);
            s.players[i].animationMs = 4200.0f + static_cast<float>(k * 50);
            s.players[i].gait = static_cast<std::uint8_t>(k % 3);
        }
        s.projectiles.push_back({3, 1, false, {1.0f, 9.0f, 2.0f}, {300.0f, 1.0f, 0.0f}, 10u * static_cast<std::uint32_t>(k)});
        s.projectiles.push_back({7, 0, true, {-4.0f, 9.0f, 2.0f}, {0.0f, 0.0f, 800.0f}, 5});
        s.match.running = k > 0;
        if (s.match.running) {
            s.match.phase = MatchPhase::Playing;
            s.match.round = 1;
            s.match.clock = 170.0f - static_cast<float>(k);
        }
        quantiseSnapshot(s);
    }
    return history;
}

bool closeSnapshot(const WorldSnapshot& a, const WorldSnapshot& b)
{
    if (a.tick != b.tick || a.players != b.players || a.projectiles != b.projectiles || a.match != b.match)
        return false;
    for (int c = 0; c < kCarCount; ++c) {
        const CarSnapshot& x = a.cars[static_cast<std::size_t>(c)];
        const CarSnapshot& y = b.cars[static_cast<std::size_t>(c)];
        if (x.hits != y.hits || x.throttle != y.throttle || x.steer != y.steer || x.brake != y.brake)
            return false;
        for (int p = 0; p < kCarPartCount; ++p) {
            const CarPartSnapshot& u = x.parts[static_cast<std::size_t>(p)];
            const CarPartSnapshot& v = y.parts[static_cast<std::size_t>(p)];
            if (!sameVector(u.position, v.position) || !sameVector(u.linearVelocity, v.linearVelocity) ||
                !sameVector(u.angularVelocity, v.angularVelocity))
                return false;
            float same = 0.0f;
            float norm = 0.0f;
            for (int i = 0; i < 4; ++i) {
                check(std::isfinite(u.orientation[i]) && std::isfinite(v.orientation[i]));
                same += u.orientation[i] * v.orientation[i];
                norm += u.orientation[i] * u.orientation[i];
            }
            if (std::fabs(norm - 1.0f) > 1e-4f || std::fabs(same) < 0.999f)
                return false;
        }
    }
    return true;
}

void snapshot(std::span<const std::uint8_t> bytes, const std::vector<WorldSnapshot>& history)
{
    WorldSnapshot s;
    if (!decodeSnapshot(bytes, history, s))
        return;
    check(!s.players.empty() && s.players.size() <= static_cast<std::size_t>(kMaxPlayers));
    check(s.projectiles.size() <= static_cast<std::size_t>(kProjectileCount));
    for (std::size_t k = 0; k < s.projectiles.size(); ++k) {
        const ProjectileSnapshot& p = s.projectiles[k];
        check(p.slot < kProjectileCount && p.shooter < s.players.size() && p.stepsFlown < kMaxProjectileSteps);
        check(k == 0 || s.projectiles[k - 1].slot < p.slot);
    }
    for (const PlayerSnapshot& p : s.players)
        check(p.gait <= 2 && p.carIndex < kCarCount && std::isfinite(p.yaw) && std::isfinite(p.animationMs));
    // Full, it stands alone; a small one fits in a datagram whole.
    std::vector<std::uint8_t> again;
    encodeSnapshot(s, nullptr, again);
    check(again.size() <= kMaxMessageBytes);
    WorldSnapshot full;
    check(decodeSnapshot(again, {}, full));
    if (full.projectiles.size() == s.projectiles.size())
        check(closeSnapshot(s, full));
    // As a delta against each snapshot of the history.
    for (const WorldSnapshot& base : history) {
        again.clear();
        encodeSnapshot(s, &base, again);
        WorldSnapshot delta;
        check(decodeSnapshot(again, history, delta));
        if (delta.projectiles.size() == s.projectiles.size())
            check(closeSnapshot(s, delta));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::vector<WorldSnapshot> history = makeHistory();
    const std::span<const std::uint8_t> bytes(data, size);

    MessageType type{};
    if (messageType(bytes, type))
        check(!bytes.empty() && bytes[0] == static_cast<std::uint8_t>(type));

    std::vector<std::uint8_t> again;
    // The client's side.
    WelcomeMessage welcome;
    if (decodeWelcome(bytes, welcome)) {
        check(welcome.playerCount >= 1 && welcome.playerCount <= kMaxPlayers && welcome.player < welcome.playerCount);
        encodeWelcome(welcome, again);
        WelcomeMessage back;
        check(decodeWelcome(again, back) && back.player == welcome.player && back.playerCount == welcome.playerCount &&
              back.tick == welcome.tick && back.seed == welcome.seed && back.rounds == welcome.rounds &&
              back.roundSeconds == welcome.roundSeconds && back.respawnSeconds == welcome.respawnSeconds);
    }
    RefusedMessage refused;
    if (decodeRefused(bytes, refused)) {
        check(refusalText(refused.reason) != nullptr);
        again.clear();
        encodeRefused(refused, again);
        RefusedMessage back;
        check(decodeRefused(again, back) && back.reason == refused.reason);
    }
    snapshot(bytes, history);
    EventsMessage events;
    if (decodeEvents(bytes, events)) {
        again.clear();
        encodeEvents(events, again);
        check(again.size() <= kMaxMessageBytes);
        EventsMessage back;
        check(decodeEvents(again, back) && back.tick == events.tick && back.events.size() == events.events.size());
        for (std::size_t i = 0; i < events.events.size(); ++i) {
            const StepEvent& x = events.events[i];
            const StepEvent& y = back.events[i];
            check(x.kind == y.kind && x.player == y.player && x.car == y.car && x.part == y.part &&
                  x.target == y.target && x.strength == y.strength && x.position.x == y.position.x &&
                  x.position.y == y.position.y && x.position.z == y.position.z);
        }
    }
    RosterMessage roster;
    if (decodeRoster(bytes, roster)) {
        again.clear();
        encodeRoster(roster, again);
        RosterMessage back;
        check(decodeRoster(again, back) && back.players.size() == roster.players.size());
        for (std::size_t i = 0; i < roster.players.size(); ++i)
            check(back.players[i].player == roster.players[i].player && back.players[i].bot == roster.players[i].bot &&
                  back.players[i].name == roster.players[i].name);
    }
    if (decodeGoodbye(bytes))
        check(size == 1);
    // The stream's framing, then each item as the client reads it.
    StreamMessage stream;
    if (decodeStream(bytes, stream)) {
        check(!stream.items.empty() && stream.items.size() <= kMaxStreamItems);
        std::size_t framed = kStreamHeaderBytes;
        for (const auto& item : stream.items) {
            framed += kStreamItemHeaderBytes + item.size();
            WelcomeMessage w;
            EventsMessage e;
            RosterMessage r;
            (void)(decodeWelcome(item, w) || decodeEvents(item, e) || decodeRoster(item, r));
        }
        check(framed == size);
        again.clear();
        const std::size_t count = encodeStream(stream.first, stream.items, again);
        StreamMessage back;
        // What a datagram held, encoded again, is the same whenever it fits one.
        if (size <= kMaxMessageBytes)
            check(count == stream.items.size() && again.size() == size && decodeStream(again, back) &&
                  back.first == stream.first && back.items == stream.items);
    }

    // The server's side.
    HelloMessage hello;
    if (decodeHello(bytes, hello)) {
        check(hello.name.size() <= kMaxNameBytes && hello.password.size() <= kMaxPasswordBytes);
        again.clear();
        encodeHello(hello, again);
        HelloMessage back;
        check(decodeHello(again, back) && back.version == hello.version && back.gameDataHash == hello.gameDataHash &&
              back.name == hello.name && back.password == hello.password);
    }
    InputMessage input;
    if (decodeInput(bytes, input)) {
        check(!input.inputs.empty() && input.inputs.size() <= kInputsPerPacket);
        again.clear();
        encodeInput(input, again);
        InputMessage back;
        check(decodeInput(again, back) && back.ackedSnapshot == input.ackedSnapshot && back.ackedStream == input.ackedStream &&
              back.inputs.size() == input.inputs.size());
        for (std::size_t i = 0; i < input.inputs.size(); ++i) {
            const NetInput& x = input.inputs[i];
            const NetInput& y = back.inputs[i];
            check(x.sequence == y.sequence && x.buttons == y.buttons &&
                  x.stickForward == y.stickForward && x.stickLeft == y.stickLeft && x.steer == y.steer &&
                  x.throttle == y.throttle && x.brake == y.brake && x.lookYawTotal == y.lookYawTotal &&
                  x.lookPitchTotal == y.lookPitchTotal && x.fireCount == y.fireCount);
            // What the server makes of it stays within a device's reach.
            const PlayerCommand c = commandFromInput(x, i + 1 < input.inputs.size() ? input.inputs[i + 1] : NetInput{});
            check(std::fabs(c.lookYaw) <= kMaxLookPerInput && std::fabs(c.lookPitch) <= kMaxLookPerInput &&
                  c.throttle >= 0 && c.throttle <= 100 && c.brake >= 0 && c.brake <= 100 && c.steer >= -1.0f &&
                  c.steer <= 1.0f);
        }
    }
    return 0;
}
