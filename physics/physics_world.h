#pragma once
// The one physics world of the game: an ODE world with a floor at y = 0 and
// four walls 1000 units from the origin, stepped at a fixed rate by the frame
// driver. Every touching pair of geometries becomes up to 20 contact joints
// with one fixed set of surface values; the joints live for a single step.
//
// ODE here is built in double precision; the game keeps its numbers as
// 32-bit floats and converts where they cross into ODE.
//
// Each car keeps its geometries in a simple space of its own inside the hash
// space. The near callback hands such a space to dCollide as it is, so a car
// is only ever collided as a group against something else and its own parts
// never touch each other.

#include <ode/ode.h>

inline constexpr float kGravityY = -0.5f;         // model units per simulated second squared
inline constexpr float kWorldCfm = 1e-5f;
inline constexpr float kArenaHalfSize = 1000.0f;  // the walls stand at x, z = +-1000; the drawn ground ends there too
inline constexpr int kMaxContactsPerPair = 20;
inline constexpr float kStepSeconds = 0.06f;          // simulated seconds per step
inline constexpr double kRealSecondsPerStep = 0.005;  // real seconds that buy one step
// Simulated seconds in one real second (12): ODE's velocities are per
// simulated second, and what moves on real time (the camera's spring, the
// sounds' Doppler) scales them by this.
inline constexpr float kSimulatedPerReal = kStepSeconds / static_cast<float>(kRealSecondsPerStep);

// Surface values of every contact.
inline constexpr float kContactMu = 20.0f;
inline constexpr float kContactSoftErp = 0.9f;
inline constexpr float kContactSoftCfm = 0.01f;
inline constexpr float kContactSlip1 = 1.5f;
inline constexpr float kContactSlip2 = 2.0f;

// The handles of the world. Made once by createPhysicsWorld; the destructor
// releases the whole ODE world (bodies, joints, spaces and the geometries in
// them) when the owner goes, which for the game is the end of the process.
struct PhysicsWorld {
    PhysicsWorld() = default;
    ~PhysicsWorld();
    PhysicsWorld(const PhysicsWorld&) = delete;
    PhysicsWorld& operator=(const PhysicsWorld&) = delete;

    dWorldID world = nullptr;
    dSpaceID space = nullptr;  // hash space: the five planes and each car's own space
    dJointGroupID contactGroup = nullptr;
    dGeomID groundPlane = nullptr;
    dGeomID walls[4] = {};
    // The world's own way of running its step's jobs. ODE's default is one
    // for the whole process, with no locking: two worlds stepped on two
    // threads (a game hosting a server) would share it and break its
    // bookkeeping. Run in the calling thread, it steps exactly as the default.
    dThreadingImplementationID threading = nullptr;
};

// Creates the world, hash space, contact group and the five planes, in that
// order, with gravity (0, -0.5, 0) and global CFM 1e-5. Initialises ODE on the
// first call in the process. Must be called once per record.
void createPhysicsWorld(PhysicsWorld& physics);

// Fills contacts[0 .. n) with the touching points of o1 and o2 (either may be
// a space, whose members are then collided with the other side) and the
// surface values above; returns n <= kMaxContactsPerPair.
int findContacts(dGeomID o1, dGeomID o2, dContact (&contacts)[kMaxContactsPerPair]);

// Makes the contact joints of every touching pair for the next step. The
// callback dSpaceCollide calls; data is the PhysicsWorld.
void nearCallback(void* data, dGeomID o1, dGeomID o2);
void collidePhysics(PhysicsWorld& physics);

// One step: contacts, dWorldStep by stepSeconds, then the contacts are dropped.
void stepPhysics(PhysicsWorld& physics, float stepSeconds);

// The fixed-rate loop: adds the frame's real seconds to the accumulator, then
// takes one step of kStepSeconds for every kRealSecondsPerStep it holds
// beyond the first (strictly greater, compared and subtracted in double
// precision, stored back as a float). No cap. Returns the number of steps.
int advancePhysics(PhysicsWorld& physics, float& accumulator, float frameSeconds);
