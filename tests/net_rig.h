#pragma once
// What the network tests share: the game folder's car and model, a server
// listening on 127.0.0.1 on a port ENet picks (so tests in parallel cannot
// clash), clients for it, and bounded waits.

#include "net/client.h"
#include "net/server.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

inline const std::string kNetGame = TURFWAR_BINARY_DIR "/game/";

inline std::uint64_t carHash()
{
    std::ifstream in(kNetGame + "car.txt", std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return gameDataHash(bytes);
}

inline NetServerConfig serverConfig()
{
    NetServerConfig c;
    c.bindAddress = "127.0.0.1";
    c.port = 0;
    c.bots = 4;
    c.carFile = kNetGame + "car.txt";
    c.modelFile = kNetGame + "data\\model.ms3d";
    return c;
}

// A server running in its own thread, stopped and joined on the way out.
struct ServerThread {
    explicit ServerThread(NetServerConfig config) : server(std::move(config))
    {
        std::string reason;
        if (!server.open(reason))
            throw std::runtime_error(reason);
        thread = std::thread([this] { server.run(stopRequested); });
    }
    ~ServerThread() { finish(); }
    void finish()
    {
        stopRequested = true;
        if (thread.joinable())
            thread.join();
    }
    NetServer server;
    std::atomic<bool> stopRequested{false};
    std::thread thread;
};

inline NetClientConfig clientConfig(std::uint16_t port, const std::string& name = "Tester")
{
    NetClientConfig c;
    c.port = port;
    c.hello.name = name;
    c.hello.gameDataHash = carHash();
    return c;
}

// Services the clients (sending each an input a frame, when asked) until
// done() or seconds of real time; true when done.
inline bool pumpUntil(std::vector<NetClient*> clients, const std::function<bool()>& done, double seconds,
                      bool sendInputs = false)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
        for (NetClient* c : clients) {
            c->service(2);
            if (sendInputs)
                c->sendInput(NetInput{.buttons = kInputForward, .lookYawTotal = 0});
        }
        if (done())
            return true;
    }
    return done();
}

inline bool joined(const NetClient& c) { return c.state() == NetClientState::Joined; }

inline bool waitForStatus(const NetServer& server, const std::function<bool(const NetServerStatus&)>& done,
                          double seconds)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
        if (done(server.status()))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done(server.status());
}
