// turfwar-replay: runs the real game (the same start-up and frames) on the
// headless backend from a script, in a data folder. Players record and share
// demos with it, modders check their data, we test and benchmark.
//
//   turfwar-replay SCRIPT [--data DIR] [--config FILE] [--audio-out FILE.wav | --audio-device NAME]
//   turfwar-replay --connect HOST[:PORT] [--name N] [--password P] SCRIPT
//   turfwar-replay --server-record FILE [--states-every N]
//   turfwar-replay --server-record FILE SCRIPT [--audio-out FILE.wav]
//
// With --connect the game plays as a network client of a running server;
// the server keeps real time, so each frame waits until the real clock has
// caught up with the script's.
//
// --server-record steps a dedicated server's match record again. Alone it
// runs no game and prints the world's state every --states-every ticks; with
// a script the game watches the record (app/record_playback.h) while the
// script runs the clock, the screenshots and the capture as usual.
//
// The script's commands and the exit statuses are listed by --help, from the
// table in tools/replay/replay_script.cpp and kExitStatusHelp below.
//
// The game's sound is mixed by a loopback device in step with the script's
// clock; --audio-out writes it as it is mixed. --audio-device opens the
// system's device of that name instead, which mixes on its own, so the two
// cannot be used together.
//
// Every message box the game shows goes to standard error as it is shown, one
// line each: "CAPTION: text", line breaks in the text written as \n, and for a
// question the answer the tool gave, as in "Start FullScreen?: ... -> No".

#include "app/command_line.h"
#include "app/data_folder.h"
#include "app/error_box.h"
#include "app/game.h"
#include "app/headless_platform.h"
#include "app/settings_file.h"
#include "app/settings_table.h"
#include "tools/png_file.h"
#include "tools/replay/replay_script.h"
#include "tools/replay/server_record.h"
#include "tools/replay/sim_state.h"
#include "sim/command_record.h"
#include "tools/replay/wav_capture.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <chrono>
#include <thread>
#include <charconv>
#include <cstdint>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kExitToolFailed = 1;  // a screenshot, the sound capture or standard output could not be written
constexpr int kExitUsage = 2;       // bad options, or a script that cannot be read or is malformed

constexpr const char* kExitStatusHelp =
    "Exit status: 0 when the script ran to its end or the game ended; 1 when a screenshot, the --audio-out "
    "file or standard output cannot be written (--audio-out is opened before the game starts, so a bad path "
    "fails at once); 2 for bad options or a script or --server-record that cannot be read or is malformed (nothing "
    "runs, or for a record the states up to the bad line; with a script, the game's box names the file and line "
    "and the run ends there); the "
    "game's own status when it cannot start (3: data unusable or not found) or, with --connect, when the "
    "network match ends (4: the connection was lost or the server stopped, 5: refused, 6: no answer or an "
    "address that cannot be used); 128 and the signal's number when "
    "stopped by SIGHUP (129), SIGINT (130), SIGPIPE (141) or SIGTERM (143), between frames, with the "
    "--audio-out file complete up to the last frame.";

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void onStopSignal(int signo) { stopSignal = signo; }

// These end the run between frames, with the window closed and the capture
// finished as at a normal end: a long script can be interrupted, timed out,
// hung up on or piped into head. A write to a closed pipe then fails with
// EPIPE instead of killing the tool.
constexpr int kStopSignals[] = {SIGHUP, SIGINT, SIGPIPE, SIGTERM};

void catchStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signo : kStopSignals)
        sigaction(signo, &action, nullptr);
}

const char* signalName(int signo)
{
    switch (signo) {
    case SIGHUP: return "SIGHUP";
    case SIGINT: return "SIGINT";
    case SIGPIPE: return "SIGPIPE";
    case SIGTERM: return "SIGTERM";
    }
    return "a signal";
}

// Reads the script at path ("-": standard input) into parse; false with the
// message. Pipes and terminals read like files ("turfwar-replay
// <(make-script)" works); a regular file too large is refused unread.
bool readScript(const std::string& path, ScriptParse& parse, std::string& message)
{
    const std::string label = path == "-" ? "standard input" : path;
    std::FILE* in = stdin;
    if (path != "-") {
        std::error_code ec;
        const std::filesystem::file_status status = std::filesystem::status(path, ec);
        if (ec) {
            message = "cannot read " + path + ": " + ec.message();
            return false;
        }
        if (std::filesystem::is_directory(status)) {
            message = "cannot read " + path + ": is a directory";
            return false;
        }
        if (!std::filesystem::is_regular_file(status) && !std::filesystem::is_fifo(status) &&
            !std::filesystem::is_character_file(status)) {
            message = "cannot read " + path + ": not a file";
            return false;
        }
        if (std::filesystem::is_regular_file(status)) {
            const std::uintmax_t size = std::filesystem::file_size(path, ec);
            if (!ec && size > kMaxScriptBytes) {
                message = "cannot read " + path + ": longer than " + std::to_string(kMaxScriptBytes) + " bytes";
                return false;
            }
        }
        in = std::fopen(path.c_str(), "rb");
        if (in == nullptr) {
            message = "cannot read " + path + ": " + std::strerror(errno);
            return false;
        }
    }
    ScriptParser parser;
    std::vector<char> chunk(64 * 1024);
    bool readFailed = false;
    int readErrno = 0;
    while (!parser.failed()) {
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), in);
        if (got > 0)
            parser.feed(std::string_view(chunk.data(), got));
        if (got < chunk.size()) {
            readErrno = errno;
            readFailed = std::ferror(in) != 0;
            break;
        }
    }
    if (in != stdin)
        std::fclose(in);
    if (parser.failed()) {
        message = label + ": " + parser.result().error;
        return false;
    }
    // A read that fails part way must not pass for a shorter script.
    if (readFailed) {
        message = "cannot read " + label + ": " + (readErrno != 0 ? std::strerror(readErrno) : "read error");
        return false;
    }
    if (!parser.finish()) {
        message = label + ": " + parser.result().error;
        return false;
    }
    parse = std::move(parser.result());
    return true;
}

// One line per box, so a broken data folder shows what the game said.
std::string messageBoxLine(const RecordedMessageBox& box)
{
    std::string line = box.caption + ": ";
    for (char c : box.text) {
        if (c == '\n')
            line += "\\n";
        else if (c == '\r')
            line += "\\r";
        else
            line += c;
    }
    if (box.style == MessageBoxStyle::YesNoQuestion)
        line += box.answer == MessageBoxAnswer::Yes ? " -> Yes" : " -> No";
    return line;
}

const char* netClientStateName(NetClientState state)
{
    switch (state) {
    case NetClientState::Idle: return "Idle";
    case NetClientState::Connecting: return "Connecting";
    case NetClientState::Joined: return "Joined";
    case NetClientState::Refused: return "Refused";
    case NetClientState::Ended: return "Ended";
    case NetClientState::Lost: return "Lost";
    }
    return "?";
}

nlohmann::json describe(const World& world, std::uint32_t startTicks, HeadlessPlatform& platform, bool padSeen)
{
    nlohmann::json state;
    state["frame"] = world.framesRun;
    state["timeMs"] = static_cast<std::uint32_t>(platform.ticks() - startTicks);
    describeSimWorld(world.sim, state);
    state["camera"] = {{"eye", vec3Json(world.cameras[0].eye())}, {"lookAt", vec3Json(world.cameras[0].lookAtPoint())}};
    // Which players are bots, and how each has fared; only with bots, so a
    // game without them describes itself as it always did.
    if (!world.bots.bots.empty()) {
        nlohmann::json bots = nlohmann::json::array();
        for (const Bot& bot : world.bots.bots)
            bots.push_back({{"player", bot.player},
                            {"name", shownPlayerName(world.sim, bot.player)},
                            {"level", botLevelName(bot.level)},
                            {"goal", botGoalName(bot.goal)},
                            {"stuckEvents", bot.stats.stuckEvents},
                            {"longestStuckSeconds", bot.stats.longestStuckSeconds},
                            {"goalChanges", bot.stats.goalChanges}});
        state["bots"] = bots;
    }
    // A network client does not know who the server's bots are; it says
    // where it plays instead.
    if (state.contains("match") && !world.network.active && !world.playback.active) {
        for (std::size_t p = 0; p < state["match"]["players"].size(); ++p)
            state["match"]["players"][p]["bot"] = static_cast<int>(p) >= world.localPlayers;
    }
    // A watched record: the server's tick it has reached, to set beside the
    // server's own --states.
    if (world.playback.active)
        state["playback"] = {{"record", world.playback.record.path()},
                             {"tick", world.playback.record.reader().frames()},
                             {"ended", world.playback.ended}};
    if (world.network.active) {
        const ClientSession& session = world.network.session;
        state["network"] = {{"client", true},
                            {"server", world.network.address},
                            {"place", session.place()},
                            {"state", netClientStateName(session.state())},
                            {"shownTick", session.shownTick()},
                            {"snapshots", session.client().snapshotsReceived()}};
        if (!world.network.endText.empty())
            state["network"]["ended"] = world.network.endText;
    }
    // Only once a pad has been seen, so scripts without one describe the
    // game as they always did.
    if (padSeen) {
        nlohmann::json rumbles = nlohmann::json::array();
        for (const RecordedRumble& r : platform.rumbles()) {
            nlohmann::json rumble = {{"strength", r.strength}, {"durationMs", r.durationMs},
                                     {"timeMs", static_cast<std::uint32_t>(r.atTicks - startTicks)}};
            if (r.slot != 0)
                rumble["pad"] = r.slot + 1;  // pad 1's lines as they always were
            rumbles.push_back(rumble);
        }
        state["pad"] = {{"connected", platform.padState().connected}, {"rumbles", rumbles}};
    }
    return state;
}

// The listener and every playing voice.
nlohmann::json describeAudio(const World& world)
{
    VoiceInfo voices[kVoiceCount];
    const int n = world.audio.playingVoices(voices, kVoiceCount);
    nlohmann::json list = nlohmann::json::array();
    for (int i = 0; i < n; ++i)
        list.push_back({{"sound", voices[i].soundName},
                        {"position", vec3Json(voices[i].position)},
                        {"gain", voices[i].gain},
                        {"pitch", voices[i].pitch}});
    return {{"listener", vec3Json(world.audio.listener().position)}, {"voices", list}};
}

// VmRSS and VmHWM from /proc/self/status, in KiB (0 where unreadable).
nlohmann::json memoryUse(std::uint32_t timeMs)
{
    long long rss = 0, peak = 0;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        long long* field = line.rfind("VmRSS:", 0) == 0 ? &rss : line.rfind("VmHWM:", 0) == 0 ? &peak : nullptr;
        if (field != nullptr)
            *field = std::atoll(line.c_str() + 6);
    }
    return {{"timeMs", timeMs}, {"memory", {{"rssKiB", rss}, {"peakRssKiB", peak}}}};
}

bool writePng(const std::string& path, const FrameImage& image, std::string& error)
{
    if (image.width <= 0 || image.height <= 0) {
        error = "no frame has been drawn yet";
        return false;
    }
    // GL rows run bottom up; a picture's run top down.
    return writePngFile(path, image.width, image.height, 3, image.rgb.data(), true, error);
}

// Runs one frame: the clock moves on, pending messages are handled first (as
// the real loop does), then the frame. False once the game has ended. With
// realClock the frame waits until as much real time has passed since
// realStart as the script's clock has moved (a frame late runs at once).
bool runOneFrame(World& world, HeadlessPlatform& platform, std::uint32_t tickMs,
                 std::optional<std::chrono::steady_clock::time_point> realStart = std::nullopt,
                 std::uint32_t startTicks = 0)
{
    platform.advanceTicks(tickMs);
    if (realStart)
        std::this_thread::sleep_until(*realStart + std::chrono::milliseconds(platform.ticks() - startTicks));
    for (;;) {
        if (world.quitRequested)
            return false;
        switch (runLoopPass(world)) {
        case LoopPass::Quit:
            return false;
        case LoopPass::FrameRun:
            return !world.quitRequested;
        case LoopPass::MessageHandled:
            break;
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Runs Turfwar headless from a script of keys, mouse, clicks and clock ticks."};
    std::string scriptPath;
    std::optional<std::string> dataDir;
    std::optional<std::string> configFile;
    std::optional<std::string> audioOut;
    std::optional<std::string> audioDevice;
    std::optional<std::string> recordCommands;
    std::optional<int> players;
    bool match = false;
    std::optional<std::string> bots;
    std::optional<std::string> botLevel;
    std::optional<int> seed;
    std::optional<int> rounds;
    std::optional<float> roundMinutes;
    std::optional<float> respawnSeconds;
    std::optional<std::string> connectTo;
    std::optional<std::string> playerName;
    std::optional<std::string> password;
    app.add_option("script", scriptPath,
                   "Script file, or - for standard input (needed unless --server-record; with it, the game "
                   "watches the record while the script runs)");
    std::optional<std::string> serverRecord;
    int statesEvery = kDefaultStatesEvery;
    app.add_option("--server-record", serverRecord,
                   "Step a dedicated server's match record (turfwar-server --record) again. Without a script: "
                   "no game, the world's state printed every --states-every ticks (the lines the server's "
                   "--states wrote). With a script: the game watches the record as a spectator (the first "
                   "player's view, the HUD and the sound; 200 ticks a second of the script's clock, at most 200 a "
                   "frame) while the script runs, takes screenshots and --audio-out; each state then has "
                   "\"playback\" with the tick reached, and after the record's end the world stays as it was");
    app.add_option("--states-every", statesEvery,
                   "Ticks between the states of --server-record without a script, 1 to 1000000")
        ->check(CLI::Range(1, 1000000));
    // The script language in the help, so the man page made from it is complete.
    app.footer("Script commands, one a line ('#' starts a comment; a word in double quotes may hold blanks):\n" +
               scriptCommandsHelp() + "\n" + kExitStatusHelp);
    app.add_option("--data", dataDir,
                   "Folder the game starts in (its data files); without it, the data is looked for as the game "
                   "looks for it: the current directory, beside the program, then $XDG_DATA_DIRS");
    app.add_option("--config", configFile,
                   "Read this settings file, as the game's --config does (rebound keys, mouse, pad, volume); "
                   "without it the tool reads none and plays with the defaults");
    app.add_option("--audio-out", audioOut,
                   "Write the game's sound to this WAV file as it is mixed (44,100 Hz stereo 16-bit; the same "
                   "script gives the same bytes), and describe it in each state");
    app.add_option("--audio-device", audioDevice,
                   "Play through the system's audio device of this name instead of mixing the sound here (an "
                   "unknown name: the game runs without sound)");
    app.add_option("--players", players, "Players on the machine, 0 to 4, as the game's --players (the script's "
                   "keys and mouse play the first unless --config binds keys to others, its pads the others; 0: "
                   "bots alone, in a match)")
        ->check(CLI::Range(0, kMaxLocalPlayers));
    // The match's options take the game's ranges, from its settings table.
    const auto rangeOf = [](const char* key) {
        const SettingRow* row = findSettingRow("match", key);
        return CLI::Range(row->low, row->high);
    };
    app.add_flag("--match", match, "Play a match, as the game's --match (each state then describes it)");
    app.add_option("--rounds", rounds, "Rounds a team must win, as the game's --rounds")->check(rangeOf("rounds"));
    app.add_option("--round-minutes", roundMinutes, "Minutes on a round's clock, as the game's --round-minutes")
        ->check(rangeOf("round_minutes"));
    app.add_option("--respawn-seconds", respawnSeconds,
                   "Seconds before a knocked-out player comes back, as the game's --respawn-seconds")
        ->check(rangeOf("respawn_seconds"));
    const SettingRow& botsRow = *findSettingRow("match", "bots");
    app.add_option("--bots", bots, "Bots beside the players in a match, 0 to 7 or auto, as the game's --bots")
        ->check(CLI::Validator(
            [&botsRow](std::string& text) -> std::string {
                if (isSettingUnsetName(botsRow, text))
                    return "";
                int n = -1;
                const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
                const bool whole = ec == std::errc() && end == text.data() + text.size();
                return whole && n >= botsRow.low && n <= botsRow.high ? "" : "'" + text + "' is not 0 to 7 or auto";
            },
            "N|auto"));
    app.add_option("--bot-level", botLevel, "How well the bots play, as the game's --bot-level")
        ->check(CLI::IsMember({"easy", "normal", "hard"}));
    app.add_option("--seed", seed, "Seed of the bots' chances, as the game's --seed")->check(rangeOf("seed"));
    app.add_option("--record-commands", recordCommands,
                   "Write every frame's player commands to this file, one line a frame (and a line \"state\" "
                   "where the script asks for one), for stepping the simulation again without the game");
    app.add_option("--connect", connectTo,
                   "Play the script as a network client of the server at HOST[:PORT] (port 27615 unless given); "
                   "frames keep to the real clock, and each state says what this client sees")
        ->type_name("HOST[:PORT]");
    app.add_option("--name", playerName, "With --connect, the name the server knows us by (at most 24 bytes)");
    app.add_option("--password", password, "With --connect, the password the server asks for");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return 0;
    } catch (const CLI::ParseError& error) {
        std::cerr << "turfwar-replay: " << error.what() << "\nRun with --help for more information.\n";
        return kExitUsage;
    }
    if (serverRecord && connectTo) {
        std::cerr << "turfwar-replay: --server-record and --connect cannot be used together: a record is played "
                     "here, without a server\n";
        return kExitUsage;
    }
    if (serverRecord) {
        // The record is named from where the tool was started, the data read in its folder.
        serverRecord = std::filesystem::absolute(*serverRecord).string();
        // The record says who plays and by which rules: these would be ignored.
        for (const char* option : {"--players", "--match", "--bots", "--bot-level", "--seed", "--rounds",
                                   "--round-minutes", "--respawn-seconds", "--record-commands"}) {
            if (app.count(option) > 0) {
                std::cerr << "turfwar-replay: " << option << " cannot be used with --server-record: the record says "
                          << "who plays and how\n";
                return kExitUsage;
            }
        }
        if (scriptPath.empty() && audioOut) {
            std::cerr << "turfwar-replay: --audio-out with --server-record needs a script: without one no game "
                         "runs and nothing is heard\n";
            return kExitUsage;
        }
        if (!scriptPath.empty() && app.count("--states-every") > 0) {
            std::cerr << "turfwar-replay: --states-every is for --server-record without a script (the script's "
                         "state lines say what it shows)\n";
            return kExitUsage;
        }
    }
    if (serverRecord && scriptPath.empty()) {
        const std::string& record = *serverRecord;
        HeadlessPlatform platform;
        platform.onMessageBox = [](const RecordedMessageBox& box) { std::cerr << messageBoxLine(box) << std::endl; };
        if (!enterDataFolder(dataDir, platform))
            return kExitBadGameData;
        std::string problem;
        if (!playServerRecord(record, statesEvery, std::cout, problem)) {
            std::cerr << "turfwar-replay: " << problem << "\n";
            return kExitUsage;
        }
        return std::cout ? 0 : kExitToolFailed;
    }
    if (scriptPath.empty()) {
        std::cerr << "turfwar-replay: script is required (unless --server-record is given)\n"
                     "Run with --help for more information.\n";
        return kExitUsage;
    }
    if (audioOut && audioDevice) {
        std::cerr << "turfwar-replay: --audio-out and --audio-device cannot be used together: the capture is the "
                     "sound the tool mixes, and a system device mixes it on its own\n";
        return kExitUsage;
    }

    ScriptParse script;
    std::string error;
    if (!readScript(scriptPath, script, error)) {
        std::cerr << "turfwar-replay: " << error << "\n";
        return kExitUsage;
    }
    std::vector<ScriptCommand>& commands = script.commands;

    Settings settings;
    if (configFile) {
        const SettingsFileResult file = readSettingsFile(*configFile, false);
        for (const std::string& message : file.messages)
            std::cerr << "turfwar-replay: " << message << "\n";
        settings = file.settings;
    }
    if (connectTo) {
        std::optional<int> port;
        if (!splitHostPort(*connectTo, settings.network.joinHost, port)) {
            std::cerr << "turfwar-replay: --connect: '" << *connectTo << "' is not HOST or HOST:PORT\n";
            return kExitUsage;
        }
        settings.network.role = NetworkRole::Join;
        if (port)
            settings.network.port = *port;
    }
    if (playerName || password) {
        if (!connectTo) {
            std::cerr << "turfwar-replay: --name and --password are for --connect\n";
            return kExitUsage;
        }
        const SettingRow& nameRow = *findSettingRow("network", "name");
        const SettingRow& passwordRow = *findSettingRow("network", "password");
        const std::optional<std::string> name = playerName ? settingTextValue(nameRow, *playerName) : std::nullopt;
        const std::optional<std::string> secret = password ? settingTextValue(passwordRow, *password) : std::nullopt;
        if ((playerName && !name) || (password && !secret)) {
            std::cerr << "turfwar-replay: " << (playerName && !name ? "--name" : "--password") << ": too long\n";
            return kExitUsage;
        }
        if (name)
            settings.network.name = *name;
        if (secret)
            settings.network.password = *secret;
    }

    // Screenshots and the capture are named from where the tool was started,
    // the game runs in its data folder.
    bool wantsFrames = false;
    if (audioOut)
        audioOut = std::filesystem::absolute(*audioOut).string();
    for (ScriptCommand& c : commands) {
        if (c.type == ScriptCommand::Type::Screenshot) {
            c.path = std::filesystem::absolute(c.path).string();
            wantsFrames = true;
        }
    }

    HeadlessPlatform platform;
    platform.queueAnswer(MessageBoxAnswer::No);
    platform.setCaptureFrames(wantsFrames);
    platform.setCaptureAudio(audioOut.has_value());
    if (audioDevice)
        platform.setAudioDeviceName(*audioDevice);
    platform.onMessageBox = [](const RecordedMessageBox& box) { std::cerr << messageBoxLine(box) << std::endl; };
    settings.dataFolder = dataDir;
    if (players)
        settings.game.players = *players;
    if (match)
        settings.game.mode = GameMode::Match;
    if (rounds)
        settings.match.rounds = *rounds;
    if (roundMinutes)
        settings.match.roundMinutes = *roundMinutes;
    if (respawnSeconds)
        settings.match.respawnSeconds = *respawnSeconds;
    if (bots) {
        if (isSettingUnsetName(botsRow, *bots))
            settings.match.bots.reset();
        else
            settings.match.bots = std::stoi(*bots);
    }
    if (botLevel)
        settings.match.botLevel = botLevelFromName(*botLevel).value_or(kDefaultBotLevel);
    if (seed)
        settings.match.seed = *seed;
    if (const std::string problem = playerCountProblem(settings); !problem.empty()) {
        std::cerr << "turfwar-replay: " << problem << "\n";
        return kExitUsage;
    }
    if (const std::string wrong = checkPlayerCommands(commands, settings); !wrong.empty()) {
        std::cerr << "turfwar-replay: " << (scriptPath == "-" ? "standard input" : scriptPath) << ": " << wrong << "\n";
        return kExitUsage;
    }
    if (!enterDataFolder(settings.dataFolder, platform))
        return kExitBadGameData;

    std::ofstream record;
    if (recordCommands) {
        record.open(std::filesystem::absolute(*recordCommands));
        if (!record) {
            std::cerr << "turfwar-replay: cannot write " << *recordCommands << ": " << std::strerror(errno) << "\n";
            return kExitToolFailed;
        }
    }
    WavCapture capture;
    if (audioOut && !capture.open(*audioOut, error)) {
        std::cerr << "turfwar-replay: " << error << "\n";
        return kExitToolFailed;
    }
    std::vector<std::int16_t> samples;
    bool captureFailed = false;
    // Hands what was mixed to the file; after a failure the run stops.
    auto writeSound = [&]() {
        if (!capture.isOpen() || captureFailed)
            return;
        platform.takeCapturedAudio(samples);
        if (!capture.write(samples, error)) {
            std::cerr << "turfwar-replay: " << error << "\n";
            captureFailed = true;
        }
    };

    catchStopSignals();
    World world(platform);
    world.settings = settings;
    if (serverRecord)
        world.recordToPlay = *serverRecord;
    const int status = startTurfwar(world);
    // A record that cannot be watched is bad input, as it is without a script.
    if (status != kExitOk)
        return world.playback.error.empty() ? status : kExitUsage;
    const std::uint32_t startTicks = platform.ticks();
    // A server keeps real time: a client's frames may not run ahead of it.
    std::optional<std::chrono::steady_clock::time_point> realStart;
    if (world.network.active)
        realStart = std::chrono::steady_clock::now();
    auto finish = [&](int wanted) {
        const int finished = finishTurfwar(world);
        writeSound();
        if (!capture.close(error) && !captureFailed) {
            std::cerr << "turfwar-replay: " << error << "\n";
            captureFailed = true;
        }
        if (wanted != kExitOk)
            return wanted;
        if (captureFailed)
            return kExitToolFailed;
        if (record.is_open() && !(record << std::flush)) {
            std::cerr << "turfwar-replay: cannot write " << *recordCommands << "\n";
            return kExitToolFailed;
        }
        if (!(std::cout << std::flush)) {
            std::cerr << "turfwar-replay: cannot write standard output\n";
            return kExitToolFailed;
        }
        return finished;
    };

    std::uint32_t tickMs = 16;
    bool running = true;
    bool padSeen = false;
    // A record line the game could not read ends the run after its frame: its
    // box has been shown, and what follows would show a world gone still.
    const auto recordBroke = [&world] { return !world.playback.error.empty(); };
    // Once the game has ended, runs do nothing; state and screenshots still
    // describe how it ended.
    for (const ScriptCommand& c : commands) {
        if (stopSignal != 0 || captureFailed || recordBroke())
            break;
        switch (c.type) {
        case ScriptCommand::Type::Tick:
            tickMs = static_cast<std::uint32_t>(c.a);
            break;
        case ScriptCommand::Type::Press:
        case ScriptCommand::Type::Release:
            for (const int scancode : c.codes)
                platform.setScancodeDown(scancode, c.type == ScriptCommand::Type::Press);
            break;
        case ScriptCommand::Type::Mouse:
            platform.moveMouse(static_cast<int>(-c.a), static_cast<int>(-c.b));
            break;
        case ScriptCommand::Type::Click:
            platform.click(1);
            break;
        case ScriptCommand::Type::Close:
            platform.requestClose();
            break;
        case ScriptCommand::Type::Resize:
            platform.resize(static_cast<int>(c.a), static_cast<int>(c.b));
            break;
        case ScriptCommand::Type::Minimize:
            platform.minimize();
            break;
        case ScriptCommand::Type::PadConnect:
            platform.connectPad(c.pad);
            padSeen = true;
            break;
        case ScriptCommand::Type::PadDisconnect:
            platform.disconnectPad(c.pad);
            break;
        case ScriptCommand::Type::PadAxis:
            platform.setPadAxis(static_cast<PadAxis>(c.a), c.value, c.pad);
            break;
        case ScriptCommand::Type::PadPress:
        case ScriptCommand::Type::PadRelease:
            for (const int button : c.codes)
                platform.setPadButton(static_cast<PadButton>(button), c.type == ScriptCommand::Type::PadPress,
                                      c.pad);
            break;
        case ScriptCommand::Type::Run:
            for (long long i = 0; i < c.a && running && stopSignal == 0 && !captureFailed && !recordBroke(); ++i) {
                const std::uint64_t before = world.framesRun;
                running = runOneFrame(world, platform, tickMs, realStart, startTicks);
                writeSound();
                if (record.is_open() && world.framesRun != before)
                    record << frameRecordLine(world.lastFrameSeconds, world.commands.data(),
                                              static_cast<int>(world.sim.players.size()))
                           << '\n';
            }
            break;
        case ScriptCommand::Type::State:
        {
            if (record.is_open())
                record << "state\n";
            nlohmann::json state = describe(world, startTicks, platform, padSeen);
            if (audioOut)
                state["audio"] = describeAudio(world);
            std::cout << state.dump() << std::endl;
        }
            break;
        case ScriptCommand::Type::Memory:
            std::cout << memoryUse(static_cast<std::uint32_t>(platform.ticks() - startTicks)).dump() << std::endl;
            break;
        case ScriptCommand::Type::Screenshot:
            if (!writePng(c.path, platform.lastFrame(), error)) {
                std::cerr << "turfwar-replay: " << error << "\n";
                return finish(kExitToolFailed);
            }
            break;
        }
    }
    if (const int signo = stopSignal; signo != 0) {
        std::cerr << "turfwar-replay: stopped by " << signalName(signo) << "\n";
        return finish(128 + signo);
    }
    return finish(recordBroke() ? kExitUsage : kExitOk);
}
