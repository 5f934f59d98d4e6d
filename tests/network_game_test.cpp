// The game itself, headless, in a network match on 127.0.0.1: as a client
// of a real NetServer it joins and plays, is refused, loses the server or
// sees it stop, each with its status and box; with --host it runs the
// server and plays in it, and fails cleanly on a port that is taken. The
// replay tool plays a script against a turfwar-server process. Every wait
// is bounded in real time.

#include "app/error_box.h"
#include "app/game.h"
#include "app/headless_platform.h"
#include "app/network_play.h"

#include "game_folder.h"
#include "net_rig.h"
#include "tool_runner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <arpa/inet.h>
#include <poll.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>

namespace {

// A UDP socket bound on address to a port the system picks, without
// SO_REUSEADDR so that no other socket may share it; -1 when it cannot be.
int boundUdpSocket(std::uint32_t address, std::uint16_t& port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(address);
    socklen_t size = sizeof at;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&at), &size) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(at.sin_port);
    return fd;
}

using Clock = std::chrono::steady_clock;

double distance(Vector3 a, Vector3 b) { return magnitude(subtract(a, b)); }

class NetworkGame : public ::testing::Test {
protected:
    NetworkGame()
    {
        world.settings.video.fullscreen = FullscreenChoice::No;
        world.settings.audio.mute = true;
        world.settings.network.name = "Headless";
    }
    ~NetworkGame() override
    {
        if (started_ && !finished_)
            finishTurfwar(world);
    }
    void join(std::uint16_t port)
    {
        world.settings.network.role = NetworkRole::Join;
        world.settings.network.joinHost = "127.0.0.1";
        world.settings.network.port = port;
    }
    int start()
    {
        startedAt_ = Clock::now();
        const int status = startTurfwar(world);
        started_ = status == kExitOk;
        return status;
    }
    // One frame with the platform's clock at the real one (the server runs
    // in real time); false once the game has ended.
    bool frame()
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        platform.setTicks(static_cast<std::uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - startedAt_).count()));
        for (;;) {
            if (world.quitRequested)
                return false;
            switch (runLoopPass(world)) {
            case LoopPass::Quit: return false;
            case LoopPass::FrameRun: return !world.quitRequested;
            case LoopPass::MessageHandled: break;
            }
        }
    }
    // Frames until done() (true) or the game ends or seconds pass (false);
    // between frames, each() if given.
    bool playUntil(const std::function<bool()>& done, double seconds, const std::function<void()>& each = {})
    {
        const auto until = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < until) {
            if (done())
                return true;
            if (!frame())
                return done();
            if (each)
                each();
        }
        return done();
    }
    // Frames until the game ends by itself, at most seconds; its status, or -1.
    int playToEnd(double seconds, const std::function<void()>& each = {})
    {
        const auto until = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < until) {
            if (!frame())
                return finish();
            if (each)
                each();
        }
        return -1;
    }
    int finish()
    {
        finished_ = true;
        return finishTurfwar(world);
    }
    bool showing() const { return world.network.session.showing(); }
    // The own player as the server's newest snapshot has it.
    std::optional<Vector3> serverPosition() const
    {
        const auto& snapshots = world.network.session.client().snapshots();
        const int place = world.network.session.place();
        if (snapshots.empty() || place < 0 || static_cast<std::size_t>(place) >= snapshots.back().players.size())
            return std::nullopt;
        return snapshots.back().players[static_cast<std::size_t>(place)].position;
    }
    // Holds forward until the server has the own player moved more than units.
    bool walksOnTheServer(double units, double seconds)
    {
        std::optional<Vector3> from;
        platform.setKeyDown(Key::W, true);
        const bool moved = playUntil(
            [&] {
                const std::optional<Vector3> now = serverPosition();
                if (!from)
                    from = now;
                return from && now && distance(*from, *now) > units;
            },
            seconds);
        platform.setKeyDown(Key::W, false);
        return moved;
    }
    std::string boxTexts() const
    {
        std::string all;
        for (const RecordedMessageBox& box : platform.messageBoxes())
            all += box.text + "\n";
        return all;
    }

    GameFolder folder;
    HeadlessPlatform platform;
    World world{platform};

private:
    Clock::time_point startedAt_;
    bool started_ = false;
    bool finished_ = false;
};

NetServerConfig shortMatch()
{
    NetServerConfig c = serverConfig();
    c.bots = 2;
    c.rules.rounds = 1;
    c.rules.roundSeconds = 60.0f;
    return c;
}

TEST_F(NetworkGame, JoinsAServerPlaysItsPlaceAndSaysGoodbyeOnLeaving)
{
    ServerThread server(shortMatch());
    join(server.server.port());
    ASSERT_EQ(start(), kExitOk) << boxTexts();
    ASSERT_TRUE(world.network.active);
    ASSERT_TRUE(playUntil([&] { return showing(); }, 10.0)) << boxTexts();

    const int place = world.network.session.place();
    ASSERT_GE(place, 0);
    EXPECT_TRUE(server.server.status().personAt[static_cast<std::size_t>(place)]);
    ASSERT_TRUE(world.sim.match.has_value()) << "the server's match is the world's";
    EXPECT_EQ(world.sim.players.size(), 2u);
    EXPECT_EQ(world.localPlayers, 1);

    EXPECT_TRUE(walksOnTheServer(3.0, 8.0)) << "holding W moves this player in the server's world";
    // The view and the camera follow the place the server gave.
    const Vector3 own = world.sim.players[static_cast<std::size_t>(place)].body.position;
    EXPECT_LT(distance(world.cameras[0].followPoint, own), 1.0);

    // The pause menu holds nothing still: the server's ticks go on showing.
    platform.setKeyDown(Key::Escape, true);
    frame();
    platform.setKeyDown(Key::Escape, false);
    ASSERT_EQ(world.menus.screen, MatchScreen::Pause);
    ASSERT_EQ(world.menus.menu.items.size(), 2u);
    EXPECT_EQ(world.menus.menu.items[0].label, "Resume");
    EXPECT_EQ(world.menus.menu.items[1].label, "Quit");
    const std::uint32_t shown = world.network.session.shownTick();
    EXPECT_TRUE(playUntil([&] { return world.network.session.shownTick() > shown + kServerTickRate / 2; }, 5.0));
    EXPECT_EQ(world.menus.screen, MatchScreen::Pause);

    // Closing the window leaves at once: the place is a bot's again long
    // before the server's 5 s of silence would have freed it.
    platform.requestClose();
    EXPECT_FALSE(frame());
    EXPECT_EQ(finish(), kExitOk);
    EXPECT_TRUE(waitForStatus(server.server, [](const NetServerStatus& s) { return s.people == 0; }, 2.0));
    EXPECT_TRUE(platform.messageBoxes().empty()) << boxTexts();
}

TEST_F(NetworkGame, AWrongPasswordIsRefusedWithTheReasonAndStatus5)
{
    NetServerConfig config = shortMatch();
    config.password = "letmein";
    ServerThread server(config);
    join(server.server.port());
    world.settings.network.password = "guess";
    ASSERT_EQ(start(), kExitOk);
    EXPECT_EQ(playToEnd(10.0), kExitRefused);
    // On screen in the frame it came in, then in the box.
    EXPECT_EQ(world.network.endText, refusalText(RefusalReason::WrongPassword));
    ASSERT_EQ(platform.messageBoxes().size(), 1u);
    EXPECT_EQ(platform.messageBoxes()[0].text, refusalText(RefusalReason::WrongPassword));
    EXPECT_EQ(server.server.status().people, 0);
}

TEST_F(NetworkGame, AServerThatFallsSilentIsALostConnectionWithStatus4)
{
    // Stepped here, so the test can stop it answering without a Goodbye,
    // as a server that hangs or whose machine drops off the network.
    NetServer server(shortMatch());
    std::string reason;
    ASSERT_TRUE(server.open(reason)) << reason;
    const auto opened = Clock::now();
    bool answering = true;
    const auto serve = [&] {
        if (answering)
            server.update(std::chrono::duration<double>(Clock::now() - opened).count());
    };
    join(server.port());
    ASSERT_EQ(start(), kExitOk);
    ASSERT_TRUE(playUntil([&] { return showing(); }, 10.0, serve)) << boxTexts();

    answering = false;
    const auto silent = Clock::now();
    EXPECT_EQ(playToEnd(kDefaultPeerTimeoutMs / 1000.0 + 5.0), kExitConnectionLost);
    const double waited = std::chrono::duration<double>(Clock::now() - silent).count();
    EXPECT_GE(waited, 1.0) << "a short silence is no loss";
    ASSERT_EQ(platform.messageBoxes().size(), 1u);
    EXPECT_EQ(platform.messageBoxes()[0].text, kConnectionLostText);
    EXPECT_EQ(world.network.endText, kConnectionLostText);
}

TEST_F(NetworkGame, AServerThatStopsEndsTheGameWithItsMessageAndStatus4)
{
    ServerThread server(shortMatch());
    join(server.server.port());
    ASSERT_EQ(start(), kExitOk);
    ASSERT_TRUE(playUntil([&] { return showing(); }, 10.0)) << boxTexts();
    server.finish();  // Goodbye to every client
    EXPECT_EQ(playToEnd(5.0), kExitConnectionLost);
    ASSERT_EQ(platform.messageBoxes().size(), 1u);
    EXPECT_EQ(platform.messageBoxes()[0].text, kServerStoppedText);
}

TEST_F(NetworkGame, NoServerAtTheAddressIsANetworkFailureWithStatus6)
{
    // A port nothing listens on: the game connects until ENet gives up.
    std::uint16_t port = 0;
    const int probe = boundUdpSocket(INADDR_LOOPBACK, port);
    ASSERT_GE(probe, 0);
    ::close(probe);
    join(port);
    ASSERT_EQ(start(), kExitOk);
    bool connectingShown = false;
    EXPECT_EQ(playToEnd(kDefaultPeerTimeoutMs / 1000.0 + 10.0,
                        [&] { connectingShown = connectingShown || (!showing() && world.network.endText.empty()); }),
              kExitNetworkFailed);
    EXPECT_TRUE(connectingShown);
    ASSERT_EQ(platform.messageBoxes().size(), 1u);
    EXPECT_NE(platform.messageBoxes()[0].text.find("No answer from 127.0.0.1:"), std::string::npos);
}

TEST_F(NetworkGame, HostingRunsTheServerInTheGameAndPlaysAMatchInIt)
{
    world.settings.network.role = NetworkRole::Host;
    world.settings.network.anyPort = true;
    world.settings.match.bots = 1;
    world.settings.match.rounds = 1;
    world.settings.network.password = "ours";
    ASSERT_EQ(start(), kExitOk) << boxTexts();
    ASSERT_NE(world.network.hosted, nullptr);
    ASSERT_TRUE(playUntil([&] { return showing(); }, 10.0)) << boxTexts();
    const NetServerStatus status = world.network.hosted->server.status();
    EXPECT_EQ(status.people, 1);
    EXPECT_EQ(status.places, 2) << "the host and one bot";
    ASSERT_TRUE(world.sim.match.has_value());
    EXPECT_EQ(world.sim.match->rules.rounds, 1);
    EXPECT_TRUE(walksOnTheServer(3.0, 8.0));

    // Another client can join the host's server, with the password.
    NetClientConfig other = clientConfig(world.network.hosted->server.port(), "Guest");
    other.hello.password = "ours";
    NetClient guest;
    std::string reason;
    ASSERT_TRUE(guest.connect(other, reason)) << reason;
    EXPECT_TRUE(playUntil([&] { return joined(guest); }, 5.0, [&] { guest.service(0); }));
    guest.leave(500);

    platform.requestClose();
    frame();
    EXPECT_EQ(finish(), kExitOk);
    EXPECT_EQ(world.network.hosted, nullptr) << "the server stops with the game";
}

TEST_F(NetworkGame, HostingOnATakenPortFailsCleanlyWithStatus6)
{
    std::uint16_t port = 0;
    const int taken = boundUdpSocket(INADDR_ANY, port);
    ASSERT_GE(taken, 0);
    world.settings.network.role = NetworkRole::Host;
    world.settings.network.port = port;
    EXPECT_EQ(start(), kExitNetworkFailed);
    ::close(taken);
    ASSERT_EQ(platform.messageBoxes().size(), 1u);
    EXPECT_NE(platform.messageBoxes()[0].text.find("Cannot host"), std::string::npos) << boxTexts();
    EXPECT_FALSE(platform.windowOpen());
    EXPECT_EQ(world.network.hosted, nullptr);
}

// A program of ours as its own process, its standard output read line by line.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv)
    {
        int out[2];
        if (::pipe(out) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            ::close(out[1]);
            std::vector<char*> args;
            for (const std::string& a : argv)
                args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        ::close(out[1]);
        out_ = out[0];
    }
    ~ChildProcess()
    {
        stop(SIGTERM);
        if (out_ >= 0)
            ::close(out_);
    }
    // The next line it writes within seconds, without its newline.
    std::optional<std::string> line(double seconds)
    {
        const auto until = Clock::now() + std::chrono::duration<double>(seconds);
        for (;;) {
            if (const std::size_t end = buffer_.find('\n'); end != std::string::npos) {
                std::string l = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return l;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
            if (left <= 0 || out_ < 0)
                return std::nullopt;
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0)
                return std::nullopt;
            char chunk[512];
            const ssize_t n = ::read(out_, chunk, sizeof chunk);
            if (n <= 0)
                return std::nullopt;
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }
    // The first line within seconds that holds text.
    std::optional<std::string> lineWith(const std::string& text, double seconds)
    {
        const auto until = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < until) {
            const std::optional<std::string> l =
                line(std::chrono::duration<double>(until - Clock::now()).count());
            if (!l)
                return std::nullopt;
            if (l->find(text) != std::string::npos)
                return l;
        }
        return std::nullopt;
    }
    // The signal, then at most 5 s for it to end before SIGKILL; its raw wait status.
    int stop(int signo)
    {
        if (pid_ <= 0)
            return status_;
        ::kill(pid_, signo);
        for (int i = 0; i < 500; ++i) {
            if (::waitpid(pid_, &status_, WNOHANG) == pid_) {
                pid_ = -1;
                return status_;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status_, 0);
        pid_ = -1;
        return status_;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int status_ = -1;
    std::string buffer_;
};

// turfwar-server on a port it picks, read from its listening line
// ("turfwar-server: listening on UDP port N with 2 places").
struct ServerProcess {
    ServerProcess()
        : process({TURFWAR_BINARY_DIR "/turfwar-server", "--port", "0", "--bind", "127.0.0.1", "--bots", "2",
                   "--data", TURFWAR_BINARY_DIR "/game"})
    {
        if (const std::optional<std::string> l = process.lineWith("listening on UDP port ", 10.0))
            port = std::atoi(l->c_str() + l->find("UDP port ") + 9);
    }
    ChildProcess process;
    int port = 0;
};

TEST(NetworkReplay, TheReplayToolPlaysAScriptAsAClientOfTheServerTool)
{
    ServerProcess server;
    ASSERT_GT(server.port, 0);
    const std::string args = "- --data " TURFWAR_BINARY_DIR "/game --connect 127.0.0.1:" +
                             std::to_string(server.port) + " --name Scripted";
    // 1.5 s to join and see the match, 2 s walking.
    const ToolResult r = runTool("turfwar-replay", args, "tick 20\nrun 75\nstate\npress W\nrun 100\nstate\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto states = stateLines(r.out);
    ASSERT_EQ(states.size(), 2u);
    for (const nlohmann::json& state : states) {
        ASSERT_TRUE(state.contains("network")) << state.dump();
        EXPECT_EQ(state["network"]["client"], true);
        EXPECT_EQ(state["network"]["state"], "Joined");
        EXPECT_GE(state["network"]["place"].get<int>(), 0);
        ASSERT_TRUE(state.contains("match"));
        EXPECT_EQ(state["match"]["players"].size(), 2u);
        EXPECT_EQ(state["players"].size(), 2u);
    }
    EXPECT_GT(states[1]["network"]["shownTick"].get<int>(), states[0]["network"]["shownTick"].get<int>());

    // A bad address is a bad command line; nothing listening is no answer.
    EXPECT_EQ(runTool("turfwar-replay", "- --connect 127.0.0.1:0", "run 1\n").status, 2);
    EXPECT_EQ(runTool("turfwar-replay", "- --name Alone", "run 1\n").status, 2);
}

// Stopped by SIGTERM, a client says goodbye: the server hears it leave at
// once, not after its 5 s of silence.
TEST(NetworkReplay, AClientStoppedBySigtermSaysGoodbye)
{
    ServerProcess server;
    ASSERT_GT(server.port, 0);
    GameFolder folder;
    const std::string script = (folder.path() / "long.txt").string();
    std::ofstream(script) << "tick 20\nrun 1500\n";  // 30 s, far more than the test waits
    ChildProcess client({TURFWAR_BINARY_DIR "/turfwar-replay", script, "--data", TURFWAR_BINARY_DIR "/game",
                         "--connect", "127.0.0.1:" + std::to_string(server.port), "--name", "Stopped"});
    ASSERT_TRUE(server.process.lineWith("Stopped joined", 10.0));
    const int status = client.stop(SIGTERM);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
    EXPECT_TRUE(server.process.lineWith("Stopped left", 2.0)) << "a Goodbye, not a timeout";
}

}  // namespace
