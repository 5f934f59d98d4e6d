// Several players in one simulated world, stepped without a window: each
// has a body, a weapon and a pose of their own, a driven car is no one
// else's, and every shot is reported and remembered as its shooter's.

#include "game_folder.h"
#include "sim_rig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr float kFrame = 0.05f;

class TwoPlayers : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string reason;
        ASSERT_TRUE(buildSimRig(world, model, 2, reason)) << reason;
    }

    // One frame with these commands; the events it raised are kept.
    void step()
    {
        events.clear();
        stepWorld(world, commands, kFrame, events);
        commands = {};
    }
    int count(StepEventKind kind, int player, int car = -1) const
    {
        int n = 0;
        for (const StepEvent& e : events)
            n += e.kind == kind && e.player == player && (car < 0 || e.car == car) ? 1 : 0;
        return n;
    }
    // Player p on foot just outside wheel part of car, facing it.
    void standFacing(int p, int car, int part)
    {
        Player& body = world.players[static_cast<std::size_t>(p)].body;
        const Vector3 wheel = world.cars[static_cast<std::size_t>(car)].partPosition(part);
        const Vector3 centre = world.cars[static_cast<std::size_t>(car)].partPosition(0);
        const Vector3 out = normalize(Vector3{wheel.x - centre.x, 0.0f, wheel.z - centre.z});
        body.position = {wheel.x + out.x * 40.0f, 0.0f, wheel.z + out.z * 40.0f};
        body.yaw = std::atan2(-out.x, -out.z) * 180.0f / std::numbers::pi_v<float>;
    }
    // Enter/leave held until it counts (the cooldown lets it once).
    void pressEnter(int p)
    {
        world.players[static_cast<std::size_t>(p)].enterCooldown = 0.0f;
        commands[static_cast<std::size_t>(p)].enterLeave = true;
        step();
    }

    GameFolder folder;
    SimWorld world;
    ModelMs3d model;
    StepEvents events;
    std::array<PlayerCommand, 2> commands{};
};

}  // namespace

TEST_F(TwoPlayers, EachWalksInStepOfTheirOwn)
{
    ASSERT_EQ(world.players.size(), 2u);
    EXPECT_NE(world.players[0].body.position.z, world.players[1].body.position.z);
    int footsteps[2] = {};
    for (int i = 0; i < 10; ++i) {
        commands[1].forward = true;
        commands[1].run = true;
        step();
        for (int p = 0; p < 2; ++p)
            footsteps[p] += count(StepEventKind::Footstep, p);
    }
    EXPECT_EQ(world.players[0].body.gait, 0);
    EXPECT_EQ(world.players[1].body.gait, 2);
    EXPECT_EQ(world.players[0].pose.currentTimeMs, static_cast<float>(kWalkStartMs));
    EXPECT_GT(world.players[1].pose.currentTimeMs, static_cast<float>(kWalkStartMs));
    EXPECT_EQ(footsteps[0], 0);
    EXPECT_GE(footsteps[1], 2);  // the first as the run starts, more each half cycle
    EXPECT_NEAR(world.players[1].body.position.z, -30.0f - 10 * kRunSpeed * kFrame, 1e-3f);
    EXPECT_EQ(world.players[0].body.position.z, 0.0f);
}

TEST_F(TwoPlayers, ADrivenCarIsNoOneElses)
{
    for (int i = 0; i < 60; ++i)
        step();  // the second car comes down onto its wheels, within a player's reach
    pressEnter(0);  // the first player starts beside car 0
    ASSERT_TRUE(world.players[0].body.inCar);
    EXPECT_EQ(count(StepEventKind::EnteredCar, 0, 0), 1);
    EXPECT_EQ(driverOf(world, 0), 0);

    standFacing(1, 0, 1);
    world.players[1].body.position = world.cars[0].partPosition(0);
    world.players[1].body.position.y = 0.0f;
    pressEnter(1);
    EXPECT_FALSE(world.players[1].body.inCar);
    EXPECT_EQ(count(StepEventKind::EnteredCar, 1), 0);

    world.players[1].body.position = world.cars[1].partPosition(0);
    world.players[1].body.position.y = 0.0f;
    pressEnter(1);
    EXPECT_TRUE(world.players[1].body.inCar);
    EXPECT_EQ(world.players[1].body.carIndex, 1);
    EXPECT_EQ(count(StepEventKind::EnteredCar, 1, 1), 1);

    // Each drives their own car: the throttle of one moves only that one.
    for (int i = 0; i < 20; ++i) {
        commands[1].forward = true;
        step();
    }
    EXPECT_EQ(world.cars[0].throttle, 0);
    EXPECT_EQ(world.cars[1].throttle, kFullThrottle);

    pressEnter(0);
    EXPECT_FALSE(world.players[0].body.inCar);
    EXPECT_EQ(count(StepEventKind::LeftCar, 0, 0), 1);
    EXPECT_EQ(driverOf(world, 0), -1);
}

TEST_F(TwoPlayers, BothShootTheOthersCarUntilAWheelComesOff)
{
    standFacing(0, 1, 3);
    standFacing(1, 0, 4);
    int hits[2] = {};
    int wheelsOff[2] = {};
    bool shooterSeen[2] = {};
    for (int frame = 0; frame < 400 && (wheelsOff[0] == 0 || wheelsOff[1] == 0); ++frame) {
        commands[0].fire = true;
        commands[1].fire = true;
        step();
        for (int p = 0; p < 2; ++p) {
            hits[p] += count(StepEventKind::PartHit, p, 1 - p);
            wheelsOff[p] += count(StepEventKind::WheelOff, p, 1 - p);
            EXPECT_EQ(count(StepEventKind::PartHit, p, p), 0) << "a player hit the car beside them";
        }
        for (const Projectile& shot : world.projectiles)
            if (shot.active)
                shooterSeen[shot.shooter] = true;
    }
    for (int p = 0; p < 2; ++p) {
        EXPECT_EQ(wheelsOff[p], 1) << "player " << p;
        EXPECT_GE(hits[p], kWheelDetachHits) << "player " << p;
        EXPECT_TRUE(shooterSeen[p]) << "player " << p;
    }
    EXPECT_TRUE(world.cars[1].wheelDetached(3));
    EXPECT_TRUE(world.cars[0].wheelDetached(4));
}
