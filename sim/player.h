#pragma once
// The player: a point that slides over the ground plane (y = 0), turned by the
// look and moved by the walking controls on foot, or sitting in one of the cars. Driving,
// the weapon and the camera read and write this record too.

#include "math/vector3.h"

class SkinnedModel;
struct SkeletonPose;

// The walking controls held this frame, read by the frame driver from
// whatever is bound to them: the four directions and run (keys or mouse
// buttons, by default W A S D and Q), and a pad's left stick for walking at
// any speed up to the full one.
struct WalkControls {
    bool forward = false;
    bool left = false;
    bool back = false;
    bool right = false;
    bool run = false;  // the run control (or the left stick pressed); only counts going forward
    // The stick's tilt past its dead zone, -1 to 1: the share of the full
    // speed along facing (forward positive) and side (left positive). Each
    // counts only while neither direction of its line is held.
    float stickForward = 0.0f;
    float stickLeft = 0.0f;
};

struct Player {
    Vector3 position;          // world units, on foot
    Vector3 facing;            // horizontal unit vector, recomputed every frame on foot
    Vector3 side;              // horizontal unit vector 90 degrees from facing
    float yaw = 0.0f;          // degrees about +y; grows without bound
    // Degrees; accumulates the vertical look. Nothing in the game reads it, but
    // it is kept: the game's description of the player names it, and the
    // replay tool prints it in its state, which recorded scripts compare.
    float pitch = 0.0f;
    int gait = 0;              // 0 standing, 1 walking, 2 running
    bool inCar = false;
    int carIndex = 0;          // the car driven now, or last
    Vector3 viewerPosition;    // while driving: the chassis centre
    Vector3 viewerDirection;   // while driving: the car's forward direction

    // The on-foot step: facing and side from the yaw, each held key's own
    // displacement (a diagonal is sqrt 2 faster), the gait, and the walk
    // animation advanced by dt x 1000 x gait ms, or restarted when standing.
    // Reads yaw and controls; writes position, facing, side, gait; animates
    // the player's own pose of model.
    void updateOnFoot(float dt, const WalkControls& controls, const SkinnedModel& model, SkeletonPose& pose);
};

inline constexpr float kWalkSpeed = 15.0f;  // units per second
inline constexpr float kRunSpeed = 30.0f;   // units per second, Q with W

// Where the player model's walk cycle starts in its animation, in
// milliseconds: the standing pose, from which the walk loops.
inline constexpr int kWalkStartMs = 4200;

// Yaw the game starts with, in degrees: the player faces -z.
inline constexpr float kStartYawDegrees = 180.0f;
