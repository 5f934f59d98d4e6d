#pragma once
// The player's settings file: TOML, read once at start-up into a Settings
// record. Its sections, keys, types and ranges are the rows of
// settings_table.h; the README shows every key with its default.
//
// Bad input never stops the game. A file that cannot be read, is a folder,
// is larger than kMaxSettingsFileBytes (refused unread), nests deeper than
// kMaxSettingsNesting (refused before parsing) or is not valid TOML gives one
// message and every setting at its default. In a well-formed file
// an unknown key, a value of the wrong type or out of range gives one message
// naming the key, and that key keeps its default while the rest apply; bots
// that would make more than kMaxPlayers with the local players are held to
// fit, with a message. Each message names the file and, where there is one,
// the line and column.
//
// The game never writes the file; settingsToToml only prints it.

#include "app/settings.h"
#include "app/settings_table.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t kMaxSettingsFileBytes = 1024 * 1024;
// Levels of tables, arrays and parts of dotted keys: the game's own keys are
// two deep, and the parser recurses once per level, so a file of thousands
// would overflow the stack.
inline constexpr std::size_t kMaxSettingsNesting = 32;

struct SettingsFileResult {
    Settings settings;                  // the defaults with what the file set
    std::vector<std::string> messages;  // one line each, without a trailing newline
};

// Parses settings text; fileName only labels the messages.
SettingsFileResult parseSettingsText(std::string_view text, const std::string& fileName);
// Reads and parses the file at path. A file that does not exist gives the
// defaults with no message when missingIsQuiet is set (the default file is
// optional), and a message otherwise.
SettingsFileResult readSettingsFile(const std::string& path, bool missingIsQuiet);
// The settings as a complete settings file, every key present and commented;
// parseSettingsText reads it back to the same record.
std::string settingsToToml(const Settings& settings);

// The player's settings folder: $XDG_CONFIG_HOME/turfwar, or
// ~/.config/turfwar when that is unset, empty or not absolute. Empty when
// neither gives a folder. The caller reads the environment.
std::optional<std::string> settingsFolder(const char* xdgConfigHome, const char* home);
// Where the settings file lives: settings.toml in the settings folder.
std::optional<std::string> defaultSettingsPath(const char* xdgConfigHome, const char* home);
