// The scene pass drawn into a real offscreen context with nothing but what a
// case needs, and judged by the pixels it leaves.

#include "assets/model_3ds.h"
#include "assets/model_ms3d.h"
#include "sim/player.h"
#include "sim/sim_world.h"
#include "game/scene.h"
#include "sim/weapon.h"
#include "physics/car.h"

#include "car_rig.h"
#include "game_folder.h"
#include "offscreen_gl.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

namespace {

// A 1 x 1 texture of one colour.
GLuint solidTexture(unsigned char r, unsigned char g, unsigned char b)
{
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    const unsigned char texel[3] = {r, g, b};
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texel);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return id;
}

// Draws the scene into a 200 x 200 view over black, from an eye at the
// origin looking along -z, then moved by lookAt when given; the pixels, R G B.
std::vector<unsigned char> drawAndRead(const SceneView& view, const double* lookAt = nullptr)
{
    glViewport(0, 0, 200, 200);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 1.0, 10.0, 2400.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (lookAt != nullptr)
        gluLookAt(lookAt[0], lookAt[1], lookAt[2], lookAt[3], lookAt[4], lookAt[5], lookAt[6], lookAt[7], lookAt[8]);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawScene(view);

    std::vector<unsigned char> rgb(200 * 200 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 200, 200, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

// Bright pixels of the muzzle flash, 50 units ahead of an eye at the origin,
// on a black background, with a plain white flash texture.
int flashPixels(bool inCar)
{
    const GLuint white = solidTexture(255, 255, 255);

    Model3ds carMesh, wheelMesh;
    ModelMs3d sky, playerModel, gun;
    SimPlayer player;
    player.body.inCar = inCar;
    player.body.position = {0.0f, -1000.0f, 0.0f};  // out of sight
    player.weapon.shotTimer = 0.5f;
    player.weapon.shotOrigin = {0.0f, 0.0f, -50.0f};
    std::array<TextureId, kFireFrameCount> fire;
    fire.fill(white);
    const std::vector<Projectile> projectiles(kProjectileCount);
    const SceneView view{.cars = {},
                         .carMesh = carMesh,
                         .wheelMesh = wheelMesh,
                         .skyModel = sky,
                         .playerModel = playerModel,
                         .gunModel = gun,
                         .players = {&player, 1},
                         .projectiles = projectiles,
                         .fireTextures = fire};

    const std::vector<unsigned char> rgb = drawAndRead(view);
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

// Pixels of each kind in a view of car 0 from its side.
struct CarPixels {
    int blue = 0;   // the body mesh, painted blue here
    int green = 0;  // the wheel mesh, painted green here
    int red = 0;    // the stand-in chassis
    int grey = 0;   // the stand-in wheels (the ground is magenta here)
};

const double kSideOfCarZero[9] = {0.0, 20.0, 60.0, 0.0, 6.0, 0.0, 0.0, 1.0, 0.0};
// The rig moves car 1 this far from car 0.
const double kSideOfCarOne[9] = {400.0, 34.0, 260.0, 400.0, 20.0, 200.0, 0.0, 1.0, 0.0};

// Pixels of each kind seen from eye, in the rig, with car 1 in the paints given.
CarPixels drawCarSeenFrom(const Model3ds& carMesh, const Model3ds& wheelMesh, const double* eye,
                          std::span<const TextureSwap> blueSwaps = {})
{
    const GLuint magenta = solidTexture(255, 0, 255);
    const CarRig rig;
    ModelMs3d sky, playerModel, gun;
    SimPlayer player;
    player.body.position = {0.0f, -1000.0f, 0.0f};  // out of sight
    std::array<TextureId, kFireFrameCount> fire{};
    const std::vector<Projectile> projectiles(kProjectileCount);
    const SceneView view{.cars = rig.cars,
                         .carMesh = carMesh,
                         .wheelMesh = wheelMesh,
                         .skyModel = sky,
                         .playerModel = playerModel,
                         .gunModel = gun,
                         .players = {&player, 1},
                         .projectiles = projectiles,
                         .fireTextures = fire,
                         .groundTexture = magenta,
                         .blueSwaps = blueSwaps};

    // The game's light.
    const float ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    const float diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_DEPTH_TEST);

    const std::vector<unsigned char> rgb = drawAndRead(view, eye);
    CarPixels count;
    for (std::size_t i = 0; i < rgb.size(); i += 3) {
        const int r = rgb[i], g = rgb[i + 1], b = rgb[i + 2];
        count.blue += b > 40 && b > 2 * r && b > 2 * g;
        count.green += g > 40 && g > 2 * r && g > 2 * b;
        count.red += r > 40 && r > 2 * g && r > 2 * b;
        count.grey += r > 25 && std::max({r, g, b}) - std::min({r, g, b}) < 12;
    }
    glDeleteTextures(1, &magenta);
    return count;
}

CarPixels drawCarZero(const Model3ds& carMesh, const Model3ds& wheelMesh)
{
    return drawCarSeenFrom(carMesh, wheelMesh, kSideOfCarZero);
}

// Each part of a car is drawn with its own mesh when that mesh loaded, and as
// a plain solid only when it did not: a broken wheel file must not hide a
// good body, nor the reverse.
TEST(ScenePass, EachCarPartFallsBackToItsStandInOnItsOwn)
{
    OffscreenGl gl(200, 200);
    ASSERT_TRUE(gl.ok());
    GameFolder folder;
    Model3ds body, wheel, none;
    body.load("car.3ds");
    wheel.load("wheel.3ds");
    ASSERT_FALSE(body.objects.empty());
    ASSERT_FALSE(wheel.objects.empty());
    const GLuint blue = solidTexture(0, 0, 255);
    const GLuint green = solidTexture(0, 255, 0);
    for (Model3dsMaterial& m : body.materials)
        m.texture = blue;
    for (Model3dsMaterial& m : wheel.materials)
        m.texture = green;

    const CarPixels meshes = drawCarZero(body, wheel);
    EXPECT_GT(meshes.blue, 500);
    EXPECT_GT(meshes.green, 100);
    EXPECT_EQ(meshes.red, 0);

    const CarPixels goodBody = drawCarZero(body, none);
    EXPECT_GT(goodBody.blue, 500);
    EXPECT_EQ(goodBody.green, 0);
    EXPECT_EQ(goodBody.red, 0);
    EXPECT_GT(goodBody.grey, 100);

    const CarPixels goodWheels = drawCarZero(none, wheel);
    EXPECT_EQ(goodWheels.blue, 0);
    EXPECT_GT(goodWheels.red, 500);
    // Drawn after the red box, and not tinted by it.
    EXPECT_NEAR(goodWheels.green, meshes.green, meshes.green / 4);

    const CarPixels neither = drawCarZero(none, none);
    EXPECT_EQ(neither.blue + neither.green, 0);
    EXPECT_GT(neither.red, 500);
    EXPECT_GT(neither.grey, 100);

    const GLuint textures[2] = {blue, green};
    glDeleteTextures(2, textures);
}

// In a match car 1 wears the blue team's paint in place of the body's
// normal one, and car 0 keeps it; with no blue paint given both cars draw
// as the mesh has them, the free play's picture.
TEST(ScenePass, CarOneWearsTheBluePaintOnlyWhenGiven)
{
    OffscreenGl gl(200, 200);
    ASSERT_TRUE(gl.ok());
    GameFolder folder;
    Model3ds body, wheel;
    body.load("car.3ds");
    wheel.load("wheel.3ds");
    ASSERT_FALSE(body.objects.empty());
    const GLuint red = solidTexture(255, 0, 0);
    const GLuint blue = solidTexture(0, 0, 255);
    const GLuint green = solidTexture(0, 255, 0);
    for (Model3dsMaterial& m : body.materials)
        m.texture = red;
    for (Model3dsMaterial& m : wheel.materials)
        m.texture = green;

    const CarPixels plain = drawCarSeenFrom(body, wheel, kSideOfCarOne);
    EXPECT_GT(plain.red, 500);
    EXPECT_EQ(plain.blue, 0);
    const TextureSwap toBlue[] = {{red, blue}};
    const CarPixels painted = drawCarSeenFrom(body, wheel, kSideOfCarOne, toBlue);
    EXPECT_GT(painted.blue, 500);
    EXPECT_EQ(painted.red, 0);
    EXPECT_NEAR(painted.blue, plain.red, plain.red / 10);  // the same body, only repainted
    EXPECT_NEAR(painted.green, plain.green, plain.green / 10 + 1);  // the wheels untouched
    // Car 0 keeps the normal paint beside it.
    const CarPixels carZero = drawCarSeenFrom(body, wheel, kSideOfCarZero, toBlue);
    EXPECT_GT(carZero.red, 500);
    EXPECT_EQ(carZero.blue, 0);
    // A swap of a texture the mesh does not use changes nothing.
    const TextureSwap unused[] = {{green + blue + red, blue}};
    const CarPixels same = drawCarSeenFrom(body, wheel, kSideOfCarOne, unused);
    EXPECT_EQ(same.red, plain.red);
    EXPECT_EQ(same.blue, 0);

    // Two textures on the body (a paint and a roof, say), each swapped for
    // its own: only both swaps leave no red.
    ASSERT_GE(body.materials.size(), 2u);
    const GLuint roof = solidTexture(255, 0, 0);
    body.materials[1].texture = roof;
    const CarPixels paintOnly = drawCarSeenFrom(body, wheel, kSideOfCarOne, toBlue);
    EXPECT_GT(paintOnly.red, 0);
    EXPECT_GT(paintOnly.blue, 0);
    const TextureSwap both[] = {{red, blue}, {roof, blue}};
    const CarPixels whole = drawCarSeenFrom(body, wheel, kSideOfCarOne, both);
    EXPECT_EQ(whole.red, 0);
    EXPECT_NEAR(whole.blue, plain.red, plain.red / 10);
    const GLuint textures[4] = {red, blue, green, roof};
    glDeleteTextures(4, textures);
}

}  // namespace
