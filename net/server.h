#pragma once
// The dedicated server: one SimWorld with a match and bots, stepped at
// kServerTickRate, that people join over ENet. Each tick takes every joined
// player's newest input, the bots' commands for the other places, and steps;
// every kSnapshotInterval ticks each joined client gets a snapshot
// (unreliable, against the newest one it acknowledged while the server still
// keeps it) and its stream: the events raised since the last send, with
// every item it has not yet acknowledged sent again.
//
// Places: the world starts with max(bots, 1) players, all bots. A person
// takes a bot's place on the team with fewer people (index % 2 is the
// team); when every place is a person's and there is room, the world grows
// by one and the match starts afresh. A person leaving gives the place back
// to a bot, out of any car. Matches follow one another: kRoundResultSeconds
// after MatchOver, restartMatch.
//
// Nothing here reads a clock but run(): update() takes the real seconds
// since open(), so a test can drive it. The server survives anything a
// client sends: a malformed message drops that client only.

#include "assets/model_ms3d.h"
#include "bots/bots.h"
#include "net/protocol.h"
#include "net/snapshot.h"
#include "sim/match.h"
#include "sim/sim_world.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

typedef struct _ENetHost ENetHost;
typedef struct _ENetPeer ENetPeer;

inline constexpr int kServerTickRate = 200;            // steps a simulated second
inline constexpr float kServerTickSeconds = 1.0f / kServerTickRate;
inline constexpr int kSnapshotInterval = 10;           // ticks: 20 snapshots a second
inline constexpr std::size_t kSnapshotHistory = 32;    // kept for deltas, server and client
inline constexpr std::uint32_t kDefaultHelloTimeoutMs = 3000;  // connect to Hello
inline constexpr int kDefaultPeersPerAddress = 2;
inline constexpr int kSpareRefusalPeers = 4;           // room to refuse while full
// A client's stream items not yet acknowledged: sent again with a snapshot
// once their acknowledgement is overdue, in at most this many messages; a client that lets more than the backlog
// pile up has not been listening for seconds and is dropped.
inline constexpr int kStreamMessagesPerSend = 4;
inline constexpr double kStreamResendSeconds = 0.1;  // the least wait for an acknowledgement
inline constexpr std::size_t kMaxStreamBacklogBytes = 64 * 1024;
// A client sends one Input a frame; 60 a second is expected, four times that
// is let through (with a burst), the rest ignored.
inline constexpr double kInputsPerSecondLimit = 240.0;
inline constexpr double kInputBurst = 48.0;
// Every message the game sends fits one datagram (kMaxMessageBytes); ENet's
// own default of 32 MiB would let a peer make the host gather far more.
inline constexpr std::size_t kServerMaxPacketBytes = 2 * 1024;
inline constexpr std::size_t kServerMaxWaitingBytes = 32 * 1024; // a client sends little

struct NetServerConfig {
    std::string bindAddress;          // an IPv4 address; empty: every interface
    std::uint16_t port = kDefaultPort; // 0: any free port (port() says which)
    std::string password;             // empty: none asked
    int bots = 1;                     // places before anyone joins (at least 1)
    MatchRules rules;
    std::uint64_t seed = kDefaultBotSeed;
    BotLevel botLevel = kDefaultBotLevel;
    std::string carFile = "car.txt";
    std::string modelFile = "data\\model.ms3d";
    std::ostream* record = nullptr;   // every step's commands (net/match_record.h); not owned
    // Called after every tick's step with the tick it reached (the tool's
    // --states); on the thread that steps.
    std::function<void(std::uint32_t tick, const SimWorld& world)> afterStep;
    float speed = 1.0f;               // simulated seconds per real second; tests run faster
    std::uint32_t peerTimeoutMs = kDefaultPeerTimeoutMs;  // real milliseconds of silence, whatever the speed
    std::uint32_t helloTimeoutMs = kDefaultHelloTimeoutMs;
    int peersPerAddress = kDefaultPeersPerAddress;
    std::function<void(const std::string&)> log;  // one line per listen, join, leave, match result
    // Each snapshot as captured, before it is sent (inputSequence 0), on
    // the server's thread: a test holds clients' copies against it.
    std::function<void(const WorldSnapshot&)> snapshotTaken;
};

// What a test or the tool may read while run() goes on in another thread.
struct NetServerStatus {
    std::uint32_t tick = 0;
    int places = 0;           // the world's players
    int people = 0;           // places held by persons
    int connections = 0;      // peers connected, joined or not
    int matchesFinished = 0;
    int clientsDropped = 0;   // for a malformed message, a missing Hello or a stream left unacknowledged
    int clientsTimedOut = 0;  // silent for peerTimeoutMs
    std::array<bool, kMaxPlayers> personAt{};
    // Since open(), per place, whoever held it: the inputs whose sequence was
    // new to the server, and the ticks that stepped a new one.
    std::array<std::uint64_t, kMaxPlayers> inputsReceived{};
    std::array<std::uint64_t, kMaxPlayers> inputsApplied{};
    std::uint64_t inputMessagesIgnored = 0;  // over the rate limit
    NetTraffic traffic;                      // every peer's together, refusals and garbage included
    std::uint64_t snapshotsSent = 0;         // one per joined client per snapshot tick
    std::uint64_t snapshotBytes = 0;         // their messages' bytes, summed
    std::uint64_t largestSnapshotBytes = 0;
};

class NetServer {
public:
    explicit NetServer(NetServerConfig config);
    ~NetServer();
    NetServer(const NetServer&) = delete;
    NetServer& operator=(const NetServer&) = delete;

    // Reads the car file and model, builds the world and its match, binds.
    // False with reason when any of that fails.
    bool open(std::string& reason);
    std::uint16_t port() const { return port_; }

    // Services the network and steps the ticks due realSeconds after open().
    void update(double realSeconds);
    // update() against the steady clock until stopRequested, then stop().
    void run(const std::atomic<bool>& stopRequested);
    // Goodbye to every client, their disconnects awaited briefly, the record
    // flushed, the host closed. Safe to call twice.
    void stop();

    NetServerStatus status() const;
    // The world, for a test after stop() (not while run() goes on).
    const SimWorld& world() const { return world_; }
    std::uint32_t tick() const { return tick_; }

private:
    struct Client;
    void serviceNetwork(std::uint32_t waitMs, double realSeconds);
    void receive(Client& client, std::span<const std::uint8_t> bytes);
    void hello(Client& client, std::span<const std::uint8_t> bytes);
    void input(Client& client, std::span<const std::uint8_t> bytes);
    void refuse(Client& client, RefusalReason reason);
    void enqueue(Client& client, std::vector<std::uint8_t> bytes);
    void sendStream(Client& client);
    void dropSilentAndBehind();
    void drop(Client& client, const char* why);
    void leave(Client& client, const char* how);
    void forget(Client& client);
    int choosePlace();
    void botAt(int place);
    void nameAt(int place, std::string name);  // and in the record
    void sendRoster();
    void step();
    void sendWorld();
    void publishStatus();
    void say(const std::string& line) const;

    NetServerConfig config_;
    ENetHost* host_ = nullptr;
    std::uint16_t port_ = 0;
    std::uint64_t carHash_ = 0;
    ModelMs3d model_;
    SimWorld world_;
    BotSet bots_;
    std::vector<std::unique_ptr<Client>> clients_;
    std::array<Client*, kMaxPlayers> holder_{};
    std::uint32_t tick_ = 0;
    double tickOrigin_ = 0.0;        // real seconds at which tick 0 was due
    double now_ = 0.0;
    std::uint32_t matchOverTick_ = 0;
    bool matchOver_ = false;
    int matchesFinished_ = 0;
    int clientsDropped_ = 0;
    int clientsTimedOut_ = 0;
    std::deque<WorldSnapshot> history_;
    std::vector<std::pair<std::uint32_t, StepEvent>> pendingEvents_;
    StepEvents events_;
    std::array<PlayerCommand, kMaxPlayers> commands_{};
    std::array<std::uint64_t, kMaxPlayers> inputsReceived_{};
    std::array<std::uint64_t, kMaxPlayers> inputsApplied_{};
    std::uint64_t inputMessagesIgnored_ = 0;
    NetTraffic traffic_;
    std::uint64_t snapshotsSent_ = 0;
    std::uint64_t snapshotBytes_ = 0;
    std::uint64_t largestSnapshotBytes_ = 0;
    mutable std::mutex statusMutex_;
    NetServerStatus status_;
    bool stopped_ = false;
};

// Control bytes out, at most kMaxNameBytes, "Player" when nothing is left.
std::string sanitisedPlayerName(const std::string& name);
// enet_initialize once for the process (false when ENet cannot start).
bool startNetworking();
// A peer's link as the game wants it, on either end: ENet's own timeout out
// of the way (kLinkTimeoutMs), and its throttle held open. The throttle
// drops unreliable packets at the sender when round trips vary, which a
// jittery link does all the time; the game's inputs and snapshots are few
// and small, and dropping them is what the throttle would make of a
// congested link.
void configurePeerLink(ENetPeer* peer);
// Adds the host's totals to traffic and sets them to 0, so ENet's 32-bit
// counters never wrap; nothing for a null host.
void collectTraffic(ENetHost* host, NetTraffic& traffic);
