#include "app/network_play.h"

#include "app/error_box.h"
#include "app/world.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

// The car file every car is built from, as the server checks it.
constexpr const char* kCarFileName = "car.txt";
constexpr const char* kModelFileName = "data\\model.ms3d";

std::uint64_t carFileHash()
{
    std::ifstream in(kCarFileName, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return gameDataHash(bytes);
}

NetServerConfig hostConfig(const Settings& settings)
{
    NetServerConfig c;
    c.port = settings.network.anyPort ? 0 : static_cast<std::uint16_t>(settings.network.port);
    c.password = settings.network.password;
    // The host's own place is one of the server's first; bots take the rest
    // as [match] says ("auto": one, so the host has an opponent).
    c.bots = 1 + std::clamp(settings.match.bots.value_or(1), 0, kMaxPlayers - 1);
    c.rules = settings.match.rules();
    c.seed = static_cast<std::uint64_t>(settings.match.seed);
    c.botLevel = settings.match.botLevel;
    c.carFile = kCarFileName;
    c.modelFile = kModelFileName;
    // The server's lines name no password (it logs joins, leaves and results).
    c.log = [](const std::string& line) { std::fprintf(stderr, "turfwar: server: %s\n", line.c_str()); };
    return c;
}

// Ends the match with text on screen, then in a box after the frame.
void endMatch(NetworkPlay& network, std::string text, int status)
{
    network.endText = std::move(text);
    network.boxDue = true;
    network.exitStatus = status;
}

}  // namespace

HostedServer::~HostedServer() { stop(); }

bool HostedServer::start(std::string& reason)
{
    if (!server.open(reason))
        return false;
    thread = std::thread([this] { server.run(stopRequested); });
    return true;
}

void HostedServer::stop()
{
    stopRequested = true;
    if (thread.joinable())
        thread.join();
}

bool startNetworkPlay(World& world)
{
    NetworkPlay& network = world.network;
    const NetworkSettings& settings = world.settings.network;
    if (settings.role == NetworkRole::None)
        return true;
    network.active = true;
    if (!startNetworking()) {
        network.exitStatus = kExitNetworkFailed;
        showErrorBox("The network cannot be started");
        return false;
    }
    NetClientConfig client;
    client.port = static_cast<std::uint16_t>(settings.port);
    client.host = settings.joinHost;
    if (settings.role == NetworkRole::Host) {
        network.hosted = std::make_unique<HostedServer>(hostConfig(world.settings));
        std::string reason;
        if (!network.hosted->start(reason)) {
            network.hosted.reset();
            network.exitStatus = kExitNetworkFailed;
            showErrorBox("Cannot host a network match: %s", reason.c_str());
            return false;
        }
        client.host = "127.0.0.1";
        client.port = network.hosted->server.port();
    }
    client.hello.name = settings.name;
    client.hello.password = settings.password;
    client.hello.gameDataHash = carFileHash();
    client.timeoutMs = kDefaultPeerTimeoutMs;
    network.address = client.host + ":" + std::to_string(client.port);
    std::string reason;
    if (!network.session.connect(client, reason)) {
        network.exitStatus = kExitNetworkFailed;
        showErrorBox("Cannot connect to %s: %s", network.address.c_str(), reason.c_str());
        return false;
    }
    return true;
}

void networkFrame(World& world, const PlayerCommand& own, float dt)
{
    NetworkPlay& network = world.network;
    if (!network.endText.empty())
        return;  // ended: the world stays as it was last shown
    network.session.frame(own, dt, world.sim, world.events);
    switch (network.session.state()) {
    case NetClientState::Joined:
        network.joined = true;
        break;
    case NetClientState::Refused: {
        const std::optional<RefusalReason> reason = network.session.client().refusal();
        endMatch(network, reason ? refusalText(*reason) : "The server refused to let us in", kExitRefused);
        break;
    }
    case NetClientState::Ended:
        endMatch(network, kServerStoppedText, kExitConnectionLost);
        break;
    case NetClientState::Lost:
        // Lost before any welcome is a server that never answered.
        if (network.joined)
            endMatch(network, kConnectionLostText, kExitConnectionLost);
        else
            endMatch(network, "No answer from " + network.address, kExitNetworkFailed);
        break;
    case NetClientState::Idle:
    case NetClientState::Connecting: break;
    }
}

void afterNetworkFrame(World& world)
{
    NetworkPlay& network = world.network;
    if (!network.boxDue)
        return;
    network.boxDue = false;
    world.platform.setCursorVisible(true);
    showErrorBox("%s", network.endText.c_str());
    world.quitRequested = true;
}

void drawNetworkText(World& world)
{
    const NetworkPlay& network = world.network;
    if (!network.active || !world.text.loaded() || world.window.width <= 0 || world.window.height <= 0)
        return;
    std::string line;
    if (!network.endText.empty())
        line = network.endText;
    else if (!network.session.showing())
        line = "Connecting to " + network.address + "...";
    if (line.empty())
        return;
    const TextPass pass(0, 0, world.window.width, world.window.height);
    const float height = std::max(14.0f, static_cast<float>(world.window.height) * 0.06f);
    const float x = (static_cast<float>(world.window.width) - world.text.width(line, height)) * 0.5f;
    const float y = static_cast<float>(world.window.height) * 0.45f;
    world.text.draw(line, x + 2.0f, y + 2.0f, height, {0.0f, 0.0f, 0.0f, 0.7f});
    world.text.draw(line, x, y, height, {1.0f, 1.0f, 1.0f, 1.0f});
}

void stopNetworkPlay(World& world)
{
    NetworkPlay& network = world.network;
    if (!network.active)
        return;
    const NetClientState state = network.session.state();
    if (state == NetClientState::Joined || state == NetClientState::Connecting)
        network.session.leave();
    if (network.hosted) {
        network.hosted->stop();
        network.hosted.reset();
    }
}

std::size_t viewedPlayer(const World& world, std::size_t view)
{
    const int place = world.network.session.place();
    if (world.network.active && place >= 0 && static_cast<std::size_t>(place) < world.sim.players.size())
        return static_cast<std::size_t>(place);
    return view;
}
