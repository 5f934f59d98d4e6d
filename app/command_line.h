#pragma once
// The game's command line, read with CLI11: `turfwar [OPTIONS]`. Help and
// version are answered here, without opening anything. A bad command line
// (an unknown option, a missing or out-of-range value, two options that
// exclude each other) gives a one-line reason, then the usage, for standard
// error, and the status kExitBadOptions.

#include "app/settings.h"

#include <optional>
#include <string>
#include <vector>

inline constexpr int kExitBadOptions = 2;

// What the options asked for; unset means the option was not given.
struct CommandLineOptions {
    std::optional<FullscreenChoice> fullscreen;  // --fullscreen (Yes) or --windowed (No)
    std::optional<std::string> dataFolder;       // --data, an existing folder
    std::optional<bool> mute;                    // --mute (true) or --mute=false
    std::optional<int> volume;                   // --volume, percent
    std::optional<float> mouseSensitivity;       // --mouse-sensitivity, degrees per count
    std::optional<bool> invertY;                 // --invert-y (true) or --invert-y=false
    std::optional<VsyncMode> vsync;              // --vsync
    std::optional<FullscreenMode> fullscreenMode;  // --fullscreen-mode
    std::optional<int> maxFps;                   // --max-fps, 0 no cap
    std::optional<std::string> configFile;       // --config
    bool printConfig = false;                    // --print-config
};

struct CommandLine {
    bool exitNow = false;  // help, version or a bad command line: end with exitStatus
    int exitStatus = 0;
    std::string out;  // for standard output (help, version)
    std::string err;  // for standard error (the reason and the usage)
    CommandLineOptions options;
};

// arguments[0] is the program's name, as in argv.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);
// Sets what the options name over what the record holds: options win over the file.
void applyCommandLine(const CommandLineOptions& options, Settings& settings);
