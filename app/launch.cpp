#include "app/launch.h"

#include "app/command_line.h"
#include "app/settings_file.h"

Launch planLaunch(const std::vector<std::string>& arguments, const std::optional<std::string>& defaultSettingsFile)
{
    Launch launch;
    const CommandLine line = parseCommandLine(arguments);
    if (line.exitNow) {
        launch.exitStatus = line.exitStatus;
        launch.out = line.out;
        launch.err = line.err;
        return launch;
    }

    // A file the player named must be there; the default one need not be.
    SettingsFileResult file;
    if (line.options.configFile)
        file = readSettingsFile(*line.options.configFile, false);
    else if (defaultSettingsFile)
        file = readSettingsFile(*defaultSettingsFile, true);
    for (const std::string& message : file.messages)
        launch.err += "turfwar: " + message + "\n";

    launch.settings = file.settings;
    applyCommandLine(line.options, launch.settings);
    if (line.options.printConfig) {
        launch.out = settingsToToml(launch.settings);
        launch.exitStatus = 0;
    }
    return launch;
}
