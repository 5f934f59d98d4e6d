#pragma once
// Every record of the running game, in one place with one owner: the entry
// point makes one World before the game starts and it lives until the
// process ends. Nothing is created or destroyed per frame.

#include "app/game_window.h"
#include "app/input.h"
#include "app/platform.h"
#include "assets/model_ms3d.h"
#include "game/player.h"
#include "game/weapon.h"

#include <cstdint>

struct World {
    explicit World(Platform& p) : platform(p), window(p) {}

    Platform& platform;
    GameWindow window;
    bool quitRequested = false;  // Escape was held at the end of a frame
    FrameTimer frameTimer;
    MouseCentre mouseCentre;
    Player player;
    WeaponState weapon;
    ModelMs3d gunModel;     // "data\gun.ms3d"
    ModelMs3d playerModel;  // "data\model.ms3d", animated from 4200 ms
    ModelMs3d skyModel;     // "sky.ms3d"

    // What the frame driver measured, for tools and tests to read.
    float lastFrameSeconds = 0.0f;  // dt of the most recent frame
    std::uint64_t framesRun = 0;
};
