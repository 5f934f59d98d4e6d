#pragma once
// Every record of the running game, in one place with one owner: the entry
// point makes one World before the game starts and it lives until the
// process ends. Nothing is created or destroyed per frame.

#include "app/frame_input.h"
#include "app/game_window.h"
#include "app/hud.h"
#include "app/input.h"
#include "app/menus.h"
#include "app/network_play.h"
#include "app/pad_seats.h"
#include "app/record_playback.h"
#include "app/platform.h"
#include "app/settings.h"
#include "assets/model_3ds.h"
#include "assets/texture.h"
#include "audio/audio.h"
#include "bots/bots.h"
#include "game/chase_camera.h"
#include "text/text_layer.h"
#include "game/fire_frames.h"
#include "game/game_sounds.h"
#include "game/scene.h"
#include "assets/model_ms3d.h"
#include "sim/sim_world.h"
#include "sim/step_events.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct World {
    explicit World(Platform& p) : platform(p), window(p) {}

    Platform& platform;
    Settings settings;  // filled by the entry point before the game starts
    GameWindow window;
    bool quitRequested = false;  // Escape was held at the end of a frame, or the start was stopped
    FrameTimer frameTimer;
    std::array<InputMemory, kMaxLocalPlayers> inputMemory;  // what the input keeps between frames, by local player
    PadSeats padSeats;        // with several players, whose pad is whose
    SimWorld sim;             // everything that decides what happens
    // The people at this machine: the world's players 0 to localPlayers - 1,
    // each with a view, a camera and devices; the bots are the players after
    // them. 0 only in a match of bots, shown in one view of player 0.
    int localPlayers = 1;
    BotSet bots;              // the computer players, in a match only
    std::array<PlayerCommand, kMaxPlayers> commands{};  // what the devices and the bots gave each player this frame
    StepEvents events;        // what the last frame's step raised
    std::array<ChaseCamera, kMaxLocalPlayers> cameras;  // one per local player's view
    TextLayer text;  // the views' labels and notes; without a font, no text
    HudState hud;    // the match's messages and their timers; idle in free play
    Model3ds carMesh;    // "car.3ds", the body of both cars
    Model3ds wheelMesh;  // "wheel.3ds", drawn for each wheel
    TextureId fireTextures[kFireFrameCount] = {};  // the muzzle flash, frame 0 first
    TextureId groundTexture = 0;                   // "grass14.bmp"
    TextureId markerTexture = 0;                   // "aasdf.tga"
    // The blue team's textures for car 1 ("carpaint_blue.bmp" for the
    // paint, and so on), loaded by loadTeamPaint for a match.
    std::vector<TextureSwap> blueSwaps;
    ModelMs3d gunModel;     // "data\gun.ms3d"
    ModelMs3d playerModel;  // "data\model.ms3d"; each player walks it in a pose of their own, from kWalkStartMs
    ModelMs3d skyModel;     // "sky.ms3d"
    // Sound: silent until start-up opens it, and silent for good when there
    // is no device. What the world sounds like is read from the world.
    Audio audio;
    GameSoundState sounds;
    MatchMenus menus;  // the pause menu and results screen, in a match only
    NetworkPlay network;  // --host or --connect; inactive otherwise
    // A server's match record to watch instead of playing (a tool sets it
    // before the start); empty for a game played here.
    std::string recordToPlay;
    RecordPlayback playback;  // active while that record is watched

    // What the frame driver measured, for tools and tests to read.
    float lastFrameSeconds = 0.0f;  // dt of the most recent frame
    int lastFramePhysicsSteps = 0;  // physics steps the most recent frame ran
    std::uint64_t framesRun = 0;
};
