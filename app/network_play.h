#pragma once
// The game as a player of a network match (--host or --connect): one local
// player, whose frame goes through a ClientSession instead of stepping the
// world here. The views, the HUD, the sound and the cameras follow the
// place the server gave (viewedPlayer). With --host the game also runs the
// NetServer, on a thread of its own, and joins it on 127.0.0.1; the
// server's world and the client's are separate ODE worlds, each stepped
// only on its own thread.
//
// A match that cannot go on ends the game with a line on screen and a box:
// refused (kExitRefused), lost after joining or stopped by the server
// (kExitConnectionLost), or never answered, an address that cannot be used,
// a port that cannot be hosted on (kExitNetworkFailed). Leaving the game
// says Goodbye to the server.

#include "net/client_session.h"
#include "net/server.h"
#include "sim/player_command.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <thread>

struct World;

inline constexpr int kExitConnectionLost = 4;  // the server went silent (5 s) or stopped
inline constexpr int kExitRefused = 5;         // the server would not let us in
inline constexpr int kExitNetworkFailed = 6;   // no answer, an unusable address, a port we cannot host on

inline constexpr const char* kConnectionLostText = "Connection lost";
inline constexpr const char* kServerStoppedText = "The server stopped";

// The server --host runs, on a thread of its own; stopped (Goodbye to
// every client) and joined when it goes.
struct HostedServer {
    explicit HostedServer(NetServerConfig config) : server(std::move(config)) {}
    ~HostedServer();
    HostedServer(const HostedServer&) = delete;
    HostedServer& operator=(const HostedServer&) = delete;
    // Opens the server and starts its thread; false with reason.
    bool start(std::string& reason);
    void stop();

    NetServer server;
    std::atomic<bool> stopRequested{false};
    std::thread thread;
};

struct NetworkPlay {
    bool active = false;           // a network match: frames go through the session
    ClientSession session;
    std::unique_ptr<HostedServer> hosted;
    std::string address;           // "HOST:PORT", as the player is told while connecting
    std::string endText;           // why the match ended, on screen from the frame it did
    bool boxDue = false;           // endText still to be shown in a box after the frame
    bool joined = false;           // welcomed at some time
    int exitStatus = 0;            // the game's, once the match has ended
};

// After initGame, before the window shows: hosts (--host) and connects.
// False when the game cannot go on: the box has been shown and
// world.network.exitStatus says why. Without --host or --connect, true and
// nothing happens.
bool startNetworkPlay(World& world);
// The frame's network part: the own command sent, the world set to what
// the server shows, the server's events in world.events. Notices the end of
// the match and sets what to show.
void networkFrame(World& world, const PlayerCommand& own, float dt);
// After the frame was drawn: the box for the end of the match, then the game ends.
void afterNetworkFrame(World& world);
// Over the views: "Connecting to HOST:PORT..." or why the match ended.
void drawNetworkText(World& world);
// Goodbye to the server; the hosted server stopped. Safe to call twice.
void stopNetworkPlay(World& world);

// The world's player view `view` shows: the session's place in network
// play (once the server gave one), else the view's own local player.
std::size_t viewedPlayer(const World& world, std::size_t view);
