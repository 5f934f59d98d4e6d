#pragma once
// Everything decided before anything opens: the command line, then the
// settings file it names (or the default one), merged into one Settings
// record with the options over the file over the defaults. Local players
// and bots that cannot play together (too many, or no one) end the start as
// a bad option does when an option set them, and otherwise, from the file,
// are held to fit with a message. Reads the
// settings file; reads no environment (the caller passes the default file's
// place, see defaultSettingsPath).

#include "app/settings.h"

#include <optional>
#include <string>
#include <vector>

struct Launch {
    std::optional<int> exitStatus;  // set: end now with this status (help, version, --print-config, bad options)
    std::string out;                // for standard output
    std::string err;                // for standard error, one line per problem
    Settings settings;              // what the game runs with
};

// arguments as argv gives them; defaultSettingsFile is read when there is
// no --config, and may be missing without a message.
Launch planLaunch(const std::vector<std::string>& arguments, const std::optional<std::string>& defaultSettingsFile);

// The window's title and the start question's text, naming the keys as they
// are bound ("Close: F1"); with the original's keys they are the original's
// texts, byte for byte (kWindowTitle and kStartQuestionText).
std::string windowTitle(const KeyBindings& keys);
std::string startQuestionText(const KeyBindings& keys);
