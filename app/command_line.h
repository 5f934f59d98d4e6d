#pragma once
// The game's command line, read with CLI11: `turfwar [OPTIONS]`. Help and
// version are answered here, without opening anything. A bad command line
// (an unknown option, a missing or out-of-range value, two options that
// exclude each other) gives a one-line reason, then the usage, for standard
// error, and the status kExitBadOptions. The options that set a setting
// come from the settings table's rows, each checked against its row's range
// or names.

#include "app/settings.h"
#include "app/settings_table.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int kExitBadOptions = 2;

// A setting an option named, and the value it gave.
struct SettingOverride {
    const SettingRow* row = nullptr;
    SettingValue value{};
};

// What the options asked for; what is not here was not given.
struct CommandLineOptions {
    std::vector<SettingOverride> settings;  // the options that mirror a row of the settings table
    std::optional<std::string> configFile;  // --config
    bool printConfig = false;               // --print-config
    NetworkRole network = NetworkRole::None;  // --host or --connect
    std::string joinHost;                   // --connect's host
    std::optional<int> port;                // --host's PORT (0: any free port) or --connect's :PORT

    // The value an option gave section.key (an empty section for the
    // command-line-only rows, such as "data"); nullptr when none did.
    const SettingValue* given(std::string_view section, std::string_view key) const;
};

struct CommandLine {
    bool exitNow = false;  // help, version or a bad command line: end with exitStatus
    int exitStatus = 0;
    std::string out;  // for standard output (help, version)
    std::string err;  // for standard error (the reason and the usage)
    CommandLineOptions options;
};

// --connect's HOST[:PORT]: a name or an IPv4 address (ENet's client takes
// no IPv6), then a port of 1 to 65535; port unset when none is given. False
// for anything else (an empty host, a blank, a second colon, port 0).
bool splitHostPort(const std::string& text, std::string& host, std::optional<int>& port);

// arguments[0] is the program's name, as in argv.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);
// Sets what the options name over what the record holds: options win over the file.
void applyCommandLine(const CommandLineOptions& options, Settings& settings);
