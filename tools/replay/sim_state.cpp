#include "tools/replay/sim_state.h"

#include <utility>

nlohmann::json vec3Json(const Vector3& v) { return {v.x, v.y, v.z}; }

namespace {

// A player's body and where it drives; the weapon is its own object.
nlohmann::json playerJson(const SimPlayer& player)
{
    const Player& p = player.body;
    return {
        {"position", vec3Json(p.position)}, {"yaw", p.yaw},     {"pitch", p.pitch},
        {"gait", p.gait},                   {"inCar", p.inCar}, {"carIndex", p.carIndex},
    };
}

nlohmann::json weaponJson(const WeaponState& weapon)
{
    return {
        {"fireRequested", weapon.fireRequested}, {"sinceShot", weapon.sinceShot},
        {"shotTimer", weapon.shotTimer},         {"targetLocked", weapon.targetLocked},
        {"targetCar", weapon.targetCar},         {"targetPart", weapon.targetPart},
    };
}

const char* phaseName(MatchPhase phase)
{
    switch (phase) {
    case MatchPhase::Countdown:
        return "Countdown";
    case MatchPhase::Playing:
        return "Playing";
    case MatchPhase::SuddenDeath:
        return "SuddenDeath";
    case MatchPhase::RoundOver:
        return "RoundOver";
    case MatchPhase::MatchOver:
        return "MatchOver";
    }
    return "?";
}

// The match as the players would follow it: the phase and clock, the teams'
// scores, each car's wheels and hits, each player's standing.
nlohmann::json matchJson(const SimWorld& world, const MatchState& match)
{
    nlohmann::json cars = nlohmann::json::array();
    for (const Car& car : world.cars) {
        int wheels = 0;
        for (int part = 1; car.built() && part < kCarPartCount; ++part)
            wheels += car.wheelDetached(part) ? 0 : 1;
        cars.push_back({{"wheels", wheels}, {"hits", car.hits}});
    }
    nlohmann::json players = nlohmann::json::array();
    for (std::size_t i = 0; i < match.players.size(); ++i) {
        const MatchPlayer& p = match.players[i];
        players.push_back({{"name", shownPlayerName(world, static_cast<int>(i))},
                           {"team", p.team},
                           {"hitsTaken", p.hitsTaken},
                           {"knockedOutSeconds", p.knockedOutSeconds},
                           {"protectionSeconds", p.protectionSeconds},
                           {"wheelsKnockedOff", p.wheelsKnockedOff},
                           {"knockOuts", p.knockOuts},
                           {"timesKnockedOut", p.timesKnockedOut}});
    }
    return {{"phase", phaseName(match.phase)},
            {"round", match.round},
            {"clock", match.clock},
            {"scores", match.scores},
            {"wheelsOff", match.wheelsOff},
            {"winner", match.winner},
            {"cars", cars},
            {"players", players}};
}

}  // namespace

void describeSimWorld(const SimWorld& world, nlohmann::json& state)
{
    const SimPlayer& first = world.players.front();
    state["player"] = playerJson(first);
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
    state["weapon"] = weaponJson(first.weapon);
    int active = 0;
    for (const Projectile& projectile : world.projectiles)
        active += projectile.active ? 1 : 0;
    state["projectiles"] = active;
    // Several players: each one's body, weapon and car (the first's again, so
    // the list reads whole); one player's line stays as it always was.
    if (world.players.size() > 1) {
        nlohmann::json players = nlohmann::json::array();
        for (const SimPlayer& player : world.players) {
            // Object keys are kept sorted, so the weapon's place in the text
            // does not depend on when it is added.
            nlohmann::json entry = playerJson(player);
            entry["weapon"] = weaponJson(player.weapon);
            players.push_back(std::move(entry));
        }
        state["players"] = players;
    }
    if (world.match)
        state["match"] = matchJson(world, *world.match);
}
