#pragma once
// What one player does in one frame, as plain data: whatever device (keys
// and mouse, a pad, later a computer player or a packet) the player uses,
// the frame driver turns it into this record, and the simulation step takes
// nothing else from the player.
//
// The same movement controls walk on foot and drive in a car (forward is the
// throttle, back the brake), as they always have.

#include "sim/driving.h"
#include "sim/player.h"

// Room in the world for this many players; a game fills as many as it has.
inline constexpr int kMaxPlayers = 8;

struct PlayerCommand {
    // Held this frame: full-strength controls.
    bool forward = false;
    bool back = false;
    bool left = false;
    bool right = false;
    bool run = false;
    bool enterLeave = false;  // held; the step's cooldown makes a hold count once
    // A shot was asked for since the last frame (a press, not a hold). The
    // request stays with the weapon until the rate limit lets a shot out.
    bool fire = false;

    // Analog controls, at rest 0.
    float stickForward = 0.0f;  // -1 to 1, forward positive
    float stickLeft = 0.0f;     // -1 to 1, left positive
    float steer = 0.0f;         // -1 (left) to 1 (right)
    int throttle = 0;           // 0 to kFullThrottle
    int brake = 0;              // 0 to kFullBrake

    // Look this frame in degrees, left and up positive.
    float lookYaw = 0.0f;
    float lookPitch = 0.0f;
};

WalkControls walkControlsOf(const PlayerCommand& command);
DriveControls driveControlsOf(const PlayerCommand& command);
