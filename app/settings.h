#pragma once
// What a player can set, in one record: filled once at start-up from the
// settings file and the command line, then handed down to the parts that
// read it. Every default is the original game's behaviour, so a player with
// no settings file and no options gets exactly the original game.

#include "bots/bots.h"
#include "net/protocol.h"
#include "sim/match.h"
#include "sim/player_command.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>

enum class FullscreenChoice { Ask, Yes, No };
enum class VsyncMode { Adaptive, On, Off };
// Full screen by switching the display to the game's 800 x 600 (the
// original's way), or at the desktop's own resolution with no mode change.
enum class FullscreenMode { Switch, Desktop };

struct VideoSettings {
    FullscreenChoice fullscreen = FullscreenChoice::Ask;
    VsyncMode vsync = VsyncMode::Adaptive;
    int maxFps = 0;  // 0: no cap
    FullscreenMode fullscreenMode = FullscreenMode::Switch;
};

struct AudioSettings {
    int volume = 100;  // percent
    bool mute = false;
};

struct MouseSettings {
    float sensitivity = 1.0f;  // degrees of look per count of relative motion
    bool invertY = false;      // up looks down; the pad's right stick follows it too
    int player = 1;            // with several local players, whose look the mouse moves (1 to 4)
};

struct GamepadSettings {
    float deadZone = 0.15f;     // share of a stick's (or trigger's) travel that counts as rest
    float lookSpeed = 180.0f;   // degrees per second at full right-stick tilt
};

// The player's actions, each bound to one input.
enum class Action { Forward, Back, Left, Right, Run, EnterLeave, Fire, Quit, Scoreboard };
inline constexpr std::size_t kActionCount = 9;

// A key by its position on the keyboard (an SDL scancode number, so the
// binding survives keyboard layouts), or a mouse button (1 left, 2 middle,
// 3 right, as SDL numbers them). Key 0 (SDL's unknown scancode; "none" in
// the settings) is no input at all: an action left unbound.
struct Binding {
    enum class Kind { Key, MouseButton };
    Kind kind = Kind::Key;
    int code = 0;

    bool bound() const { return kind != Kind::Key || code != 0; }
    friend bool operator==(const Binding&, const Binding&) = default;
};

// The original's keys, by SDL scancode: W 26, S 22, A 4, D 7, Q 20, E 8,
// Escape 41; fire on the left button. The match's scoreboard shows while Tab
// (43) is held.
struct KeyBindings {
    std::array<Binding, kActionCount> bindings = {{
        {Binding::Kind::Key, 26},         // Forward: W
        {Binding::Kind::Key, 22},         // Back: S
        {Binding::Kind::Key, 4},          // Left: A
        {Binding::Kind::Key, 7},          // Right: D
        {Binding::Kind::Key, 20},         // Run: Q
        {Binding::Kind::Key, 8},          // EnterLeave: E
        {Binding::Kind::MouseButton, 1},  // Fire: left button
        {Binding::Kind::Key, 41},         // Quit: Escape
        {Binding::Kind::Key, 43},         // Scoreboard: Tab
    }};

    const Binding& operator[](Action action) const { return bindings[static_cast<std::size_t>(action)]; }
    Binding& operator[](Action action) { return bindings[static_cast<std::size_t>(action)]; }

    // Every action unbound: the other local players' keys until they set some.
    static KeyBindings none()
    {
        KeyBindings keys;
        keys.bindings.fill(Binding{});
        return keys;
    }
    bool anyBound() const
    {
        for (const Binding& binding : bindings)
            if (binding.bound())
                return true;
        return false;
    }
};

// How the window is shared by two players: one view above the other, or side
// by side. Three or four players always take a quarter each.
enum class SplitLayout { TopBottom, SideBySide };

// Local players on one machine: how many, and how two share the window.
// None is a match of bots alone, watched in one view that follows the first.
inline constexpr int kMaxLocalPlayers = 4;
// Free play (the original game: drive and shoot as you like) or a match of
// rounds between the red and the blue team.
enum class GameMode { Free, Match };
struct GameSettings {
    int players = 1;
    SplitLayout split = SplitLayout::TopBottom;
    GameMode mode = GameMode::Free;
};

// Bots beside the local players, at most this many (the world's players are
// the locals and the bots together, kMaxPlayers at most).
inline constexpr int kMaxBots = kMaxPlayers - 1;
// The greatest seed: the settings file and the options read whole numbers as int.
inline constexpr int kMaxBotSeed = 2147483647;

// The match's rules as the player sets them; read only when the mode is a match.
struct MatchSettings {
    int rounds = kDefaultRounds;
    float roundMinutes = kDefaultRoundSeconds / 60.0f;
    float respawnSeconds = kDefaultRespawnSeconds;
    // Unset is "auto": one bot when the local players are odd, so that the
    // teams come out even (one player gets an opponent, three a fourth).
    std::optional<int> bots;
    BotLevel botLevel = kDefaultBotLevel;
    int seed = static_cast<int>(kDefaultBotSeed);  // the bots' draws: the same seed and play, the same match

    MatchRules rules() const { return {.rounds = rounds, .roundSeconds = roundMinutes * 60.0f,
                                       .respawnSeconds = respawnSeconds}; }
};

// A player after the first (who has [keys], [mouse] and [gamepad]): the
// feel of their pad, and keys of their own on the shared keyboard, none
// until set (quitting stays with the first player's keys).
struct LocalPlayerSettings {
    GamepadSettings gamepad;
    bool invertY = false;  // the pad's right stick forward looks down
    KeyBindings keys = KeyBindings::none();
};

// Who this game is in a network match: on its own (no network at all), the
// host of a server it runs itself and joins, or a client of another's.
enum class NetworkRole { None, Host, Join };

// [network], and what --host and --connect ask for.
struct NetworkSettings {
    std::string name = "Player";  // at most kMaxNameBytes, as sanitisedPlayerName leaves it
    int port = kDefaultPort;      // the server's UDP port, to host on or to join
    // At most kMaxPasswordBytes; empty: none. Never printed (--print-config,
    // messages, logs), so a settings file shown to someone keeps it.
    std::string password;
    NetworkRole role = NetworkRole::None;  // the command line's only
    std::string joinHost;                  // --connect's host, a name or an IPv4 address
    bool anyPort = false;                  // --host 0: host on any free port, not on port
};

struct Settings {
    GameSettings game;
    MatchSettings match;
    VideoSettings video;
    AudioSettings audio;
    MouseSettings mouse;
    GamepadSettings gamepad;
    KeyBindings keys;
    // Players 2, 3 and 4 ([player2] ... in the file).
    LocalPlayerSettings player2;
    LocalPlayerSettings player3;
    LocalPlayerSettings player4;
    NetworkSettings network;
    std::optional<std::string> dataFolder;  // --data; unset: look for the data

    // Local player index 1 to 3's own settings.
    const LocalPlayerSettings& localPlayer(int index) const
    {
        return index <= 1 ? player2 : index == 2 ? player3 : player4;
    }
    // Local player index 0 to 3's keys.
    const KeyBindings& keysOf(int index) const { return index <= 0 ? keys : localPlayer(index).keys; }
    // The bots that play: none in free play; in a match the count set, or
    // for "auto" one when the local players are odd.
    int botsPlaying() const
    {
        if (game.mode != GameMode::Match)
            return 0;
        return match.bots.value_or(game.players % 2);
    }
};

// Why the local players and the bots cannot play together (more than
// kMaxPlayers in all, or no one at all), in a few words for a message; empty
// when they can.
std::string playerCountProblem(const Settings& settings);
