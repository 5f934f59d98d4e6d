#pragma once
// The weapon state: the fire request that a left-button press sets between
// frames, the shot timers and the target of the auto-aim; the target search,
// firing into the projectile pool, the two muzzles and the car gun's recoil.
//
// A shot is rate-limited (more than 0.45 s of frame time since the last one),
// takes the first free record of the pool (a full pool delays it, nothing
// grows), and hits a locked target at once: the projectile is only a picture.

#include "sim/projectile.h"
#include "math/vector3.h"

#include <span>

class Car;
class SkinnedModel;
struct Player;
struct SkeletonPose;

struct WeaponState {
    bool fireRequested = false;  // set by a fire command, cleared when a shot is fired
    float sinceShot = 0.0f;      // seconds since the last shot (grows only on frames without one)
    float shotTimer = 0.0f;      // seconds; 0.5 at a shot, counts down to 0
    Vector3 shotOrigin;          // muzzle position of the last shot
    bool targetLocked = false;   // a target was found this frame
    int targetCar = 0;           // car index of the last target found
    int targetPart = 0;          // part number (0 to 4) of the last target found
    Vector3 targetPosition;      // body position of the last target found
    int targetPlayer = -1;       // in a match: the enemy player locked instead of a part, -1 none
};

inline constexpr float kShotInterval = 0.45f;     // seconds of frame time between shots, strictly more
inline constexpr float kShotTimerStart = 0.5f;    // seconds the flash (and recoil) runs after a shot
inline constexpr float kRecoilAbove = 0.48f;      // recoil while shotTimer is above this
inline constexpr float kTargetCosine = 0.95f;     // cone of the auto-aim, strictly more
inline constexpr float kTargetRange = 500.0f;     // units, strictly less
inline constexpr float kLockedShotSpeed = 800.0f; // units per second
inline constexpr float kModelScale = 0.25f;       // the player model and its gun
inline constexpr int kGunJoint = 37;              // the player model's joint holding the gun
// The hand gun's muzzle in that joint's frame, model units; the gun's barrel
// runs along the joint's +x.
inline constexpr Vector3 kMuzzleInHand = {20.0f, 2.0f, 5.0f};
inline constexpr Vector3 kPlayerModelLift = {0.0f, 35.0f, 0.0f};  // model units, before the scale
// The car gun's mount in the chassis frame: where its shots leave and where
// its recoil pushes.
inline constexpr Vector3 kCarGunMount = {2.0f, 6.0f, -1.0f};

// Where the player model (and the gun in its hand) stands in the world: a
// model point p lands at position + scale * (lift + Ry(yaw) p). The scene
// draws with it as GL calls (beginPlayerModelTransform) and the hand gun's
// muzzle is found with it as a Matrix4 (playerModelToWorld): one record, so
// the shots leave from the gun that is drawn.
struct PlayerModelTransform {
    Vector3 position;         // world units: the player's
    float scale = 0.0f;       // world units per model unit
    Vector3 lift;             // model units, before the scale
    float yawDegrees = 0.0f;  // about +y
};
PlayerModelTransform playerModelTransform(const Player& player);
// A point and a direction of the player model in world units; the direction
// is turned, not scaled or moved.
void playerModelToWorld(const PlayerModelTransform& transform, const float point[3], const float direction[3],
                        Vector3& worldPoint, Vector3& worldDirection);

// The auto-aim: the nearest body of any car but leaveOut (-1: none) within
// the cone and range of the aim. The best distance is held as an integer, so a
// later candidate must be nearer than the current one rounded down. On true
// writes car, part and position; on false leaves them alone. Cars not built
// are skipped.
bool findTarget(std::span<const Car> cars, Vector3 viewer, Vector3 aim, int& car, int& part,
                Vector3& position, int leaveOut);

// Fires from muzzle with velocity into the first free projectile, which
// carries shooter (a player's index). With a lock the velocity becomes 800
// straight at the target and the target part is hit now. A full pool returns
// false with nothing changed (the request stays).
bool fireWeapon(WeaponState& weapon, std::span<Projectile> projectiles, std::span<Car> cars,
                Vector3 muzzle, Vector3 velocity, int shooter = 0);

// The hand gun's muzzle and shot velocity (speed 300): through the gun
// joint in the player's pose, the yaw, the model's lift and scale, to the
// player's position.
void handGunMuzzle(const SkinnedModel& playerModel, const SkeletonPose& pose, const Player& player,
                   Vector3& muzzle, Vector3& velocity);
// The car gun's muzzle and shot velocity: a point and direction in the
// chassis frame, plus 10 times the chassis's velocity.
void carGunMuzzle(const Car& car, Vector3 chassisVelocity, Vector3& muzzle, Vector3& velocity);

// The rate limit: fires when requested and more than 0.45 s have gathered,
// otherwise adds dt to sinceShot. muzzle and velocity are only computed when
// a shot is due. True when a shot went out.
template <typename MuzzleFn>
bool weaponStep(WeaponState& weapon, float dt, MuzzleFn computeMuzzle, std::span<Projectile> projectiles,
                std::span<Car> cars, int shooter = 0)
{
    if (weapon.fireRequested && weapon.sinceShot > kShotInterval) {
        Vector3 muzzle;
        Vector3 velocity;
        computeMuzzle(muzzle, velocity);
        return fireWeapon(weapon, projectiles, cars, muzzle, velocity, shooter);
    }
    weapon.sinceShot += dt;
    return false;
}

// The car gun kicks the chassis for the first frames after a shot.
void applyRecoil(const WeaponState& weapon, Car& car);

// Every record in index order.
void updateProjectiles(std::span<Projectile> projectiles, float dt);
// The flash and recoil's timer runs down.
void runDownShotTimer(WeaponState& weapon, float dt);
