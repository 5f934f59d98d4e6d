#pragma once
// The scene pass: the whole 3D world drawn under the view already on the
// modelview stack, once for the main view and once more for the inset while
// driving. Sky first without depth writes, then the lit and textured cars,
// ground, player and gun, then unlit the muzzle flash, the target marker
// (through everything in front of it) and the projectiles. Needs a current
// GL context; changes lighting, texturing, blending, colour and the bound
// texture, and leaves them as the view passes expect (see app/game.cpp).

#include "assets/texture.h"
#include "game/fire_frames.h"
#include "sim/match.h"
#include "sim/projectile.h"

#include <array>
#include <cstddef>
#include <span>

class Car;
struct SimPlayer;

// One texture of a mesh drawn as another.
struct TextureSwap {
    TextureId from = 0;
    TextureId to = 0;
};
class Model3ds;
class SkinnedModel;

// What the scene pass reads; nothing in it is changed.
struct SceneView {
    std::span<const Car> cars;
    const Model3ds& carMesh;
    const Model3ds& wheelMesh;
    const SkinnedModel& skyModel;
    const SkinnedModel& playerModel;
    const SkinnedModel& gunModel;
    // Every player, at least one: each body on foot is drawn in its player's
    // colour (the first's leaves the model as it is), each flash at its gun.
    std::span<const SimPlayer> players;
    std::size_t viewer = 0;  // the index in players of whose target is marked
    std::span<const Projectile> projectiles;
    std::span<const TextureId, kFireFrameCount> fireTextures;
    TextureId groundTexture = 0;
    TextureId markerTexture = 0;
    // In a match the blue team's car (car 1) wears its own colours: every
    // object of the car mesh textured with a swap's from is drawn with its to
    // instead on car 1. None: every car as the mesh has it.
    std::span<const TextureSwap> blueSwaps = {};
    // In a match, each player's standing in it (as players, by index): a
    // player knocked out is drawn lying on their back where they fell.
    // Empty in free play, where everyone is drawn standing.
    std::span<const MatchPlayer> matchPlayers = {};
};

// How far a knocked-out body is raised off the ground as it lies, so the
// back and head do not sink through it: about the body's half depth.
inline constexpr float kLyingLift = 2.0f;

// Each player's colour, by index: the bodies, and the labels of their views.
// The first player's is white, which leaves the model as it is.
inline constexpr std::array<std::array<float, 3>, 8> kPlayerColours = {{
    {1.0f, 1.0f, 1.0f},
    {1.0f, 0.35f, 0.3f},
    {0.35f, 0.6f, 1.0f},
    {0.4f, 1.0f, 0.4f},
    {1.0f, 0.85f, 0.3f},
    {0.9f, 0.45f, 1.0f},
    {0.3f, 1.0f, 0.95f},
    {1.0f, 0.6f, 0.2f},
}};

// In a match each body and label wears its team's colour instead, player i
// playing for team i % 2, a teammate a lighter or darker shade of it.
inline constexpr std::array<std::array<std::array<float, 3>, 4>, 2> kTeamPlayerColours = {{
    {{{1.0f, 0.35f, 0.3f}, {1.0f, 0.65f, 0.55f}, {0.75f, 0.2f, 0.18f}, {1.0f, 0.8f, 0.75f}}},
    {{{0.35f, 0.6f, 1.0f}, {0.65f, 0.82f, 1.0f}, {0.2f, 0.35f, 0.8f}, {0.8f, 0.9f, 1.0f}}},
}};

// Player index's colour: by team in a match, else by index.
inline const std::array<float, 3>& playerColour(std::size_t index, bool match)
{
    if (match)
        return kTeamPlayerColours[index % 2][(index / 2) % 4];
    return kPlayerColours[index % kPlayerColours.size()];
}

void drawScene(const SceneView& scene);

// The flash frame shown shotTimer seconds before the flash ends: 0 at the
// shot, 14 at the end, never past the last frame.
int fireFrameAt(float shotTimer);

// Light 0's position, given again at every scene pass so it stays fixed in
// the world under the current view.
inline constexpr float kLightPosition[4] = {-400.0f, 300.0f, 0.0f, 1.0f};
