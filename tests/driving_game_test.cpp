// The cars in the running game, through the headless platform: start-up
// from a car file in the working directory, the keys, getting in and out.

#include "app/error_box.h"
#include "app/game.h"
#include "app/headless_platform.h"
#include "sim/driving.h"

#include "game_folder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

const char* const kShippedCarFile = TURFWAR_SOURCE_DIR "/data/car.txt";

std::string readText(const char* path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The default game folder with this car.txt (or none).
class GameDirectory : public GameFolder {
public:
    explicit GameDirectory(const std::string* carFile)
    {
        if (carFile)
            write("car.txt", *carFile);
        else
            remove("car.txt");
    }
};

// The game started on a small headless window, run frame by frame.
class DrivingGame : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string carFile = readText(kShippedCarFile);
        directory_ = std::make_unique<GameDirectory>(&carFile);
        setErrorBoxPlatform(&platform);
        ASSERT_TRUE(world.window.create(16, 160, 120, "test", false));
        ASSERT_TRUE(initGame(world));
    }
    void TearDown() override
    {
        setErrorBoxPlatform(nullptr);
        world.window.destroy();
    }

    void frames(int count, std::uint32_t ms = 25)
    {
        for (int i = 0; i < count; ++i) {
            platform.advanceTicks(ms);
            runFrame(world);
        }
    }
    void hold(Key key, bool down = true) { platform.setKeyDown(key, down); }
    // E held for one frame, then released.
    void pressE()
    {
        hold(Key::E);
        frames(1);
        hold(Key::E, false);
    }
    float steering(int car) const
    {
        return static_cast<float>(dJointGetHinge2Angle1(world.sim.cars[car].joints[2]));
    }

    HeadlessPlatform platform;
    World world{platform};
    std::unique_ptr<GameDirectory> directory_;
};

// Car 1 is car 0 moved by (400, 14, 200), joints and all.
TEST_F(DrivingGame, StartUpBuildsBothCarsApart)
{
    for (int part = 0; part < kCarPartCount; ++part) {
        const Vector3 d = subtract(world.sim.cars[1].partPosition(part), world.sim.cars[0].partPosition(part));
        EXPECT_FLOAT_EQ(d.x, 400.0f);
        EXPECT_FLOAT_EQ(d.y, 14.0f);
        EXPECT_FLOAT_EQ(d.z, 200.0f);
    }
    dVector3 anchor;
    dJointGetHinge2Anchor(world.sim.cars[1].joints[3], anchor);
    EXPECT_NEAR(anchor[0], world.sim.cars[1].partPosition(4).x, 1e-4);
    EXPECT_NEAR(anchor[2], world.sim.cars[1].partPosition(4).z, 1e-4);
    EXPECT_EQ(world.sim.physicsAccumulator, 0.0f);
    frames(1);
    EXPECT_EQ(world.sim.cars[0].brake, 100);  // car 0 counts as parked before anyone drove
    EXPECT_EQ(world.sim.cars[1].brake, 0);
}

// Walk up, get in, drive about, get out.
TEST_F(DrivingGame, EnterDriveAndLeave)
{
    frames(80);
    world.sim.players[0].body.position = {0.0f, 0.0f, -15.0f};
    pressE();
    ASSERT_TRUE(world.sim.players[0].body.inCar);
    EXPECT_EQ(world.sim.players[0].body.carIndex, 0);
    EXPECT_GT(world.sim.players[0].enterCooldown, 0.0f);

    const Vector3 start = world.sim.cars[0].partPosition(0);
    hold(Key::W);
    frames(60);
    Vector3 at = world.sim.cars[0].partPosition(0);
    EXPECT_GT(at.x - start.x, 10.0f);
    EXPECT_NEAR(at.z, start.z, 1.0f);
    // The view rides on the chassis.
    EXPECT_NEAR(world.sim.players[0].body.viewerPosition.x, at.x, 2.0f);
    EXPECT_NEAR(world.sim.players[0].body.viewerDirection.x, 1.0f, 0.02f);
    EXPECT_GT(world.sim.players[0].chassisVelocity.x, 1.0f);

    hold(Key::A);
    frames(40);
    EXPECT_NEAR(steering(0), -0.75f, 0.05f);
    const float headingAfterA = world.sim.players[0].body.viewerDirection.z;
    EXPECT_LT(headingAfterA, -0.2f);  // A turns toward -z
    hold(Key::A, false);
    hold(Key::D);
    frames(40);
    EXPECT_GT(world.sim.players[0].body.viewerDirection.z, headingAfterA + 0.2f);
    hold(Key::D, false);

    hold(Key::W, false);
    hold(Key::S);
    frames(600);
    EXPECT_LT(std::sqrt(world.sim.players[0].chassisVelocity.x * world.sim.players[0].chassisVelocity.x +
                        world.sim.players[0].chassisVelocity.z * world.sim.players[0].chassisVelocity.z),
              0.1f);
    hold(Key::S, false);

    // Out, on the floor, 5 behind and 20 to the car's -z side.
    Vector3 expected, unused;
    world.sim.cars[0].partToWorld(0, {-5.0f, 0.0f, -20.0f}, {}, expected, unused);
    pressE();
    EXPECT_FALSE(world.sim.players[0].body.inCar);
    EXPECT_NEAR(world.sim.players[0].body.position.x, expected.x, 0.5f);
    EXPECT_NEAR(world.sim.players[0].body.position.z, expected.z, 0.5f);
    EXPECT_EQ(world.sim.players[0].body.position.y, 0.0f);
    frames(1);
    EXPECT_EQ(world.sim.cars[0].brake, 100);
    EXPECT_EQ(world.sim.cars[0].throttle, 0);
}

// Frames of a second and of ten (a stall, a machine waking from sleep), on
// foot and driving: the eye stays finite and, after a second of ordinary
// frames, hangs behind the player or the car again, about 50 back and 20 up.
TEST_F(DrivingGame, LongFramesLeaveTheCameraBehind)
{
    auto expectBehind = [this](const char* when) {
        SCOPED_TRACE(when);
        const Vector3 eye = world.cameras[0].eye();
        ASSERT_TRUE(std::isfinite(eye.x) && std::isfinite(eye.y) && std::isfinite(eye.z));
        // A second at 40 frames a second, standing or coasting (a walking
        // player is followed with a lag, by design).
        platform.releaseAllKeys();
        frames(40);
        const ChaseCamera& camera = world.cameras[0];
        const Vector3 offset = subtract(camera.eye(), camera.followPoint);
        const float headingX = camera.followDirection.x, headingZ = camera.followDirection.z;
        const float headingLength = std::hypot(headingX, headingZ);
        const float along = (offset.x * headingX + offset.z * headingZ) / headingLength;
        const float aside = (offset.x * headingZ - offset.z * headingX) / headingLength;
        EXPECT_GT(along, -60.0f);
        EXPECT_LT(along, -30.0f);  // a coasting car is still catching up on the eye
        EXPECT_LT(std::fabs(aside), 5.0f);
        EXPECT_NEAR(offset.y, 20.0f, 2.0f);
    };
    hold(Key::W);
    frames(3, 1000);
    expectBehind("walking in one-second frames");
    world.sim.players[0].body.yaw += 90.0f;
    frames(1, 10000);
    expectBehind("turned during a ten-second frame");

    world.sim.players[0].body.position = {0.0f, 0.0f, -15.0f};
    pressE();
    ASSERT_TRUE(world.sim.players[0].body.inCar);
    hold(Key::W);
    frames(20);
    frames(2, 1000);
    expectBehind("driving in one-second frames");
    hold(Key::W);
    frames(1, 10000);
    expectBehind("driving through a ten-second frame");
}

// E counts once per half second, near a car or not.
TEST_F(DrivingGame, EnterCooldown)
{
    frames(80);
    world.sim.players[0].body.position = {0.0f, 0.0f, -100.0f};
    hold(Key::E);
    frames(1);
    EXPECT_FALSE(world.sim.players[0].body.inCar);
    EXPECT_FLOAT_EQ(world.sim.players[0].enterCooldown, 0.5f - 0.025f);

    world.sim.players[0].body.position = {0.0f, 0.0f, -15.0f};
    frames(18);  // 0.45 s more: still cooling down
    EXPECT_FALSE(world.sim.players[0].body.inCar);
    frames(2);
    EXPECT_TRUE(world.sim.players[0].body.inCar);
    // Held on, E takes the player out again once the cooldown has run.
    frames(19);
    EXPECT_TRUE(world.sim.players[0].body.inCar);
    frames(2);
    EXPECT_FALSE(world.sim.players[0].body.inCar);
}

TEST(EnterCar, DistanceAndOrder)
{
    PhysicsWorld physics;
    createPhysicsWorld(physics);
    Car cars[kCarCount];
    const CarFileResult file = readCarFile(kShippedCarFile);
    ASSERT_TRUE(file.params);
    for (Car& car : cars)
        car.build(*file.params, physics.world, physics.space);
    auto placeChassis = [](Car& car, float x, float y, float z) { dBodySetPosition(car.bodies[0], x, y, z); };

    Player player;
    float cooldown = 0.0f;
    placeChassis(cars[0], 12.0f, 16.0f, 0.0f);  // exactly 20 away
    placeChassis(cars[1], 500.0f, 5.0f, 0.0f);
    enterOrLeaveCar(cars, player, cooldown, true, 0.0f);
    EXPECT_FALSE(player.inCar);
    EXPECT_EQ(cooldown, 0.5f);

    cooldown = 0.0f;
    placeChassis(cars[0], 12.0f, 15.99f, 0.0f);
    placeChassis(cars[1], 1.0f, 1.0f, 0.0f);  // nearer, but the lower index wins
    enterOrLeaveCar(cars, player, cooldown, true, 0.1f);
    EXPECT_TRUE(player.inCar);
    EXPECT_EQ(player.carIndex, 0);
    EXPECT_FLOAT_EQ(cooldown, 0.4f);

    // Leaving uses the chassis frame: a car turned a quarter about y puts
    // its -z side at world -x and its back at world +z.
    dMatrix3 r;
    dRFromAxisAndAngle(r, 0, 1, 0, M_PI / 2);
    dBodySetRotation(cars[0].bodies[0], r);
    placeChassis(cars[0], 100.0f, 6.0f, 50.0f);
    cooldown = 0.0f;
    enterOrLeaveCar(cars, player, cooldown, true, 0.0f);
    EXPECT_FALSE(player.inCar);
    EXPECT_NEAR(player.position.x, 80.0f, 1e-4f);
    EXPECT_EQ(player.position.y, 0.0f);
    EXPECT_NEAR(player.position.z, 55.0f, 1e-4f);

    // Not held, or held while cooling down: nothing but the countdown.
    player.position = {1.0f, 0.0f, 0.0f};
    enterOrLeaveCar(cars, player, cooldown, false, 0.2f);
    enterOrLeaveCar(cars, player, cooldown, true, 0.2f);
    EXPECT_FALSE(player.inCar);
    EXPECT_FLOAT_EQ(cooldown, 0.1f);
}

// A car file the cars cannot be built from ends the start with a box that
// says what is wrong, and a failure status.
TEST(CarFileAtStartUp, UnusableFilesStopTheGame)
{
    struct Case {
        const char* content;  // nullptr: no file at all
        const char* mustSay[2];
    };
    const Case cases[] = {
        {nullptr, {"\"car.txt\"", "No such file"}},
        {"30 8 16 0 7 0 4.5 20", {"\"car.txt\"", "number 9 "}},
        {"30 8 16 0 7 0 4.5 20 x 10 10", {"\"car.txt\"", "number 9 "}},
        {"30 8 16 0 7 0 0 20 20 10 10", {"\"car.txt\"", "number 7 "}},
        {"30 8 -16 0 7 0 4.5 20 20 10 10", {"\"car.txt\"", "number 3 "}},
        {"30 8 16 0 7 0 4.5 20 20 1e10 1e10", {"\"car.txt\"", "number 10 "}},  // ODE would abort on it
    };
    for (const Case& c : cases) {
        const std::string content = c.content ? c.content : "";
        GameDirectory directory(c.content ? &content : nullptr);
        HeadlessPlatform platform;
        int status = 0;
        {
            World world(platform);
            status = runTurfwar(world);
        }
        setErrorBoxPlatform(nullptr);
        EXPECT_NE(status, 0) << (c.content ? c.content : "(no file)");
        EXPECT_EQ(status, kExitBadGameData);
        EXPECT_EQ(platform.swapCount(), 0);  // no frame ran
        ASSERT_EQ(platform.messageBoxes().size(), 2u);  // the start question, then the error
        const RecordedMessageBox& box = platform.messageBoxes()[1];
        EXPECT_EQ(box.style, MessageBoxStyle::OkError);
        for (const char* phrase : c.mustSay)
            EXPECT_NE(box.text.find(phrase), std::string::npos) << box.text;
    }
}

// The shipped file starts the game, which runs until Escape.
TEST(CarFileAtStartUp, ShippedFileStartsTheGame)
{
    const std::string content = readText(kShippedCarFile);
    GameDirectory directory(&content);
    HeadlessPlatform platform;
    platform.onSwap = [&platform](int swaps) {
        platform.advanceTicks(25);
        if (swaps == 20)
            platform.setKeyDown(Key::Escape, true);
    };
    int status = -1;
    {
        World world(platform);
        status = runTurfwar(world);
        EXPECT_GT(world.sim.cars[0].partPosition(0).y, 0.0f);
    }
    setErrorBoxPlatform(nullptr);
    EXPECT_EQ(status, kExitOk);
    EXPECT_EQ(platform.swapCount(), 20);
    EXPECT_EQ(platform.messageBoxes().size(), 1u);
}

}  // namespace
