#pragma once
// The simulation as the game starts it, for the benchmarks: the shipped
// player model, both cars from the shipped car file, and count players.

#include "assets/model_ms3d.h"
#include "sim/sim_world.h"

#include <stdexcept>
#include <string>

inline constexpr float kBenchFrameSeconds = 1.0f / 60.0f;

// Throws when the game data is missing: a benchmark cannot run without it.
inline void buildBenchWorld(SimWorld& world, ModelMs3d& model, int players)
{
    std::string reason;
    if (!model.loadWithoutTextures(TURFWAR_GAME_DIR "/data/model.ms3d", &reason))
        throw std::runtime_error(reason);
    model.setAnimationStart(kWalkStartMs);
    createSimWorld(world);
    if (!buildSimCars(world, TURFWAR_SOURCE_DIR "/data/car.txt", reason))
        throw std::runtime_error(reason);
    addSimPlayers(world, players, model);
}
