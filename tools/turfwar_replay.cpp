// turfwar-replay: runs the real game (the same start-up and frames) on the
// headless backend from a script, in a data folder. Players record and share
// demos with it, modders check their data, we test and benchmark.
//
//   turfwar-replay SCRIPT [--data DIR] [--audio-out FILE.wav] [--audio-device NAME]
//                                           (SCRIPT "-" reads standard input)
//
// The game's sound is mixed by a loopback device in step with the script's
// clock. --audio-out writes it (44,100 Hz stereo 16-bit; the same script
// gives the same bytes) and adds "audio" to every state line: the listener
// and the playing voices. --audio-device opens the system's device of that
// name instead (an unknown name: the game runs without sound).
//
// One command a line, '#' starts a comment:
//   tick MS              every following frame advances the clock by MS (16 until set)
//   press KEY...         hold keys (W A S D Q E Escape) from the next frame on
//   release KEY...       let them go
//   mouse DX DY          the next frame's mouse look (left and up positive)
//   click                a left-button press before the next frame
//   close                a window-close request
//   resize W H           the window restored or maximised to W x H pixels (each
//                        side 1 to 4096: every frame is a real offscreen picture)
//   minimize             the window minimised
//   pad connect          a gamepad plugged in (one pad; at rest until moved)
//   pad disconnect       the pad pulled out: every stick, trigger and button at rest
//   pad axis NAME VALUE  a stick (leftx lefty rightx righty: -1 to 1, right and
//                        down positive) or trigger (lefttrigger righttrigger: 0
//                        to 1) held there from the next frame on
//   pad press BUTTON...  hold pad buttons, by SDL's names: a b x y back guide
//                        start leftstick rightstick leftshoulder rightshoulder
//                        dpup dpdown dpleft dpright
//   pad release BUTTON...
//                        (a pad not connected drops axes and buttons, as a
//                        real one sends nothing)
//   run N                run N frames (fewer if the game ends)
//   state                print one line of JSON describing the game (with a
//                        "pad" field once a pad has been connected)
//   screenshot FILE.png  save what the window shows after the last frame
//   memory               print one line of JSON: the game time and the process's
//                        resident and peak resident memory in KiB (for soak runs)
//
// Every message box the game shows goes to standard error as it is shown, one
// line each: "CAPTION: text", line breaks in the text written as \n, and for a
// question the answer the tool gave, as in "Start FullScreen?: ... -> No".
//
// Exit status: 0 when the script ran to its end or the game ended normally;
// 1 when a screenshot cannot be saved; 2 for a script that cannot be read or is
// malformed (nothing runs); the game's own status when it cannot start;
// 130 or 143 when stopped by SIGINT or SIGTERM (checked between frames).

#include "app/data_folder.h"
#include "app/error_box.h"
#include "app/game.h"
#include "app/headless_platform.h"
#include "tools/png_file.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <sndfile.h>

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void onStopSignal(int signo) { stopSignal = signo; }

// SIGINT and SIGTERM end the run between frames, with the window closed as
// at a normal end: a long script can be interrupted or timed out.
void catchStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// Why the path cannot be read as a script, or nothing when it can. Pipes and
// terminals read like files ("turfwar-replay <(make-script)" works).
std::string scriptFileProblem(const std::string& path)
{
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (ec)
        return ec.message();
    if (std::filesystem::is_directory(status))
        return "is a directory";
    if (!std::filesystem::is_regular_file(status) && !std::filesystem::is_fifo(status) &&
        !std::filesystem::is_character_file(status))
        return "not a file";
    return {};
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

struct Command {
    enum class Type {
        Tick, Press, Release, Mouse, Click, Close, Run, State, Screenshot, Memory, Resize, Minimize,
        PadConnect, PadDisconnect, PadAxis, PadPress, PadRelease,
    };
    Type type = Type::State;
    long long a = 0;  // tick MS, run N, mouse DX, resize W, pad axis
    long long b = 0;  // mouse DY, resize H
    float value = 0.0f;  // pad axis VALUE
    std::vector<Key> keys;
    std::vector<PadButton> padButtons;
    std::string path;
};

std::string lowered(const std::string& word)
{
    std::string w;
    for (char c : word)
        w += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return w;
}

// SDL's names for the pad's axes and buttons, in PadAxis and PadButton order.
constexpr const char* kPadAxisNames[kPadAxisCount] = {"leftx", "lefty", "rightx", "righty", "lefttrigger",
                                                      "righttrigger"};
constexpr const char* kPadButtonNames[kPadButtonCount] = {
    "a", "b", "x", "y", "back", "guide", "start", "leftstick", "rightstick", "leftshoulder", "rightshoulder",
    "dpup", "dpdown", "dpleft", "dpright"};

template <std::size_t N>
std::optional<int> indexNamed(const char* const (&names)[N], const std::string& word)
{
    const std::string w = lowered(word);
    for (std::size_t i = 0; i < N; ++i) {
        if (w == names[i])
            return static_cast<int>(i);
    }
    return std::nullopt;
}

bool parseFloat(const std::string& word, float low, float high, float& out)
{
    const char* end = word.data() + word.size();
    auto [ptr, ec] = std::from_chars(word.data(), end, out);
    // NaN fails both comparisons.
    return ec == std::errc() && ptr == end && out >= low && out <= high;
}

// "pad ..." after its first word; false with the reason in error.
bool parsePadCommand(const std::vector<std::string>& w, Command& c, std::string& error)
{
    const std::string sub = w.size() > 1 ? w[1] : "";
    const std::size_t args = w.size() >= 2 ? w.size() - 2 : 0;
    if (sub == "connect" || sub == "disconnect") {
        c.type = sub == "connect" ? Command::Type::PadConnect : Command::Type::PadDisconnect;
        if (args != 0) {
            error = "pad " + sub + " takes nothing";
            return false;
        }
        return true;
    }
    if (sub == "axis") {
        c.type = Command::Type::PadAxis;
        const auto axis = args == 2 ? indexNamed(kPadAxisNames, w[2]) : std::nullopt;
        if (!axis) {
            error = "pad axis takes a name (leftx lefty rightx righty lefttrigger righttrigger) and a value";
            return false;
        }
        c.a = *axis;
        const bool trigger = *axis >= static_cast<int>(PadAxis::LeftTrigger);
        if (!parseFloat(w[3], trigger ? 0.0f : -1.0f, 1.0f, c.value)) {
            error = std::string("pad axis ") + kPadAxisNames[*axis] + " takes a number from " +
                    (trigger ? "0" : "-1") + " to 1";
            return false;
        }
        return true;
    }
    if (sub == "press" || sub == "release") {
        c.type = sub == "press" ? Command::Type::PadPress : Command::Type::PadRelease;
        if (args == 0) {
            error = "pad " + sub + " takes one or more buttons (a b x y back start leftshoulder ...)";
            return false;
        }
        for (std::size_t i = 2; i < w.size(); ++i) {
            const auto button = indexNamed(kPadButtonNames, w[i]);
            if (!button) {
                error = "unknown pad button '" + w[i] +
                        "' (a b x y back guide start leftstick rightstick leftshoulder rightshoulder dpup "
                        "dpdown dpleft dpright)";
                return false;
            }
            c.padButtons.push_back(static_cast<PadButton>(*button));
        }
        return true;
    }
    error = "pad takes connect, disconnect, axis NAME VALUE, press BUTTON... or release BUTTON...";
    return false;
}

std::optional<Key> keyNamed(const std::string& word)
{
    const std::string w = lowered(word);
    if (w == "w") return Key::W;
    if (w == "a") return Key::A;
    if (w == "s") return Key::S;
    if (w == "d") return Key::D;
    if (w == "q") return Key::Q;
    if (w == "e") return Key::E;
    if (w == "escape" || w == "esc") return Key::Escape;
    return std::nullopt;
}

bool parseInteger(const std::string& word, long long low, long long high, long long& out)
{
    const char* end = word.data() + word.size();
    auto [ptr, ec] = std::from_chars(word.data(), end, out);
    return ec == std::errc() && ptr == end && out >= low && out <= high;
}

// Reads the whole script; on the first malformed line, reports it and fails.
bool parseScript(std::istream& in, std::vector<Command>& commands, std::string& error)
{
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (const auto hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;)
            w.push_back(word);
        if (w.empty())
            continue;

        auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(number) + ": " + why;
            return false;
        };
        const std::string& verb = w[0];
        const std::size_t args = w.size() - 1;
        Command c;
        if (verb == "tick") {
            c.type = Command::Type::Tick;
            if (args != 1 || !parseInteger(w[1], 0, 3600000, c.a))
                return fail("tick takes one whole number of milliseconds (0 to 3600000)");
        } else if (verb == "press" || verb == "release") {
            c.type = verb == "press" ? Command::Type::Press : Command::Type::Release;
            if (args == 0)
                return fail(verb + " takes one or more keys (W A S D Q E Escape)");
            for (std::size_t i = 1; i < w.size(); ++i) {
                const auto key = keyNamed(w[i]);
                if (!key)
                    return fail("unknown key '" + w[i] + "' (W A S D Q E Escape)");
                c.keys.push_back(*key);
            }
        } else if (verb == "mouse") {
            c.type = Command::Type::Mouse;
            if (args != 2 || !parseInteger(w[1], -100000, 100000, c.a) || !parseInteger(w[2], -100000, 100000, c.b))
                return fail("mouse takes two whole numbers of pixels, DX DY");
        } else if (verb == "resize") {
            c.type = Command::Type::Resize;
            if (args != 2 || !parseInteger(w[1], 1, kMaxHeadlessWindowSide, c.a) ||
                !parseInteger(w[2], 1, kMaxHeadlessWindowSide, c.b))
                return fail("resize takes two whole numbers of pixels (1 to " +
                            std::to_string(kMaxHeadlessWindowSide) + "), W H");
        } else if (verb == "click" || verb == "close" || verb == "state" || verb == "memory" ||
                   verb == "minimize") {
            c.type = verb == "click"    ? Command::Type::Click
                   : verb == "close"    ? Command::Type::Close
                   : verb == "memory"   ? Command::Type::Memory
                   : verb == "minimize" ? Command::Type::Minimize
                                        : Command::Type::State;
            if (args != 0)
                return fail(verb + " takes nothing");
        } else if (verb == "run") {
            c.type = Command::Type::Run;
            if (args != 1 || !parseInteger(w[1], 0, 100000000, c.a))
                return fail("run takes one whole number of frames");
        } else if (verb == "pad") {
            std::string why;
            if (!parsePadCommand(w, c, why))
                return fail(why);
        } else if (verb == "screenshot") {
            c.type = Command::Type::Screenshot;
            if (args != 1)
                return fail("screenshot takes one file name");
            c.path = w[1];
        } else {
            return fail("unknown command '" + verb + "'");
        }
        commands.push_back(std::move(c));
    }
    return true;
}

nlohmann::json vec3(const Vector3& v) { return {v.x, v.y, v.z}; }

nlohmann::json describe(const World& world, std::uint32_t startTicks, HeadlessPlatform& platform, bool padSeen)
{
    const Player& p = world.player;
    const WeaponState& weapon = world.weapon;
    nlohmann::json state;
    state["frame"] = world.framesRun;
    state["timeMs"] = static_cast<std::uint32_t>(platform.ticks() - startTicks);
    state["player"] = {
        {"position", vec3(p.position)}, {"yaw", p.yaw},     {"pitch", p.pitch},
        {"gait", p.gait},               {"inCar", p.inCar}, {"carIndex", p.carIndex},
    };
    nlohmann::json cars = nlohmann::json::array();
    for (const Car& car : world.cars) {
        nlohmann::json parts = nlohmann::json::array();
        int wheelsAttached = 0;
        for (int part = 0; part < kCarPartCount; ++part) {
            if (!car.built())
                break;
            float pose[16];
            car.partPose(part, pose);
            // Rows of the rotation block, so that rotation[r][c] reads as written.
            nlohmann::json rotation = {{pose[0], pose[4], pose[8]}, {pose[1], pose[5], pose[9]},
                                       {pose[2], pose[6], pose[10]}};
            parts.push_back({{"position", {pose[12], pose[13], pose[14]}}, {"rotation", rotation}});
            if (part > 0 && !car.wheelDetached(part))
                ++wheelsAttached;
        }
        cars.push_back({{"parts", parts},
                        {"hits", car.hits},
                        {"wheelsAttached", wheelsAttached},
                        {"throttle", car.throttle},
                        {"steer", car.steer},
                        {"brake", car.brake}});
    }
    state["cars"] = cars;
    state["weapon"] = {
        {"fireRequested", weapon.fireRequested}, {"sinceShot", weapon.sinceShot},
        {"shotTimer", weapon.shotTimer},         {"targetLocked", weapon.targetLocked},
        {"targetCar", weapon.targetCar},         {"targetPart", weapon.targetPart},
    };
    int active = 0;
    for (const Projectile& projectile : world.projectiles)
        active += projectile.active ? 1 : 0;
    state["projectiles"] = active;
    state["camera"] = {{"eye", vec3(world.camera.eye())}, {"lookAt", vec3(world.camera.lookAtPoint())}};
    // Only once a pad has been seen, so scripts without one describe the
    // game as they always did.
    if (padSeen) {
        nlohmann::json rumbles = nlohmann::json::array();
        for (const RecordedRumble& r : platform.rumbles())
            rumbles.push_back({{"strength", r.strength}, {"durationMs", r.durationMs},
                               {"timeMs", static_cast<std::uint32_t>(r.atTicks - startTicks)}});
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
                        {"position", vec3(voices[i].position)},
                        {"gain", voices[i].gain},
                        {"pitch", voices[i].pitch}});
    return {{"listener", vec3(world.audio.listener().position)}, {"voices", list}};
}

bool writeWav(const std::string& path, const std::vector<std::int16_t>& samples, std::string& error)
{
    SF_INFO info = {};
    info.samplerate = kAudioSampleRate;
    info.channels = kAudioChannels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        error = "cannot write " + path + ": " + sf_strerror(nullptr);
        return false;
    }
    const sf_count_t frames = static_cast<sf_count_t>(samples.size() / kAudioChannels);
    const bool written = sf_writef_short(file, samples.data(), frames) == frames;
    if (sf_close(file) != 0 || !written) {
        error = "cannot write " + path;
        return false;
    }
    return true;
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
// the real loop does), then the frame. False once the game has ended.
bool runOneFrame(World& world, HeadlessPlatform& platform, std::uint32_t tickMs)
{
    platform.advanceTicks(tickMs);
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
    app.add_option("script", scriptPath, "Script file, or - for standard input")->required();
    // The script language in the help, so the man page made from it is complete.
    app.footer("Script commands, one a line ('#' starts a comment):\n"
               "  tick MS              every following frame advances the clock by MS (16 until set)\n"
               "  press KEY...         hold keys (W A S D Q E Escape) from the next frame on\n"
               "  release KEY...       let them go\n"
               "  mouse DX DY          the next frame's mouse look (left and up positive)\n"
               "  click                a left-button press before the next frame\n"
               "  close                a window-close request\n"
               "  resize W H           the window restored or maximised to W x H pixels (1 to 4096)\n"
               "  minimize             the window minimised\n"
               "  pad connect          a gamepad plugged in, at rest\n"
               "  pad disconnect       the pad pulled out\n"
               "  pad axis NAME VALUE  leftx lefty rightx righty (-1 to 1), lefttrigger righttrigger (0 to 1)\n"
               "  pad press BUTTON...  hold pad buttons by SDL's names (a b x y back start leftstick ...)\n"
               "  pad release BUTTON...\n"
               "  run N                run N frames (fewer if the game ends)\n"
               "  state                print one line of JSON describing the game\n"
               "  screenshot FILE.png  save what the window shows after the last frame\n"
               "  memory               print the game time and resident memory as JSON\n\n"
               "Exit status: 0 when the script ran to its end or the game ended; 1 when a screenshot cannot be "
               "saved; 2 for a script that cannot be read or is malformed; the game's own status when it cannot "
               "start (3: data unusable or not found); 130 or 143 when stopped by SIGINT or SIGTERM.");
    app.add_option("--data", dataDir,
                   "Folder the game starts in (its data files); without it, the data is looked for as the game "
                   "looks for it: the current directory, beside the program, then $XDG_DATA_DIRS");
    std::string audioOut;
    std::string audioDevice;
    app.add_option("--audio-out", audioOut, "Write the game's sound to this WAV file, and describe it in each state");
    app.add_option("--audio-device", audioDevice,
                   "Play through the system's audio device of this name instead of capturing the sound");
    CLI11_PARSE(app, argc, argv);

    std::vector<Command> commands;
    std::string error;
    {
        std::ifstream file;
        std::istream* in = &std::cin;
        if (scriptPath != "-") {
            if (const std::string problem = scriptFileProblem(scriptPath); !problem.empty()) {
                std::cerr << "turfwar-replay: cannot read " << scriptPath << ": " << problem << "\n";
                return 2;
            }
            file.open(scriptPath);
            if (!file) {
                std::cerr << "turfwar-replay: cannot read " << scriptPath << ": " << std::strerror(errno) << "\n";
                return 2;
            }
            in = &file;
        }
        errno = 0;
        if (!parseScript(*in, commands, error)) {
            std::cerr << "turfwar-replay: " << scriptPath << ": " << error << "\n";
            return 2;
        }
        if (in->bad()) {
            // A read that fails part way must not pass for a shorter script.
            std::cerr << "turfwar-replay: cannot read " << scriptPath << ": "
                      << (errno != 0 ? std::strerror(errno) : "read error") << "\n";
            return 2;
        }
    }

    // Screenshots are named from where the tool was started, the game runs in its data folder.
    bool wantsFrames = false;
    if (!audioOut.empty())
        audioOut = std::filesystem::absolute(audioOut).string();
    for (Command& c : commands) {
        if (c.type == Command::Type::Screenshot) {
            c.path = std::filesystem::absolute(c.path).string();
            wantsFrames = true;
        }
    }
    const DataFolderSearch search = findDataFolder(dataDir, processDataFolderPlaces());
    if (!search.folder) {
        // The game's own box, in the form every box takes here.
        std::cerr << messageBoxLine({dataNotFoundText(search), kErrorBoxCaption}) << std::endl;
        return kExitBadGameData;
    }
    std::error_code ec;
    std::filesystem::current_path(*search.folder, ec);
    if (ec) {
        std::cerr << "turfwar-replay: cannot enter data folder " << search.folder->string() << ": " << ec.message()
                  << "\n";
        return 2;
    }

    HeadlessPlatform platform;
    platform.queueAnswer(MessageBoxAnswer::No);
    platform.setCaptureFrames(wantsFrames);
    platform.setCaptureAudio(!audioOut.empty());
    if (!audioDevice.empty())
        platform.setAudioDeviceName(audioDevice);
    platform.onMessageBox = [](const RecordedMessageBox& box) { std::cerr << messageBoxLine(box) << std::endl; };
    catchStopSignals();
    World world(platform);
    const int status = startTurfwar(world);
    if (status != kExitOk)
        return status;
    const std::uint32_t startTicks = platform.ticks();
    // The capture is written whenever the run ends after the start.
    auto finish = [&]() {
        int finished = finishTurfwar(world);
        if (!audioOut.empty() && !writeWav(audioOut, platform.capturedAudio(), error)) {
            std::cerr << "turfwar-replay: " << error << "\n";
            finished = 1;
        }
        return finished;
    };

    std::uint32_t tickMs = 16;
    bool running = true;
    bool padSeen = false;
    // Once the game has ended, runs do nothing; state and screenshots still
    // describe how it ended.
    for (const Command& c : commands) {
        if (stopSignal != 0)
            break;
        switch (c.type) {
        case Command::Type::Tick:
            tickMs = static_cast<std::uint32_t>(c.a);
            break;
        case Command::Type::Press:
        case Command::Type::Release:
            for (Key key : c.keys)
                platform.setKeyDown(key, c.type == Command::Type::Press);
            break;
        case Command::Type::Mouse:
            platform.moveMouse(static_cast<int>(-c.a), static_cast<int>(-c.b));
            break;
        case Command::Type::Click:
            platform.click(1);
            break;
        case Command::Type::Close:
            platform.requestClose();
            break;
        case Command::Type::Resize:
            platform.resize(static_cast<int>(c.a), static_cast<int>(c.b));
            break;
        case Command::Type::Minimize:
            platform.minimize();
            break;
        case Command::Type::PadConnect:
            platform.connectPad();
            padSeen = true;
            break;
        case Command::Type::PadDisconnect:
            platform.disconnectPad();
            break;
        case Command::Type::PadAxis:
            platform.setPadAxis(static_cast<PadAxis>(c.a), c.value);
            break;
        case Command::Type::PadPress:
        case Command::Type::PadRelease:
            for (PadButton button : c.padButtons)
                platform.setPadButton(button, c.type == Command::Type::PadPress);
            break;
        case Command::Type::Run:
            for (long long i = 0; i < c.a && running && stopSignal == 0; ++i)
                running = runOneFrame(world, platform, tickMs);
            break;
        case Command::Type::State:
        {
            nlohmann::json state = describe(world, startTicks, platform, padSeen);
            if (!audioOut.empty())
                state["audio"] = describeAudio(world);
            std::cout << state.dump() << std::endl;
        }
            break;
        case Command::Type::Memory:
            std::cout << memoryUse(static_cast<std::uint32_t>(platform.ticks() - startTicks)).dump() << std::endl;
            break;
        case Command::Type::Screenshot:
            if (!writePng(c.path, platform.lastFrame(), error)) {
                std::cerr << "turfwar-replay: " << error << "\n";
                finish();
                return 1;
            }
            break;
        }
    }
    if (const int signo = stopSignal; signo != 0) {
        std::cerr << "turfwar-replay: stopped by " << (signo == SIGINT ? "SIGINT" : "SIGTERM") << "\n";
        finish();
        return 128 + signo;
    }
    return finish();
}
