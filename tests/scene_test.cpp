// The scene pass drawn into a real offscreen context with nothing but what a
// case needs, and judged by the pixels it leaves.

#include "assets/model_3ds.h"
#include "assets/model_ms3d.h"
#include "game/player.h"
#include "game/scene.h"
#include "game/weapon.h"
#include "physics/car.h"

#include "offscreen_gl.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

// Bright pixels of the muzzle flash, 50 units ahead of an eye at the origin,
// on a black background, with a plain white flash texture.
int flashPixels(bool inCar)
{
    GLuint white = 0;
    glGenTextures(1, &white);
    glBindTexture(GL_TEXTURE_2D, white);
    const unsigned char texel[3] = {255, 255, 255};
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texel);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);

    Model3ds carMesh, wheelMesh;
    ModelMs3d sky, playerModel, gun;
    Player player;
    player.inCar = inCar;
    player.position = {0.0f, -1000.0f, 0.0f};  // out of sight
    WeaponState weapon;
    weapon.shotTimer = 0.5f;
    weapon.shotOrigin = {0.0f, 0.0f, -50.0f};
    std::array<TextureId, kFireFrameCount> fire;
    fire.fill(white);
    const std::vector<Projectile> projectiles(kProjectileCount);
    const SceneView view{{}, carMesh, wheelMesh, sky, playerModel, gun, player, weapon, projectiles, fire, 0, 0};

    glViewport(0, 0, 200, 200);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 1.0, 10.0, 2400.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawScene(view);

    std::vector<unsigned char> rgb(200 * 200 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 200, 200, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    int bright = 0;
    for (std::size_t i = 0; i < rgb.size(); i += 3)
        bright += rgb[i] > 100 && rgb[i + 1] > 100 && rgb[i + 2] > 100;
    glDeleteTextures(1, &white);
    return bright;
}

TEST(ScenePass, TheMuzzleFlashIsHalfSizeOnFoot)
{
    OffscreenGl gl(200, 200);
    ASSERT_TRUE(gl.ok());
    const int fromCar = flashPixels(true);
    const int onFoot = flashPixels(false);
    // A 4 x 4 quad 50 units away covers about 19 x 19 pixels of this view.
    EXPECT_GT(fromCar, 250);
    EXPECT_NEAR(static_cast<double>(onFoot) / fromCar, 0.25, 0.06);
}

}  // namespace
