#include "app/settings_file.h"

#include <SDL_scancode.h>
#include <SDL_keyboard.h>

// toml++ is compiled into this file rather than linked from the system's
// shared library: the sanitizer builds and the fuzzer then see inside the
// parser too, and the game needs no extra library at run time.
#define TOML_HEADER_ONLY 1
#include <toml++/toml.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr std::array<std::pair<FullscreenChoice, const char*>, 3> kFullscreenNames = {{
    {FullscreenChoice::Ask, "ask"},
    {FullscreenChoice::Yes, "yes"},
    {FullscreenChoice::No, "no"},
}};
constexpr std::array<std::pair<VsyncMode, const char*>, 3> kVsyncNames = {{
    {VsyncMode::Adaptive, "adaptive"},
    {VsyncMode::On, "on"},
    {VsyncMode::Off, "off"},
}};
constexpr std::array<const char*, kActionCount> kActionKeyNames = {
    "forward", "back", "left", "right", "run", "enter_leave", "fire", "quit",
};
constexpr int kMouseButtonCount = 5;  // SDL's left, middle, right, back, forward

// --- Printing values the way the file writes them. ---

// The shortest text that reads back to the same float, always with a point
// so that TOML sees a floating-point number.
std::string floatText(float value)
{
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, ec == std::errc() ? end : buffer);
    if (text.find_first_of(".en") == std::string::npos)
        text += ".0";
    return text;
}

// A TOML basic string. Scancode names hold quotes and backslashes ("\\", "'").
std::string quoted(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

const char* typeName(const toml::node& node)
{
    switch (node.type()) {
    case toml::node_type::table: return "a table";
    case toml::node_type::array: return "an array";
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "an integer";
    case toml::node_type::floating_point: return "a floating-point number";
    case toml::node_type::boolean: return "a boolean";
    case toml::node_type::date: return "a date";
    case toml::node_type::time: return "a time";
    case toml::node_type::date_time: return "a date-time";
    case toml::node_type::none: break;
    }
    return "nothing";
}

// Messages are one line each, whatever the file held: control characters
// are shown as escapes.
std::string oneLine(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out;
}

// A name or value from the file as a message shows it: at most a few dozen
// bytes, cut where a UTF-8 character starts.
std::string clipped(std::string_view text)
{
    constexpr std::size_t kShown = 40;
    if (text.size() <= kShown)
        return std::string(text);
    std::size_t cut = kShown;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xc0) == 0x80)
        --cut;
    return std::string(text.substr(0, cut)) + "...";
}

std::string where(const std::string& fileName, const toml::source_region& region)
{
    return fileName + ":" + std::to_string(region.begin.line) + ":" + std::to_string(region.begin.column) + ": ";
}

// Messages about places in the file, handed out in the file's order (toml++
// keeps a table's keys sorted by name, not as written).
class PlacedMessages {
public:
    explicit PlacedMessages(const std::string& fileName) : fileName_(fileName) {}

    void add(const toml::source_region& region, const std::string& text)
    {
        placed_.push_back({region.begin.line, region.begin.column, where(fileName_, region) + oneLine(text)});
    }

    void moveInto(std::vector<std::string>& out)
    {
        std::stable_sort(placed_.begin(), placed_.end(), [](const Placed& a, const Placed& b) {
            return a.line != b.line ? a.line < b.line : a.column < b.column;
        });
        for (Placed& p : placed_)
            out.push_back(std::move(p.text));
        placed_.clear();
    }

private:
    struct Placed {
        toml::source_index line;
        toml::source_index column;
        std::string text;
    };
    const std::string& fileName_;
    std::vector<Placed> placed_;
};

// Reads one section's keys into the record, one message per key it cannot use.
class SectionReader {
public:
    SectionReader(std::string_view section, PlacedMessages& messages) : section_(section), messages_(messages) {}

    std::string keyPath(std::string_view key) const { return std::string(section_) + "." + clipped(key); }

    void reject(const toml::node& node, std::string_view key, const std::string& problem,
                const std::string& defaultText)
    {
        messages_.add(node.source(), keyPath(key) + ": " + problem + "; using the default " + defaultText);
    }

    void wrongType(const toml::node& node, std::string_view key, const char* expected,
                   const std::string& defaultText)
    {
        reject(node, key, std::string("expected ") + expected + ", found " + typeName(node), defaultText);
    }

    void readInt(const toml::node& node, std::string_view key, int low, int high, int& out)
    {
        const std::string defaultText = std::to_string(out);
        const auto* value = node.as_integer();
        if (value == nullptr) {
            wrongType(node, key, "an integer", defaultText);
            return;
        }
        const std::int64_t v = value->get();
        if (v < low || v > high) {
            reject(node, key,
                   std::to_string(v) + " is out of range (" + std::to_string(low) + " to " + std::to_string(high) +
                       ")",
                   defaultText);
            return;
        }
        out = static_cast<int>(v);
    }

    // Integers count as numbers too: "sensitivity = 2" is what a player writes.
    void readFloat(const toml::node& node, std::string_view key, float low, float high, float& out)
    {
        const std::string defaultText = floatText(out);
        double v = 0.0;
        if (const auto* real = node.as_floating_point()) {
            v = real->get();
        } else if (const auto* whole = node.as_integer()) {
            v = static_cast<double>(whole->get());
        } else {
            wrongType(node, key, "a number", defaultText);
            return;
        }
        // Compared as the float it will be, so that "0.9" is within 0.9f; the
        // first test keeps the conversion defined and lets no NaN through.
        if (!(std::fabs(v) <= 1e30) || !(static_cast<float>(v) >= low && static_cast<float>(v) <= high)) {
            char shown[32];
            std::snprintf(shown, sizeof shown, "%g", v);
            reject(node, key, std::string(shown) + " is out of range (" + floatText(low) + " to " + floatText(high) + ")",
                   defaultText);
            return;
        }
        out = static_cast<float>(v);
    }

    void readBool(const toml::node& node, std::string_view key, bool& out)
    {
        const auto* value = node.as_boolean();
        if (value == nullptr) {
            wrongType(node, key, "true or false", out ? "true" : "false");
            return;
        }
        out = value->get();
    }

    template <typename Enum, std::size_t N>
    void readChoice(const toml::node& node, std::string_view key,
                    const std::array<std::pair<Enum, const char*>, N>& names, Enum& out)
    {
        std::string choices;
        std::string defaultText;
        for (std::size_t i = 0; i < N; ++i) {
            choices += (i == 0 ? "" : i + 1 == N ? " or " : ", ") + quoted(names[i].second);
            if (names[i].first == out)
                defaultText = quoted(names[i].second);
        }
        const auto* value = node.as_string();
        if (value == nullptr) {
            wrongType(node, key, ("a string, " + choices).c_str(), defaultText);
            return;
        }
        for (const auto& [choice, name] : names) {
            if (value->get() == name) {
                out = choice;
                return;
            }
        }
        reject(node, key, quoted(clipped(value->get())) + " is not one of " + choices, defaultText);
    }

    void readBinding(const toml::node& node, std::string_view key, Binding& out)
    {
        const std::string defaultText = quoted(bindingName(out));
        const auto* value = node.as_string();
        if (value == nullptr) {
            wrongType(node, key, "a key name", defaultText);
            return;
        }
        const std::optional<Binding> binding = bindingFromName(value->get());
        if (!binding) {
            reject(node, key, quoted(clipped(value->get())) + " is not a key or mouse button name", defaultText);
            return;
        }
        out = *binding;
    }

    void unknownKey(const toml::key& key)
    {
        messages_.add(key.source(), keyPath(key.str()) + ": unknown key, ignored");
    }

private:
    std::string_view section_;
    PlacedMessages& messages_;
};

void readVideo(SectionReader& reader, const toml::key& name, const toml::node& node, VideoSettings& video)
{
    const std::string_view key = name.str();
    if (key == "fullscreen")
        reader.readChoice(node, key, kFullscreenNames, video.fullscreen);
    else if (key == "vsync")
        reader.readChoice(node, key, kVsyncNames, video.vsync);
    else if (key == "max_fps")
        reader.readInt(node, key, 0, kMaxFpsLimit, video.maxFps);
    else
        reader.unknownKey(name);
}

void readAudio(SectionReader& reader, const toml::key& name, const toml::node& node, AudioSettings& audio)
{
    const std::string_view key = name.str();
    if (key == "volume")
        reader.readInt(node, key, kMinVolume, kMaxVolume, audio.volume);
    else if (key == "mute")
        reader.readBool(node, key, audio.mute);
    else
        reader.unknownKey(name);
}

void readMouse(SectionReader& reader, const toml::key& name, const toml::node& node, MouseSettings& mouse)
{
    const std::string_view key = name.str();
    if (key == "sensitivity")
        reader.readFloat(node, key, kMinMouseSensitivity, kMaxMouseSensitivity, mouse.sensitivity);
    else if (key == "invert_y")
        reader.readBool(node, key, mouse.invertY);
    else
        reader.unknownKey(name);
}

void readGamepad(SectionReader& reader, const toml::key& name, const toml::node& node, GamepadSettings& pad)
{
    const std::string_view key = name.str();
    if (key == "dead_zone")
        reader.readFloat(node, key, 0.0f, kMaxDeadZone, pad.deadZone);
    else if (key == "look_speed")
        reader.readFloat(node, key, kMinLookSpeed, kMaxLookSpeed, pad.lookSpeed);
    else
        reader.unknownKey(name);
}

void readKeys(SectionReader& reader, const toml::key& name, const toml::node& node, KeyBindings& keys)
{
    const std::string_view key = name.str();
    for (std::size_t i = 0; i < kActionCount; ++i) {
        if (key == kActionKeyNames[i]) {
            reader.readBinding(node, key, keys.bindings[i]);
            return;
        }
    }
    reader.unknownKey(name);
}

// Two actions on one input both happen on it, which is seldom what a player
// meant; say so, and keep both as written.
void reportSharedBindings(const toml::table& keysTable, const KeyBindings& keys, PlacedMessages& messages)
{
    for (std::size_t i = 0; i < kActionCount; ++i) {
        for (std::size_t j = i + 1; j < kActionCount; ++j) {
            if (!(keys.bindings[i] == keys.bindings[j]))
                continue;
            // Point at whichever of the two the file set (the later one when both).
            const toml::node* set = keysTable.get(kActionKeyNames[j]);
            if (set == nullptr)
                set = keysTable.get(kActionKeyNames[i]);
            if (set == nullptr)
                continue;
            messages.add(set->source(), std::string("keys.") + kActionKeyNames[i] + " and keys." + kActionKeyNames[j] +
                                            " are both " + quoted(bindingName(keys.bindings[i])) +
                                            "; both actions will happen on it");
        }
    }
}

void readDocument(const toml::table& document, const std::string& fileName, SettingsFileResult& result)
{
    Settings& settings = result.settings;
    PlacedMessages messages(fileName);
    for (const auto& [name, node] : document) {
        const std::string_view section = name.str();
        const toml::table* table = node.as_table();
        const bool known = section == "video" || section == "audio" || section == "mouse" || section == "keys" ||
                           section == "gamepad";
        if (!known) {
            messages.add(name.source(), clipped(section) +
                                            (table != nullptr ? ": unknown section, ignored" : ": unknown key, ignored"));
            continue;
        }
        if (table == nullptr) {
            messages.add(node.source(), std::string(section) + ": expected a section ([" + std::string(section) +
                                            "]), found " + typeName(node) + "; using its defaults");
            continue;
        }
        SectionReader reader(section, messages);
        for (const auto& [key, value] : *table) {
            if (section == "video")
                readVideo(reader, key, value, settings.video);
            else if (section == "audio")
                readAudio(reader, key, value, settings.audio);
            else if (section == "mouse")
                readMouse(reader, key, value, settings.mouse);
            else if (section == "gamepad")
                readGamepad(reader, key, value, settings.gamepad);
            else
                readKeys(reader, key, value, settings.keys);
        }
        if (section == "keys")
            reportSharedBindings(*table, settings.keys, messages);
    }
    messages.moveInto(result.messages);
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

std::string tooLarge(const std::string& path)
{
    return path + ": larger than 1 MiB, not read; using every default";
}

}  // namespace

SettingsFileResult parseSettingsText(std::string_view text, const std::string& fileName)
{
    SettingsFileResult result;
    toml::table document;
    try {
        document = toml::parse(text, fileName);
    } catch (const toml::parse_error& error) {
        result.messages.push_back(where(fileName, error.source()) + "not a valid settings file: " +
                                  oneLine(error.description()) + "; using every default");
        return result;
    }
    readDocument(document, fileName, result);
    return result;
}

SettingsFileResult readSettingsFile(const std::string& path, bool missingIsQuiet)
{
    SettingsFileResult result;
    // Non-blocking, so that a FIFO without a writer reads as empty instead of
    // holding up the start.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.get() < 0) {
        if (errno == ENOENT && missingIsQuiet)
            return result;
        result.messages.push_back(path + ": cannot read (" + std::strerror(errno) + "); using every default");
        return result;
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) {
        result.messages.push_back(path + ": cannot read (" + std::strerror(errno) + "); using every default");
        return result;
    }
    if (S_ISDIR(status.st_mode)) {
        result.messages.push_back(path + ": a folder, not a settings file; using every default");
        return result;
    }
    if (S_ISREG(status.st_mode) && status.st_size > static_cast<off_t>(kMaxSettingsFileBytes)) {
        result.messages.push_back(tooLarge(path));
        return result;
    }
    // Read one byte past the limit: a device or a file still growing may
    // hold more than its size said.
    std::string text(kMaxSettingsFileBytes + 1, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(file.get(), text.data() + got, text.size() - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            continue;
        }
        if (n == 0 || errno == EAGAIN)
            break;
        if (errno == EINTR)
            continue;
        result.messages.push_back(path + ": cannot read (" + std::strerror(errno) + "); using every default");
        return result;
    }
    if (got > kMaxSettingsFileBytes) {
        result.messages.push_back(tooLarge(path));
        return result;
    }
    text.resize(got);
    return parseSettingsText(text, path);
}

std::string settingsToToml(const Settings& settings)
{
    std::string out;
    out += "# Turfwar settings. Every key is optional; a missing key keeps its default.\n";
    out += "\n[video]\n";
    out += "fullscreen = " + quoted(fullscreenChoiceName(settings.video.fullscreen)) +
           "  # \"ask\" at start, \"yes\" or \"no\"\n";
    out += "vsync = " + quoted(vsyncModeName(settings.video.vsync)) + "  # \"adaptive\", \"on\" or \"off\"\n";
    out += "max_fps = " + std::to_string(settings.video.maxFps) + "  # frames per second, 0 to " +
           std::to_string(kMaxFpsLimit) + "; 0 is no cap\n";
    out += "\n[audio]\n";
    out += "volume = " + std::to_string(settings.audio.volume) + "  # percent, 0 to 100\n";
    out += std::string("mute = ") + (settings.audio.mute ? "true" : "false") + "\n";
    out += "\n[mouse]\n";
    out += "sensitivity = " + floatText(settings.mouse.sensitivity) + "  # degrees of turn per count, " +
           floatText(kMinMouseSensitivity) + " to " + floatText(kMaxMouseSensitivity) + "\n";
    out += std::string("invert_y = ") + (settings.mouse.invertY ? "true" : "false") + "\n";
    out += "\n[keys]  # SDL key names (\"Left Shift\", \"Space\", \"Keypad 8\"...) or Mouse1 to Mouse5\n";
    for (std::size_t i = 0; i < kActionCount; ++i)
        out += std::string(kActionKeyNames[i]) + " = " + quoted(bindingName(settings.keys.bindings[i])) + "\n";
    out += "\n[gamepad]\n";
    out += "dead_zone = " + floatText(settings.gamepad.deadZone) + "  # share of a stick's travel, 0.0 to " +
           floatText(kMaxDeadZone) + "\n";
    out += "look_speed = " + floatText(settings.gamepad.lookSpeed) + "  # degrees per second at full tilt, " +
           floatText(kMinLookSpeed) + " to " + floatText(kMaxLookSpeed) + "\n";
    return out;
}

std::optional<std::string> defaultSettingsPath(const char* xdgConfigHome, const char* home)
{
    // A relative XDG_CONFIG_HOME is invalid and must be ignored.
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/')
        return std::string(xdgConfigHome) + "/turfwar/settings.toml";
    if (home != nullptr && home[0] != '\0')
        return std::string(home) + "/.config/turfwar/settings.toml";
    return std::nullopt;
}

std::optional<Binding> bindingFromName(std::string_view name)
{
    // SDL reads names up to a NUL; a name with one inside is not a name.
    if (name.empty() || name.find('\0') != std::string_view::npos)
        return std::nullopt;
    const std::string text(name);
    if (text.size() == 6 && ::strncasecmp(text.c_str(), "mouse", 5) == 0 && text[5] >= '1' &&
        text[5] < '1' + kMouseButtonCount)
        return Binding{Binding::Kind::MouseButton, text[5] - '0'};
    const SDL_Scancode code = SDL_GetScancodeFromName(text.c_str());
    if (code == SDL_SCANCODE_UNKNOWN)
        return std::nullopt;
    return Binding{Binding::Kind::Key, static_cast<int>(code)};
}

std::string bindingName(const Binding& binding)
{
    if (binding.kind == Binding::Kind::MouseButton)
        return "Mouse" + std::to_string(binding.code);
    return SDL_GetScancodeName(static_cast<SDL_Scancode>(binding.code));
}

const char* actionKeyName(Action action) { return kActionKeyNames[static_cast<std::size_t>(action)]; }

const char* fullscreenChoiceName(FullscreenChoice choice)
{
    for (const auto& [value, name] : kFullscreenNames) {
        if (value == choice)
            return name;
    }
    return "ask";
}

const char* vsyncModeName(VsyncMode mode)
{
    for (const auto& [value, name] : kVsyncNames) {
        if (value == mode)
            return name;
    }
    return "adaptive";
}

std::optional<VsyncMode> vsyncModeFromName(std::string_view name)
{
    for (const auto& [value, known] : kVsyncNames) {
        if (name == known)
            return value;
    }
    return std::nullopt;
}
