// Turfwar: a small arena game of walking, shooting and driving.

#include "app/data_folder.h"
#include "app/game.h"
#include "app/launch.h"
#include "app/sdl_platform.h"
#include "app/settings_file.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv, argv + argc);
    const Launch launch =
        planLaunch(arguments, defaultSettingsPath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")));
    std::fputs(launch.out.c_str(), stdout);
    std::fputs(launch.err.c_str(), stderr);
    std::fflush(stdout);
    if (launch.exitStatus)
        return *launch.exitStatus;

    SdlPlatform platform;
    World world(platform);
    world.settings = launch.settings;
    // The game opens its files by name in the working directory.
    if (!enterDataFolder(world.settings.dataFolder, platform))
        return kExitBadGameData;
    return runTurfwar(world);
}
