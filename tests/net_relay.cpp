#include "net_relay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <queue>

namespace {

using Clock = std::chrono::steady_clock;

// SplitMix64, as the bots draw: the same numbers on every library.
struct Draws {
    std::uint64_t state = 0;
    std::uint64_t next()
    {
        std::uint64_t z = (state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }  // [0, 1)
};

sockaddr_in loopback(std::uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// A non-blocking UDP socket on 127.0.0.1 at a free port, -1 when none.
int boundSocket(std::uint16_t& port)
{
    const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0)
        return -1;
    sockaddr_in a = loopback(0);
    socklen_t size = sizeof a;
    if (::bind(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &size) != 0 ||
        ::fcntl(s, F_SETFL, O_NONBLOCK) != 0) {
        ::close(s);
        return -1;
    }
    port = ntohs(a.sin_port);
    return s;
}

constexpr std::size_t kLargestDatagram = 65536;
constexpr int kReadsPerWake = 64;  // per socket, so one busy side cannot starve the other

}  // namespace

struct NetRelay::Link {
    int front = -1;             // where the client sends
    int back = -1;              // where the server sees the client
    std::uint16_t frontPort = 0;
    sockaddr_in client{};       // the client's address, from its newest datagram
    bool clientKnown = false;
    std::array<Draws, 2> draws; // [0] toward the server, [1] toward the client
};

struct NetRelay::Held {
    Clock::time_point due;
    std::uint64_t order = 0;    // ties go in arrival order
    int link = 0;
    bool toServer = true;
    std::vector<std::uint8_t> bytes;
    bool operator>(const Held& other) const { return due != other.due ? due > other.due : order > other.order; }
};

NetRelay::NetRelay(NetRelayConfig config) : config_(config) {}

NetRelay::~NetRelay() { stop(); }

bool NetRelay::start(std::string& reason)
{
    links_.resize(static_cast<std::size_t>(std::max(config_.clients, 0)));
    for (std::size_t i = 0; i < links_.size(); ++i) {
        Link& l = links_[i];
        std::uint16_t backPort = 0;
        l.front = boundSocket(l.frontPort);
        l.back = boundSocket(backPort);
        const sockaddr_in server = loopback(config_.serverPort);
        if (l.front < 0 || l.back < 0 ||
            ::connect(l.back, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0) {
            reason = std::string("relay socket: ") + std::strerror(errno);
            stop();
            return false;
        }
        for (std::size_t d = 0; d < 2; ++d)
            l.draws[d].state = config_.seed * 1000003ull + i * 2 + d;
    }
    thread_ = std::thread([this] { run(); });
    return true;
}

std::uint16_t NetRelay::port(int client) const
{
    return client >= 0 && static_cast<std::size_t>(client) < links_.size()
               ? links_[static_cast<std::size_t>(client)].frontPort
               : 0;
}

void NetRelay::stop()
{
    stopRequested_ = true;
    if (thread_.joinable())
        thread_.join();
    for (Link& l : links_) {
        if (l.front >= 0)
            ::close(l.front);
        if (l.back >= 0)
            ::close(l.back);
        l.front = l.back = -1;
    }
}

NetRelayCounts NetRelay::toServer() const
{
    std::lock_guard lock(countsMutex_);
    return toServer_;
}

NetRelayCounts NetRelay::toClients() const
{
    std::lock_guard lock(countsMutex_);
    return toClients_;
}

void NetRelay::run()
{
    std::priority_queue<Held, std::vector<Held>, std::greater<Held>> held;
    std::uint64_t order = 0;
    std::vector<pollfd> polls;
    for (const Link& l : links_) {
        polls.push_back({l.front, POLLIN, 0});
        polls.push_back({l.back, POLLIN, 0});
    }
    std::vector<std::uint8_t> buffer(kLargestDatagram);
    const auto started = Clock::now();
    const auto lifeEnds = started + std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double>(config_.maxSeconds));

    // One datagram's fate: lost, or held once or twice for its delay.
    const auto take = [&](int link, bool toServer, std::size_t size) {
        Link& l = links_[static_cast<std::size_t>(link)];
        Draws& draws = l.draws[toServer ? 0 : 1];
        NetRelayCounts counts;
        ++counts.received;
        const int copies = !lossy_.load()                        ? 1
                           : draws.uniform() < config_.lossChance      ? 0
                           : draws.uniform() < config_.duplicateChance ? 2
                                                                       : 1;
        counts.lost += copies == 0 ? 1 : 0;
        counts.duplicated += copies == 2 ? 1 : 0;
        for (int c = 0; c < copies; ++c) {
            if (held.size() >= config_.maxHeld) {
                ++counts.overflowed;
                continue;
            }
            const double delayMs =
                std::max(0.0, config_.latencyMs + (draws.uniform() * 2.0 - 1.0) * config_.jitterMs);
            Held h;
            h.due = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double, std::milli>(delayMs));
            h.order = order++;
            h.link = link;
            h.toServer = toServer;
            h.bytes.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(size));
            held.push(std::move(h));
        }
        std::lock_guard lock(countsMutex_);
        NetRelayCounts& into = toServer ? toServer_ : toClients_;
        into.received += counts.received;
        into.lost += counts.lost;
        into.duplicated += counts.duplicated;
        into.overflowed += counts.overflowed;
    };

    while (!stopRequested_.load() && Clock::now() < lifeEnds) {
        int waitMs = 5;
        if (!held.empty()) {
            const auto until = std::chrono::duration_cast<std::chrono::milliseconds>(held.top().due - Clock::now());
            waitMs = static_cast<int>(std::clamp<long long>(until.count(), 0, 5));
        }
        if (::poll(polls.data(), polls.size(), waitMs) > 0) {
            for (std::size_t i = 0; i < links_.size(); ++i) {
                Link& l = links_[i];
                for (int n = 0; n < kReadsPerWake; ++n) {
                    sockaddr_in from{};
                    socklen_t fromSize = sizeof from;
                    const ssize_t got = ::recvfrom(l.front, buffer.data(), buffer.size(), 0,
                                                   reinterpret_cast<sockaddr*>(&from), &fromSize);
                    if (got < 0)
                        break;
                    l.client = from;
                    l.clientKnown = true;
                    take(static_cast<int>(i), true, static_cast<std::size_t>(got));
                }
                for (int n = 0; n < kReadsPerWake; ++n) {
                    const ssize_t got = ::recv(l.back, buffer.data(), buffer.size(), 0);
                    if (got < 0)
                        break;
                    take(static_cast<int>(i), false, static_cast<std::size_t>(got));
                }
            }
        }
        std::uint64_t deliveredToServer = 0, deliveredToClients = 0;
        const auto now = Clock::now();
        while (!held.empty() && held.top().due <= now) {
            const Held& h = held.top();
            Link& l = links_[static_cast<std::size_t>(h.link)];
            // A send that fails (the server gone, a full buffer) is one more loss.
            if (h.toServer) {
                ::send(l.back, h.bytes.data(), h.bytes.size(), 0);
                ++deliveredToServer;
            } else if (l.clientKnown) {
                ::sendto(l.front, h.bytes.data(), h.bytes.size(), 0, reinterpret_cast<const sockaddr*>(&l.client),
                         sizeof l.client);
                ++deliveredToClients;
            }
            held.pop();
        }
        if (deliveredToServer + deliveredToClients > 0) {
            std::lock_guard lock(countsMutex_);
            toServer_.delivered += deliveredToServer;
            toClients_.delivered += deliveredToClients;
        }
    }
}
