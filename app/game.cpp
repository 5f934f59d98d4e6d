#include "app/game.h"

#include "app/error_box.h"
#include "physics/car_primitives.h"
#include "physics/driving.h"

#include <GL/gl.h>

#include <cstring>
#include <string>

namespace {

// Light 0: a white light up and to the side of the arena.
const float kLightAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
const float kLightDiffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
const float kLightSpecular[4] = {0.5f, 0.5f, 0.5f, 1.0f};
const float kLightPosition[4] = {-400.0f, 300.0f, 0.0f, 1.0f};

void setFixedRenderState(World& world)
{
    glEnable(GL_LIGHTING);
    glShadeModel(GL_SMOOTH);
    glCullFace(GL_BACK);
    // Culling stays off: the meshes are not consistently wound.
    glEnable(GL_CULL_FACE);
    glDisable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glClearColor(0.5f, 0.5f, 0.5f, 0.0f);
    glEnable(GL_NORMALIZE);
    world.window.usePerspective();
    glPointSize(5.0f);
}

void setUpLight()
{
    glLightfv(GL_LIGHT0, GL_AMBIENT, kLightAmbient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, kLightDiffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, kLightSpecular);
    glLightfv(GL_LIGHT0, GL_POSITION, kLightPosition);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glMateriali(GL_FRONT, GL_SHININESS, 96);
}

// --- Start-up steps of the subsystems still to come, each at its place. ---
// The car before the wheel; a missing file leaves that mesh empty.
void loadVehicleMeshes(World& world)
{
    world.carMesh.load("car.3ds");
    world.wheelMesh.load("wheel.3ds");
}
// "data\\gun.ms3d"; the result is ignored, the gun draws whatever it holds.
void loadGunModel(World& world)
{
    world.gunModel.load("data\\gun.ms3d");
    world.gunModel.restartAnimation();
}
void createPhysics(World& world) { createPhysicsWorld(world.physics); }

// The car file every car is built from, and where the second car stands
// relative to the first.
constexpr const char* kCarFileName = "car.txt";
constexpr Vector3 kSecondCarOffset = {400.0f, 14.0f, 200.0f};

// Both cars from the same file. Every later step needs both, so a file that
// cannot give them ends the start: the box says what is wrong and where.
bool buildCars(World& world)
{
    for (Car& car : world.cars) {
        std::string reason;
        if (!car.build(kCarFileName, world.physics.world, world.physics.space, &reason)) {
            showErrorBox("%s", reason.c_str());
            return false;
        }
    }
    world.cars[1].translate(kSecondCarOffset);
    return true;
}
// "fire//12001.bmp" and the fourteen after it.
void loadFireTextures(World& world)
{
    char name[16];
    std::memcpy(name, kFirstFireFrameName, sizeof name);
    for (int frame = 0; frame < kFireFrameCount; ++frame) {
        world.fireTextures[frame] = loadTexture(name);
        if (frame + 1 < kFireFrameCount)
            advanceFireFrameName(name, frame);
    }
}

// "grass14.bmp", "aasdf.tga". False when the marker cannot be read: the game
// does not start without it (its box has been shown).
bool loadGroundAndMarker(World& world)
{
    world.groundTexture = loadTexture("grass14.bmp");
    bool unreadable = false;
    world.markerTexture = loadTexture("aasdf.tga", &unreadable);
    return !unreadable;
}

// The walk cycle starts 4200 ms into the file's animation.
void loadPlayerModel(World& world)
{
    if (world.playerModel.load("data\\model.ms3d")) {
        world.playerModel.setAnimationTimes(4200, -1);
        world.playerModel.restartAnimation();
    }
}
void loadSkyModel(World& world) { world.skyModel.load("sky.ms3d"); }  // result ignored
void initCamera(World&) {}              // chase camera: mode 1, height 20

// --- Frame steps of the subsystems still to come, each at its place. ---
void applyCarControls(World& world)
{
    const Platform& platform = world.platform;
    DriverKeys keys;
    keys.left = isKeyHeld(platform, Key::A);
    keys.right = isKeyHeld(platform, Key::D);
    keys.throttle = isKeyHeld(platform, Key::W);
    keys.brake = isKeyHeld(platform, Key::S);
    applyDriverControls(world.cars, world.player, keys);
}

void stepPhysics(World& world, float dt) { advancePhysics(world.physics, world.physicsAccumulator, dt); }
void moveAndAimOnFoot(World&, float) {}          // walk, target search, hand gun
void moveAndAimInCar(World& world, float)        // driving view, target search, car gun
{
    updateDrivingView(world.cars[world.player.carIndex], world.player, world.chassisVelocity);
}
void enterOrLeaveCar(World& world, float dt)
{
    ::enterOrLeaveCar(world.cars, world.player, world.enterCooldown, isKeyHeld(world.platform, Key::E), dt);
}
void updateProjectiles(World&, float) {}         // the pool, then the shot timer
void feedCamera(World&) {}                       // from the car or the player
void updateAndApplyCamera(World&, float) { glPushMatrix(); }  // pushes the modelview
void drawScene(World& world)
{
    // Stand-ins of the cars' true sizes until the car and wheel meshes load.
    drawCarsAsPrimitives(world.cars);
}
void endMainView(World&) {}
void drawInsetView(World&) {}

}  // namespace

bool initGame(World& world)
{
    setFixedRenderState(world);
    loadVehicleMeshes(world);
    loadGunModel(world);
    setUpLight();
    createPhysics(world);
    if (!buildCars(world))
        return false;
    loadFireTextures(world);
    loadPlayerModel(world);
    world.player.yaw = kStartYawDegrees;
    if (!loadGroundAndMarker(world))
        return false;
    loadSkyModel(world);
    initCamera(world);
    world.mouseCentre = {250, 250};
    readMouseLook(world.platform, 0.0f, nullptr);
    // The first frame measures from here, not from the start of the process.
    frameTime(world.frameTimer, world.platform);
    return true;
}

void runFrame(World& world)
{
    Platform& platform = world.platform;
    const float dt = frameTime(world.frameTimer, platform);
    world.lastFrameSeconds = dt;

    applyCarControls(world);
    stepPhysics(world, dt);

    float look[2] = {0.0f, 0.0f};
    readMouseLook(platform, dt, look);
    world.player.yaw += look[0];
    world.player.pitch += look[1];

    world.weapon.targetLocked = false;
    if (!world.player.inCar)
        moveAndAimOnFoot(world, dt);
    else
        moveAndAimInCar(world, dt);
    enterOrLeaveCar(world, dt);
    updateProjectiles(world, dt);

    // Main view.
    GameWindow& window = world.window;
    window.usePerspective();
    window.setViewport(window.width, window.height, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    feedCamera(world);
    glLoadIdentity();
    updateAndApplyCamera(world, dt);
    drawScene(world);
    endMainView(world);
    glPopMatrix();
    glFlush();

    drawInsetView(world);

    window.swapBuffers();
    ++world.framesRun;
    if (isKeyHeld(platform, Key::Escape))
        world.quitRequested = true;
}

void shutdownGame(World&) {}

LoopPass runLoopPass(World& world)
{
    switch (world.window.pumpMessage()) {
    case kQuitMessageTaken:
        return LoopPass::Quit;
    case kNoMessagePending:
        runFrame(world);
        return LoopPass::FrameRun;
    default:
        return LoopPass::MessageHandled;
    }
}

int startTurfwar(World& world)
{
    Platform& platform = world.platform;
    setErrorBoxPlatform(&platform);

    const MessageBoxAnswer answer =
        platform.showMessageBox(kStartQuestionText, kStartQuestionCaption, MessageBoxStyle::YesNoQuestion);
    const bool fullscreen = answer != MessageBoxAnswer::No;

    if (!world.window.create(kWindowBitsPerPixel, kWindowWidth, kWindowHeight, kWindowTitle, fullscreen)) {
        showErrorBox("couldnt load window");
        return kExitNoWindow;
    }
    world.window.onButtonPress = [&world](int button, int x, int y) {
        onMouseButton(world.weapon, button, x, y);
    };
    world.window.onButtonRelease = [&world](int button, int x, int y) {
        onMouseButtonRelease(world.weapon, button, x, y);
    };

    if (!initGame(world)) {
        world.window.destroy();
        return kExitBadGameData;
    }

    world.window.show(true);
    platform.setCursorVisible(false);
    return kExitOk;
}

int finishTurfwar(World& world)
{
    shutdownGame(world);
    world.platform.setCursorVisible(true);
    world.window.destroy();
    return kExitOk;
}

int runTurfwar(World& world)
{
    const int status = startTurfwar(world);
    if (status != kExitOk)
        return status;
    while (!world.quitRequested) {
        if (runLoopPass(world) == LoopPass::Quit)
            break;
    }
    return finishTurfwar(world);
}
