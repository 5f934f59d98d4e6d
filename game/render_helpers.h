#pragma once
// Small drawing helpers of the scene pass. Each begin* pushes the modelview
// matrix; the caller pops.

struct PlayerModelTransform;

// Keeps the current translation and drops rotation and scale, so what is
// drawn next faces the viewer at its translated position.
void beginBillboard();
// Keeps the view's rotation and drops its translation, then lowers by 20: the
// sky turns with the view but never moves with the viewer.
void beginSkyTransform();
// The player model's place in the world (game/weapon.h), as GL's own
// translate, scale and rotate calls: what the player's pictures were drawn with.
void beginPlayerModelTransform(const PlayerModelTransform& transform);
// A w x h quad centred on the origin in the plane z = 0, with texture
// coordinates (s0, t0) at the top left and (s1, t1) at the bottom right.
void drawTexturedQuad(int width, int height, float s0, float t0, float s1, float t1);
// True when a sphere given in the current modelview's space lies wholly
// outside the current projection's view volume, with a margin for rounding:
// nothing inside it could reach a pixel. A NaN or infinite sphere is never out.
bool sphereOutOfView(const float centre[3], float radius);
