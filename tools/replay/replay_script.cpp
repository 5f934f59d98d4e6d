#include "tools/replay/replay_script.h"

#include "app/headless_platform.h"
#include "app/platform.h"
#include "app/settings_file.h"
#include "assets/data_file.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

using Type = ScriptCommand::Type;

enum class Arguments { None, Number, TwoNumbers, Keys, PadAxis, PadButtons, FileName };

struct CommandEntry {
    const char* name;   // one word, or "pad" and a second
    const char* usage;  // its arguments as --help shows them
    Type type;
    Arguments arguments;
    long long low = 0;  // Number and TwoNumbers: the range of each
    long long high = 0;
    const char* unit = "";  // Number and TwoNumbers: what a number counts
    // Lines of --help; "{range}" stands for "LOW to HIGH", "{buttons}" for the pad's button names.
    const char* help = "";
};

// SDL's names for the pad's axes and buttons, in PadAxis and PadButton order.
constexpr const char* kPadAxisNames[kPadAxisCount] = {"leftx", "lefty", "rightx", "righty", "lefttrigger",
                                                      "righttrigger"};
constexpr const char* kPadButtonNames[kPadButtonCount] = {
    "a", "b", "x", "y", "back", "guide", "start", "leftstick", "rightstick", "leftshoulder", "rightshoulder",
    "dpup", "dpdown", "dpleft", "dpright"};

constexpr CommandEntry kCommands[] = {
    {"tick", "MS", Type::Tick, Arguments::Number, 0, 3600000, "milliseconds",
     "every following frame advances the clock by MS (16 until set; {range})"},
    {"press", "KEY...", Type::Press, Arguments::Keys, 0, 0, "",
     "hold keys from the next frame on, by SDL's names as the settings file\n"
     "names them, in any case: W, Escape, F1, Space; quote a name with blanks\n"
     "(\"Left Shift\"). Press, release, mouse and click are the keyboard's and\n"
     "mouse's; written \"player N press Up\" (N 1 to 4), each is checked to be\n"
     "player N's by the settings: a key they bound, their mouse look, their fire"},
    {"release", "KEY...", Type::Release, Arguments::Keys, 0, 0, "", "let them go"},
    {"mouse", "DX DY", Type::Mouse, Arguments::TwoNumbers, -100000, 100000, "pixels",
     "the next frame's mouse look (left and up positive; {range})"},
    {"click", "", Type::Click, Arguments::None, 0, 0, "", "a left-button press before the next frame"},
    {"close", "", Type::Close, Arguments::None, 0, 0, "", "a window-close request"},
    {"resize", "W H", Type::Resize, Arguments::TwoNumbers, 1, kMaxHeadlessWindowSide, "pixels",
     "the window restored or maximised to W x H pixels ({range} a side:\n"
     "every frame is a real offscreen picture)"},
    {"minimize", "", Type::Minimize, Arguments::None, 0, 0, "", "the window minimised"},
    {"pad connect", "", Type::PadConnect, Arguments::None, 0, 0, "",
     "a gamepad plugged in (at rest until moved); every pad command is pad 1's,\n"
     "or pad N's (1 to 4) written \"pad N connect\", \"pad N press A\"..."},
    {"pad disconnect", "", Type::PadDisconnect, Arguments::None, 0, 0, "",
     "the pad pulled out: every stick, trigger and button at rest"},
    {"pad axis", "NAME VALUE", Type::PadAxis, Arguments::PadAxis, 0, 0, "",
     "a stick (leftx lefty rightx righty: -1 to 1, right and down positive)\n"
     "or trigger (lefttrigger righttrigger: 0 to 1) held there from the next\n"
     "frame on"},
    {"pad press", "BUTTON...", Type::PadPress, Arguments::PadButtons, 0, 0, "",
     "hold pad buttons, by SDL's names:\n{buttons}\n"
     "(a pad not connected drops axes and buttons, as a real one sends nothing)"},
    {"pad release", "BUTTON...", Type::PadRelease, Arguments::PadButtons, 0, 0, "", "let them go"},
    {"run", "N", Type::Run, Arguments::Number, 0, 100000000, "frames", "run N frames (fewer if the game ends)"},
    {"state", "", Type::State, Arguments::None, 0, 0, "",
     "print one line of JSON describing the game (with \"pad\" once a pad\n"
     "has been connected, \"audio\" with --audio-out)"},
    {"screenshot", "FILE.png", Type::Screenshot, Arguments::FileName, 0, 0, "",
     "save what the window shows after the last frame"},
    {"memory", "", Type::Memory, Arguments::None, 0, 0, "",
     "print one line of JSON: the game time and the process's resident and\n"
     "peak resident memory in KiB (for soak runs)"},
};

// Keys by their old short name, kept so every script written so far still reads.
constexpr int kEscapeScancode = 41;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string lowered(std::string_view word)
{
    std::string w;
    for (char c : word)
        w += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return w;
}

// A word of the script as a message shows it: clipped, control characters
// escaped as every message escapes them (printableName), and bytes beyond
// ASCII escaped too (a terminal may take some as commands). The \xHH text
// those become is printable, so printableName leaves it alone.
std::string shown(std::string_view word)
{
    constexpr std::size_t kShownBytes = 40;
    std::string ascii;
    for (const char c : word.substr(0, kShownBytes)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            ascii += c;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            ascii += hex;
        }
    }
    std::string out = printableName(ascii);
    if (word.size() > kShownBytes)
        out += "...";
    return "'" + out + "'";
}

std::string joined(const char* const* names, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += (i > 0 ? " " : "") + std::string(names[i]);
    return out;
}

std::string range(const CommandEntry& entry)
{
    return std::to_string(entry.low) + " to " + std::to_string(entry.high);
}

std::string replaced(std::string text, const std::string& token, const std::string& by)
{
    for (std::size_t at = text.find(token); at != std::string::npos; at = text.find(token, at + by.size()))
        text.replace(at, token.size(), by);
    return text;
}

// What the command takes, for its error message.
std::string takes(const CommandEntry& entry)
{
    switch (entry.arguments) {
    case Arguments::None: return "nothing";
    case Arguments::Number: return "one whole number of " + std::string(entry.unit) + " (" + range(entry) + ")";
    case Arguments::TwoNumbers:
        return "two whole numbers of " + std::string(entry.unit) + " (" + range(entry) + "), " + entry.usage;
    case Arguments::Keys: return "one or more key names (W, Escape, F1, \"Left Shift\"...)";
    case Arguments::PadAxis: return "a name (" + joined(kPadAxisNames, kPadAxisCount) + ") and a value";
    case Arguments::PadButtons: return "one or more buttons (" + joined(kPadButtonNames, kPadButtonCount) + ")";
    case Arguments::FileName: return "one file name";
    }
    return {};
}

template <std::size_t N>
std::optional<int> indexNamed(const char* const (&names)[N], std::string_view word)
{
    const std::string w = lowered(word);
    for (std::size_t i = 0; i < N; ++i) {
        if (w == names[i])
            return static_cast<int>(i);
    }
    return std::nullopt;
}

bool parseInteger(std::string_view word, long long low, long long high, long long& out)
{
    const char* end = word.data() + word.size();
    auto [ptr, ec] = std::from_chars(word.data(), end, out);
    return ec == std::errc() && ptr == end && out >= low && out <= high;
}

bool parseFloat(std::string_view word, float low, float high, float& out)
{
    const char* end = word.data() + word.size();
    auto [ptr, ec] = std::from_chars(word.data(), end, out);
    // NaN fails both comparisons.
    return ec == std::errc() && ptr == end && out >= low && out <= high;
}

// The line's words; false with the reason for an unterminated quote.
bool splitWords(std::string_view line, std::vector<std::string_view>& words, std::string& why)
{
    std::size_t i = 0;
    while (i < line.size()) {
        if (isBlank(line[i])) {
            ++i;
            continue;
        }
        if (line[i] == '#')
            return true;
        if (line[i] == '"') {
            const std::size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos) {
                why = "a quote opened and not closed";
                return false;
            }
            words.push_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        const std::size_t start = i;
        while (i < line.size() && !isBlank(line[i]) && line[i] != '#')
            ++i;
        words.push_back(line.substr(start, i - start));
    }
    return true;
}

// The command's arguments into c; false with the reason.
bool parseArguments(const CommandEntry& entry, const std::vector<std::string_view>& args, ScriptCommand& c,
                    std::string& why)
{
    const std::string name = entry.name;
    why = name + " takes " + takes(entry);
    switch (entry.arguments) {
    case Arguments::None:
        return args.empty();
    case Arguments::Number:
        return args.size() == 1 && parseInteger(args[0], entry.low, entry.high, c.a);
    case Arguments::TwoNumbers:
        return args.size() == 2 && parseInteger(args[0], entry.low, entry.high, c.a) &&
               parseInteger(args[1], entry.low, entry.high, c.b);
    case Arguments::FileName:
        if (args.size() != 1 || args[0].empty())
            return false;
        c.path = std::string(args[0]);
        return true;
    case Arguments::Keys:
        if (args.empty())
            return false;
        for (std::string_view word : args) {
            if (lowered(word) == "esc") {
                c.codes.push_back(kEscapeScancode);
                continue;
            }
            const std::optional<Binding> binding = bindingFromName(word);
            if (binding && binding->kind == Binding::Kind::MouseButton) {
                why = shown(word) + " is a mouse button: " + name + " takes keys (click presses the left button)";
                return false;
            }
            if (!binding || binding->code <= 0 || binding->code >= kScancodeCount) {
                why = "unknown key " + shown(word) + " (SDL's key names: W, Escape, F1, \"Left Shift\"...)";
                return false;
            }
            c.codes.push_back(binding->code);
        }
        return true;
    case Arguments::PadAxis: {
        const auto axis = args.size() == 2 ? indexNamed(kPadAxisNames, args[0]) : std::nullopt;
        if (!axis)
            return false;
        c.a = *axis;
        const bool trigger = *axis >= static_cast<int>(PadAxis::LeftTrigger);
        if (!parseFloat(args[1], trigger ? 0.0f : -1.0f, 1.0f, c.value)) {
            why = std::string("pad axis ") + kPadAxisNames[*axis] + " takes a number from " + (trigger ? "0" : "-1") +
                  " to 1";
            return false;
        }
        return true;
    }
    case Arguments::PadButtons:
        if (args.empty())
            return false;
        for (std::string_view word : args) {
            const auto button = indexNamed(kPadButtonNames, word);
            if (!button) {
                why = "unknown pad button " + shown(word) + " (" + joined(kPadButtonNames, kPadButtonCount) + ")";
                return false;
            }
            c.codes.push_back(*button);
        }
        return true;
    }
    return false;
}

std::string sizeText(std::size_t bytes)
{
    return std::to_string(bytes) + " bytes";
}

}  // namespace

bool ScriptParser::fail(int line, const std::string& why)
{
    result_.commands.clear();
    result_.errorLine = line;
    result_.error = line > 0 ? "line " + std::to_string(line) + ": " + why : why;
    return false;
}

bool ScriptParser::parseLine(std::string_view text)
{
    const int number = ++lineNumber_;
    if (number == 1 && text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::vector<std::string_view> words;
    std::string why;
    if (!splitWords(text, words, why))
        return fail(number, why);
    if (words.empty())
        return true;

    const CommandEntry* entry = nullptr;
    std::size_t used = 1;
    int pad = 0;
    int player = 0;
    if (words[0] == "player") {
        // "player N ...": a keyboard or mouse command said to be player N's.
        if (words.size() < 2 || words[1].size() != 1 || words[1][0] < '1' || words[1][0] > '0' + kMaxLocalPlayers)
            return fail(number, "player takes a number, 1 to " + std::to_string(kMaxLocalPlayers) +
                                    ", then press, release, mouse or click");
        player = words[1][0] - '0';
        words.erase(words.begin(), words.begin() + 2);
        const bool forPlayer = !words.empty() && (words[0] == "press" || words[0] == "release" ||
                                                  words[0] == "mouse" || words[0] == "click");
        if (!forPlayer)
            return fail(number, "player " + std::to_string(player) + " takes press, release, mouse or click" +
                                    (words.empty() ? "" : ", not " + shown(words[0])));
    }
    if (words[0] == "pad") {
        used = 2;
        // "pad N ...": pad N's; a bare "pad ..." is pad 1's.
        if (words.size() > 1 && words[1].size() == 1 && words[1][0] >= '1' && words[1][0] <= '0' + kPadSlots) {
            pad = words[1][0] - '1';
            words.erase(words.begin() + 1);
        } else if (words.size() > 1 && !words[1].empty() && words[1][0] >= '0' && words[1][0] <= '9') {
            return fail(number, "pad " + shown(words[1]) + ": pads are numbered 1 to " + std::to_string(kPadSlots));
        }
        const std::string sub = words.size() > 1 ? "pad " + std::string(words[1]) : "";
        std::string choices;
        for (const CommandEntry& s : kCommands) {
            if (std::strncmp(s.name, "pad ", 4) != 0)
                continue;
            if (sub == s.name)
                entry = &s;
            choices += (choices.empty() ? "" : ", ") + std::string(s.name + 4) + (*s.usage ? " " : "") + s.usage;
        }
        if (entry == nullptr)
            return fail(number, "pad takes " + choices);
    } else {
        for (const CommandEntry& s : kCommands) {
            if (words[0] == s.name)
                entry = &s;
        }
        if (entry == nullptr)
            return fail(number, "unknown command " + shown(words[0]));
    }

    ScriptCommand c;
    c.type = entry->type;
    c.line = number;
    c.pad = pad;
    c.player = player;
    const std::vector<std::string_view> args(words.begin() + static_cast<std::ptrdiff_t>(used), words.end());
    if (!parseArguments(*entry, args, c, why))
        return fail(number, why);
    result_.commands.push_back(std::move(c));
    return true;
}

bool ScriptParser::feed(std::string_view bytes)
{
    if (failed())
        return false;
    bytes_ += bytes.size();
    if (bytes_ > kMaxScriptBytes)
        return fail(0, "the script is longer than " + sizeText(kMaxScriptBytes));
    while (!bytes.empty()) {
        const std::size_t newline = bytes.find('\n');
        const std::size_t lineBytes = newline == std::string_view::npos ? bytes.size() : newline;
        if (partial_.size() + lineBytes > kMaxScriptLineBytes)
            return fail(lineNumber_ + 1, "longer than " + sizeText(kMaxScriptLineBytes));
        if (newline == std::string_view::npos) {
            partial_.append(bytes);
            return true;
        }
        bool parsed = false;
        if (partial_.empty()) {
            parsed = parseLine(bytes.substr(0, newline));
        } else {
            partial_.append(bytes.substr(0, newline));
            parsed = parseLine(partial_);
            partial_.clear();
        }
        if (!parsed)
            return false;
        bytes.remove_prefix(newline + 1);
    }
    return true;
}

bool ScriptParser::finish()
{
    if (failed())
        return false;
    if (!partial_.empty()) {
        const std::string last = std::move(partial_);
        partial_.clear();
        return parseLine(last);
    }
    return true;
}

ScriptParse parseScript(std::string_view text)
{
    ScriptParser parser;
    if (parser.feed(text))
        parser.finish();
    return std::move(parser.result());
}

std::string checkPlayerCommands(const std::vector<ScriptCommand>& commands, const Settings& settings)
{
    const int players = settings.game.players;
    for (const ScriptCommand& c : commands) {
        if (c.player == 0)
            continue;
        const std::string who = "player " + std::to_string(c.player);
        const std::string at = "line " + std::to_string(c.line) + ": ";
        if (c.player > players)
            return at + who + ": the game has " + std::to_string(players) + (players == 1 ? " player" : " players") +
                   " (--players)";
        const int index = c.player - 1;
        const KeyBindings& keys = settings.keysOf(index);
        const std::string section = index == 0 ? "[keys]" : "[player" + std::to_string(c.player) + "]";
        const auto bound = [&](const Binding& wanted) {
            return std::find(keys.bindings.begin(), keys.bindings.end(), wanted) != keys.bindings.end();
        };
        switch (c.type) {
        case ScriptCommand::Type::Press:
        case ScriptCommand::Type::Release:
            for (const int code : c.codes) {
                const Binding key{Binding::Kind::Key, code};
                if (!bound(key))
                    return at + who + " has no action on " + shown(bindingName(key)) + " (their keys: " + section +
                           " in --config)";
            }
            break;
        case ScriptCommand::Type::Mouse:
            // One player takes every device; of several, [mouse] player looks.
            if (players > 1 && settings.mouse.player != c.player)
                return at + "the mouse's look is player " + std::to_string(settings.mouse.player) + "'s, not " +
                       who + "'s ([mouse] player in --config)";
            break;
        case ScriptCommand::Type::Click:
            if (!bound(Binding{Binding::Kind::MouseButton, 1}))
                return at + who + " has no action on the left button (their keys: " + section + " in --config)";
            break;
        default: break;
        }
    }
    return "";
}

std::string scriptCommandsHelp()
{
    constexpr std::size_t kColumn = 23;
    const std::string buttons = joined(kPadButtonNames, kPadButtonCount);
    std::string out;
    for (const CommandEntry& entry : kCommands) {
        std::string head = "  " + std::string(entry.name) + (*entry.usage ? " " : "") + entry.usage;
        std::string help = replaced(replaced(entry.help, "{range}", range(entry)), "{buttons}", buttons);
        // A long head takes a line of its own.
        if (head.size() + 1 > kColumn)
            head += "\n" + std::string(kColumn, ' ');
        else
            head += std::string(kColumn - head.size(), ' ');
        out += head + replaced(help, "\n", "\n" + std::string(kColumn, ' ')) + "\n";
    }
    return out;
}

std::vector<std::string> scriptCommandNames()
{
    std::vector<std::string> names;
    for (const CommandEntry& entry : kCommands)
        names.push_back(entry.name);
    return names;
}
