#include "game/scene.h"

#include "assets/model_3ds.h"
#include "assets/skinned_model.h"
#include "game/car_drawing.h"
#include "sim/player.h"
#include "game/render_helpers.h"
#include "sim/weapon.h"
#include "physics/car.h"
#include "physics/physics_world.h"
#include "sim/sim_world.h"

#include <GL/gl.h>

#include <algorithm>
#include <cassert>

namespace {

// One point; the point size is set once at start-up.
void drawProjectile(const Projectile& projectile)
{
    glBegin(GL_POINTS);
    glVertex3f(projectile.position.x, projectile.position.y, projectile.position.z);
    glEnd();
}

void drawSky(const SkinnedModel& sky)
{
    glColor3f(1.0f, 1.0f, 1.0f);
    glDepthMask(GL_FALSE);
    beginSkyTransform();
    sky.draw();
    glPopMatrix();
    glDepthMask(GL_TRUE);
}

// A mesh wholly out of view sends no triangles, but its state still goes
// to GL: what is drawn after it finds the same texture, material and colour.
void drawMeshInView(const Model3ds& mesh)
{
    if (sphereOutOfView(mesh.bounds.centre, mesh.bounds.radius))
        mesh.applyDrawState();
    else
        mesh.draw();
}

// The mesh with its swapped textures drawn as their swaps, as drawObject draws it
// otherwise; objects with other textures draw as they are.
void drawMeshRepainted(const Model3ds& mesh, std::span<const TextureSwap> swaps)
{
    if (sphereOutOfView(mesh.bounds.centre, mesh.bounds.radius)) {
        mesh.applyDrawState();
        return;
    }
    for (std::size_t i = 0; i < mesh.objects.size(); ++i) {
        const Model3dsObject& object = mesh.objects[i];
        const auto swap = object.material == nullptr
                              ? swaps.end()
                              : std::find_if(swaps.begin(), swaps.end(), [&](const TextureSwap& s) {
                                    return s.from == object.material->texture;
                                });
        if (swap == swaps.end())
            mesh.drawObject(static_cast<int>(i));
        else
            mesh.drawObject(static_cast<int>(i), swap->to);
    }
}

void drawCars(const SceneView& scene)
{
    // A part whose mesh has nothing to draw shows as a solid of its true
    // size, so a missing or broken file still leaves the cars visible and
    // drivable, and a good mesh still shows beside a bad one.
    const bool bodyMesh = !scene.carMesh.objects.empty();
    const bool wheelMesh = !scene.wheelMesh.objects.empty();
    const bool repaint = !scene.blueSwaps.empty();
    for (std::size_t index = 0; index < scene.cars.size(); ++index) {
        const Car& car = scene.cars[index];
        if (!car.built())
            continue;
        pushCarPartPose(car, 0);
        if (bodyMesh && repaint && index == 1)
            drawMeshRepainted(scene.carMesh, scene.blueSwaps);
        else if (bodyMesh)
            drawMeshInView(scene.carMesh);
        else
            drawStandInChassis(car);
        glPopMatrix();
        // Wheels 2 and 4 were built turned half round about x, so their
        // pose turns the mesh with them.
        for (int part = 1; part < kCarPartCount; ++part) {
            pushCarPartPose(car, part);
            if (wheelMesh)
                drawMeshInView(scene.wheelMesh);
            else
                drawStandInWheel(car);
            glPopMatrix();
        }
    }
}

// The ground is the arena's floor, reaching exactly to its walls.
void drawGround(TextureId ground)
{
    constexpr float e = kArenaHalfSize;
    glBindTexture(GL_TEXTURE_2D, ground);
    glColor3f(0.7f, 0.7f, 0.7f);
    glBegin(GL_QUADS);
    glNormal3f(0.0f, 1.0f, 0.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-e, 0.0f, -e);
    glNormal3f(0.0f, 1.0f, 0.0f);
    glTexCoord2f(0.0f, 20.0f);
    glVertex3f(-e, 0.0f, e);
    glNormal3f(0.0f, 1.0f, 0.0f);
    glTexCoord2f(20.0f, 20.0f);
    glVertex3f(e, 0.0f, e);
    glNormal3f(0.0f, 1.0f, 0.0f);
    glTexCoord2f(20.0f, 0.0f);
    glVertex3f(e, 0.0f, -e);
    glEnd();
}

// In the same transform as the hand gun's muzzle. A tint (red, green, blue)
// is the colour the lit model is drawn in (the material follows the current
// colour); the colour before it comes back after.
void drawPlayerAndGun(const SceneView& scene, const Player& player, const SkeletonPose& pose,
                      const float* tint = nullptr)
{
    float before[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    if (tint != nullptr) {
        glGetFloatv(GL_CURRENT_COLOR, before);
        glColor3fv(tint);
    }
    beginPlayerModelTransform(playerModelTransform(player));
    scene.playerModel.draw(pose);
    scene.playerModel.pushJointMatrix(pose, kGunJoint);
    scene.gunModel.draw();
    glPopMatrix();
    glPopMatrix();
    if (tint != nullptr)
        glColor4fv(before);
}

// Knocked out: the standing body turned a quarter turn backwards about its
// feet, so it lies face up with its feet where it stood. Pushes the modelview.
void pushLyingTransform(const Player& player)
{
    // The axis facing x up turns up onto -facing: the head falls behind.
    Vector3 axis = cross(player.facing, {0.0f, 1.0f, 0.0f});
    if (magnitude(axis) < 1e-4f)
        axis = {1.0f, 0.0f, 0.0f};  // a body never stepped has no facing yet
    glPushMatrix();
    glTranslatef(player.position.x, player.position.y + kLyingLift, player.position.z);
    glRotatef(90.0f, axis.x, axis.y, axis.z);
    glTranslatef(-player.position.x, -player.position.y, -player.position.z);
}

void drawFlashQuad()
{
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-2.0f, -2.0f, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-2.0f, 2.0f, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(2.0f, 2.0f, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(2.0f, -2.0f, 0.0f);
    glEnd();
}

void drawMuzzleFlash(const SceneView& scene, const Player& player, const WeaponState& weapon)
{
    glPushMatrix();
    glTranslatef(weapon.shotOrigin.x, weapon.shotOrigin.y, weapon.shotOrigin.z);
    beginBillboard();
    if (!player.inCar)
        glScalef(0.5f, 0.5f, 0.5f);
    glColor3f(0.8f, 0.8f, 0.8f);
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    // Darkens by the flash's own colour, then adds it: a bright core with a
    // soft edge on any background.
    glBlendFunc(GL_DST_COLOR, GL_ONE);
    glBindTexture(GL_TEXTURE_2D, scene.fireTextures[static_cast<std::size_t>(fireFrameAt(weapon.shotTimer))]);
    drawFlashQuad();
    glBlendFunc(GL_ONE, GL_ONE);
    drawFlashQuad();
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glPopMatrix();
    glPopMatrix();
}

void drawTargetMarker(const SceneView& scene)
{
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, scene.markerTexture);
    glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
    const WeaponState& weapon = scene.players[scene.viewer].weapon;
    if (weapon.targetLocked) {
        pushCarPartPose(scene.cars[static_cast<std::size_t>(weapon.targetCar)], weapon.targetPart);
        beginBillboard();
        drawTexturedQuad(4, 4, 0.0f, 0.0f, 1.0f, 1.0f);
        glPopMatrix();
        glPopMatrix();
    }
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
}

}  // namespace

int fireFrameAt(float shotTimer)
{
    // A timer a hair above 0 rounds 1 - t / 0.5 to exactly 1 in floats, which
    // would name a sixteenth frame.
    const int frame = static_cast<int>(static_cast<float>(kFireFrameCount) * (1.0f - shotTimer / kShotTimerStart));
    if (frame < 0)
        return 0;
    return frame < kFireFrameCount ? frame : kFireFrameCount - 1;
}

void drawScene(const SceneView& scene)
{
    assert(scene.viewer < scene.players.size() && "the scene is drawn for one of its players");
    glLightfv(GL_LIGHT0, GL_POSITION, kLightPosition);
    drawSky(scene.skyModel);
    glEnable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    drawCars(scene);
    drawGround(scene.groundTexture);
    for (std::size_t i = 0; i < scene.players.size(); ++i) {
        const SimPlayer& p = scene.players[i];
        if (p.body.inCar)
            continue;
        const bool match = !scene.matchPlayers.empty();
        const float* tint = i == 0 && !match ? nullptr : playerColour(i, match).data();
        const bool down = i < scene.matchPlayers.size() && scene.matchPlayers[i].knockedOutSeconds > 0.0f;
        if (down)
            pushLyingTransform(p.body);
        drawPlayerAndGun(scene, p.body, p.pose, tint);
        if (down)
            glPopMatrix();
    }
    glDisable(GL_LIGHTING);
    for (const SimPlayer& p : scene.players)
        if (p.weapon.shotTimer > 0.0f)
            drawMuzzleFlash(scene, p.body, p.weapon);
    drawTargetMarker(scene);
    // In the marker's state: red, unlit, the marker texture still bound.
    for (const Projectile& p : scene.projectiles)
        if (p.active)
            drawProjectile(p);
}
