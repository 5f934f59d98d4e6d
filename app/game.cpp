#include "app/game.h"

#include "app/data_folder.h"
#include "app/error_box.h"
#include "app/hud.h"
#include "app/launch.h"
#include "app/record_playback.h"
#include "app/split_views.h"
#include "game/car_drawing.h"
#include "game/scene.h"
#include "sim/match.h"

#include <GL/gl.h>

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>

namespace {

// Light 0: a white light up and to the side of the arena.
const float kLightAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
const float kLightDiffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
const float kLightSpecular[4] = {0.5f, 0.5f, 0.5f, 1.0f};

void setFixedRenderState(World& world)
{
    glEnable(GL_LIGHTING);
    glShadeModel(GL_SMOOTH);
    // Face culling stays off (the original switched it on and at once off
    // again): the meshes are not consistently wound.
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

// --- Start-up steps, in the order initGame runs them. ---
// The loaders report what they met and the steps show it. A step answers
// false when a load met a file the game does not start without (a TGA): its
// box has been shown, and the start ends there.

// An MS3D model that cannot be read stays empty and the start goes on, as
// it always has; only standard error says why.
bool loadSkinnedModel(ModelMs3d& model, const char* fileName, bool* loaded = nullptr)
{
    LoadReport report;
    std::string reason;
    const bool ok = model.load(fileName, report, &reason);
    if (!ok)
        printLoadNotes({{fileName, reason}});
    if (loaded != nullptr)
        *loaded = ok;
    return showLoadReport(report);
}

// The car before the wheel; a missing file leaves that mesh empty.
bool loadVehicleMeshes(World& world)
{
    return showLoadReport(world.carMesh.load("car.3ds")) && showLoadReport(world.wheelMesh.load("wheel.3ds"));
}
// "data\\gun.ms3d"; the gun draws whatever it holds.
bool loadGunModel(World& world)
{
    const bool go = loadSkinnedModel(world.gunModel, "data\\gun.ms3d");
    world.gunModel.restartAnimation();
    return go;
}
void createPhysics(World& world) { createSimWorld(world.sim); }

// The car file every car is built from.
constexpr const char* kCarFileName = "car.txt";

// Both cars from the same file. Every later step needs both, so a file that
// cannot give them ends the start: the box says what is wrong and where.
bool buildCars(World& world)
{
    std::string reason;
    if (!buildSimCars(world.sim, kCarFileName, reason)) {
        showErrorBox("%s", reason.c_str());
        return false;
    }
    return true;
}
// "fire//12001.bmp" and the fourteen after it.
void loadFireTextures(World& world)
{
    char name[16];
    std::memcpy(name, kFirstFireFrameName, sizeof name);
    for (int frame = 0; frame < kFireFrameCount; ++frame) {
        const TextureLoad texture = loadTexture(name);
        world.fireTextures[frame] = texture.id;
        showLoadReport(texture.report);  // a BMP: never fatal
        if (frame + 1 < kFireFrameCount)
            advanceFireFrameName(name, frame);
    }
}

// "grass14.bmp", "aasdf.tga".
bool loadGroundAndMarker(World& world)
{
    const TextureLoad ground = loadTexture("grass14.bmp");
    world.groundTexture = ground.id;
    showLoadReport(ground.report);  // a BMP: never fatal
    const TextureLoad marker = loadTexture("aasdf.tga");
    world.markerTexture = marker.id;
    return showLoadReport(marker.report);
}

// The walk cycle starts kWalkStartMs into the file's animation.
bool loadPlayerModel(World& world)
{
    bool loaded = false;
    if (!loadSkinnedModel(world.playerModel, "data\\model.ms3d", &loaded))
        return false;
    if (loaded) {
        world.playerModel.setAnimationStart(kWalkStartMs);
        world.playerModel.restartAnimation();
    }
    return true;
}
bool loadSkyModel(World& world) { return loadSkinnedModel(world.skyModel, "sky.ms3d"); }
void initCameras(World& world)
{
    for (ChaseCamera& camera : world.cameras)
        camera.init(20.0f);
}

// The views' text. Text is an addition the game does not depend on: a font
// that cannot be read is one line on standard error and the views go
// without labels, and a match without its display and its menus' words.
// One player's free play has no text, as it always had, and opens no font.
void loadText(World& world)
{
    if (world.localPlayers < 2 && !world.sim.match && world.settings.network.role == NetworkRole::None)
        return;
    std::string reason;
    if (!world.text.load(kFontFileName, reason))
        std::fprintf(stderr, "turfwar: %s: %s; the game goes without text\n", kFontFileName, reason.c_str());
}

// Sound is an addition the game does not depend on: no device, or a sound
// file that cannot be read, is one line on standard error and the game goes
// on without it (no box). Muted opens nothing at all, so no device (nor its
// driver's messages) is touched.
void startSound(World& world)
{
    if (world.settings.audio.mute)
        return;
    std::string reason;
    if (!world.platform.openAudio(world.audio, reason)) {
        std::fprintf(stderr, "turfwar: no audio device, playing without sound (%s)\n", reason.c_str());
        return;
    }
    for (const std::string& line : loadGameSounds(world.audio))
        std::fprintf(stderr, "turfwar: %s\n", line.c_str());
}

// --- Frame steps, in the order runFrame runs them. ---

// In a car the camera follows the chassis, on foot the player; lookHeight
// is only set on foot and keeps its last value in a car.
void feedCamera(World& world, std::size_t index)
{
    ChaseCamera& camera = world.cameras[index];
    const SimPlayer& viewed = world.sim.players[viewedPlayer(world, index)];
    const Player& player = viewed.body;
    if (player.inCar) {
        camera.followPoint = player.viewerPosition;
        camera.followDirection = player.viewerDirection;
        // ODE's velocity is per simulated second, 12 of which pass in every
        // real second; the spring runs on real time, so fed as it comes the
        // eye would trail a moving car by hundreds of units instead of
        // settling at its rest point behind it.
        const Vector3 v = viewed.chassisVelocity;
        camera.followVelocity = {v.x * kSimulatedPerReal, v.y * kSimulatedPerReal, v.z * kSimulatedPerReal};
        camera.setTarget(player.viewerPosition);
    } else {
        camera.followPoint = player.position;
        camera.followDirection = player.facing;
        camera.followVelocity = {};
        camera.setLookHeight(kOnFootLookHeight);
        camera.setTarget(player.position);
    }
}
// Every local player has a view and a camera, and with none (bots alone)
// one view follows player 0. View i shows player i.
std::size_t localViewCount(const World& world)
{
    const std::size_t views = static_cast<std::size_t>(std::max(world.localPlayers, 1));
    assert(views <= world.cameras.size() && "initGame seats at most one local player per camera");
    assert(views <= world.sim.players.size() && "every view follows a player of the world");
    return views;
}
// The car mesh's paint is its first textured material: the one "carpaint.bmp"
// gives in the default data, and the one a replacement car's body wears.
TextureId carPaintOf(const Model3ds& mesh)
{
    for (const Model3dsMaterial& material : mesh.materials)
        if (material.texture != 0)
            return material.texture;
    return 0;
}
// The camera springs run on the frame's real time, before anything is drawn.
void updateCameras(World& world, float dt)
{
    const std::size_t views = localViewCount(world);
    for (std::size_t i = 0; i < views; ++i) {
        feedCamera(world, i);
        world.cameras[i].update(dt);
    }
}
// The scene as player index sees it, every player in it.
SceneView sceneOf(const World& world, std::size_t index = 0)
{
    return {.cars = world.sim.cars,
            .carMesh = world.carMesh,
            .wheelMesh = world.wheelMesh,
            .skyModel = world.skyModel,
            .playerModel = world.playerModel,
            .gunModel = world.gunModel,
            .players = world.sim.players,
            .viewer = viewedPlayer(world, index),
            .projectiles = world.sim.projectiles,
            .fireTextures = world.fireTextures,
            .groundTexture = world.groundTexture,
            .markerTexture = world.markerTexture,
            .blueSwaps = world.blueSwaps,
            .matchPlayers = world.sim.match ? std::span<const MatchPlayer>(world.sim.match->players)
                                            : std::span<const MatchPlayer>()};
}
// The inset's eye: on the driven chassis, behind its centre and a little
// up, looking ahead along it. Pushes the modelview.
void pushInsetEye(const World& world, const Player& driver)
{
    pushCarPartView(world.sim.cars[static_cast<std::size_t>(driver.carIndex)], 0, {-30.0f, 9.0f, 0.0f},
                    {1.0f, 0.0f, 0.0f});
}
// A known state for the inset pass and the next frame: unlit, textured,
// white, depth-tested, full-window perspective.
void endMainView(World& world)
{
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, world.groundTexture);
    glColor3f(1.0f, 1.0f, 1.0f);
    GameWindow& window = world.window;
    window.usePerspective();
    window.setViewport(static_cast<int>(static_cast<float>(window.width)),
                       static_cast<int>(static_cast<float>(window.height)), 0, 0);
    glEnable(GL_DEPTH_TEST);
}
// The main view: the camera's view pushed, the scene and the end-of-view
// state drawn in it, popped.
void drawMainView(World& world)
{
    GameWindow& window = world.window;
    window.usePerspective();
    window.setViewport(window.width, window.height, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glPushMatrix();
    world.cameras[0].apply();
    drawScene(sceneOf(world));
    endMainView(world);
    glPopMatrix();
    glFlush();
}

// A view's label ("P1" in the player's colour) in its top-left corner, and
// under it what the player waits for; sized from the view's height so it
// reads the same at any window size.
void drawViewText(World& world, std::size_t index, const ViewRect& view)
{
    if (!world.text.loaded())
        return;
    const TextPass pass(view.x, view.y, view.width, view.height);
    const float height = std::max(12.0f, static_cast<float>(view.height) * 0.07f);
    const float margin = height * 0.4f;
    const std::array<float, 3>& rgb = playerColour(index, world.sim.match.has_value());
    const TextColour colour{rgb[0], rgb[1], rgb[2], 1.0f};
    const std::string label = "P" + std::to_string(index + 1);
    // The inset takes the top-left corner while driving; the label sits below it then.
    const bool driving = world.sim.players[index].body.inCar;
    const float top = driving ? static_cast<float>(view.height - insetOf(view).height) + margin : margin;
    world.text.draw(label, margin, top, height, colour);
    if (world.padSeats.slotOf[index] < 0 && !world.padSeats.onKeyboard[index])
        world.text.draw("Press Start on a pad to join", margin, top + height * 1.2f, height * 0.6f, colour);
}

// Several players: the window cleared once, then each view in its own
// rectangle with a perspective for its own shape, its camera, its inset while
// that player drives (the single player's shares of the view), and its label.
void drawSplitViews(World& world)
{
    GameWindow& window = world.window;
    window.usePerspective();
    window.setViewport(window.width, window.height, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const std::size_t count = localViewCount(world);
    const auto views = splitViews(static_cast<int>(count), world.settings.game.split, window.width, window.height);
    for (std::size_t i = 0; i < count; ++i) {
        const ViewRect& view = views[i];
        if (view.width <= 0 || view.height <= 0)
            continue;  // a window with no room (minimised)
        window.setViewport(view.width, view.height, view.x, view.y);
        glLoadIdentity();
        glPushMatrix();
        world.cameras[i].apply();
        drawScene(sceneOf(world, i));
        endMainView(world);
        glPopMatrix();

        const Player& player = world.sim.players[i].body;
        const ViewRect inset = insetOf(view);
        if (player.inCar && inset.width > 0 && inset.height > 0) {
            window.setViewport(inset.width, inset.height, inset.x, inset.y);
            glEnable(GL_SCISSOR_TEST);
            glScissor(inset.x, inset.y, inset.width, inset.height);
            glClear(GL_DEPTH_BUFFER_BIT);
            glDisable(GL_SCISSOR_TEST);
            glLoadIdentity();
            pushInsetEye(world, player);
            drawScene(sceneOf(world, i));
            glPopMatrix();
            endMainView(world);
        }
        drawViewText(world, i, view);
        drawHud(world, static_cast<int>(i), view);
    }
    glFlush();
}

// The start question, unless the settings have answered it already.
bool chooseFullscreen(World& world)
{
    switch (world.settings.video.fullscreen) {
    case FullscreenChoice::Yes:
        return true;
    case FullscreenChoice::No:
        return false;
    case FullscreenChoice::Ask:
        break;
    }
    const MessageBoxAnswer answer = world.platform.showMessageBox(
        startQuestionText(world.settings.keys), kStartQuestionCaption, MessageBoxStyle::YesNoQuestion);
    return answer != MessageBoxAnswer::No;
}

// frozen: a menu holds the game, and with it every sound where it is (the
// engines, the tyres, a shot still ringing out), to play on from there when
// the game does.
void playSounds(World& world, bool frozen = false)
{
    world.audio.setPaused(frozen);
    if (frozen)
        return;
    // One listener (OpenAL has one a context), at the first player's camera;
    // with several players each sound is placed as the nearest view hears
    // it (see SoundScene), as split-screen games do: every player hears
    // their own shots and steps close by.
    const std::size_t views = localViewCount(world);
    const SoundScene scene{world.sim.cars,
                           world.events,
                           world.cameras[0],
                           world.settings.audio.volume,
                           world.settings.audio.mute,
                           std::span<const ChaseCamera>(world.cameras.data() + 1, views - 1)};
    updateGameSounds(world.sounds, world.audio, scene);
}

}  // namespace

// The window's inset (see insetOf): 320 x 209 at (0, 390) in an 800 x 600
// window. On foot nothing is drawn and the main view shows through.
void drawInsetView(World& world)
{
    const ViewRect inset = insetOf({0, 0, world.window.width, world.window.height});
    world.window.setViewport(inset.width, inset.height, inset.x, inset.y);
    glClear(GL_DEPTH_BUFFER_BIT);
    const Player& player = world.sim.players[viewedPlayer(world, 0)].body;
    if (!player.inCar)
        return;
    glLoadIdentity();
    pushInsetEye(world, player);
    drawScene(sceneOf(world));
    glPopMatrix();
    glFlush();
}

bool initGame(World& world)
{
    setFixedRenderState(world);
    if (!loadVehicleMeshes(world) || !loadGunModel(world))
        return false;
    setUpLight();
    createPhysics(world);
    if (!buildCars(world))
        return false;
    loadFireTextures(world);
    if (!loadPlayerModel(world))
        return false;
    // The settings file and the command line hold the counts to the views
    // and the players there are; a record filled in by hand is held to them
    // here, with at least someone in the world.
    const MatchSettings& match = world.settings.match;
    // In a network match one player plays here and the server runs the
    // bots and the match: the world takes the server's players and match
    // on the welcome.
    const bool networked = world.settings.network.role != NetworkRole::None;
    // Watching a record nobody plays here: its header says who is in the world.
    const bool watching = !world.recordToPlay.empty();
    world.bots = {};
    if (watching) {
        world.localPlayers = 0;
        std::string error;
        if (!beginRecordPlayback(world, world.recordToPlay, error)) {
            showErrorBox("%s", error.c_str());
            return false;
        }
    } else {
        world.localPlayers = networked ? 1 : std::clamp(world.settings.game.players, 0, kMaxLocalPlayers);
        const int bots =
            networked ? 0 : std::clamp(world.settings.botsPlaying(), 0, kMaxPlayers - world.localPlayers);
        if (world.localPlayers + bots == 0)
            world.localPlayers = 1;
        addSimPlayers(world.sim, world.localPlayers + bots, world.playerModel);
        if (bots > 0)
            addBots(world.bots, world.sim, world.localPlayers, match.botLevel, static_cast<std::uint64_t>(match.seed));
    }
    if (watching || networked) {
        loadTeamPaint(world);  // every network match is one, and so is every record of one
    } else if (world.settings.game.mode == GameMode::Match) {
        // Player i plays for team i % 2, the bots after the local players: a
        // lone player's bot takes the blue car, and without one it stands empty.
        startMatch(world.sim, match.rules());
        loadTeamPaint(world);  // without the file car 1 stays red, and the match goes on
    }
    for (std::size_t p = 0; p < world.padSeats.onKeyboard.size(); ++p)
        world.padSeats.onKeyboard[p] = playsKeyboardOrMouse(world.settings, static_cast<int>(p));
    if (!loadGroundAndMarker(world) || !loadSkyModel(world))
        return false;
    startSound(world);
    initCameras(world);
    loadText(world);
    // Motion before the first frame is not a look.
    readMouseLook(world.platform, nullptr);
    // The first frame measures from here, not from the start of the process.
    frameTime(world.frameTimer, world.platform);
    return true;
}

bool loadTeamPaint(World& world)
{
    const TextureId paint = carPaintOf(world.carMesh);
    bool painted = false;
    for (const Model3dsMaterial& material : world.carMesh.materials) {
        if (material.texture == 0 || material.textureFile.empty())
            continue;
        const bool isPaint = material.texture == paint;
        // Names written with a backslash open with '/', as every data file does.
        std::string original = material.textureFile;
        std::replace(original.begin(), original.end(), '\\', '/');
        std::filesystem::path file(original);
        file.replace_filename(file.stem().string() + "_blue" + file.extension().string());
        const std::string name = file.string();
        std::error_code ec;
        if (!std::filesystem::is_regular_file(name, ec)) {
            if (isPaint)
                std::fprintf(stderr, "turfwar: %s: no such file; the blue car keeps the normal paint\n",
                             name.c_str());
            continue;
        }
        const TextureLoad blue = loadBmpTexture(name.c_str());
        if (blue.id == 0) {
            std::fprintf(stderr, "turfwar: %s: unreadable; the blue car keeps the normal %s\n", name.c_str(),
                         isPaint ? "paint" : "colours there");
            continue;
        }
        world.blueSwaps.push_back({material.texture, blue.id});
        painted = painted || isPaint;
    }
    return painted;
}

namespace {

// Every local player's command for the frame. One player takes every
// device, as the game always has. Of several, each plays their own keys on
// the shared keyboard (the first [keys], the others none until set), the
// mouse's look goes to [mouse] player, and the others without keys each play
// their pad (a player waiting for one stands still). With none, no device
// plays anyone.
void readLocalCommands(World& world, float dt)
{
    Platform& platform = world.platform;
    const std::size_t players = static_cast<std::size_t>(world.localPlayers);
    if (players == 0)
        return;
    if (players == 1) {
        world.commands[0] = readFrameInput(platform, world.settings, world.inputMemory[0],
                                           world.sim.players[viewedPlayer(world, 0)].body.inCar, dt);
        return;
    }
    const Settings& settings = world.settings;
    seatPads(world.padSeats, platform, static_cast<int>(players));
    for (std::size_t p = 0; p < players && p < world.padSeats.slotOf.size(); ++p) {
        const int slot = world.padSeats.slotOf[p];
        const PadState pad = slot >= 0 ? platform.padState(slot) : PadState{};
        const int index = static_cast<int>(p);
        const bool first = p == 0;
        const GamepadSettings& gamepad = first ? settings.gamepad : settings.localPlayer(index).gamepad;
        const bool padInvertY = first ? settings.mouse.invertY : settings.localPlayer(index).invertY;
        const PlayerDevices devices{pad, gamepad, padInvertY, settings.keysOf(index),
                                    settings.mouse.player == index + 1};
        world.commands[p] = readPlayerInput(platform, settings, world.inputMemory[p], devices,
                                            world.sim.players[p].body.inCar, dt);
    }
}

// Every player's command: the people's from their devices, then each bot's
// from what it sees of the world before this frame's step.
void readCommands(World& world, float dt)
{
    readLocalCommands(world, dt);
    thinkBots(world.bots, world.sim, dt,
              std::span<PlayerCommand>(world.commands.data(), world.sim.players.size()));
}

}  // namespace

void pressMouseButtons(World& world, int windowButton, int x, int y)
{
    // Over a menu a click chooses, it does not fire.
    if (world.sim.match && takeMenuClick(world.menus, windowButton, x, y))
        return;
    // The local players (the first from the start on: a press can come
    // before the start has seated them); with none, no one fires.
    const std::size_t players = static_cast<std::size_t>(std::clamp(world.localPlayers, 0, kMaxLocalPlayers));
    for (std::size_t p = 0; p < players; ++p)
        pressMouseButton(world.inputMemory[p], world.settings.keysOf(static_cast<int>(p)), windowButton);
}

void runFrame(World& world)
{
    Platform& platform = world.platform;
    // Measured even while a menu holds the game, so the time it stood still
    // is never handed to the step afterwards as a burst of catch-up.
    const float dt = frameTime(world.frameTimer, platform);
    world.lastFrameSeconds = dt;

    // In a match the menus read the devices first: while one is open the
    // game stands still (no step, no timers, no new sounds) and is only drawn.
    // A network match goes on whatever menu is open here; the player stands
    // still meanwhile.
    const bool networked = world.network.active;
    // A watched record goes on as a network match does: the menus show over it.
    const bool watching = world.playback.active;
    const bool frozen = world.sim.match && updateMatchMenus(world, dt) && !networked && !watching;
    world.events.clear();
    if (watching) {
        stepRecordPlayback(world, dt);
        world.lastFramePhysicsSteps = 0;
        updateCameras(world, dt);
        updateHud(world.hud, world.events, world.sim, dt);
    } else if (networked) {
        PlayerCommand own;
        if (world.menus.screen == MatchScreen::None) {
            readLocalCommands(world, dt);
            own = world.commands[0];
        }
        networkFrame(world, own, dt);
        world.lastFramePhysicsSteps = 0;
        rumbleForEvents(platform, world.events, static_cast<int>(viewedPlayer(world, 0)));
        updateCameras(world, dt);
        updateHud(world.hud, world.events, world.sim, dt);
    } else if (frozen) {
        world.lastFramePhysicsSteps = 0;
    } else {
        // Nothing is pumped during a frame, so every device reads the same now
        // as at the points of the frame that use it; only the quit test, after
        // the swap, reads again.
        readCommands(world, dt);

        const std::span<const PlayerCommand> commands(world.commands.data(), world.sim.players.size());
        world.lastFramePhysicsSteps = stepWorld(world.sim, commands, dt, world.events);
        const std::size_t locals = static_cast<std::size_t>(world.localPlayers);
        if (locals == 1) {
            rumbleForEvents(platform, world.events, 0);
        } else {
            for (std::size_t p = 1; p < locals && p < world.padSeats.slotOf.size(); ++p)
                if (world.padSeats.slotOf[p] >= 0)
                    rumbleForEvents(platform, world.events, static_cast<int>(p), world.padSeats.slotOf[p]);
        }
        updateCameras(world, dt);
        // The heads-up display's timers advance with the game, and not while
        // a menu holds it.
        updateHud(world.hud, world.events, world.sim, dt);
    }

    if (localViewCount(world) > 1) {
        drawSplitViews(world);
        playSounds(world, frozen);
    } else {
        drawMainView(world);
        playSounds(world, frozen);
        drawInsetView(world);
        // Last, so the inset never covers the HUD.
        drawHud(world, static_cast<int>(viewedPlayer(world, 0)), {0, 0, world.window.width, world.window.height});
    }
    drawMatchMenus(world);
    drawNetworkText(world);

    platform.renderAudio(world.audio);
    world.window.swapBuffers();
    ++world.framesRun;
    if (!world.sim.match) {
        if (quitHeld(platform, world.settings.keys))
            world.quitRequested = true;
    } else {
        // In a match the quit key opens the pause menu; the pad's Back and
        // Start held together still quit, as they always have.
        const PadState pad = platform.padState();
        if (pad.button(PadButton::Back) && pad.button(PadButton::Start))
            world.quitRequested = true;
    }
    afterNetworkFrame(world);
}

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

    const bool fullscreen = chooseFullscreen(world);
    // Stopped during the question: no window, and the loop ends at once.
    if (platform.stopRequested()) {
        world.quitRequested = true;
        return kExitOk;
    }
    platform.setFramePacing(world.settings.video.vsync, world.settings.video.maxFps);

    if (!world.window.create(kWindowBitsPerPixel, kWindowWidth, kWindowHeight, windowTitle(world.settings.keys),
                             fullscreen, world.settings.video.fullscreenMode)) {
        showErrorBox("couldnt load window");
        setErrorBoxPlatform(nullptr);
        return kExitNoWindow;
    }
    world.window.onButtonPress = [&world](int button, int x, int y) { pressMouseButtons(world, button, x, y); };
    world.window.onFocusLost = [&world] { noteFocusLost(world); };

    if (!initGame(world)) {
        world.window.destroy();
        setErrorBoxPlatform(nullptr);
        return kExitBadGameData;
    }
    if (!startNetworkPlay(world)) {
        stopNetworkPlay(world);
        world.audio.close();
        world.window.destroy();
        setErrorBoxPlatform(nullptr);
        return world.network.exitStatus;
    }

    // Stopped during a box of the start: the window is not shown.
    if (platform.stopRequested()) {
        world.quitRequested = true;
        return kExitOk;
    }
    world.window.show(true);
    platform.setCursorVisible(false);
    return kExitOk;
}

int finishTurfwar(World& world)
{
    // Goodbye first, so the server frees the place while the window closes.
    stopNetworkPlay(world);
    world.platform.setCursorVisible(true);
    world.audio.close();
    world.window.destroy();
    // The platform may go before the process does (a test runs many games):
    // a box shown after this goes to standard error, as before the start.
    setErrorBoxPlatform(nullptr);
    return world.network.exitStatus;
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

void noteFocusLost(World& world)
{
    if (world.sim.match)
        world.menus.focusLost = true;
}
