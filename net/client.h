#pragma once
// A headless client of the dedicated server: connects, says Hello, and
// keeps what the server sends (the welcome or refusal, the roster, the
// events, the last kSnapshotHistory snapshots), acknowledging the newest
// snapshot in every Input it sends. Drawing and prediction are the game's.
//
// service() does all the network work: it says Hello again every
// kHelloRepeatMs until the server answers, sends the inputs again when none
// went for kKeepAliveMs (so an idle client still acknowledges and is heard),
// and reports the connection lost after timeoutMs with nothing heard, by the
// steady clock (connectTimeoutMs before the welcome).

#include "net/protocol.h"
#include "net/snapshot.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

typedef struct _ENetHost ENetHost;
typedef struct _ENetPeer ENetPeer;

inline constexpr std::size_t kClientMaxPacketBytes = 2 * 1024;  // a message is one datagram at most
inline constexpr std::size_t kClientMaxWaitingBytes = 256 * 1024;
inline constexpr std::uint32_t kHelloRepeatMs = 200;
inline constexpr std::uint32_t kKeepAliveMs = 250;
inline constexpr std::uint32_t kDefaultConnectTimeoutMs = 10000;

enum class NetClientState {
    Idle,        // not started, or closed
    Connecting,  // the connection or the Welcome awaited
    Joined,      // welcomed: inputs are taken
    Refused,     // refusal() says why
    Ended,       // the server said Goodbye
    Lost,        // the connection dropped, or the server sent what we cannot read
};

struct NetClientConfig {
    std::string host = "127.0.0.1";  // a name or an IPv4 address
    std::uint16_t port = kDefaultPort;
    HelloMessage hello;              // name, password, game data hash, version
    std::uint32_t timeoutMs = kDefaultPeerTimeoutMs;  // silence before the server counts as lost
    // The silence allowed before the welcome: ENet's handshake is three
    // datagrams, each resent with a doubling wait, so on a lossy link
    // getting in takes a while longer than the silence allowed once joined.
    std::uint32_t connectTimeoutMs = kDefaultConnectTimeoutMs;
};

class NetClient {
public:
    NetClient() = default;
    ~NetClient();
    NetClient(const NetClient&) = delete;
    NetClient& operator=(const NetClient&) = delete;

    // Starts connecting; false with reason when the address cannot be used.
    bool connect(const NetClientConfig& config, std::string& reason);
    // Handles what arrived, waiting at most waitMs for the first of it.
    void service(std::uint32_t waitMs);

    NetClientState state() const { return state_; }
    const std::optional<WelcomeMessage>& welcome() const { return welcome_; }
    std::optional<RefusalReason> refusal() const { return refusal_; }
    const std::optional<RosterMessage>& roster() const { return roster_; }
    int rostersReceived() const { return rosters_; }
    // The events received since the last call, oldest first.
    std::vector<EventsMessage> takeEvents();
    // The snapshots decoded, oldest first, at most kSnapshotHistory.
    const std::deque<WorldSnapshot>& snapshots() const { return snapshots_; }
    int snapshotsReceived() const { return snapshotsReceived_; }
    bool goodbyeReceived() const { return goodbye_; }
    // What this connection put on the wire and took off it since connect().
    NetTraffic traffic() const;

    // One client frame's input: its sequence is set here. With send, a
    // packet goes with it and the previous kInputsPerPacket - 1, newest
    // first; without, it waits for the next that is sent.
    void sendInput(NetInput input, bool send = true);
    // A frame's input as a game sends them: a packet when the frames'
    // seconds since the last reach 1/kInputPacketsPerSecond (a little
    // under, so 60 frames a second send every other one), so a fast
    // display does not cost the upstream more.
    void sendInput(NetInput input, float frameSeconds);
    // The sequence the last sendInput gave its input (0: none sent).
    std::uint32_t lastInputSequence() const { return sequence_; }
    // Goodbye, then a disconnect awaited up to waitMs; the host is closed.
    void leave(std::uint32_t waitMs = 1000);
    // Gone without a word, as a crashed game: the host closed at once.
    void vanish();
    // Bytes as they are, for tests of what a server does with nonsense.
    void sendRaw(const std::vector<std::uint8_t>& bytes, NetChannel channel, bool reliable);

private:
    void receive(const std::uint8_t* data, std::size_t size, std::uint8_t channel);
    bool receiveStreamed(std::span<const std::uint8_t> bytes);
    void sendHello();
    void sendInputPacket();
    void close();

    ENetHost* host_ = nullptr;
    ENetPeer* peer_ = nullptr;
    NetClientConfig config_;
    NetClientState state_ = NetClientState::Idle;
    std::optional<WelcomeMessage> welcome_;
    std::optional<RefusalReason> refusal_;
    std::optional<RosterMessage> roster_;
    int rosters_ = 0;
    std::vector<EventsMessage> events_;
    std::deque<WorldSnapshot> snapshots_;
    std::vector<WorldSnapshot> historyScratch_;
    int snapshotsReceived_ = 0;
    std::uint32_t newestSnapshot_ = 0;
    std::deque<NetInput> inputs_;  // newest first
    std::uint32_t sequence_ = 0;
    std::uint32_t streamTaken_ = 0;  // the stream's items handled, in order
    float sendClock_ = 0.0f;         // frame seconds since the last input packet
    bool goodbye_ = false;
    bool connected_ = false;         // ENet's connection made: the Hello is on its way
    // Steady-clock milliseconds.
    std::uint64_t lastHeardMs_ = 0;
    std::uint64_t helloSentMs_ = 0;
    std::uint64_t inputSentMs_ = 0;
    NetTraffic traffic_;  // collected from the host, which keeps the rest until the next collect
};
