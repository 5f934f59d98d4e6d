#pragma once
// The follow camera of the main view: the eye hangs on a damped spring behind
// and above the followed point (the player on foot, the chassis centre in a
// car) and always looks at the target raised by lookHeight. The eye lags and
// swings when the followed point moves or turns; its state carries over when
// the player gets in or out of a car, so the eye swings instead of jumping.

#include "math/vector3.h"

// A unit-mass spring pulling the eye to a rest point `distance` behind the
// anchor along the heading and `height` above it, integrated with
// semi-implicit Euler and damped relative to the anchor's own velocity, so the
// eye keeps pace with a moving car instead of lagging ever further behind.
// Any finite frame length is safe: frames longer than kMaxStepSeconds are
// integrated in equal sub-steps no longer than that.
class CameraSpring {
public:
    static constexpr float kMaxStepSeconds = 0.1f;  // the longest single integration step

    CameraSpring() = default;
    CameraSpring(float distance, float height, float stiffness);

    // Moves the eye on by dt seconds toward the rest point of the anchor as it
    // is now (during a sub-stepped frame the anchor is taken to have arrived
    // along anchorVelocity).
    void update(float dt);

    Vector3 anchor;           // the followed point
    Vector3 anchorVelocity;   // units per second
    float heading[2] = {0.0f, 0.0f};  // x and z of the followed direction, used unnormalised
    Vector3 position;         // the eye
    Vector3 velocity;         // units per second
    float distance = 0.0f;    // units behind the anchor at rest
    float height = 0.0f;      // units above the anchor at rest
    float stiffness = 0.0f;   // per second squared
    float damping = 0.0f;     // 2 sqrt(stiffness): critical for unit mass

private:
    // One semi-implicit Euler step of dt seconds toward the rest point of `at`.
    void step(float dt, const Vector3& at);
};

class ChaseCamera {
public:
    // Once at start-up: the spring (distance 50, this height, stiffness 4),
    // the eye at (-20, 20, 20).
    void init(float springHeight);
    void setTarget(Vector3 point) { target = point; }
    void setLookHeight(float h) { lookHeight = h; }
    // Hands the followed point, heading and velocity to the spring and moves
    // the eye; on foot and in a car alike.
    void update(float dt);
    // Multiplies the view into the current modelview matrix.
    void apply() const;
    // Where apply() puts the eye and what it looks at.
    Vector3 eye() const { return spring.position; }
    Vector3 lookAtPoint() const;

    Vector3 target;            // point looked at, before the height offset
    Vector3 up;                // (0, 1, 0) from init on
    float lookHeight = 0.0f;   // units along up; 10 on foot
    Vector3 followVelocity;    // units per second
    Vector3 followPoint;
    Vector3 followDirection;
    CameraSpring spring;
};

// What the frame driver gives the camera each frame.
inline constexpr float kOnFootLookHeight = 10.0f;
