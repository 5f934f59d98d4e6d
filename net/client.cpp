#include "net/client.h"

#include "net/server.h"

#include <enet/enet.h>

#include <algorithm>
#include <chrono>

namespace {

std::uint64_t steadyMs()
{
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

}  // namespace

NetClient::~NetClient() { close(); }

bool NetClient::connect(const NetClientConfig& config, std::string& reason)
{
    close();
    if (!startNetworking()) {
        reason = "ENet could not start";
        return false;
    }
    config_ = config;
    ENetAddress address{};
    if (enet_address_set_host(&address, config.host.c_str()) != 0) {
        reason = "'" + config.host + "' is no address this machine can find";
        return false;
    }
    address.port = config.port;
    host_ = enet_host_create(nullptr, 1, static_cast<std::size_t>(kNetChannelCount), 0, 0);
    if (!host_) {
        reason = "no socket for the client";
        return false;
    }
    host_->maximumPacketSize = kClientMaxPacketBytes;
    host_->maximumWaitingData = kClientMaxWaitingBytes;
    peer_ = enet_host_connect(host_, &address, static_cast<std::size_t>(kNetChannelCount), 0);
    if (!peer_) {
        reason = "no connection could be started";
        close();
        return false;
    }
    // The throttle once connected: ENet sends its settings to the other end,
    // which a connection still being made does not take.
    enet_peer_timeout(peer_, 0, kLinkTimeoutMs, kLinkTimeoutMs);
    state_ = NetClientState::Connecting;
    welcome_.reset();
    refusal_.reset();
    roster_.reset();
    rosters_ = 0;
    events_.clear();
    snapshots_.clear();
    snapshotsReceived_ = 0;
    newestSnapshot_ = 0;
    inputs_.clear();
    sequence_ = 0;
    streamTaken_ = 0;
    sendClock_ = 1.0f;  // the first input goes at once
    goodbye_ = false;
    connected_ = false;
    lastHeardMs_ = steadyMs();
    helloSentMs_ = 0;
    inputSentMs_ = 0;
    traffic_ = {};
    return true;
}

void NetClient::close()
{
    collectTraffic(host_, traffic_);
    if (host_)
        enet_host_destroy(host_);
    host_ = nullptr;
    peer_ = nullptr;
}

void NetClient::service(std::uint32_t waitMs)
{
    ENetEvent event;
    for (int n = 0; n < 1024 && host_; ++n) {
        if (enet_host_service(host_, &event, n == 0 ? waitMs : 0) <= 0)
            break;
        switch (event.type) {
        case ENET_EVENT_TYPE_CONNECT:
            configurePeerLink(peer_);
            connected_ = true;
            lastHeardMs_ = steadyMs();
            sendHello();
            break;
        case ENET_EVENT_TYPE_RECEIVE:
            lastHeardMs_ = steadyMs();
            receive(event.packet->data, event.packet->dataLength, event.channelID);
            enet_packet_destroy(event.packet);
            break;
        case ENET_EVENT_TYPE_DISCONNECT:
            if (state_ == NetClientState::Connecting || state_ == NetClientState::Joined)
                state_ = goodbye_ ? NetClientState::Ended : NetClientState::Lost;
            peer_ = nullptr;
            close();
            return;
        case ENET_EVENT_TYPE_NONE:
            break;
        }
    }
    if (!host_)
        return;
    const std::uint64_t now = steadyMs();
    if (state_ == NetClientState::Connecting || state_ == NetClientState::Joined) {
        // Until the welcome, the longer wait: ENet's connection made on this
        // side need not be made on the server's yet (the handshake's last
        // datagram lost, its resends doubling), and nothing comes till it is.
        const bool joined = state_ == NetClientState::Joined;
        if (now - lastHeardMs_ > (joined ? config_.timeoutMs : config_.connectTimeoutMs)) {
            state_ = NetClientState::Lost;
            if (peer_)
                enet_peer_disconnect_now(peer_, 0);
            peer_ = nullptr;
            close();
            return;
        }
    }
    if (state_ == NetClientState::Connecting && connected_ && now - helloSentMs_ >= kHelloRepeatMs)
        sendHello();
    if (state_ == NetClientState::Joined && now - inputSentMs_ >= kKeepAliveMs)
        sendInputPacket();
    enet_host_flush(host_);
    collectTraffic(host_, traffic_);
}

NetTraffic NetClient::traffic() const
{
    NetTraffic t = traffic_;
    if (host_) {
        t.bytesSent += host_->totalSentData;
        t.packetsSent += host_->totalSentPackets;
        t.bytesReceived += host_->totalReceivedData;
        t.packetsReceived += host_->totalReceivedPackets;
    }
    return t;
}

void NetClient::sendHello()
{
    std::vector<std::uint8_t> bytes;
    encodeHello(config_.hello, bytes);
    sendRaw(bytes, NetChannel::Control, false);
    helloSentMs_ = steadyMs();
}

bool NetClient::receiveStreamed(std::span<const std::uint8_t> bytes)
{
    MessageType type{};
    if (!messageType(bytes, type))
        return false;
    switch (type) {
    case MessageType::Welcome: {
        WelcomeMessage m;
        if (!decodeWelcome(bytes, m) || state_ != NetClientState::Connecting)
            return false;
        welcome_ = m;
        state_ = NetClientState::Joined;
        return true;
    }
    case MessageType::Roster: {
        RosterMessage m;
        if (!decodeRoster(bytes, m))
            return false;
        roster_ = std::move(m);
        ++rosters_;
        return true;
    }
    case MessageType::Events: {
        EventsMessage m;
        if (!decodeEvents(bytes, m))
            return false;
        events_.push_back(std::move(m));
        return true;
    }
    default:
        return false;
    }
}

void NetClient::receive(const std::uint8_t* data, std::size_t size, std::uint8_t)
{
    const std::span<const std::uint8_t> bytes(data, size);
    MessageType type{};
    bool good = messageType(bytes, type);
    if (good) {
        switch (type) {
        case MessageType::Refused: {
            RefusedMessage m;
            good = decodeRefused(bytes, m);
            if (good) {
                refusal_ = m.reason;
                state_ = NetClientState::Refused;
            }
            break;
        }
        case MessageType::Stream: {
            StreamMessage m;
            good = decodeStream(bytes, m);
            // Items already taken are skipped; one past a gap waits for the
            // server to send it again from the gap on.
            for (std::size_t k = 0; good && k < m.items.size(); ++k) {
                const std::uint32_t sequence = m.first + static_cast<std::uint32_t>(k);
                if (sequence != streamTaken_ + 1) {
                    if (static_cast<std::int32_t>(sequence - streamTaken_) > 1)
                        break;
                    continue;
                }
                good = receiveStreamed(m.items[k]);
                ++streamTaken_;
            }
            break;
        }
        case MessageType::Snapshot: {
            historyScratch_.assign(snapshots_.begin(), snapshots_.end());
            WorldSnapshot s;
            // A snapshot whose baseline we no longer keep is lost like a
            // dropped datagram: the next, against what we acknowledge, will do.
            if (decodeSnapshot(bytes, historyScratch_, s)) {
                ++snapshotsReceived_;
                if (snapshots_.empty() || static_cast<std::int32_t>(s.tick - newestSnapshot_) > 0) {
                    newestSnapshot_ = s.tick;
                    snapshots_.push_back(std::move(s));
                    if (snapshots_.size() > kSnapshotHistory)
                        snapshots_.pop_front();
                }
            }
            break;
        }
        case MessageType::Goodbye:
            good = decodeGoodbye(bytes);
            if (good) {
                goodbye_ = true;
                if (state_ == NetClientState::Joined || state_ == NetClientState::Connecting)
                    state_ = NetClientState::Ended;
            }
            break;
        default:
            good = false;
        }
    }
    if (!good && (state_ == NetClientState::Connecting || state_ == NetClientState::Joined)) {
        // What we cannot read from a server we cannot play with.
        state_ = NetClientState::Lost;
        if (peer_)
            enet_peer_disconnect(peer_, 0);
    }
}

std::vector<EventsMessage> NetClient::takeEvents()
{
    std::vector<EventsMessage> out;
    out.swap(events_);
    return out;
}

void NetClient::sendInput(NetInput input, bool send)
{
    if (!peer_ || state_ != NetClientState::Joined)
        return;
    input.sequence = ++sequence_;
    inputs_.push_front(input);
    if (inputs_.size() > kInputsPerPacket)
        inputs_.pop_back();
    if (send)
        sendInputPacket();
}

void NetClient::sendInput(NetInput input, float frameSeconds)
{
    constexpr float kInputSendSeconds = 0.98f / kInputPacketsPerSecond;
    sendClock_ += std::max(frameSeconds, 0.0f);
    const bool send = sendClock_ >= kInputSendSeconds;
    if (send)
        sendClock_ = std::min(sendClock_ - kInputSendSeconds, kInputSendSeconds);
    sendInput(input, send);
}

void NetClient::sendInputPacket()
{
    InputMessage m;
    m.ackedSnapshot = newestSnapshot_;
    m.ackedStream = streamTaken_;
    if (inputs_.empty())
        m.inputs.push_back({});  // nothing pressed yet: sequence 0, which any real input is newer than
    else
        m.inputs.assign(inputs_.begin(), inputs_.end());
    std::vector<std::uint8_t> bytes;
    encodeInput(m, bytes);
    sendRaw(bytes, NetChannel::Input, false);
    inputSentMs_ = steadyMs();
}

void NetClient::sendRaw(const std::vector<std::uint8_t>& bytes, NetChannel channel, bool reliable)
{
    if (!peer_)
        return;
    ENetPacket* packet = enet_packet_create(bytes.data(), bytes.size(), reliable ? ENET_PACKET_FLAG_RELIABLE : 0);
    if (packet && enet_peer_send(peer_, static_cast<enet_uint8>(channel), packet) != 0)
        enet_packet_destroy(packet);
}

void NetClient::leave(std::uint32_t waitMs)
{
    if (peer_) {
        std::vector<std::uint8_t> bytes;
        encodeGoodbye(bytes);
        sendRaw(bytes, NetChannel::Control, true);
        enet_peer_disconnect_later(peer_, 0);
        // Out at once: with no wait at all the host is closed next.
        enet_host_flush(host_);
        // Bounded by waitMs in 10 ms waits.
        for (std::uint32_t waited = 0; host_ && peer_ && waited < waitMs; waited += 10) {
            ENetEvent event;
            if (enet_host_service(host_, &event, 10) <= 0)
                continue;
            if (event.type == ENET_EVENT_TYPE_RECEIVE)
                enet_packet_destroy(event.packet);
            else if (event.type == ENET_EVENT_TYPE_DISCONNECT)
                peer_ = nullptr;
        }
    }
    close();
    state_ = NetClientState::Idle;
}

void NetClient::vanish()
{
    close();
    state_ = NetClientState::Idle;
}
