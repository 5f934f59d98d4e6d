#pragma once
// A bad network between the test's clients and a server, on loopback: a UDP
// relay of our own with one port per client. What a client sends to its
// port goes to the server from a socket of that client's own (so the server
// sees one peer per client), and what the server sends back goes to the
// client; on the way each datagram, in each direction, is lost with a
// chance, copied with another, and held for a latency with jitter (so they
// also arrive out of order).
//
// Every choice is drawn from a generator seeded by the config, per client
// and direction: the same traffic in the same order meets the same fate.
// The relay runs on a thread of its own until stop() (or the destructor),
// or by itself after maxSeconds; it waits at most a few milliseconds at a
// time, so stop() returns at once. It binds 127.0.0.1 only and sends only
// there.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct NetRelayConfig {
    std::uint16_t serverPort = 0;      // the server on 127.0.0.1
    int clients = 1;                   // ports, one a client
    double lossChance = 0.25;          // per datagram and direction
    double duplicateChance = 0.25;     // of those not lost
    double latencyMs = 150.0;          // one way
    double jitterMs = 50.0;            // uniform, either side of the latency
    std::uint64_t seed = 1;
    double maxSeconds = 900.0;         // the thread's life at most
    std::size_t maxHeld = 1 << 16;     // datagrams in flight; past it a datagram is lost
};

// What happened to the datagrams of one direction, every client's together.
struct NetRelayCounts {
    std::uint64_t received = 0;
    std::uint64_t lost = 0;        // by chance
    std::uint64_t duplicated = 0;
    std::uint64_t delivered = 0;   // sends, copies included
    std::uint64_t overflowed = 0;  // lost because maxHeld were in flight
};

class NetRelay {
public:
    explicit NetRelay(NetRelayConfig config);
    ~NetRelay();
    NetRelay(const NetRelay&) = delete;
    NetRelay& operator=(const NetRelay&) = delete;

    // Binds every socket and starts the thread; false with reason when a
    // socket cannot be had.
    bool start(std::string& reason);
    // The port client n connects to.
    std::uint16_t port(int client) const;
    // Ends the thread and closes the sockets; what is in flight is lost.
    void stop();
    // Loss and copies off (the latency and jitter stay) or on again, for a
    // test that wants its clients in before the network turns bad.
    void setLossy(bool lossy) { lossy_ = lossy; }

    NetRelayCounts toServer() const;
    NetRelayCounts toClients() const;

private:
    struct Link;
    struct Held;
    void run();

    NetRelayConfig config_;
    std::vector<Link> links_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> lossy_{true};
    std::thread thread_;
    mutable std::mutex countsMutex_;
    NetRelayCounts toServer_;
    NetRelayCounts toClients_;
};
