// The small messages: each comes back as it went, every cut and every extra
// byte is refused, as are unknown types, reasons and kinds and counts beyond
// their limits; and a client's totals become a command with the look and the
// presses taken across the wrap and held to what a device can give.

#include "net/protocol.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Every prefix of a good packet, and the packet with a byte more, refused.
void expectCutsAndExtrasRefused(const Bytes& good, const std::function<bool(std::span<const std::uint8_t>)>& decode)
{
    ASSERT_TRUE(decode(good));
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_FALSE(decode(std::span(good).first(n))) << n << " of " << good.size();
    Bytes longer = good;
    longer.push_back(0);
    EXPECT_FALSE(decode(longer));
}

HelloMessage sampleHello()
{
    HelloMessage m;
    m.gameDataHash = 0x0123456789abcdefull;
    m.name = "Ada";
    m.password = "secret";
    return m;
}

InputMessage sampleInput()
{
    InputMessage m;
    m.ackedSnapshot = 4321;
    for (int i = 0; i < 3; ++i) {
        NetInput n;
        n.sequence = static_cast<std::uint32_t>(100 - i);
        n.buttons = kInputForward | kInputRun;
        n.stickForward = -127;
        n.steer = 64;
        n.throttle = 100;
        n.lookYawTotal = -123456 + i;
        n.lookPitchTotal = 77;
        n.fireCount = static_cast<std::uint16_t>(65535 - i);
        m.inputs.push_back(n);
    }
    return m;
}

TEST(ProtocolMessages, RoundTrips)
{
    Bytes b;
    encodeHello(sampleHello(), b);
    HelloMessage hello;
    ASSERT_TRUE(decodeHello(b, hello));
    EXPECT_EQ(hello.version, kProtocolVersion);
    EXPECT_EQ(hello.gameDataHash, 0x0123456789abcdefull);
    EXPECT_EQ(hello.name, "Ada");
    EXPECT_EQ(hello.password, "secret");

    b.clear();
    encodeWelcome({3, 8, 77, 99, 5, 120.0f, 2.5f}, b);
    WelcomeMessage welcome;
    ASSERT_TRUE(decodeWelcome(b, welcome));
    EXPECT_EQ(welcome.player, 3);
    EXPECT_EQ(welcome.playerCount, 8);
    EXPECT_EQ(welcome.tick, 77u);
    EXPECT_EQ(welcome.seed, 99u);
    EXPECT_EQ(welcome.rounds, 5);
    EXPECT_EQ(welcome.roundSeconds, 120.0f);
    EXPECT_EQ(welcome.respawnSeconds, 2.5f);

    for (int r = 1; r <= 5; ++r) {
        b.clear();
        encodeRefused({static_cast<RefusalReason>(r)}, b);
        RefusedMessage refused;
        ASSERT_TRUE(decodeRefused(b, refused));
        EXPECT_EQ(static_cast<int>(refused.reason), r);
        EXPECT_STRNE(refusalText(refused.reason), "the server refused");
    }

    b.clear();
    encodeInput(sampleInput(), b);
    InputMessage input;
    ASSERT_TRUE(decodeInput(b, input));
    ASSERT_EQ(input.inputs.size(), 3u);
    EXPECT_EQ(input.ackedSnapshot, 4321u);
    EXPECT_EQ(input.inputs[2].sequence, 98u);
    EXPECT_EQ(input.inputs[0].stickForward, -127);
    EXPECT_EQ(input.inputs[1].lookYawTotal, -123455);
    EXPECT_EQ(input.inputs[2].fireCount, 65533);

    EventsMessage events;
    events.tick = 5;
    events.events.push_back({StepEventKind::WheelOff, 2, 1, 3, 1.0f, {10.5f, -3.0f, 999.0f}});
    events.events.push_back({StepEventKind::ClockWarning, -1, -1, 4, 0.0f, {}});
    b.clear();
    encodeEvents(events, b);
    EventsMessage eventsBack;
    ASSERT_TRUE(decodeEvents(b, eventsBack));
    ASSERT_EQ(eventsBack.events.size(), 2u);
    EXPECT_EQ(eventsBack.events[0].kind, StepEventKind::WheelOff);
    EXPECT_EQ(eventsBack.events[0].part, 3);
    EXPECT_EQ(eventsBack.events[0].position.x, 10.5f);
    EXPECT_EQ(eventsBack.events[0].strength, 1.0f);
    EXPECT_EQ(eventsBack.events[1].player, -1);

    RosterMessage roster;
    roster.players = {{0, false, "Ada"}, {1, true, "Bot Grace"}};
    b.clear();
    encodeRoster(roster, b);
    RosterMessage rosterBack;
    ASSERT_TRUE(decodeRoster(b, rosterBack));
    ASSERT_EQ(rosterBack.players.size(), 2u);
    EXPECT_TRUE(rosterBack.players[1].bot);
    EXPECT_EQ(rosterBack.players[1].name, "Bot Grace");

    b.clear();
    encodeGoodbye(b);
    EXPECT_TRUE(decodeGoodbye(b));
    MessageType type{};
    ASSERT_TRUE(messageType(b, type));
    EXPECT_EQ(type, MessageType::Goodbye);
}

// The older inputs go as what changed from the one after them: every field
// comes back, across the wraps of the totals and with a gap in the
// sequence, and a packet of frames that only look is small.
TEST(ProtocolMessages, RepeatedInputsComeBackExactlyAndSmall)
{
    InputMessage m;
    m.ackedSnapshot = 77;
    m.ackedStream = 12;
    NetInput n;
    n.sequence = 7;
    n.lookYawTotal = std::numeric_limits<std::int32_t>::min() + 3;
    n.lookPitchTotal = -5;
    n.fireCount = 1;
    m.inputs.push_back(n);
    n.sequence = 2;  // a gap
    n.lookYawTotal = std::numeric_limits<std::int32_t>::max() - 4;  // across the wrap
    n.buttons = kInputForward | kInputEnterLeave;
    n.stickLeft = -127;
    n.brake = 100;
    n.fireCount = 65535;  // across the wrap
    m.inputs.push_back(n);
    n.sequence = 1;
    n.lookPitchTotal = std::numeric_limits<std::int32_t>::min();  // the largest difference there is
    m.inputs.push_back(n);
    n.sequence = 0;
    n.lookYawTotal = static_cast<std::int32_t>(static_cast<std::uint32_t>(n.lookYawTotal) + 0x80000000u);  // 2^31 apart
    m.inputs.push_back(n);
    Bytes b;
    encodeInput(m, b);
    InputMessage back;
    ASSERT_TRUE(decodeInput(b, back));
    EXPECT_EQ(back.ackedSnapshot, 77u);
    EXPECT_EQ(back.ackedStream, 12u);
    ASSERT_EQ(back.inputs.size(), m.inputs.size());
    for (std::size_t i = 0; i < m.inputs.size(); ++i) {
        const NetInput& x = m.inputs[i];
        const NetInput& y = back.inputs[i];
        EXPECT_TRUE(x.sequence == y.sequence && x.buttons == y.buttons && x.stickForward == y.stickForward &&
                    x.stickLeft == y.stickLeft && x.steer == y.steer && x.throttle == y.throttle &&
                    x.brake == y.brake && x.lookYawTotal == y.lookYawTotal && x.lookPitchTotal == y.lookPitchTotal &&
                    x.fireCount == y.fireCount)
            << i;
    }

    // Four frames of a mouse turning a little and a stick held: the three
    // older ones take three bytes each beside the whole newest one.
    InputMessage looks;
    for (int i = 0; i < 4; ++i) {
        NetInput f;
        f.sequence = 1000u - static_cast<std::uint32_t>(i);
        f.stickForward = 127;
        f.lookYawTotal = 5000 - 40 * i;
        f.lookPitchTotal = -200 + 3 * i;
        looks.inputs.push_back(f);
    }
    b.clear();
    encodeInput(looks, b);
    EXPECT_EQ(b.size(), 10u + 20u + 3u * 3u);
}

// The stream's framing: items come back as they went; a message holds as
// many as fit a datagram and says how many; empty, unknown or cut items
// are refused.
TEST(ProtocolStream, ItemsComeBackAndOneMessageHoldsWhatFitsADatagram)
{
    std::vector<Bytes> items(3);
    encodeWelcome({1, 2, 40, 5, 3, 180.0f, 3.0f}, items[0]);
    encodeRoster({{{0, true, "Ada"}, {1, false, "Me"}}}, items[1]);
    encodeEvents({41, {{StepEventKind::Crash, -1, 0, 0, 0.5f, {1.0f, 2.0f, 3.0f}}}}, items[2]);
    Bytes b;
    ASSERT_EQ(encodeStream(9, items, b), 3u);
    StreamMessage m;
    ASSERT_TRUE(decodeStream(b, m));
    EXPECT_EQ(m.first, 9u);
    EXPECT_EQ(m.items, items);
    expectCutsAndExtrasRefused(b, [&](auto bytes) { return decodeStream(bytes, m); });

    // Events messages as full as they come: each fits a stream message of
    // its own, and a second one does not fit beside it.
    EventsMessage full;
    full.tick = 3;
    full.events.resize(kMaxEventsPerMessage + 5);
    std::vector<Bytes> big(2);
    encodeEvents(full, big[0]);
    big[1] = big[0];
    b.clear();
    ASSERT_EQ(encodeStream(1, big, b), 1u);
    EXPECT_LE(b.size(), kMaxMessageBytes);
    ASSERT_TRUE(decodeStream(b, m));
    EventsMessage again;
    ASSERT_TRUE(decodeEvents(m.items[0], again));
    EXPECT_EQ(again.events.size(), kMaxEventsPerMessage);

    // No items; an item of no bytes; an item that is not a streamed type.
    EXPECT_FALSE(decodeStream(Bytes{static_cast<std::uint8_t>(MessageType::Stream), 1, 0, 0, 0, 0}, m));
    EXPECT_FALSE(decodeStream(Bytes{static_cast<std::uint8_t>(MessageType::Stream), 1, 0, 0, 0, 1, 0, 0}, m));
    Bytes goodbye;
    encodeGoodbye(goodbye);
    b.clear();
    encodeStream(1, std::vector<Bytes>{goodbye}, b);
    EXPECT_FALSE(decodeStream(b, m));
}

TEST(ProtocolMessages, CutsAndExtraBytesAreRefused)
{
    Bytes b;
    encodeHello(sampleHello(), b);
    HelloMessage hello;
    expectCutsAndExtrasRefused(b, [&](auto bytes) { return decodeHello(bytes, hello); });
    b.clear();
    encodeWelcome({0, 2, 1, 1, 3, 180.0f, 3.0f}, b);
    WelcomeMessage welcome;
    expectCutsAndExtrasRefused(b, [&](auto bytes) { return decodeWelcome(bytes, welcome); });
    b.clear();
    encodeRefused({RefusalReason::Full}, b);
    RefusedMessage refused;
    expectCutsAndExtrasRefused(b, [&](auto bytes) { return decodeRefused(bytes, refused); });
    b.clear();
    encodeInput(sampleInput(), b);
    InputMessage input;
    expectCutsAndExtrasRefused(b, [&](auto bytes) { return decodeInput(bytes, input); });
    b.clear();
    encodeEvents({9, {{StepEventKind::Crash, -1, 0, 0, 0.5f, {1.0f, 2.0f, 3.0f}}}}, b);
    EventsMessage events;
    expectCutsAndExtrasRefused(b, [&](auto bytes) { return decodeEvents(bytes, events); });
    b.clear();
    encodeRoster({{{0, false, "Ada"}, {7, true, "B"}}}, b);
    RosterMessage roster;
    expectCutsAndExtrasRefused(b, [&](auto bytes) { return decodeRoster(bytes, roster); });
    b.clear();
    encodeGoodbye(b);
    expectCutsAndExtrasRefused(b, [](auto bytes) { return decodeGoodbye(bytes); });

    // Each decoder takes its own type only.
    b.clear();
    encodeGoodbye(b);
    EXPECT_FALSE(decodeRefused(b, refused));
    EXPECT_FALSE(decodeHello(b, hello));
}

TEST(ProtocolMessages, OutOfRangeValuesAreRefused)
{
    MessageType type{};
    EXPECT_FALSE(messageType({}, type));
    const Bytes zero = {0};
    const Bytes ten = {10};
    EXPECT_FALSE(messageType(zero, type));
    EXPECT_FALSE(messageType(ten, type));

    RefusedMessage refused;
    EXPECT_FALSE(decodeRefused(Bytes{3, 0}, refused));
    EXPECT_FALSE(decodeRefused(Bytes{3, 6}, refused));

    WelcomeMessage welcome;
    const auto welcomeOf = [](WelcomeMessage m) {
        Bytes b;
        encodeWelcome(m, b);
        return b;
    };
    EXPECT_FALSE(decodeWelcome(welcomeOf({0, 0, 1, 1, 3, 180.0f, 3.0f}), welcome));   // no players
    EXPECT_FALSE(decodeWelcome(welcomeOf({0, 9, 1, 1, 3, 180.0f, 3.0f}), welcome));   // too many
    EXPECT_FALSE(decodeWelcome(welcomeOf({2, 2, 1, 1, 3, 180.0f, 3.0f}), welcome));   // a slot beyond them
    EXPECT_FALSE(decodeWelcome(welcomeOf({0, 2, 1, 1, 0, 180.0f, 3.0f}), welcome));   // no rounds
    EXPECT_FALSE(decodeWelcome(welcomeOf({0, 2, 1, 1, 3, std::numeric_limits<float>::quiet_NaN(), 3.0f}), welcome));
    EXPECT_FALSE(decodeWelcome(welcomeOf({0, 2, 1, 1, 3, 180.0f, -1.0f}), welcome));

    // Hello: a name over its limit (the length byte says 25).
    Bytes hello;
    encodeHello(sampleHello(), hello);
    Bytes longName = {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(kMaxNameBytes + 1)};
    longName.insert(longName.end(), kMaxNameBytes + 1, 'a');
    longName.push_back(0);
    HelloMessage h;
    EXPECT_FALSE(decodeHello(longName, h));
    // The encoder cuts what is too long rather than sending it.
    HelloMessage tooLong = sampleHello();
    tooLong.name.assign(40, 'n');
    hello.clear();
    encodeHello(tooLong, hello);
    ASSERT_TRUE(decodeHello(hello, h));
    EXPECT_EQ(h.name.size(), kMaxNameBytes);

    // Input: a count of 0 and of 5; an older input's change flags with the
    // unknown top bit; a look difference in six bytes (five is the most).
    Bytes input;
    encodeInput(sampleInput(), input);
    InputMessage in;
    constexpr std::size_t countAt = 9;
    constexpr std::size_t firstChangesAt = countAt + 1 + 20;
    Bytes cut = input;
    cut[countAt] = 0;
    EXPECT_FALSE(decodeInput(cut, in));
    cut[countAt] = kInputsPerPacket + 1;
    EXPECT_FALSE(decodeInput(cut, in));
    cut = input;
    cut[firstChangesAt] |= 0x80;
    EXPECT_FALSE(decodeInput(cut, in));
    InputMessage look;
    look.inputs.resize(2);
    look.inputs[1].sequence = look.inputs[0].sequence - 1;
    look.inputs[1].lookYawTotal = 1;
    Bytes longLook;
    encodeInput(look, longLook);
    ASSERT_EQ(longLook.size(), firstChangesAt + 2u);  // the changes, then a one-byte difference
    longLook.back() |= 0x80;
    longLook.insert(longLook.end(), {0x80, 0x80, 0x80, 0x80, 0x00});
    EXPECT_FALSE(decodeInput(longLook, in));

    // Events: an unknown kind, a player or a car beyond the limits, a count
    // that does not match the bytes, a coordinate of -32768 steps (the
    // encoder stops at -32767, so it would not come back as itself).
    Bytes events;
    encodeEvents({9, {{StepEventKind::Crash, -1, 0, 0, 0.5f, {}}}}, events);
    EventsMessage e;
    for (const auto& [at, value] : std::vector<std::pair<std::size_t, std::uint8_t>>{
             {6, 14}, {7, kMaxPlayers}, {8, kCarCount}, {10, kMaxPlayers}, {5, 2}, {5, 0}, {17, 0x80}}) {
        Bytes bad = events;
        bad[at] = value;
        EXPECT_FALSE(decodeEvents(bad, e)) << at;
    }

    // Roster: nine players, a slot beyond the players, a bot flag of 2.
    Bytes roster;
    encodeRoster({{{0, false, "A"}}}, roster);
    RosterMessage r;
    Bytes bad = roster;
    bad[1] = kMaxPlayers + 1;
    EXPECT_FALSE(decodeRoster(bad, r));
    bad = roster;
    bad[2] = kMaxPlayers;
    EXPECT_FALSE(decodeRoster(bad, r));
    bad = roster;
    bad[3] = 2;
    EXPECT_FALSE(decodeRoster(bad, r));
}

TEST(ProtocolCommand, TotalsWrapAndValuesAreClamped)
{
    NetInput before;
    NetInput now;
    // The look across the 32-bit wrap is a small turn, not a huge one.
    before.lookYawTotal = std::numeric_limits<std::int32_t>::max() - 50;
    now.lookYawTotal = std::numeric_limits<std::int32_t>::min() + 49;  // 100 hundredths on
    before.lookPitchTotal = 0;
    now.lookPitchTotal = -250;
    PlayerCommand c = commandFromInput(now, before);
    EXPECT_FLOAT_EQ(c.lookYaw, 1.0f);
    EXPECT_FLOAT_EQ(c.lookPitch, -2.5f);
    // A look beyond a device's reach is held to it.
    // (Wrapped as the client's totals wrap: through unsigned, without overflow.)
    now.lookYawTotal = static_cast<std::int32_t>(static_cast<std::uint32_t>(before.lookYawTotal) + 90000u);
    now.lookPitchTotal = -90000;
    c = commandFromInput(now, before);
    EXPECT_EQ(c.lookYaw, kMaxLookPerInput);
    EXPECT_EQ(c.lookPitch, -kMaxLookPerInput);

    // Presses: more than the last is a press, across the wrap too; the same
    // count or fewer (an old packet) is none.
    before.fireCount = 65535;
    now.fireCount = 0;
    EXPECT_TRUE(commandFromInput(now, before).fire);
    now.fireCount = 65535;
    EXPECT_FALSE(commandFromInput(now, before).fire);
    now.fireCount = 65000;
    EXPECT_FALSE(commandFromInput(now, before).fire);

    // Sticks and pedals within their ranges.
    now.stickForward = -128;
    now.stickLeft = 127;
    now.steer = -64;
    now.throttle = 255;
    now.brake = 101;
    now.buttons = kInputBack | kInputLeft | kInputEnterLeave;
    c = commandFromInput(now, before);
    EXPECT_EQ(c.stickForward, -1.0f);
    EXPECT_EQ(c.stickLeft, 1.0f);
    EXPECT_NEAR(c.steer, -64.0f / 127.0f, 1e-6f);
    EXPECT_EQ(c.throttle, 100);
    EXPECT_EQ(c.brake, 100);
    EXPECT_TRUE(c.back && c.left && c.enterLeave);
    EXPECT_FALSE(c.forward || c.right || c.run);
}

TEST(ProtocolHash, GameDataHashIsFnv1a)
{
    EXPECT_EQ(gameDataHash({}), 0xcbf29ce484222325ull);
    const Bytes a = {'a'};
    EXPECT_EQ(gameDataHash(a), 0xaf63dc4c8601ec8cull);
}

}  // namespace
