#pragma once
// What the network tests share: the game folder's car and model, a server
// listening on 127.0.0.1 on a port ENet picks (so tests in parallel cannot
// clash), clients for it, and bounded waits.

#include "net/client.h"
#include "net/client_session.h"
#include "net/server.h"
#include "sim_rig.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <span>
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

// A plain UDP socket sending datagrams to a port on 127.0.0.1, as anything
// on the network may, ENet or not.
class LoopbackDatagrams {
public:
    explicit LoopbackDatagrams(std::uint16_t port) : fd_(::socket(AF_INET, SOCK_DGRAM, 0))
    {
        if (fd_ < 0)
            throw std::runtime_error("no UDP socket");
        to_.sin_family = AF_INET;
        to_.sin_port = htons(port);
        to_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    ~LoopbackDatagrams() { ::close(fd_); }
    LoopbackDatagrams(const LoopbackDatagrams&) = delete;
    LoopbackDatagrams& operator=(const LoopbackDatagrams&) = delete;

    void send(std::span<const std::uint8_t> bytes) const
    {
        ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to_), sizeof to_);
    }

private:
    int fd_;
    sockaddr_in to_{};
};

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

// A client played by a bot: its NetClient's newest snapshot is applied to a
// world of its own, a bot of its own thinks on that world for the client's
// place, and the command goes to the server as the frame's input, as a
// person's would. No prediction: the bot sees the world as the server last
// said it was, a little late, as a person on a slow line does.
struct BotClient {
    SimWorld world;
    ModelMs3d model;
    NetClient client;
    BotSet bots;
    InputTotals totals;
    BotLevel level = kDefaultBotLevel;
    std::uint64_t seed = 1;
    std::uint32_t appliedTick = 0;
    int snapshotsApplied = 0;
    int eventsSeen = 0;  // the server's events, taken each frame (a person's game shows them)
    std::vector<PlayerCommand> commands;

    // One frame of dt seconds: the network serviced, the newest snapshot
    // applied, the bot's command sent. Nothing before the welcome.
    void frame(float dt)
    {
        client.service(0);
        for (const EventsMessage& m : client.takeEvents())
            eventsSeen += static_cast<int>(m.events.size());
        if (client.state() != NetClientState::Joined || !client.welcome())
            return;
        const std::deque<WorldSnapshot>& snapshots = client.snapshots();
        if (!snapshots.empty() && snapshots.back().tick != appliedTick) {
            const WorldSnapshot& newest = snapshots.back();
            // The world grows with the server's (a match afresh for every place).
            if (newest.players.size() > world.players.size())
                addSimPlayers(world, static_cast<int>(newest.players.size()), model);
            applySnapshot(newest, kServerTickSeconds, world);
            appliedTick = newest.tick;
            ++snapshotsApplied;
        }
        if (snapshotsApplied == 0)
            return;
        const int place = client.welcome()->player;
        if (bots.bots.empty()) {
            Bot bot;
            bot.player = place;
            bot.level = level;
            bot.random = BotRandom(seed);
            bots.bots.push_back(bot);
        }
        commands.assign(world.players.size(), PlayerCommand{});
        thinkBots(bots, world, dt, commands);
        if (static_cast<std::size_t>(place) < commands.size())
            totals.add(commands[static_cast<std::size_t>(place)]);
        client.sendInput(totals.input, dt);
    }
};

// A bot client with the game folder's world, connecting with config.
inline std::unique_ptr<BotClient> makeBot(const NetClientConfig& config, std::uint64_t seed, std::string& reason,
                                          BotLevel level = kDefaultBotLevel)
{
    auto bot = std::make_unique<BotClient>();
    bot->level = level;
    bot->seed = seed;
    if (!buildSimRig(bot->world, bot->model, 1, reason, kNetGame) || !bot->client.connect(config, reason))
        return nullptr;
    return bot;
}
