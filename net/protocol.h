#pragma once
// What a client and a server say to each other, as bytes: each message is
// one ENet packet whose first byte is its type. Every decoder checks every
// length before it reads and returns false on anything malformed (the
// server then drops that client, never itself); it never reads past the
// packet, never allocates more than the packet's size allows, and leaves
// its output unspecified on false.
//
// Channels: control (the hello, repeated unreliably until answered; the
// refusal and goodbye, reliable), input (unreliable: the client's
// commands), snapshots (unreliable: the world, 20 a second) and the stream
// (unreliable: the welcome, rosters and the match's events, in a sequence
// of our own that the client acknowledges in every Input and the server
// sends again, with a snapshot, whenever an acknowledgement is a round trip
// and a half overdue). ENet's reliable packets double their resend time
// with every loss, so at a quarter of the datagrams lost one of them is
// often seconds late and holds back all behind it; resent at a steady
// interval, the stream's items are not.
//
// A connection ends after kDefaultPeerTimeoutMs with nothing heard from the
// other end (inputs flow 30 times a second, snapshots 20, so that is
// silence, not loss); ENet's own give-up is set far beyond it.
//
// Little-endian throughout; no padding; floats are quantised (see snapshot.h).

#include "sim/player_command.h"
#include "sim/step_events.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

inline constexpr std::uint16_t kProtocolVersion = 2;
inline constexpr std::uint16_t kDefaultPort = 27615;  // UDP
inline constexpr std::size_t kMaxNameBytes = 24;       // UTF-8 bytes of a player's name
inline constexpr std::size_t kMaxPasswordBytes = 64;
inline constexpr std::size_t kMaxMessageBytes = 1200;  // one datagram; the server holds ENet to it

enum class NetChannel : std::uint8_t { Control = 0, Input = 1, Snapshots = 2, Stream = 3 };
inline constexpr int kNetChannelCount = 4;

inline constexpr std::uint32_t kDefaultPeerTimeoutMs = 5000;  // silence before the other end is gone
// ENet's own limit for an unacknowledged reliable packet, a day: only the
// game's silence ends a connection. ENet doubles a packet's resend time
// with each loss, so at a quarter lost each way one of its pings in a few
// hundred goes unacknowledged for a minute on a link that carries the
// game's datagrams all the while.
inline constexpr std::uint32_t kLinkTimeoutMs = 86'399'000;

enum class MessageType : std::uint8_t {
    Hello = 1,     // client -> server, control, repeated until answered
    Welcome = 2,   // server -> client, in the stream
    Refused = 3,   // server -> client, control, then the server disconnects
    Input = 4,     // client -> server, input
    Snapshot = 5,  // server -> client, snapshots
    Events = 6,    // server -> client, in the stream: what the step raised that a client shows
    Roster = 7,    // server -> client, in the stream: who plays which slot, by name
    Goodbye = 8,   // either way, control: leaving (the server: stopping)
    Stream = 9,    // server -> client, stream: numbered Welcome, Events and Roster messages
};

// Why a server refuses a client.
enum class RefusalReason : std::uint8_t {
    WrongVersion = 1,
    WrongGameData = 2,   // the car file differs
    WrongPassword = 3,
    Full = 4,
    Malformed = 5,
};
const char* refusalText(RefusalReason reason);  // a sentence for the player

struct HelloMessage {
    std::uint16_t version = kProtocolVersion;
    std::uint64_t gameDataHash = 0;  // gameDataHash() of the client's car file
    std::string name;                // at most kMaxNameBytes
    std::string password;            // at most kMaxPasswordBytes; empty: none given
};

struct WelcomeMessage {
    std::uint8_t player = 0;       // the slot the client plays
    std::uint8_t playerCount = 0;  // the world's players, bots included (1 to kMaxPlayers)
    std::uint32_t tick = 0;        // the server's tick as it welcomed
    std::uint32_t seed = 0;
    std::uint8_t rounds = 0;
    float roundSeconds = 0.0f;
    float respawnSeconds = 0.0f;
};

struct RefusedMessage {
    RefusalReason reason = RefusalReason::Malformed;
};

// A person's controls as totals, so a lost or repeated packet costs nothing:
// the look is the sum of every look since the client joined, in hundredths
// of a degree (wrapping; the server applies the difference from the last it
// applied), and fire is the number of presses so far (wrapping; more than
// the last means a press).
struct NetInput {
    std::uint32_t sequence = 0;   // the client's frame counter
    std::uint8_t buttons = 0;     // kInputForward ... kInputEnterLeave
    std::int8_t stickForward = 0; // -127 to 127
    std::int8_t stickLeft = 0;
    std::int8_t steer = 0;
    std::uint8_t throttle = 0;    // 0 to kFullThrottle
    std::uint8_t brake = 0;       // 0 to kFullBrake
    std::int32_t lookYawTotal = 0;    // hundredths of a degree
    std::int32_t lookPitchTotal = 0;
    std::uint16_t fireCount = 0;
};
inline constexpr std::uint8_t kInputForward = 1;
inline constexpr std::uint8_t kInputBack = 2;
inline constexpr std::uint8_t kInputLeft = 4;
inline constexpr std::uint8_t kInputRight = 8;
inline constexpr std::uint8_t kInputRun = 16;
inline constexpr std::uint8_t kInputEnterLeave = 32;

// A client makes an input every frame and sends them at most
// kInputPacketsPerSecond a second, each packet repeating the newest few,
// newest first: the newest whole, each older one as what changed from the
// one after it (a frame's look and little else, as a rule).
inline constexpr std::size_t kInputsPerPacket = 4;
inline constexpr int kInputPacketsPerSecond = 30;
struct InputMessage {
    std::uint32_t ackedSnapshot = 0;  // the newest snapshot tick received (0: none), the delta baseline
    std::uint32_t ackedStream = 0;    // the stream's items taken, in order (0: none)
    std::vector<NetInput> inputs;     // 1 to kInputsPerPacket, newest first
};

// Stream items, numbered from 1 for each client; a message carries items
// first, first + 1, ... each an encoded Welcome, Events or Roster message.
inline constexpr std::size_t kStreamHeaderBytes = 6;  // type, first, count
inline constexpr std::size_t kStreamItemHeaderBytes = 2;
inline constexpr std::size_t kMaxStreamItems = 255;
struct StreamMessage {
    std::uint32_t first = 0;
    std::vector<std::vector<std::uint8_t>> items;  // 1 to kMaxStreamItems, each a whole message
};

// One event a client shows: a sound, a message on the display. An event takes
// 12 bytes; a message holds as many as fit beside its type, tick and count.
inline constexpr std::size_t kEventBytes = 12;
// (Its 6 bytes, and the 8 of the stream message that carries it.)
inline constexpr std::size_t kMaxEventsPerMessage = (kMaxMessageBytes - 6 - 8) / kEventBytes;
struct EventsMessage {
    std::uint32_t tick = 0;
    std::vector<StepEvent> events;  // at most what fits in kMaxMessageBytes
};

struct RosterEntry {
    std::uint8_t player = 0;
    bool bot = false;
    std::string name;
};
struct RosterMessage {
    std::vector<RosterEntry> players;  // at most kMaxPlayers
};

// Encoders append to out; decoders read one whole message (type byte
// included) and fail on trailing bytes.
void encodeHello(const HelloMessage& m, std::vector<std::uint8_t>& out);
bool decodeHello(std::span<const std::uint8_t> bytes, HelloMessage& m);
void encodeWelcome(const WelcomeMessage& m, std::vector<std::uint8_t>& out);
bool decodeWelcome(std::span<const std::uint8_t> bytes, WelcomeMessage& m);
void encodeRefused(const RefusedMessage& m, std::vector<std::uint8_t>& out);
bool decodeRefused(std::span<const std::uint8_t> bytes, RefusedMessage& m);
void encodeInput(const InputMessage& m, std::vector<std::uint8_t>& out);
bool decodeInput(std::span<const std::uint8_t> bytes, InputMessage& m);
void encodeEvents(const EventsMessage& m, std::vector<std::uint8_t>& out);
bool decodeEvents(std::span<const std::uint8_t> bytes, EventsMessage& m);
void encodeRoster(const RosterMessage& m, std::vector<std::uint8_t>& out);
bool decodeRoster(std::span<const std::uint8_t> bytes, RosterMessage& m);
// Encodes as many items as fit in kMaxMessageBytes (at least one: an item
// is itself at most one message) and returns how many that was.
std::size_t encodeStream(std::uint32_t first, std::span<const std::span<const std::uint8_t>> items,
                         std::vector<std::uint8_t>& out);
std::size_t encodeStream(std::uint32_t first, std::span<const std::vector<std::uint8_t>> items,
                         std::vector<std::uint8_t>& out);
// Checks the framing and that each item is a type the stream carries; the
// items themselves are read with their own decoders.
bool decodeStream(std::span<const std::uint8_t> bytes, StreamMessage& m);
void encodeGoodbye(std::vector<std::uint8_t>& out);
bool decodeGoodbye(std::span<const std::uint8_t> bytes);
// The type of a message, false for an empty packet or an unknown type.
bool messageType(std::span<const std::uint8_t> bytes, MessageType& type);

// A PlayerCommand from the newest input and the last one applied: the look
// and fire differences, every value clamped to what a device can give (a
// look of at most kMaxLookPerInput degrees each way).
inline constexpr float kMaxLookPerInput = 180.0f;
PlayerCommand commandFromInput(const NetInput& newest, const NetInput& lastApplied);

// FNV-1a of the bytes: the car file's, for the check on connect.
std::uint64_t gameDataHash(std::span<const std::uint8_t> bytes);

// What an ENet host put on the wire and took off it: UDP payloads (ENet's
// own headers, acknowledgements and resends included; the 28 bytes of UDP
// and IPv4 headers a datagram not).
struct NetTraffic {
    std::uint64_t bytesSent = 0;
    std::uint64_t packetsSent = 0;      // datagrams
    std::uint64_t bytesReceived = 0;
    std::uint64_t packetsReceived = 0;
};
