// Turfwar: a small arena game of walking, shooting and driving.

#include "app/game.h"
#include "app/sdl_platform.h"

int main(int, char**)
{
    SdlPlatform platform;
    World world(platform);
    return runTurfwar(world);
}
