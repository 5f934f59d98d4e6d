#include "net/server.h"

#include "net/match_record.h"
#include "sim/command_record.h"

#include <enet/enet.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <ostream>
#include <thread>

namespace {

bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

void sendBytes(ENetPeer* peer, const std::vector<std::uint8_t>& bytes, NetChannel channel, bool reliable)
{
    ENetPacket* packet = enet_packet_create(bytes.data(), bytes.size(), reliable ? ENET_PACKET_FLAG_RELIABLE : 0);
    if (packet && enet_peer_send(peer, static_cast<enet_uint8>(channel), packet) != 0)
        enet_packet_destroy(packet);
}

// The same number of bytes compared whatever they hold, so a guess learns
// nothing from how long a refusal took.
bool samePassword(const std::string& a, const std::string& b)
{
    unsigned difference = a.size() == b.size() ? 0u : 1u;
    const std::size_t n = std::max(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
        const unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
        difference |= static_cast<unsigned>(x ^ y);
    }
    return difference == 0;
}

// Newer in sequence order, wrapping.
bool newer(std::uint32_t a, std::uint32_t b) { return static_cast<std::int32_t>(a - b) > 0; }

const char* teamName(int team) { return team == 0 ? "red" : "blue"; }

// Silence is real time whatever speed the server steps at (a test may run
// the match faster, but datagrams take the time they take).
double steadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

struct NetServer::Client {
    ENetPeer* peer = nullptr;
    double connectedAt = 0.0;  // real seconds
    double lastHeard = 0.0;    // steadySeconds() of its last packet
    bool joined = false;
    bool refused = false;      // waiting for its disconnect
    int place = -1;
    std::string name;
    bool hasInput = false;
    NetInput newest;
    NetInput lastApplied;
    std::uint32_t ackedSnapshot = 0;
    double tokens = kInputBurst;
    double tokensAt = 0.0;
    // The stream: items from ackedStream + 1 on, not yet acknowledged, each
    // with when it last went (steadySeconds(); 0: not yet).
    struct StreamItem {
        std::vector<std::uint8_t> bytes;
        double sentAt = 0.0;
    };
    std::deque<StreamItem> stream;
    std::uint32_t ackedStream = 0;
    std::size_t streamBytes = 0;
    bool behind = false;       // its backlog passed kMaxStreamBacklogBytes
};

bool startNetworking()
{
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        started = enet_initialize() == 0;
        if (started)
            std::atexit(enet_deinitialize);
    });
    return started;
}

void configurePeerLink(ENetPeer* peer)
{
    enet_peer_timeout(peer, 0, kLinkTimeoutMs, kLinkTimeoutMs);
    enet_peer_throttle_configure(peer, ENET_PEER_PACKET_THROTTLE_INTERVAL, ENET_PEER_PACKET_THROTTLE_SCALE, 0);
}

void collectTraffic(ENetHost* host, NetTraffic& traffic)
{
    if (!host)
        return;
    traffic.bytesSent += host->totalSentData;
    traffic.packetsSent += host->totalSentPackets;
    traffic.bytesReceived += host->totalReceivedData;
    traffic.packetsReceived += host->totalReceivedPackets;
    host->totalSentData = 0;
    host->totalSentPackets = 0;
    host->totalReceivedData = 0;
    host->totalReceivedPackets = 0;
}

std::string sanitisedPlayerName(const std::string& name)
{
    std::string out;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b != 0x7f)
            out.push_back(c);
    }
    if (out.size() > kMaxNameBytes) {
        out.resize(kMaxNameBytes);
        // Not half a UTF-8 character at the end.
        while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xc0) == 0x80)
            out.pop_back();
        if (!out.empty() && static_cast<unsigned char>(out.back()) >= 0xc0)
            out.pop_back();
    }
    if (out.find_first_not_of(' ') == std::string::npos)
        return "Player";
    return out;
}

NetServer::NetServer(NetServerConfig config) : config_(std::move(config)) {}

NetServer::~NetServer() { stop(); }

bool NetServer::open(std::string& reason)
{
    if (!startNetworking()) {
        reason = "ENet could not start";
        return false;
    }
    std::vector<std::uint8_t> carBytes;
    if (!readWholeFile(config_.carFile, carBytes)) {
        reason = config_.carFile + ": cannot be read";
        return false;
    }
    carHash_ = gameDataHash(carBytes);
    createSimWorld(world_);
    if (!buildSimCars(world_, config_.carFile.c_str(), reason))
        return false;
    if (!model_.loadWithoutTextures(config_.modelFile.c_str(), &reason))
        return false;
    model_.setAnimationStart(kWalkStartMs);
    model_.restartAnimation();
    const int places = std::clamp(config_.bots, 1, kMaxPlayers);
    addSimPlayers(world_, places, model_);
    startMatch(world_, config_.rules);
    addBots(bots_, world_, 0, config_.botLevel, config_.seed);
    if (config_.record)
        writeMatchRecordHeader(*config_.record, {config_.seed, config_.rules, places});
    for (int i = 0; i < places; ++i)
        nameAt(i, std::string(botName(i)));

    ENetAddress address{};
    address.host = ENET_HOST_ANY;
    address.port = config_.port;
    if (!config_.bindAddress.empty() && enet_address_set_host_ip(&address, config_.bindAddress.c_str()) != 0) {
        reason = "'" + config_.bindAddress + "' is not an IPv4 address";
        return false;
    }
    host_ = enet_host_create(&address, static_cast<std::size_t>(kMaxPlayers + kSpareRefusalPeers),
                             static_cast<std::size_t>(kNetChannelCount), 0, 0);
    if (!host_) {
        reason = "cannot listen on UDP port " + std::to_string(config_.port) + " (in use, or not allowed)";
        return false;
    }
    host_->maximumPacketSize = kServerMaxPacketBytes;
    host_->maximumWaitingData = kServerMaxWaitingBytes;
    host_->duplicatePeers = static_cast<std::size_t>(std::max(config_.peersPerAddress, 1));
    ENetAddress bound{};
    port_ = enet_socket_get_address(host_->socket, &bound) == 0 ? bound.port : config_.port;
    say("listening on UDP port " + std::to_string(port_) + " with " + std::to_string(places) + " places");
    publishStatus();
    return true;
}

void NetServer::say(const std::string& line) const
{
    if (config_.log)
        config_.log(line);
}

void NetServer::update(double realSeconds)
{
    if (!host_ || stopped_)
        return;
    now_ = realSeconds;
    serviceNetwork(0, realSeconds);
    dropSilentAndBehind();
    // Peers that connected and said nothing are dropped.
    for (std::size_t i = 0; i < clients_.size();) {
        Client& c = *clients_[i];
        if (!c.joined && !c.refused && realSeconds - c.connectedAt > config_.helloTimeoutMs / 1000.0) {
            drop(c, "no Hello in time");
            continue;  // drop() removed it
        }
        ++i;
    }
    const double ticksPerSecond = kServerTickRate * static_cast<double>(config_.speed);
    const double due = (realSeconds - tickOrigin_) * ticksPerSecond;
    // A server stalled for more than a second does not race to catch up:
    // the clock it keeps slips instead.
    if (due - tick_ > ticksPerSecond)
        tickOrigin_ = realSeconds - (tick_ + 1) / ticksPerSecond;
    int budget = static_cast<int>(ticksPerSecond) + 1;
    while (tick_ + 1 <= (realSeconds - tickOrigin_) * ticksPerSecond && budget-- > 0) {
        step();
        // Inputs land between the ticks they are due for.
        if (config_.speed > 1.0f)
            serviceNetwork(0, realSeconds);
    }
    enet_host_flush(host_);
    publishStatus();
}

void NetServer::run(const std::atomic<bool>& stopRequested)
{
    const auto start = std::chrono::steady_clock::now();
    const auto seconds = [&start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    const double tickReal = kServerTickSeconds / std::max(config_.speed, 0.001f);
    while (!stopRequested.load() && host_) {
        update(seconds());
        // Sleep in ENet until the next tick is due or a packet comes.
        const double nextDue = tickOrigin_ + (tick_ + 1) * tickReal;
        const double wait = std::clamp(nextDue - seconds(), 0.0, 0.005);
        serviceNetwork(static_cast<std::uint32_t>(wait * 1000.0), seconds());
    }
    stop();
}

void NetServer::stop()
{
    if (stopped_)
        return;
    stopped_ = true;
    if (host_) {
        std::vector<std::uint8_t> bytes;
        encodeGoodbye(bytes);
        for (const auto& c : clients_) {
            sendBytes(c->peer, bytes, NetChannel::Control, true);
            enet_peer_disconnect_later(c->peer, 0);
        }
        // A short wait for their acknowledgements, so the Goodbye gets there.
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1000);
        ENetEvent event;
        while (!clients_.empty() && std::chrono::steady_clock::now() < until) {
            if (enet_host_service(host_, &event, 10) <= 0)
                continue;
            if (event.type == ENET_EVENT_TYPE_RECEIVE)
                enet_packet_destroy(event.packet);
            else if (event.type == ENET_EVENT_TYPE_DISCONNECT && event.peer->data)
                forget(*static_cast<Client*>(event.peer->data));
        }
        enet_host_flush(host_);
        collectTraffic(host_, traffic_);
        enet_host_destroy(host_);
        host_ = nullptr;
        clients_.clear();
        // Their clients are gone: no place is held, and nothing points at them.
        holder_.fill(nullptr);
    }
    if (config_.record)
        config_.record->flush();
    say("stopped");
    publishStatus();
}

void NetServer::serviceNetwork(std::uint32_t waitMs, double realSeconds)
{
    ENetEvent event;
    // A bounded number of events a call, so a flood cannot hold the ticks up.
    for (int n = 0; n < 256 && host_; ++n) {
        const int got = enet_host_service(host_, &event, n == 0 ? waitMs : 0);
        if (got <= 0)
            return;
        switch (event.type) {
        case ENET_EVENT_TYPE_CONNECT: {
            auto client = std::make_unique<Client>();
            client->peer = event.peer;
            client->connectedAt = realSeconds;
            client->tokensAt = realSeconds;
            client->lastHeard = steadySeconds();
            event.peer->data = client.get();
            configurePeerLink(event.peer);
            clients_.push_back(std::move(client));
            break;
        }
        case ENET_EVENT_TYPE_RECEIVE:
            if (event.peer->data)
                receive(*static_cast<Client*>(event.peer->data), {event.packet->data, event.packet->dataLength});
            enet_packet_destroy(event.packet);
            break;
        case ENET_EVENT_TYPE_DISCONNECT:
            if (event.peer->data) {
                Client& c = *static_cast<Client*>(event.peer->data);
                if (c.joined)
                    leave(c, "left");
                forget(c);
            }
            break;
        case ENET_EVENT_TYPE_NONE:
            break;
        }
    }
}

void NetServer::forget(Client& client)
{
    client.peer->data = nullptr;
    std::erase_if(clients_, [&client](const std::unique_ptr<Client>& c) { return c.get() == &client; });
}

void NetServer::drop(Client& client, const char* why)
{
    ++clientsDropped_;
    say("dropped a client: " + std::string(why));
    if (client.joined)
        leave(client, "was dropped");
    ENetPeer* peer = client.peer;
    forget(client);
    enet_peer_disconnect_now(peer, 0);
}

void NetServer::dropSilentAndBehind()
{
    const double now = steadySeconds();
    for (std::size_t i = 0; i < clients_.size();) {
        Client& c = *clients_[i];
        if (c.behind) {
            drop(c, "its stream went unacknowledged");
            continue;  // drop() removed it
        }
        if (now - c.lastHeard > config_.peerTimeoutMs / 1000.0) {
            ++clientsTimedOut_;
            if (c.joined)
                leave(c, "timed out");
            else
                say("a client timed out");
            ENetPeer* peer = c.peer;
            forget(c);
            enet_peer_disconnect_now(peer, 0);
            continue;
        }
        ++i;
    }
}

void NetServer::receive(Client& client, std::span<const std::uint8_t> bytes)
{
    client.lastHeard = steadySeconds();
    if (client.refused)
        return;
    MessageType type{};
    if (!messageType(bytes, type)) {
        drop(client, "an unknown message");
        return;
    }
    if (type == MessageType::Goodbye) {
        if (!decodeGoodbye(bytes)) {
            drop(client, "a malformed Goodbye");
            return;
        }
        if (client.joined)
            leave(client, "left");
        client.refused = true;  // nothing more is read from it
        enet_peer_disconnect(client.peer, 0);
        return;
    }
    if (!client.joined) {
        if (type == MessageType::Hello)
            hello(client, bytes);
        else
            drop(client, "a message before Hello");
        return;
    }
    if (type == MessageType::Input)
        input(client, bytes);
    else if (type == MessageType::Hello)
        return;  // a repeat that crossed the welcome
    else
        drop(client, "a message a client does not send");
}

void NetServer::refuse(Client& client, RefusalReason reason)
{
    std::vector<std::uint8_t> bytes;
    encodeRefused({reason}, bytes);
    sendBytes(client.peer, bytes, NetChannel::Control, true);
    // Later: the refusal goes out before the disconnect.
    enet_peer_disconnect_later(client.peer, 0);
    client.refused = true;
    say(std::string("refused a client: ") + refusalText(reason));
}

void NetServer::hello(Client& client, std::span<const std::uint8_t> bytes)
{
    HelloMessage m;
    if (!decodeHello(bytes, m)) {
        refuse(client, RefusalReason::Malformed);
        return;
    }
    if (m.version != kProtocolVersion) {
        refuse(client, RefusalReason::WrongVersion);
        return;
    }
    if (m.gameDataHash != carHash_) {
        refuse(client, RefusalReason::WrongGameData);
        return;
    }
    if (!config_.password.empty() && !samePassword(m.password, config_.password)) {
        refuse(client, RefusalReason::WrongPassword);
        return;
    }
    const int place = choosePlace();
    if (place < 0) {
        refuse(client, RefusalReason::Full);
        return;
    }
    client.joined = true;
    client.place = place;
    client.name = sanitisedPlayerName(m.name);
    holder_[static_cast<std::size_t>(place)] = &client;
    std::erase_if(bots_.bots, [place](const Bot& b) { return b.player == place; });
    nameAt(place, client.name);

    WelcomeMessage w;
    w.player = static_cast<std::uint8_t>(place);
    w.playerCount = static_cast<std::uint8_t>(world_.players.size());
    w.tick = tick_;
    w.seed = static_cast<std::uint32_t>(config_.seed);
    w.rounds = static_cast<std::uint8_t>(std::clamp(config_.rules.rounds, 1, 255));
    w.roundSeconds = config_.rules.roundSeconds;
    w.respawnSeconds = config_.rules.respawnSeconds;
    std::vector<std::uint8_t> out;
    encodeWelcome(w, out);
    enqueue(client, std::move(out));
    say(client.name + " joined as player " + std::to_string(place + 1) + " (" + teamName(place % kTeamCount) + ")");
    sendRoster();
    // The welcome goes now rather than with the next snapshot.
    sendStream(client);
}

void NetServer::enqueue(Client& client, std::vector<std::uint8_t> bytes)
{
    client.streamBytes += bytes.size();
    client.stream.push_back({std::move(bytes), 0.0});
    if (client.streamBytes > kMaxStreamBacklogBytes)
        client.behind = true;  // dropped at the next update, outside any loop over the clients
}

void NetServer::sendStream(Client& client)
{
    // An item goes again once its acknowledgement is overdue: a round trip
    // and a half (the client acknowledges with its next input), at least
    // kStreamResendSeconds. Everything after it goes with it, since the
    // client takes items only in order.
    const double now = steadySeconds();
    const double roundTrip = client.peer->roundTripTime / 1000.0;
    const double overdue = std::max(kStreamResendSeconds, 1.5 * roundTrip + 1.0 / kInputPacketsPerSecond);
    std::size_t at = 0;
    while (at < client.stream.size() && client.stream[at].sentAt > 0.0 && now - client.stream[at].sentAt < overdue)
        ++at;
    std::vector<std::uint8_t> bytes;
    std::vector<std::span<const std::uint8_t>> run;  // views of the deque's items, not copies
    for (int n = 0; n < kStreamMessagesPerSend && at < client.stream.size(); ++n) {
        run.clear();
        std::size_t size = kStreamHeaderBytes;
        for (std::size_t k = at; k < client.stream.size() && run.size() < kMaxStreamItems; ++k) {
            size += kStreamItemHeaderBytes + client.stream[k].bytes.size();
            if (!run.empty() && size > kMaxMessageBytes)
                break;
            run.emplace_back(client.stream[k].bytes);
            client.stream[k].sentAt = now;
        }
        bytes.clear();
        const std::size_t sent =
            encodeStream(client.ackedStream + 1 + static_cast<std::uint32_t>(at), run, bytes);
        sendBytes(client.peer, bytes, NetChannel::Stream, false);
        at += sent;
    }
}

int NetServer::choosePlace()
{
    const int places = static_cast<int>(world_.players.size());
    std::array<int, kTeamCount> people{};
    for (int i = 0; i < places; ++i)
        if (holder_[static_cast<std::size_t>(i)])
            ++people[static_cast<std::size_t>(i % kTeamCount)];
    const int smaller = people[1] < people[0] ? 1 : 0;
    int any = -1;
    for (int i = 0; i < places; ++i) {
        if (holder_[static_cast<std::size_t>(i)])
            continue;
        if (i % kTeamCount == smaller)
            return i;
        if (any < 0)
            any = i;
    }
    if (any >= 0)
        return any;
    if (places >= kMaxPlayers)
        return -1;
    // Every place is a person's: one more, and a fresh match for everyone.
    growPlaces(world_, model_, places + 1);
    if (config_.record)
        writeMatchRecordGrow(*config_.record, places + 1);
    matchOver_ = false;
    for (int i = 0; i < places; ++i)
        nameAt(i, holder_[static_cast<std::size_t>(i)]->name);
    resetBots(bots_, config_.seed);
    say("the world grew to " + std::to_string(places + 1) + " places; a new match");
    return places;
}

void NetServer::botAt(int place)
{
    Bot bot;
    bot.player = place;
    bot.level = config_.botLevel;
    // Its own draws, different from the place's last bot's.
    bot.random = BotRandom(config_.seed * 0x9e3779b97f4a7c15ull + static_cast<std::uint64_t>(place) * 1000003ull +
                           tick_);
    bots_.bots.push_back(bot);
    std::sort(bots_.bots.begin(), bots_.bots.end(), [](const Bot& a, const Bot& b) { return a.player < b.player; });
    nameAt(place, std::string(botName(place)));
}

void NetServer::nameAt(int place, std::string name)
{
    if (config_.record)
        writeMatchRecordName(*config_.record, place, name);
    world_.players[static_cast<std::size_t>(place)].name = std::move(name);
}

void NetServer::leave(Client& client, const char* how)
{
    if (!client.joined)
        return;
    const int place = client.place;
    client.joined = false;
    client.place = -1;
    holder_[static_cast<std::size_t>(place)] = nullptr;
    vacatePlace(world_, place);
    if (config_.record)
        writeMatchRecordVacate(*config_.record, place);
    botAt(place);
    say(client.name + " " + how + " (player " + std::to_string(place + 1) + ")");
    sendRoster();
}

void NetServer::input(Client& client, std::span<const std::uint8_t> bytes)
{
    client.tokens = std::min(kInputBurst, client.tokens + (now_ - client.tokensAt) * kInputsPerSecondLimit);
    client.tokensAt = now_;
    if (client.tokens < 1.0) {
        ++inputMessagesIgnored_;
        return;  // too many: ignored, the next in time counts
    }
    client.tokens -= 1.0;
    InputMessage m;
    if (!decodeInput(bytes, m)) {
        drop(client, "a malformed Input");
        return;
    }
    // Newest first: an input is new when it is newer than all the server had.
    const bool hadInput = client.hasInput;
    const std::uint32_t hadSequence = client.newest.sequence;
    for (const NetInput& n : m.inputs)
        if (!hadInput || newer(n.sequence, hadSequence))
            ++inputsReceived_[static_cast<std::size_t>(client.place)];
    for (const NetInput& n : m.inputs)
        if (!client.hasInput || newer(n.sequence, client.newest.sequence)) {
            client.newest = n;
            client.hasInput = true;
        }
    if (newer(m.ackedSnapshot, client.ackedSnapshot) && m.ackedSnapshot <= tick_)
        client.ackedSnapshot = m.ackedSnapshot;
    // Items it has taken are not sent again; an acknowledgement beyond
    // what was sent is nonsense, and ignored.
    const std::uint32_t taken = m.ackedStream - client.ackedStream;
    if (newer(m.ackedStream, client.ackedStream) && taken <= client.stream.size()) {
        for (std::uint32_t k = 0; k < taken; ++k) {
            client.streamBytes -= client.stream.front().bytes.size();
            client.stream.pop_front();
        }
        client.ackedStream = m.ackedStream;
    }
}

void NetServer::sendRoster()
{
    RosterMessage roster;
    for (std::size_t i = 0; i < world_.players.size(); ++i)
        roster.players.push_back({static_cast<std::uint8_t>(i), holder_[i] == nullptr, shownPlayerName(world_, static_cast<int>(i))});
    std::vector<std::uint8_t> bytes;
    encodeRoster(roster, bytes);
    for (const auto& c : clients_)
        if (c->joined)
            enqueue(*c, bytes);
}

void NetServer::step()
{
    const std::size_t count = world_.players.size();
    std::span<PlayerCommand> commands(commands_.data(), count);
    std::fill(commands.begin(), commands.end(), PlayerCommand{});
    thinkBots(bots_, world_, kServerTickSeconds, commands);
    for (std::size_t i = 0; i < count; ++i) {
        Client* c = holder_[i];
        if (!c)
            continue;
        // The newest input against the last applied: held controls go on,
        // the look and presses count once; nothing is rewound.
        commands[i] = c->hasInput ? commandFromInput(c->newest, c->lastApplied) : PlayerCommand{};
        if (c->hasInput && c->newest.sequence != c->lastApplied.sequence)
            ++inputsApplied_[i];
        c->lastApplied = c->newest;
    }
    if (config_.record)
        writeMatchRecordFrame(*config_.record, kServerTickSeconds, commands_.data(), static_cast<int>(count));
    events_.clear();
    stepWorld(world_, commands, kServerTickSeconds, events_);
    ++tick_;
    if (config_.afterStep)
        config_.afterStep(tick_, world_);
    for (const StepEvent& e : events_)
        pendingEvents_.push_back({tick_, e});

    if (world_.match && world_.match->phase == MatchPhase::MatchOver) {
        if (!matchOver_) {
            matchOver_ = true;
            matchOverTick_ = tick_;
            ++matchesFinished_;
            const MatchState& m = *world_.match;
            say(std::string("match over: ") + (m.winner >= 0 ? teamName(m.winner) : "nobody") + " wins " +
                std::to_string(m.scores[0]) + "-" + std::to_string(m.scores[1]));
        } else if (tick_ - matchOverTick_ >= static_cast<std::uint32_t>(kRoundResultSeconds * kServerTickRate)) {
            restartMatch(world_);
            if (config_.record)
                writeMatchRecordRestart(*config_.record);
            resetBots(bots_, config_.seed + static_cast<std::uint64_t>(matchesFinished_));
            matchOver_ = false;
        }
    }
    if (tick_ % kSnapshotInterval == 0)
        sendWorld();
}

void NetServer::sendWorld()
{
    WorldSnapshot snapshot;
    captureSnapshot(world_, tick_, snapshot);
    if (config_.snapshotTaken)
        config_.snapshotTaken(snapshot);
    std::vector<std::uint8_t> bytes;
    // The events first: one message per tick that raised any, split when
    // more than a message holds.
    std::vector<std::vector<std::uint8_t>> eventMessages;
    for (std::size_t at = 0; at < pendingEvents_.size();) {
        EventsMessage m;
        m.tick = pendingEvents_[at].first;
        while (at < pendingEvents_.size() && pendingEvents_[at].first == m.tick && m.events.size() < kMaxEventsPerMessage)
            m.events.push_back(pendingEvents_[at++].second);
        eventMessages.emplace_back();
        encodeEvents(m, eventMessages.back());
    }
    pendingEvents_.clear();
    for (const auto& c : clients_) {
        if (!c->joined)
            continue;
        for (const auto& m : eventMessages)
            enqueue(*c, m);
        sendStream(*c);
        const WorldSnapshot* baseline = nullptr;
        for (const WorldSnapshot& s : history_)
            if (s.tick == c->ackedSnapshot && c->ackedSnapshot != 0)
                baseline = &s;
        bytes.clear();
        snapshot.inputSequence = c->lastApplied.sequence;
        encodeSnapshot(snapshot, baseline, bytes);
        sendBytes(c->peer, bytes, NetChannel::Snapshots, false);
        ++snapshotsSent_;
        snapshotBytes_ += bytes.size();
        largestSnapshotBytes_ = std::max<std::uint64_t>(largestSnapshotBytes_, bytes.size());
    }
    snapshot.inputSequence = 0;
    history_.push_back(std::move(snapshot));
    if (history_.size() > kSnapshotHistory)
        history_.pop_front();
}

void NetServer::publishStatus()
{
    NetServerStatus s;
    s.tick = tick_;
    s.places = static_cast<int>(world_.players.size());
    for (std::size_t i = 0; i < world_.players.size(); ++i) {
        s.personAt[i] = holder_[i] != nullptr;
        s.people += s.personAt[i] ? 1 : 0;
    }
    s.connections = static_cast<int>(clients_.size());
    s.matchesFinished = matchesFinished_;
    s.clientsDropped = clientsDropped_;
    s.clientsTimedOut = clientsTimedOut_;
    s.inputsReceived = inputsReceived_;
    s.inputsApplied = inputsApplied_;
    s.inputMessagesIgnored = inputMessagesIgnored_;
    // The host is gone after stop(): what it counted was taken before.
    collectTraffic(host_, traffic_);
    s.traffic = traffic_;
    s.snapshotsSent = snapshotsSent_;
    s.snapshotBytes = snapshotBytes_;
    s.largestSnapshotBytes = largestSnapshotBytes_;
    std::lock_guard lock(statusMutex_);
    status_ = s;
}

NetServerStatus NetServer::status() const
{
    std::lock_guard lock(statusMutex_);
    return status_;
}
