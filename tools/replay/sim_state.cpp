#include "tools/replay/sim_state.h"

nlohmann::json vec3Json(const Vector3& v) { return {v.x, v.y, v.z}; }

void describeSimWorld(const SimWorld& world, nlohmann::json& state)
{
    const SimPlayer& first = world.players.front();
    const Player& p = first.body;
    const WeaponState& weapon = first.weapon;
    state["player"] = {
        {"position", vec3Json(p.position)}, {"yaw", p.yaw},     {"pitch", p.pitch},
        {"gait", p.gait},                   {"inCar", p.inCar}, {"carIndex", p.carIndex},
    };
    nlohmann::json cars = nlohmann::json::array();
    for (const Car& car : world.cars) {
        nlohmann::json parts = nlohmann::json::array();
        int wheelsAttached = 0;
        for (int part = 0; part < kCarPartCount; ++part) {
            if (!car.built())
                break;
            float pose[16];
            car.partPose(part, pose);
            // Rows of the rotation block, so that rotation[r][c] reads as written.
            nlohmann::json rotation = {{pose[0], pose[4], pose[8]}, {pose[1], pose[5], pose[9]},
                                       {pose[2], pose[6], pose[10]}};
            parts.push_back({{"position", {pose[12], pose[13], pose[14]}}, {"rotation", rotation}});
            if (part > 0 && !car.wheelDetached(part))
                ++wheelsAttached;
        }
        cars.push_back({{"parts", parts},
                        {"hits", car.hits},
                        {"wheelsAttached", wheelsAttached},
                        {"throttle", car.throttle},
                        {"steer", car.steer},
                        {"brake", car.brake}});
    }
    state["cars"] = cars;
    state["weapon"] = {
        {"fireRequested", weapon.fireRequested}, {"sinceShot", weapon.sinceShot},
        {"shotTimer", weapon.shotTimer},         {"targetLocked", weapon.targetLocked},
        {"targetCar", weapon.targetCar},         {"targetPart", weapon.targetPart},
    };
    int active = 0;
    for (const Projectile& projectile : world.projectiles)
        active += projectile.active ? 1 : 0;
    state["projectiles"] = active;
    // Several players: each one's body, weapon and car (the first's again, so
    // the list reads whole); one player's line stays as it always was.
    if (world.players.size() > 1) {
        nlohmann::json players = nlohmann::json::array();
        for (const SimPlayer& player : world.players) {
            const Player& b = player.body;
            const WeaponState& w = player.weapon;
            players.push_back({
                {"position", vec3Json(b.position)},
                {"yaw", b.yaw},
                {"pitch", b.pitch},
                {"gait", b.gait},
                {"inCar", b.inCar},
                {"carIndex", b.carIndex},
                {"weapon",
                 {{"fireRequested", w.fireRequested}, {"sinceShot", w.sinceShot}, {"shotTimer", w.shotTimer},
                  {"targetLocked", w.targetLocked}, {"targetCar", w.targetCar}, {"targetPart", w.targetPart}}},
            });
        }
        state["players"] = players;
    }
}
