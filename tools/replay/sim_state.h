#pragma once
// What the simulation holds, as the replay tool's state lines show it: the
// first player, every car's parts and hits, the first player's weapon and the
// live projectiles. The replay tool and the window-free run of the simulation
// describe it with this one function, so their lines can be compared.

#include "sim/sim_world.h"

#include <nlohmann/json.hpp>

nlohmann::json vec3Json(const Vector3& v);
// Sets "player", "cars", "weapon" and "projectiles" in state, with several
// players "players" (each one's body and weapon), and in a match "match"
// (each player's name as the game shows it, team and standing).
void describeSimWorld(const SimWorld& world, nlohmann::json& state);
