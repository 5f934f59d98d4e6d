#pragma once
// Every record of the running game, in one place with one owner: the entry
// point makes one World before the game starts and it lives until the
// process ends. Nothing is created or destroyed per frame.

#include "app/frame_input.h"
#include "app/game_window.h"
#include "app/input.h"
#include "app/platform.h"
#include "app/settings.h"
#include "assets/model_3ds.h"
#include "assets/texture.h"
#include "audio/audio.h"
#include "game/chase_camera.h"
#include "game/fire_frames.h"
#include "game/game_sounds.h"
#include "game/projectile.h"
#include "assets/model_ms3d.h"
#include "game/player.h"
#include "game/weapon.h"
#include "physics/car.h"
#include "physics/physics_world.h"

#include <array>
#include <cstdint>

struct World {
    explicit World(Platform& p) : platform(p), window(p) {}

    Platform& platform;
    Settings settings;  // filled by the entry point before the game starts
    GameWindow window;
    bool quitRequested = false;  // Escape was held at the end of a frame, or the start was stopped
    FrameTimer frameTimer;
    InputMemory inputMemory;  // what the input keeps between frames
    // Declared before the cars: the cars' ODE objects go with the world.
    PhysicsWorld physics;
    float physicsAccumulator = 0.0f;  // real seconds not yet simulated
    std::array<Car, kCarCount> cars;
    float enterCooldown = 0.0f;       // seconds before E counts again
    Vector3 chassisVelocity;          // while driving: the driven chassis's, units per simulated second
    Player player;
    WeaponState weapon;
    std::array<Projectile, kProjectileCount> projectiles;
    ChaseCamera camera;
    Model3ds carMesh;    // "car.3ds", the body of both cars
    Model3ds wheelMesh;  // "wheel.3ds", drawn for each wheel
    TextureId fireTextures[kFireFrameCount] = {};  // the muzzle flash, frame 0 first
    TextureId groundTexture = 0;                   // "grass14.bmp"
    TextureId markerTexture = 0;                   // "aasdf.tga"
    ModelMs3d gunModel;     // "data\gun.ms3d"
    ModelMs3d playerModel;  // "data\model.ms3d", animated from kWalkStartMs
    ModelMs3d skyModel;     // "sky.ms3d"
    // Sound: silent until start-up opens it, and silent for good when there
    // is no device. What the world sounds like is read from the world.
    Audio audio;
    GameSoundState sounds;

    // What the frame driver measured, for tools and tests to read.
    float lastFrameSeconds = 0.0f;  // dt of the most recent frame
    int lastFramePhysicsSteps = 0;  // physics steps the most recent frame ran
    std::uint64_t framesRun = 0;
};
