#include "app/settings_table.h"

#include "net/server.h"

#include <SDL_keyboard.h>
#include <SDL_scancode.h>

#include <cassert>
#include <charconv>
#include <cstdio>
#include <strings.h>
#include <type_traits>

namespace {

constexpr SettingChoice kFullscreenChoices[] = {
    {"ask", static_cast<int>(FullscreenChoice::Ask)},
    {"yes", static_cast<int>(FullscreenChoice::Yes)},
    {"no", static_cast<int>(FullscreenChoice::No)},
};
constexpr SettingChoice kSplitChoices[] = {
    {"top_bottom", static_cast<int>(SplitLayout::TopBottom)},
    {"side_by_side", static_cast<int>(SplitLayout::SideBySide)},
};
constexpr SettingChoice kVsyncChoices[] = {
    {"adaptive", static_cast<int>(VsyncMode::Adaptive)},
    {"on", static_cast<int>(VsyncMode::On)},
    {"off", static_cast<int>(VsyncMode::Off)},
};
constexpr SettingChoice kFullscreenModeChoices[] = {
    {"switch", static_cast<int>(FullscreenMode::Switch)},
    {"desktop", static_cast<int>(FullscreenMode::Desktop)},
};
constexpr SettingChoice kModeChoices[] = {
    {"free", static_cast<int>(GameMode::Free)},
    {"match", static_cast<int>(GameMode::Match)},
};
// botLevelName's words; a test holds the two together.
constexpr SettingChoice kBotLevelChoices[] = {
    {"easy", static_cast<int>(BotLevel::Easy)},
    {"normal", static_cast<int>(BotLevel::Normal)},
    {"hard", static_cast<int>(BotLevel::Hard)},
};
constexpr int kMouseButtonCount = 5;  // SDL's left, middle, right, back, forward

// --- Members as values: each row reaches its member through a path of
// pointers to members, so a row never names a member twice. ---

template <typename T>
SettingValue toValue(const T& member)
{
    if constexpr (std::is_enum_v<T>)
        return static_cast<int>(member);
    else
        return member;
}

SettingValue toValue(const std::optional<std::string>& member)
{
    return member ? SettingValue(*member) : SettingValue();
}

SettingValue toValue(const std::optional<int>& member)
{
    return member ? SettingValue(*member) : SettingValue();
}

template <typename T>
void fromValue(const SettingValue& value, T& member)
{
    if constexpr (std::is_enum_v<T>)
        member = static_cast<T>(std::get<int>(value));
    else
        member = std::get<T>(value);
}

void fromValue(const SettingValue& value, std::optional<std::string>& member)
{
    if (const auto* text = std::get_if<std::string>(&value))
        member = *text;
    else
        member.reset();
}

void fromValue(const SettingValue& value, std::optional<int>& member)
{
    if (const auto* whole = std::get_if<int>(&value))
        member = *whole;
    else
        member.reset();
}

template <auto... Path>
SettingValue getMember(const Settings& settings)
{
    return toValue((settings .* ... .* Path));
}

template <auto... Path>
void setMember(Settings& settings, const SettingValue& value)
{
    fromValue(value, (settings .* ... .* Path));
}

// One action's binding in a set of key bindings, found by its path of members.
template <Action A, auto... Path>
SettingValue getBinding(const Settings& settings)
{
    return (settings .* ... .* Path)[A];
}

template <Action A, auto... Path>
void setBinding(Settings& settings, const SettingValue& value)
{
    (settings .* ... .* Path)[A] = std::get<Binding>(value);
}

template <Action A, auto... Path>
SettingRow bindingRow(std::string_view section, std::string_view key, const char* help)
{
    return {.section = section, .key = key, .type = SettingType::Binding, .help = help,
            .get = &getBinding<A, Path...>, .set = &setBinding<A, Path...>};
}

// The actions a player moves and fights with; quitting is the game's, not a
// player's, and stays with [keys].
template <auto... Path>
void playerBindingRows(std::vector<SettingRow>& rows, std::string_view section)
{
    rows.push_back(bindingRow<Action::Forward, Path...>(section, "forward", "The key or button that moves forward"));
    rows.push_back(bindingRow<Action::Back, Path...>(section, "back", "The key or button that moves back"));
    rows.push_back(bindingRow<Action::Left, Path...>(section, "left", "The key or button that moves left"));
    rows.push_back(bindingRow<Action::Right, Path...>(section, "right", "The key or button that moves right"));
    rows.push_back(bindingRow<Action::Run, Path...>(section, "run", "The key or button held to run"));
    rows.push_back(bindingRow<Action::EnterLeave, Path...>(section, "enter_leave",
                                                           "The key or button that gets into or out of a car"));
    rows.push_back(bindingRow<Action::Fire, Path...>(section, "fire", "The key or button that fires"));
}

// A player after the first: the first player's [gamepad] and invert_y for
// their pad, and their keys on the shared keyboard.
template <auto Player>
void localPlayerRows(std::vector<SettingRow>& rows, std::string_view section)
{
    rows.push_back({.section = section, .key = "dead_zone", .type = SettingType::Number, .low = 0.0f, .high = 0.9f,
                    .help = "This player's pad: share of a stick's travel that counts as rest, {range}",
                    .note = "share of a stick's travel, {range}",
                    .get = &getMember<Player, &LocalPlayerSettings::gamepad, &GamepadSettings::deadZone>,
                    .set = &setMember<Player, &LocalPlayerSettings::gamepad, &GamepadSettings::deadZone>});
    rows.push_back({.section = section, .key = "look_speed", .type = SettingType::Number, .low = 1.0f,
                    .high = 1000.0f,
                    .help = "This player's pad: degrees of look per second at full right-stick tilt, {range}",
                    .note = "degrees per second at full tilt, {range}",
                    .get = &getMember<Player, &LocalPlayerSettings::gamepad, &GamepadSettings::lookSpeed>,
                    .set = &setMember<Player, &LocalPlayerSettings::gamepad, &GamepadSettings::lookSpeed>});
    rows.push_back({.section = section, .key = "invert_y", .type = SettingType::Boolean,
                    .help = "This player's pad: the right stick forward looks down",
                    .get = &getMember<Player, &LocalPlayerSettings::invertY>,
                    .set = &setMember<Player, &LocalPlayerSettings::invertY>});
    playerBindingRows<Player, &LocalPlayerSettings::keys>(rows, section);
}

// The rows. A Number's ends are written as floats: a value is compared with
// them as the float it will be, so that 0.9 in the file is within 0.9f.
std::vector<SettingRow> makeTable()
{
    std::vector<SettingRow> rows;
    rows.push_back({.section = "video", .key = "fullscreen", .type = SettingType::Choice,
                    .choices = kFullscreenChoices,
                    .help = "Whether to run full screen: ask at start, yes or no",
                    .note = "\"ask\" at start, \"yes\" or \"no\"",
                    .options = {{.name = "--fullscreen", .help = "Run full screen without asking",
                                 .setsChoice = static_cast<int>(FullscreenChoice::Yes), .helpRank = 1},
                                {.name = "--windowed", .help = "Run in a window without asking",
                                 .setsChoice = static_cast<int>(FullscreenChoice::No), .helpRank = 2}},
                    .get = &getMember<&Settings::video, &VideoSettings::fullscreen>,
                    .set = &setMember<&Settings::video, &VideoSettings::fullscreen>});
    rows.push_back({.section = "video", .key = "vsync", .type = SettingType::Choice, .choices = kVsyncChoices,
                    .help = "Wait for the display: adaptive (default; late frames tear), on, or off (as fast as "
                            "possible)",
                    .note = "\"adaptive\", \"on\" or \"off\"",
                    .options = {{.name = "--vsync", .valueName = "on|off|adaptive", .helpRank = 9}},
                    .get = &getMember<&Settings::video, &VideoSettings::vsync>,
                    .set = &setMember<&Settings::video, &VideoSettings::vsync>});
    rows.push_back({.section = "video", .key = "max_fps", .type = SettingType::Whole, .low = 0, .high = 1000,
                    .help = "Draw at most N frames a second (0, the default: no cap)",
                    .note = "frames per second, {range}; 0 is no cap",
                    .options = {{.name = "--max-fps", .valueName = "N", .helpRank = 10}},
                    .get = &getMember<&Settings::video, &VideoSettings::maxFps>,
                    .set = &setMember<&Settings::video, &VideoSettings::maxFps>});
    rows.push_back({.section = "video", .key = "fullscreen_mode", .type = SettingType::Choice,
                    .choices = kFullscreenModeChoices,
                    .help = "Full screen by switching the display to 800 x 600 (switch, the default) or at the "
                            "desktop's resolution (desktop)",
                    .note = "\"switch\" to 800 x 600, or \"desktop\" at its own resolution",
                    .options = {{.name = "--fullscreen-mode", .valueName = "switch|desktop", .helpRank = 3}},
                    .get = &getMember<&Settings::video, &VideoSettings::fullscreenMode>,
                    .set = &setMember<&Settings::video, &VideoSettings::fullscreenMode>});

    rows.push_back({.section = "audio", .key = "volume", .type = SettingType::Whole, .low = 0, .high = 100,
                    .help = "Sound volume in percent (default {default})",
                    .note = "percent, {range}",
                    .options = {{.name = "--volume", .valueName = "{low}..{high}", .helpRank = 6}},
                    .get = &getMember<&Settings::audio, &AudioSettings::volume>,
                    .set = &setMember<&Settings::audio, &AudioSettings::volume>});
    rows.push_back({.section = "audio", .key = "mute", .type = SettingType::Boolean,
                    .help = "Play no sound (--mute=false: play it, whatever the file says)",
                    .options = {{.name = "--mute", .helpRank = 5}},
                    .get = &getMember<&Settings::audio, &AudioSettings::mute>,
                    .set = &setMember<&Settings::audio, &AudioSettings::mute>});

    rows.push_back({.section = "mouse", .key = "sensitivity", .type = SettingType::Number, .low = 0.01f,
                    .high = 100.0f,
                    .help = "Degrees of turn per mouse count (default {default})",
                    .note = "degrees of turn per count, {range}",
                    .options = {{.name = "--mouse-sensitivity", .valueName = "X", .helpRank = 7}},
                    .get = &getMember<&Settings::mouse, &MouseSettings::sensitivity>,
                    .set = &setMember<&Settings::mouse, &MouseSettings::sensitivity>});
    rows.push_back({.section = "mouse", .key = "invert_y", .type = SettingType::Boolean,
                    .help = "Mouse forward looks down (--invert-y=false: looks up)",
                    .options = {{.name = "--invert-y", .helpRank = 8}},
                    .get = &getMember<&Settings::mouse, &MouseSettings::invertY>,
                    .set = &setMember<&Settings::mouse, &MouseSettings::invertY>});
    rows.push_back({.section = "mouse", .key = "player", .type = SettingType::Whole, .low = 1,
                    .high = kMaxLocalPlayers,
                    .help = "With several players, the one whose look the mouse moves, {range} (default {default})",
                    .note = "{range}: whose look the mouse moves when several play",
                    .get = &getMember<&Settings::mouse, &MouseSettings::player>,
                    .set = &setMember<&Settings::mouse, &MouseSettings::player>});

    playerBindingRows<&Settings::keys>(rows, "keys");
    rows.push_back(bindingRow<Action::Quit, &Settings::keys>("keys", "quit", "The key or button that ends the game"));
    rows.push_back(bindingRow<Action::Scoreboard, &Settings::keys>("keys", "scoreboard",
                                                                   "The key or button held to show a match's scoreboard"));

    rows.push_back({.section = "gamepad", .key = "dead_zone", .type = SettingType::Number, .low = 0.0f,
                    .high = 0.9f,
                    .help = "Share of a stick's (or trigger's) travel that counts as rest, {range}",
                    .note = "share of a stick's travel, {range}",
                    .get = &getMember<&Settings::gamepad, &GamepadSettings::deadZone>,
                    .set = &setMember<&Settings::gamepad, &GamepadSettings::deadZone>});
    rows.push_back({.section = "gamepad", .key = "look_speed", .type = SettingType::Number, .low = 1.0f,
                    .high = 1000.0f,
                    .help = "Degrees of look per second at full right-stick tilt, {range}",
                    .note = "degrees per second at full tilt, {range}",
                    .get = &getMember<&Settings::gamepad, &GamepadSettings::lookSpeed>,
                    .set = &setMember<&Settings::gamepad, &GamepadSettings::lookSpeed>});

    rows.push_back({.section = "game", .key = "players", .type = SettingType::Whole, .low = 0,
                    .high = kMaxLocalPlayers,
                    .help = "Players on this machine, each with a view of the window of their own, {range} "
                            "(default {default}; 0: a match of bots alone, in one view)",
                    .note = "{range}; the first plays [keys] and the mouse, the others pads or keys of their own; "
                            "0: bots alone, in a match",
                    .options = {{.name = "--players", .valueName = "N", .helpRank = 11}},
                    .get = &getMember<&Settings::game, &GameSettings::players>,
                    .set = &setMember<&Settings::game, &GameSettings::players>});
    rows.push_back({.section = "game", .key = "split", .type = SettingType::Choice, .choices = kSplitChoices,
                    .help = "How two players share the window: one view above the other (top_bottom, the "
                            "default) or side by side",
                    .note = "\"top_bottom\" or \"side_by_side\"; three or four players take a quarter each",
                    .options = {{.name = "--split", .valueName = "top_bottom|side_by_side", .helpRank = 12}},
                    .get = &getMember<&Settings::game, &GameSettings::split>,
                    .set = &setMember<&Settings::game, &GameSettings::split>});
    rows.push_back({.section = "game", .key = "mode", .type = SettingType::Choice, .choices = kModeChoices,
                    .help = "Free play (free, the default) or a match between the red and the blue team (match)",
                    .note = "\"free\" or \"match\"; the match's rules are in [match]",
                    .options = {{.name = "--match", .help = "Play a match (the rules in [match])",
                                 .setsChoice = static_cast<int>(GameMode::Match), .helpRank = 13}},
                    .get = &getMember<&Settings::game, &GameSettings::mode>,
                    .set = &setMember<&Settings::game, &GameSettings::mode>});

    rows.push_back({.section = "match", .key = "rounds", .type = SettingType::Whole, .low = 1, .high = 99,
                    .help = "Rounds a team must win to win the match, {range} (default {default})",
                    .note = "rounds to win, {range}",
                    .options = {{.name = "--rounds", .valueName = "N", .helpRank = 14}},
                    .get = &getMember<&Settings::match, &MatchSettings::rounds>,
                    .set = &setMember<&Settings::match, &MatchSettings::rounds>});
    rows.push_back({.section = "match", .key = "round_minutes", .type = SettingType::Number, .low = 0.25f,
                    .high = 60.0f,
                    .help = "Minutes on a round's clock, {range} (default {default})",
                    .note = "minutes, {range}; a level round then goes to sudden death",
                    .options = {{.name = "--round-minutes", .valueName = "X", .helpRank = 15}},
                    .get = &getMember<&Settings::match, &MatchSettings::roundMinutes>,
                    .set = &setMember<&Settings::match, &MatchSettings::roundMinutes>});
    rows.push_back({.section = "match", .key = "respawn_seconds", .type = SettingType::Number, .low = 0.0f,
                    .high = 60.0f,
                    .help = "Seconds a knocked-out player waits before coming back, {range} (default {default})",
                    .note = "seconds, {range}",
                    .options = {{.name = "--respawn-seconds", .valueName = "X", .helpRank = 16}},
                    .get = &getMember<&Settings::match, &MatchSettings::respawnSeconds>,
                    .set = &setMember<&Settings::match, &MatchSettings::respawnSeconds>});

    rows.push_back({.section = "match", .key = "bots", .type = SettingType::Whole, .low = 0, .high = kMaxBots,
                    .unsetName = "auto",
                    .help = "Computer players beside the local players in a match, {range}, or auto (the default: "
                            "one when the local players are odd, so the teams are even); none in free play",
                    .note = "{range} beside the local players, 8 players at most; \"auto\": one when they are "
                            "odd; none in free play",
                    .options = {{.name = "--bots", .valueName = "N|auto", .helpRank = 17}},
                    .get = &getMember<&Settings::match, &MatchSettings::bots>,
                    .set = &setMember<&Settings::match, &MatchSettings::bots>});
    rows.push_back({.section = "match", .key = "bot_level", .type = SettingType::Choice,
                    .choices = kBotLevelChoices,
                    .help = "How well the bots play: easy (a new player can beat them), normal (the default) or "
                            "hard",
                    .note = "\"easy\", \"normal\" or \"hard\"",
                    .options = {{.name = "--bot-level", .valueName = "easy|normal|hard", .helpRank = 18}},
                    .get = &getMember<&Settings::match, &MatchSettings::botLevel>,
                    .set = &setMember<&Settings::match, &MatchSettings::botLevel>});
    rows.push_back({.section = "match", .key = "seed", .type = SettingType::Whole, .low = 0, .high = kMaxBotSeed,
                    .help = "Seed of the bots' chances, {range} (default {default}): the same seed and the same "
                            "play give the same match",
                    .note = "{range}; the same seed and the same play give the same match",
                    .options = {{.name = "--seed", .valueName = "N", .helpRank = 19}},
                    .get = &getMember<&Settings::match, &MatchSettings::seed>,
                    .set = &setMember<&Settings::match, &MatchSettings::seed>});

    localPlayerRows<&Settings::player2>(rows, "player2");
    localPlayerRows<&Settings::player3>(rows, "player3");
    localPlayerRows<&Settings::player4>(rows, "player4");

    rows.push_back({.section = "network", .key = "name", .type = SettingType::Text, .maxBytes = kMaxNameBytes,
                    .clean = &sanitisedPlayerName,
                    .help = "The name others see in a network match, at most 24 bytes (default {default})",
                    .note = "at most 24 bytes; control characters are dropped",
                    .options = {{.name = "--name", .valueName = "NAME", .helpRank = 22}},
                    .get = &getMember<&Settings::network, &NetworkSettings::name>,
                    .set = &setMember<&Settings::network, &NetworkSettings::name>});
    rows.push_back({.section = "network", .key = "port", .type = SettingType::Whole, .low = 1, .high = 65535,
                    .help = "The UDP port to host on (--host) or to join on (--connect without :PORT), {range} "
                            "(default {default})",
                    .note = "UDP, {range}; --host PORT and --connect HOST:PORT override it",
                    .get = &getMember<&Settings::network, &NetworkSettings::port>,
                    .set = &setMember<&Settings::network, &NetworkSettings::port>});
    // The password is a secret: the printed settings leave it out and no
    // message quotes it, so a settings file or a log shown for help gives
    // nothing away.
    rows.push_back({.section = "network", .key = "password", .type = SettingType::Text,
                    .maxBytes = kMaxPasswordBytes, .secret = true,
                    .help = "The password a server asks for, at most 64 bytes (never printed)",
                    .options = {{.name = "--password", .valueName = "P", .helpRank = 23}},
                    .get = &getMember<&Settings::network, &NetworkSettings::password>,
                    .set = &setMember<&Settings::network, &NetworkSettings::password>});

    rows.push_back({.key = "data", .type = SettingType::Folder,
                    .help = "Read the game data from DIR (default: the current folder when it holds the data, else "
                            "the installed data)",
                    .options = {{.name = "--data", .valueName = "DIR", .helpRank = 4}},
                    .get = &getMember<&Settings::dataFolder>,
                    .set = &setMember<&Settings::dataFolder>});
    return rows;
}

constexpr SettingSection kSections[] = {
    {"video", nullptr},
    {"audio", nullptr},
    {"mouse", nullptr},
    {"keys", "SDL key names (\"Left Shift\", \"Space\", \"Keypad 8\"...), Mouse1 to Mouse5, or \"none\""},
    {"gamepad", nullptr},
    {"game", nullptr},
    {"match", "read when [game] mode is \"match\" (or with --match)"},
    {"player2", "the second player: their pad, and keys of their own (none until set)"},
    {"player3", "the third player: their pad, and keys of their own (none until set)"},
    {"player4", "the fourth player: their pad, and keys of their own (none until set)"},
    {"network", "for --host and --connect"},
};

const SettingRow& rowOf(std::string_view section, std::string_view key)
{
    const SettingRow* row = findSettingRow(section, key);
    assert(row != nullptr && "the choice names below are asked only of rows the table holds");
    return *row;
}

std::string replaced(std::string text, std::string_view from, const std::string& to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string endText(const SettingRow& row, double end)
{
    if (row.type == SettingType::Number)
        return floatText(static_cast<float>(end));
    return std::to_string(static_cast<int>(end));
}

}  // namespace

std::span<const SettingRow> settingsTable()
{
    static const std::vector<SettingRow> rows = makeTable();
    return rows;
}

std::span<const SettingSection> settingSections()
{
    return kSections;
}

const SettingRow* findSettingRow(std::string_view section, std::string_view key)
{
    for (const SettingRow& row : settingsTable()) {
        if (row.section == section && row.key == key)
            return &row;
    }
    return nullptr;
}

std::optional<std::string> settingTextValue(const SettingRow& row, const std::string& text)
{
    if (row.maxBytes > 0 && text.size() > row.maxBytes)
        return std::nullopt;
    return row.clean != nullptr ? row.clean(text) : text;
}

std::string settingValueText(const SettingRow& row, const SettingValue& value)
{
    if (const auto* whole = std::get_if<int>(&value))
        return row.type == SettingType::Choice ? quoted(settingChoiceName(row, *whole)) : std::to_string(*whole);
    if (const auto* number = std::get_if<float>(&value))
        return floatText(*number);
    if (const auto* flag = std::get_if<bool>(&value))
        return *flag ? "true" : "false";
    if (const auto* binding = std::get_if<Binding>(&value))
        return quoted(bindingName(*binding));
    if (const auto* text = std::get_if<std::string>(&value))
        return quoted(*text);
    if (row.unsetName != nullptr)
        return quoted(row.unsetName);
    return "unset";
}

std::string settingRangeText(const SettingRow& row)
{
    return endText(row, row.low) + " to " + endText(row, row.high);
}

std::string settingText(const SettingRow& row, std::string_view text)
{
    std::string out(text);
    if (out.find('{') == std::string::npos)
        return out;
    out = replaced(std::move(out), "{default}", settingValueText(row, row.get(Settings{})));
    out = replaced(std::move(out), "{range}", settingRangeText(row));
    out = replaced(std::move(out), "{low}", endText(row, row.low));
    return replaced(std::move(out), "{high}", endText(row, row.high));
}

std::optional<int> settingChoiceFromName(const SettingRow& row, std::string_view name)
{
    for (const SettingChoice& choice : row.choices) {
        if (name == choice.name)
            return choice.value;
    }
    return std::nullopt;
}

const char* settingChoiceName(const SettingRow& row, int value)
{
    for (const SettingChoice& choice : row.choices) {
        if (choice.value == value)
            return choice.name;
    }
    return row.choices.empty() ? "" : row.choices.front().name;
}

bool isSettingUnsetName(const SettingRow& row, std::string_view text)
{
    return row.unsetName != nullptr && text == row.unsetName;
}

std::string playerCountProblem(const Settings& settings)
{
    const int players = settings.game.players;
    const int bots = settings.match.bots.value_or(0);
    if (players + bots > kMaxPlayers)
        return std::to_string(players) + (players == 1 ? " local player and " : " local players and ") +
               std::to_string(bots) + (bots == 1 ? " bot" : " bots") + " make " + std::to_string(players + bots) +
               " players; at most " + std::to_string(kMaxPlayers) + " can play";
    if (players == 0 && settings.botsPlaying() == 0)
        return settings.game.mode == GameMode::Match ? "no one would play: no local player and no bot"
                                                     : "no one would play: no local player, and bots play only in "
                                                       "a match";
    return {};
}

std::string floatText(float value)
{
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, ec == std::errc() ? end : buffer);
    if (text.find_first_of(".en") == std::string::npos)
        text += ".0";
    return text;
}

// Scancode names hold quotes and backslashes ("\\", "'").
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

std::optional<Binding> bindingFromName(std::string_view name)
{
    // SDL reads names up to a NUL; a name with one inside is not a name.
    if (name.empty() || name.find('\0') != std::string_view::npos)
        return std::nullopt;
    if (name.size() == 4 && ::strncasecmp(name.data(), "none", 4) == 0)
        return Binding{};  // unbound: SDL names no key so
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
    if (!binding.bound())
        return "none";
    if (binding.kind == Binding::Kind::MouseButton)
        return "Mouse" + std::to_string(binding.code);
    return SDL_GetScancodeName(static_cast<SDL_Scancode>(binding.code));
}

const char* fullscreenChoiceName(FullscreenChoice choice)
{
    return settingChoiceName(rowOf("video", "fullscreen"), static_cast<int>(choice));
}

const char* vsyncModeName(VsyncMode mode)
{
    return settingChoiceName(rowOf("video", "vsync"), static_cast<int>(mode));
}

const char* fullscreenModeName(FullscreenMode mode)
{
    return settingChoiceName(rowOf("video", "fullscreen_mode"), static_cast<int>(mode));
}

std::optional<FullscreenMode> fullscreenModeFromName(std::string_view name)
{
    const std::optional<int> value = settingChoiceFromName(rowOf("video", "fullscreen_mode"), name);
    return value ? std::optional(static_cast<FullscreenMode>(*value)) : std::nullopt;
}

std::optional<VsyncMode> vsyncModeFromName(std::string_view name)
{
    const std::optional<int> value = settingChoiceFromName(rowOf("video", "vsync"), name);
    return value ? std::optional(static_cast<VsyncMode>(*value)) : std::nullopt;
}
