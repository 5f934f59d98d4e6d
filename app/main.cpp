// Turfwar: a small arena game of walking, shooting and driving.

#include "app/data_folder.h"
#include "app/game.h"
#include "app/sdl_platform.h"

int main(int, char**)
{
    SdlPlatform platform;
    World world(platform);
    // The game opens its files by name in the working directory.
    if (!enterDataFolder(world.settings.dataFolder, platform))
        return kExitBadGameData;
    return runTurfwar(world);
}
