#pragma once
// A car: one box chassis and four sphere wheels, each wheel hung on the
// chassis by a hinge-2 joint (steering axis up, axle along z) with a soft
// suspension. Built from the car file, driven by three controls that the
// frame driver sets from the keys every frame, and hit by the weapon.
//
// Car frame: +x forward, +y up, z across. Parts: 0 chassis, 1 and 2 rear
// wheels (at -x), 3 and 4 front wheels (at +x); 1 and 3 on the +z side.
// Joint k holds wheel part k + 1.
//
// The ODE objects of a car belong to the physics world and go with it, unless
// destroy takes them first (a match rebuilds its cars between rounds).

#include "math/vector3.h"
#include "physics/car_file.h"

#include <ode/ode.h>

#include <string>

inline constexpr int kCarCount = 2;
inline constexpr int kCarPartCount = 5;
inline constexpr int kCarJointCount = 4;
inline constexpr float kCarLift = 1.0f;           // model units every part starts above the file's numbers
inline constexpr float kChassisMass = 40.0f;
inline constexpr float kWheelMass = 1.0f;
inline constexpr float kSuspensionErp = 0.2f;
inline constexpr float kSuspensionCfm = 0.8f;
inline constexpr float kDriveSpeed = 10.0f;       // radians per simulated second on the axles
inline constexpr float kBrakeForce = 1000.0f;
inline constexpr float kSteerLock = 0.75f;        // radians at full steer
inline constexpr float kSteerErrorLimit = 0.1f;   // radians
inline constexpr float kSteerGain = 10.0f;
inline constexpr float kSteerForce = 10.0f;
inline constexpr float kSteerFudge = 0.1f;
inline constexpr int kWheelDetachHits = 3;
// Where a hit pushes its part: a world-frame force at a body-relative point.
inline constexpr Vector3 kHitForce = {0.0f, 50.0f, 0.0f};
inline constexpr Vector3 kHitPoint = {2.0f, 6.0f, -1.0f};

class Car {
public:
    Car() = default;
    Car(const Car&) = delete;
    Car& operator=(const Car&) = delete;

    // Reads the car file and builds the car in world, its parts' geometries
    // in a simple space of their own inside space. False when the file is
    // unusable: nothing is created then, and reason (when given) says why.
    bool build(const char* fileName, dWorldID inWorld, dSpaceID inSpace, std::string* reason = nullptr);
    // Builds from numbers already read. sizes and radius must be positive.
    void build(const CarParams& carParams, dWorldID inWorld, dSpaceID inSpace);
    bool built() const { return bodies[0] != nullptr; }
    // Destroys every ODE object of the car and forgets its hits and controls;
    // build may then be called again. Nothing happens to a car not built.
    void destroy();

    // Moves every body by offset, keeping its rotation.
    void translate(Vector3 offset);

    void setThrottle(int value) { throttle = value; }
    void setSteer(float value) { steer = value; }
    void setBrake(int value) { brake = value; }
    // Turns the controls into motor targets on the four joints. Once per frame.
    void drive();

    // A shot hit the part (0 to 4): counts it and pushes the body (the force
    // acts in the next step); the third hit on a wheel sets the wheel free, to
    // collide with everything, its own car included. The chassis never comes off.
    void hit(int part);
    // Sets a wheel (1 to 4) free as its third hit does, without the push;
    // nothing happens to a wheel already free or to the chassis. A network
    // client frees the wheels the server says are off.
    void detachWheel(int part);

    // Adds a force given in the part's frame at a point in the part's frame
    // (model units); like a hit's push it acts in the next step.
    void pushPart(int part, Vector3 localForce, Vector3 localPoint);

    // Maps a point and a direction from the part's frame to the world.
    void partToWorld(int part, Vector3 localPoint, Vector3 localDirection, Vector3& worldPoint,
                     Vector3& worldDirection) const;
    // The part's pose as a column-major 4 x 4 matrix (rotation, then translation).
    void partPose(int part, float matrix[16]) const;

    Vector3 partPosition(int part) const;
    // The part's linear velocity, in world units per simulated second.
    Vector3 partVelocity(int part) const;
    bool wheelDetached(int part) const;

    int throttle = 0;   // 0 to 100 (the keys give 0 or 100, a pad's trigger anything between)
    float steer = 0.0f; // -1 to +1 (the keys give -1, 0 or +1)
    int brake = 0;      // 0 to 100
    dWorldID world = nullptr;
    dSpaceID space = nullptr;  // the world's hash space
    dBodyID bodies[kCarPartCount] = {};
    dJointID joints[kCarJointCount] = {};
    dGeomID geoms[kCarPartCount] = {};
    dSpaceID carSpace = nullptr;
    int hits[kCarPartCount] = {};
    CarParams params;
};
