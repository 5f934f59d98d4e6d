#pragma once
// The simulation as the game starts it, without a window: the physics world,
// both cars from the game folder's "car.txt", the player model from its
// "data\model.ms3d" (read without textures, its walk from the standing
// pose), and count players on foot. folder ends in '/', or is empty for the
// working directory. False with reason when the data cannot give them.

#include "assets/model_ms3d.h"
#include "sim/sim_world.h"

#include <string>

inline bool buildSimRig(SimWorld& world, ModelMs3d& model, int players, std::string& reason,
                        const std::string& folder = "")
{
    createSimWorld(world);
    if (!buildSimCars(world, (folder + "car.txt").c_str(), reason) ||
        !model.loadWithoutTextures((folder + "data\\model.ms3d").c_str(), &reason))
        return false;
    model.setAnimationStart(kWalkStartMs);
    model.restartAnimation();
    addSimPlayers(world, players, model);
    return true;
}
