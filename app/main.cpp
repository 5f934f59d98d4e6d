// Turfwar: a small arena game of walking, shooting and driving.

#include "app/game.h"
#include "app/launch.h"
#include "app/sdl_platform.h"
#include "app/settings_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// The game reads its data by names relative to where it runs, so it runs in
// the data folder. Without --data that is the folder it was started in.
bool enterDataFolder(const Settings& settings)
{
    if (!settings.dataFolder)
        return true;
    if (::chdir(settings.dataFolder->c_str()) != 0) {
        std::fprintf(stderr, "turfwar: cannot use the data folder %s: %s\n", settings.dataFolder->c_str(),
                     std::strerror(errno));
        return false;
    }
    return true;
}

}  // namespace

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
    if (!enterDataFolder(launch.settings))
        return kExitBadGameData;

    SdlPlatform platform;
    World world(platform);
    world.settings = launch.settings;
    return runTurfwar(world);
}
