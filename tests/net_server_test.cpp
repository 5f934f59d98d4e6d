// The dedicated server and the headless client over ENet on loopback: joins
// and refusals, a whole match played by bots with two people connected, what
// the server does with garbage and with clients that flood or vanish, its
// record stepped again to the same world, and turfwar-server as a process.
// Every server listens on 127.0.0.1 on a port ENet picks, so tests in
// parallel cannot clash; every wait is bounded.

#include "image_test_support.h"
#include "net/match_record.h"
#include "net_rig.h"
#include "sim_rig.h"
#include "tool_runner.h"

#include <enet/enet.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <spawn.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

TEST(NetServer, TwoPeopleJoinPlayAMatchWithBotsToItsEndAndTheRecordReplaysToTheSameWorld)
{
    std::stringstream record;
    NetServerConfig config = serverConfig();
    config.rules.rounds = 1;
    config.rules.roundSeconds = 15.0f;
    config.rules.respawnSeconds = 1.0f;
    config.record = &record;
    config.bots = 2;
    config.peersPerAddress = 3;  // three people on this one machine
    // Faster than real time, so the match (and any sudden death) ends in a
    // few seconds of the test's time.
    config.speed = 12.0f;
    ServerThread rig(config);

    NetClient red, blue;
    std::string reason;
    ASSERT_TRUE(red.connect(clientConfig(rig.server.port(), "Red one"), reason)) << reason;
    ASSERT_TRUE(pumpUntil({&red}, [&] { return joined(red); }, 5.0));
    ASSERT_TRUE(blue.connect(clientConfig(rig.server.port(), "Blue\x01 one"), reason)) << reason;
    ASSERT_TRUE(pumpUntil({&red, &blue}, [&] { return joined(blue) && red.rostersReceived() >= 2; }, 5.0));

    // Each took a bot's place, one a team.
    ASSERT_TRUE(red.welcome() && blue.welcome());
    EXPECT_EQ(red.welcome()->player % kTeamCount, 0);
    EXPECT_EQ(blue.welcome()->player % kTeamCount, 1);
    EXPECT_EQ(red.welcome()->playerCount, 2);
    EXPECT_EQ(blue.welcome()->rounds, 1);
    ASSERT_TRUE(red.roster());
    EXPECT_EQ(red.roster()->players.size(), 2u);

    // A third person finds every place a person's: the world grows by one,
    // and the place goes back to a bot when they leave.
    NetClient visitor;
    ASSERT_TRUE(visitor.connect(clientConfig(rig.server.port(), "Visitor"), reason)) << reason;
    ASSERT_TRUE(pumpUntil({&red, &blue, &visitor}, [&] { return joined(visitor) && red.rostersReceived() >= 3; }, 5.0));
    EXPECT_EQ(visitor.welcome()->player, 2);
    EXPECT_EQ(visitor.welcome()->playerCount, 3);
    pumpUntil({&red, &blue, &visitor}, [] { return false; }, 0.3, true);
    visitor.leave();
    ASSERT_TRUE(pumpUntil({&red, &blue}, [&] { return red.rostersReceived() >= 4 && blue.rostersReceived() >= 3; }, 5.0));
    const auto& players = red.roster()->players;
    ASSERT_EQ(players.size(), 3u);
    EXPECT_FALSE(players[red.welcome()->player].bot);
    EXPECT_EQ(players[red.welcome()->player].name, "Red one");
    EXPECT_EQ(players[blue.welcome()->player].name, "Blue one");  // the control byte taken out
    EXPECT_TRUE(players[2].bot);
    EXPECT_NE(players[2].name, "Visitor");

    // Both see the match end in their events, and snapshots keep coming.
    bool redSaw = false, blueSaw = false;
    const auto sawEnd = [](NetClient& c, bool& saw) {
        for (const EventsMessage& m : c.takeEvents())
            for (const StepEvent& e : m.events)
                saw = saw || e.kind == StepEventKind::MatchEnded;
    };
    EXPECT_TRUE(pumpUntil(
        {&red, &blue},
        [&] {
            sawEnd(red, redSaw);
            sawEnd(blue, blueSaw);
            return redSaw && blueSaw;
        },
        60.0, true));
    EXPECT_TRUE(redSaw);
    EXPECT_TRUE(blueSaw);
    EXPECT_GT(red.snapshotsReceived(), 10);
    ASSERT_FALSE(red.snapshots().empty());
    EXPECT_EQ(red.snapshots().back().tick % kSnapshotInterval, 0u);
    // The status is published after the tick whose events went out.
    EXPECT_TRUE(waitForStatus(rig.server, [](const NetServerStatus& st) { return st.matchesFinished >= 1; }, 2.0));

    // Stopping says Goodbye to both.
    rig.finish();
    EXPECT_TRUE(pumpUntil({&red, &blue}, [&] { return red.goodbyeReceived() && blue.goodbyeReceived(); }, 3.0));

    // The record, stepped through a fresh world, reaches the server's world exactly.
    SimWorld replayed;
    ModelMs3d model;
    ASSERT_TRUE(buildSimRig(replayed, model, 1, reason, kNetGame)) << reason;
    MatchRecordHeader header;
    long long frames = 0;
    const std::string recorded = record.str();
    EXPECT_NE(recorded.find("\ngrow 3\n"), std::string::npos);
    EXPECT_NE(recorded.find("\nvacate 2\n"), std::string::npos);
    ASSERT_TRUE(replayMatchRecord(record, replayed, model, header, frames, reason)) << reason;
    const SimWorld& served = rig.server.world();
    EXPECT_EQ(frames, static_cast<long long>(rig.server.tick()));
    EXPECT_EQ(header.rules.rounds, 1);
    ASSERT_EQ(replayed.players.size(), served.players.size());
    for (std::size_t i = 0; i < served.players.size(); ++i) {
        EXPECT_EQ(std::memcmp(&replayed.players[i].body.position, &served.players[i].body.position, sizeof(Vector3)), 0)
            << "player " << i;
        EXPECT_EQ(replayed.players[i].body.yaw, served.players[i].body.yaw);
        EXPECT_EQ(replayed.players[i].body.inCar, served.players[i].body.inCar);
    }
    for (int c = 0; c < kCarCount; ++c)
        for (int part = 0; part < kCarPartCount; ++part) {
            const Vector3 a = replayed.cars[c].partPosition(part), b = served.cars[c].partPosition(part);
            EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << "car " << c << " part " << part;
        }
    ASSERT_TRUE(replayed.match && served.match);
    EXPECT_EQ(replayed.match->scores, served.match->scores);
    EXPECT_EQ(replayed.match->phase, served.match->phase);
    EXPECT_EQ(replayed.match->clock, served.match->clock);
}

TEST(NetServer, RefusesAWrongPasswordVersionOrGameDataWithTheReasonAndLetsTheRightOneIn)
{
    NetServerConfig config = serverConfig();
    config.password = "sesame";
    ServerThread rig(config);
    std::string reason;

    struct Case {
        std::string password;
        std::uint16_t version;
        std::uint64_t hash;
        RefusalReason reason;
    };
    const std::uint64_t hash = carHash();
    for (const Case& c : {Case{"open up", kProtocolVersion, hash, RefusalReason::WrongPassword},
                          Case{"", kProtocolVersion, hash, RefusalReason::WrongPassword},
                          Case{"sesame", static_cast<std::uint16_t>(kProtocolVersion + 1), hash, RefusalReason::WrongVersion},
                          Case{"sesame", kProtocolVersion, hash ^ 1, RefusalReason::WrongGameData}}) {
        NetClient client;
        NetClientConfig cc = clientConfig(rig.server.port());
        cc.hello.password = c.password;
        cc.hello.version = c.version;
        cc.hello.gameDataHash = c.hash;
        ASSERT_TRUE(client.connect(cc, reason)) << reason;
        EXPECT_TRUE(pumpUntil({&client}, [&] { return client.state() == NetClientState::Refused; }, 5.0));
        EXPECT_EQ(client.refusal(), c.reason);
        EXPECT_FALSE(client.welcome());
        client.leave(200);
    }
    EXPECT_EQ(rig.server.status().people, 0);

    NetClient good;
    NetClientConfig cc = clientConfig(rig.server.port(), "");
    cc.hello.password = "sesame";
    ASSERT_TRUE(good.connect(cc, reason)) << reason;
    ASSERT_TRUE(pumpUntil({&good}, [&] { return joined(good) && good.roster(); }, 5.0));
    EXPECT_EQ(good.roster()->players[good.welcome()->player].name, "Player");  // an empty name
    EXPECT_TRUE(waitForStatus(rig.server, [](const NetServerStatus& s) { return s.people == 1; }, 2.0));
    good.leave();
    EXPECT_TRUE(waitForStatus(rig.server, [](const NetServerStatus& s) { return s.people == 0; }, 3.0));
}

TEST(NetServer, GarbageDatagramsAndMalformedMessagesDropOnlyTheirSender)
{
    ServerThread rig(serverConfig());
    std::string reason;
    NetClient steady;
    ASSERT_TRUE(steady.connect(clientConfig(rig.server.port(), "Steady"), reason)) << reason;
    ASSERT_TRUE(pumpUntil({&steady}, [&] { return joined(steady); }, 5.0));

    // Random bytes at the port, from a plain UDP socket.
    {
        const LoopbackDatagrams datagrams(rig.server.port());
        std::mt19937 random(7);
        for (int i = 0; i < 300; ++i) {
            std::vector<std::uint8_t> bytes(1 + random() % 1400);
            for (auto& b : bytes)
                b = static_cast<std::uint8_t>(random());
            datagrams.send(bytes);
        }
    }

    // Connected clients sending what no client sends: each is dropped alone.
    std::vector<std::uint8_t> input;
    encodeInput({.ackedSnapshot = 0, .inputs = {NetInput{}}}, input);
    const std::vector<std::vector<std::uint8_t>> nonsense = {
        {0xff, 1, 2, 3},                                         // no such type
        std::vector<std::uint8_t>(input.begin(), input.end() - 3),  // an Input cut short
        {static_cast<std::uint8_t>(MessageType::Welcome), 0, 1},  // a server's message
        {},                                                      // empty
    };
    int dropped = 0;
    for (const auto& bytes : nonsense) {
        NetClient rogue;
        ASSERT_TRUE(rogue.connect(clientConfig(rig.server.port(), "Rogue"), reason)) << reason;
        ASSERT_TRUE(pumpUntil({&rogue, &steady}, [&] { return joined(rogue); }, 5.0));
        rogue.sendRaw(bytes, NetChannel::Input, true);
        EXPECT_TRUE(pumpUntil({&rogue, &steady}, [&] { return rogue.state() == NetClientState::Lost; }, 8.0, true));
        EXPECT_TRUE(waitForStatus(rig.server, [&](const NetServerStatus& s) { return s.clientsDropped == dropped + 1; }, 2.0));
        ++dropped;
        rogue.vanish();
    }
    // A flood of inputs is ignored past the limit, not punished.
    for (int i = 0; i < 500; ++i)
        steady.sendInput(NetInput{.buttons = kInputForward});
    EXPECT_FALSE(pumpUntil({&steady}, [&] { return !joined(steady); }, 1.0, true));
    EXPECT_TRUE(joined(steady));
    const NetServerStatus s = rig.server.status();
    EXPECT_EQ(s.people, 1);
    EXPECT_EQ(s.clientsDropped, dropped);
    const std::uint32_t before = s.tick;
    EXPECT_TRUE(waitForStatus(rig.server, [&](const NetServerStatus& now) { return now.tick > before + 20; }, 2.0));
}

TEST(NetServer, AVanishedClientsPlaceGoesBackToABotAfterTheTimeoutAnIdleOneStaysAndSilenceEndsEitherSide)
{
    NetServerConfig config = serverConfig();
    config.peerTimeoutMs = 1000;
    config.helloTimeoutMs = 500;
    ServerThread rig(config);
    std::string reason;
    NetClient gone;
    ASSERT_TRUE(gone.connect(clientConfig(rig.server.port()), reason)) << reason;
    ASSERT_TRUE(pumpUntil({&gone}, [&] { return joined(gone); }, 5.0));
    const int place = gone.welcome()->player;
    ASSERT_TRUE(waitForStatus(rig.server, [&](const NetServerStatus& s) { return s.personAt[place]; }, 2.0));
    // One that only services, with no frame's input to send, is heard all
    // the same (its keep-alive) and stays well past the timeout.
    NetClient idle;
    NetClientConfig idleConfig = clientConfig(rig.server.port(), "Idle");
    idleConfig.timeoutMs = 1000;
    ASSERT_TRUE(idle.connect(idleConfig, reason)) << reason;
    ASSERT_TRUE(pumpUntil({&idle}, [&] { return joined(idle); }, 5.0));
    gone.vanish();
    EXPECT_FALSE(pumpUntil({&idle}, [&] { return !joined(idle); }, 2.5));
    EXPECT_TRUE(joined(idle));
    NetServerStatus after = rig.server.status();
    EXPECT_FALSE(after.personAt[place]);
    EXPECT_EQ(after.clientsTimedOut, 1);
    EXPECT_EQ(after.people, 1);
    idle.leave();
    EXPECT_TRUE(waitForStatus(rig.server, [&](const NetServerStatus& s) { return s.connections == 0; }, 8.0));

    // A connection that never says Hello.
    ENetHost* host = enet_host_create(nullptr, 1, kNetChannelCount, 0, 0);
    ASSERT_NE(host, nullptr);
    ENetAddress address{};
    enet_address_set_host_ip(&address, "127.0.0.1");
    address.port = rig.server.port();
    ENetPeer* peer = enet_host_connect(host, &address, kNetChannelCount, 0);
    ASSERT_NE(peer, nullptr);
    bool connected = false, disconnected = false;
    ENetEvent event;
    for (int i = 0; i < 400 && !disconnected; ++i)
        if (enet_host_service(host, &event, 10) > 0) {
            connected = connected || event.type == ENET_EVENT_TYPE_CONNECT;
            disconnected = event.type == ENET_EVENT_TYPE_DISCONNECT;
            if (event.type == ENET_EVENT_TYPE_RECEIVE)
                enet_packet_destroy(event.packet);
        }
    EXPECT_TRUE(connected);
    EXPECT_TRUE(disconnected);
    enet_host_destroy(host);

    // A "server" that takes the connection and then says nothing: the
    // client gives up after its own timeout.
    ENetAddress any{};
    enet_address_set_host_ip(&any, "127.0.0.1");
    any.port = 0;
    ENetHost* mute = enet_host_create(&any, 2, kNetChannelCount, 0, 0);
    ASSERT_NE(mute, nullptr);
    ENetAddress muteAddress{};
    enet_socket_get_address(mute->socket, &muteAddress);
    NetClient waiting;
    NetClientConfig waitingConfig = clientConfig(muteAddress.port);
    waitingConfig.timeoutMs = 800;
    waitingConfig.connectTimeoutMs = 800;  // no welcome comes
    ASSERT_TRUE(waiting.connect(waitingConfig, reason)) << reason;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 400 && waiting.state() == NetClientState::Connecting; ++i) {
        waiting.service(5);
        while (enet_host_service(mute, &event, 0) > 0)
            if (event.type == ENET_EVENT_TYPE_RECEIVE)
                enet_packet_destroy(event.packet);
    }
    const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(waiting.state(), NetClientState::Lost);
    EXPECT_GE(waited, 0.75);
    EXPECT_LT(waited, 1.6);
    enet_host_destroy(mute);
}

// Ten connections at once from one address; the most the server held at a
// time, and how many the flood saw accepted.
int floodFromOneAddress(ServerThread& rig, int& connects)
{
    constexpr int kFlood = 10;
    ENetHost* host = enet_host_create(nullptr, kFlood, kNetChannelCount, 0, 0);
    if (host == nullptr)
        return -1;
    ENetAddress address{};
    enet_address_set_host_ip(&address, "127.0.0.1");
    address.port = rig.server.port();
    for (int i = 0; i < kFlood; ++i)
        enet_host_connect(host, &address, kNetChannelCount, 0);
    int most = 0;
    connects = 0;
    ENetEvent event;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    while (std::chrono::steady_clock::now() < until) {
        if (enet_host_service(host, &event, 10) > 0 && event.type == ENET_EVENT_TYPE_CONNECT)
            ++connects;
        most = std::max(most, rig.server.status().connections);
    }
    enet_host_destroy(host);
    return most;
}

TEST(NetServer, AConnectFloodFromOneAddressGetsOnlyAFewPeers)
{
    NetServerConfig config = serverConfig();
    config.helloTimeoutMs = 500;
    {
        ServerThread rig(config);
        int connects = 0;
        const int most = floodFromOneAddress(rig, connects);
        EXPECT_GE(connects, 1);
        EXPECT_GE(most, 1);
        EXPECT_LE(most, kDefaultPeersPerAddress);

        // The server still takes a real client once the flood's peers are gone.
        NetClient client;
        std::string reason;
        ASSERT_TRUE(client.connect(clientConfig(rig.server.port()), reason)) << reason;
        EXPECT_TRUE(pumpUntil({&client}, [&] { return joined(client); }, 8.0));
    }
    // Players behind one NAT address: the limit is the server's to raise.
    config.peersPerAddress = 4;
    ServerThread rig(config);
    int connects = 0;
    const int most = floodFromOneAddress(rig, connects);
    EXPECT_GT(most, kDefaultPeersPerAddress);
    EXPECT_LE(most, 4);
}

TEST(MatchRecord, RefusesMalformedRecordsNamingTheLine)
{
    SimWorld world;
    ModelMs3d model;
    std::string reason;
    ASSERT_TRUE(buildSimRig(world, model, 1, reason, kNetGame)) << reason;
    const std::string header = "turfwar-server-record 1\nseed 1\nrules 1 15 3\nplayers 2\n";
    PlayerCommand two[2]{};
    const std::string frame = frameRecordLine(0.005f, two, 2) + "\n";
    struct Case {
        std::string text;
        std::string where;
    };
    for (const Case& c : {Case{"turfwar-server-record 2\n", "line 1"},
                          Case{"turfwar-server-record 1\nseed -1\n", "line 2"},
                          Case{"turfwar-server-record 1\nseed 1\nrules 0 15 3\n", "line 3"},
                          Case{"turfwar-server-record 1\nseed 1\nrules 1 15 3\nplayers 9\n", "line 4"},
                          Case{header + frame + "frame 0.005 1 0\n", "line 6"},
                          Case{header + frameRecordLine(0.005f, two, 1) + "\n", "line 5"},
                          Case{header + "vacate 2\n", "line 5"},
                          Case{header + "grow 2\n", "line 5"},
                          Case{header + "restart now\n", "line 5"},
                          Case{header + "jump\n", "line 5"},
                          Case{header + "\n", "line 5"},
                          Case{header + std::string(kMaxRecordLine + 1, 'f') + "\n", "line 5"}}) {
        std::istringstream in(c.text);
        MatchRecordHeader h;
        long long frames = 0;
        SimWorld fresh;
        ModelMs3d m;
        ASSERT_TRUE(buildSimRig(fresh, m, 1, reason, kNetGame)) << reason;
        EXPECT_FALSE(replayMatchRecord(in, fresh, m, h, frames, reason)) << c.text;
        EXPECT_EQ(reason.rfind(c.where + ":", 0), 0u) << reason;
    }
    std::istringstream good(header + frame + "vacate 1\ngrow 3\n" + frameRecordLine(0.005f, two, 0) + "\n");
    MatchRecordHeader h;
    long long frames = 0;
    EXPECT_FALSE(replayMatchRecord(good, world, model, h, frames, reason));  // the last frame has no players
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(world.players.size(), 3u);
}

TEST(MatchRecord, AVacatedPlaceIsOutOfItsCarAndAGrownWorldStartsAFreshMatch)
{
    SimWorld world;
    ModelMs3d model;
    std::string reason;
    ASSERT_TRUE(buildSimRig(world, model, 2, reason, kNetGame)) << reason;
    startMatch(world, MatchRules{.rounds = 2, .roundSeconds = 30.0f, .respawnSeconds = 1.0f});
    SimPlayer& driver = world.players[1];
    driver.body.inCar = true;
    driver.body.carIndex = 1;
    ASSERT_EQ(driverOf(world, 1), 1);
    vacatePlace(world, 1);
    EXPECT_FALSE(driver.body.inCar);
    EXPECT_EQ(driverOf(world, 1), -1);
    EXPECT_EQ(driver.body.position.y, 0.0f);
    EXPECT_GT(driver.enterCooldown, 0.0f);  // the bot taking over does not climb straight back in
    vacatePlace(world, 0);   // on foot: nothing changes
    vacatePlace(world, 7);   // no such place: nothing either
    EXPECT_FALSE(world.players[0].body.inCar);

    world.match->scores = {1, 0};
    growPlaces(world, model, 3);
    ASSERT_EQ(world.players.size(), 3u);
    ASSERT_EQ(world.match->players.size(), 3u);
    EXPECT_EQ(world.match->players[2].team, 0);
    EXPECT_EQ(world.match->scores, (std::array<int, kTeamCount>{0, 0}));
    EXPECT_EQ(world.match->rules.rounds, 2);
    EXPECT_EQ(world.match->phase, MatchPhase::Countdown);
}

TEST(NetServer, SanitisedNamesKeepPrintableTextWithinTheLimit)
{
    EXPECT_EQ(sanitisedPlayerName("Ann\tB\x7f" "ee"), "AnnBee");
    EXPECT_EQ(sanitisedPlayerName(""), "Player");
    EXPECT_EQ(sanitisedPlayerName("  \x01 "), "Player");
    // 23 bytes and a two-byte character: the cut does not split it.
    const std::string name = std::string(23, 'a') + "\xc3\xa9";
    EXPECT_EQ(sanitisedPlayerName(name), std::string(23, 'a'));
}

// turfwar-server as a user starts it: it listens, takes a client, and
// SIGTERM ends it with status 0 after a Goodbye.
// The tool as a process: it listens, takes clients (one plays and stays, one
// leaves), records what it stepped and writes its states, and ends cleanly
// on SIGTERM with a Goodbye; the replay tool steps the record again to the
// same state lines, byte for byte (and the game watching it shows the same
// worlds), and stops at a bad line with its number.
TEST(ServerTool, ListensTakesClientsEndsOnSigtermAndItsRecordReplaysToItsStates)
{
    ScratchDir scratch;
    const std::string recordPath = scratch.file("match-record.txt");
    const std::string statesPath = scratch.file("states.jsonl");
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string tool = TURFWAR_BINARY_DIR "/turfwar-server";
    std::vector<std::string> args = {tool,         "--port",      "0",        "--bind",         "127.0.0.1",
                                     "--bots",     "2",           "--data",   kNetGame,         "--record",
                                     recordPath,   "--states",    statesPath, "--states-every", "40"};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // However the test ends, the server does not outlive it.
    struct Reaper {
        pid_t pid;
        ~Reaper()
        {
            if (pid > 0 && ::waitpid(pid, nullptr, WNOHANG) == 0) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
            }
        }
    } reaper{pid};
    ::close(out[1]);
    ::fcntl(out[0], F_SETFL, O_NONBLOCK);
    std::string printed;
    const auto readSome = [&](int ms) {
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, ms) > 0) {
            char buffer[512];
            const ssize_t n = ::read(out[0], buffer, sizeof buffer);
            if (n > 0)
                printed.append(buffer, static_cast<std::size_t>(n));
        }
    };
    // Bounded generously: a sanitized server on a loaded machine takes
    // seconds to read its data before it listens.
    int port = 0;
    for (int i = 0; i < 400 && port == 0; ++i) {
        readSome(50);
        const auto at = printed.find("listening on UDP port ");
        if (at != std::string::npos && printed.find(" with", at) != std::string::npos)
            port = std::stoi(printed.substr(at + 22));
    }
    ASSERT_GT(port, 0) << printed;

    NetClient client;
    std::string reason;
    ASSERT_TRUE(client.connect(clientConfig(static_cast<std::uint16_t>(port), "Visitor"), reason)) << reason;
    EXPECT_TRUE(pumpUntil({&client}, [&] { return joined(client); }, 10.0));
    for (int i = 0; i < 100 && printed.find("Visitor joined") == std::string::npos; ++i)
        readSome(50);
    EXPECT_NE(printed.find("Visitor joined as player"), std::string::npos) << printed;
    NetClient brief;
    ASSERT_TRUE(brief.connect(clientConfig(static_cast<std::uint16_t>(port), "Brief"), reason)) << reason;
    EXPECT_TRUE(pumpUntil({&client, &brief}, [&] { return joined(brief); }, 10.0, true));
    // A second of play, the visitor walking and both looking about.
    pumpUntil({&client, &brief}, [] { return false; }, 1.0, true);
    brief.leave();
    pumpUntil({&client}, [] { return false; }, 0.5, true);

    ::kill(pid, SIGTERM);
    EXPECT_TRUE(pumpUntil({&client}, [&] { return client.goodbyeReceived(); }, 10.0));
    // Once the server has closed its end of the pipe a read returns at once,
    // so the wait sleeps of its own: 20 s at most.
    int status = -1;
    for (int i = 0; i < 400; ++i) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            reaper.pid = 0;
            break;
        }
        readSome(0);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::close(out[0]);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);

    const std::string record = readWholeFile(recordPath);
    const std::string states = readWholeFile(statesPath);
    EXPECT_NE(record.find("\nname 1 Brief\n"), std::string::npos);
    EXPECT_NE(record.find("\nvacate "), std::string::npos);
    ASSERT_GE(std::count(states.begin(), states.end(), '\n'), 5);
    const std::string replay = "--server-record " + recordPath + " --states-every 40 --data " + kNetGame;
    const ToolResult again = runTool("turfwar-replay", replay);
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(again.out == states) << "the replay's states differ from the server's";
    const std::vector<nlohmann::json> lines = stateLines(again.out);
    EXPECT_EQ(lines.front()["tick"], 40);
    EXPECT_EQ(lines.back()["match"]["players"].size(), 2u);

    // The game watching the same record, 40 ticks a frame, shows the same
    // world at each of those ticks.
    std::string watchScript = "tick 200\n";
    for (std::size_t i = 0; i < lines.size(); ++i)
        watchScript += "run 1\nstate\n";
    const ToolResult watched =
        runTool("turfwar-replay", "--server-record " + recordPath + " --data " + kNetGame + " -", watchScript);
    EXPECT_EQ(watched.status, 0) << watched.err;
    const std::vector<nlohmann::json> shown = stateLines(watched.out);
    ASSERT_EQ(shown.size(), lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(shown[i]["playback"]["tick"], lines[i]["tick"]);
        for (const auto& [key, value] : lines[i].items()) {
            if (key != "tick") {
                EXPECT_EQ(shown[i][key], value) << "tick " << lines[i]["tick"] << ", " << key;
            }
        }
    }

    // A line the reader cannot take: the states before it, then its number.
    std::ofstream(recordPath, std::ios::app) << "frame 0.005 nonsense\nframe 0.005\n";
    const long lineCount = std::count(record.begin(), record.end(), '\n');
    const ToolResult cut = runTool("turfwar-replay", replay);
    EXPECT_EQ(cut.status, 2);
    EXPECT_EQ(cut.out, states);
    EXPECT_NE(cut.err.find("line " + std::to_string(lineCount + 1) + ": "), std::string::npos) << cut.err;
    const ToolResult missing = runTool("turfwar-replay", "--server-record " + scratch.file("none.txt") + " --data " + kNetGame);
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("none.txt: cannot be read"), std::string::npos) << missing.err;
}
