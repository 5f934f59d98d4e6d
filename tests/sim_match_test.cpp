// A match stepped without a window: the countdown holds everyone, wheels shot
// off end a round and the cars come back whole, players are knocked out by
// shots and by cars and come back protected, teammates are never targets,
// and the clock ends a level round in sudden death and then a draw.

#include "game_folder.h"
#include "sim_rig.h"

#include <ode/ode.h>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr float kFrame = 0.05f;
const Vector3 kFarAway = {-900.0f, 0.0f, -900.0f};

class Match : public ::testing::Test {
protected:
    void start(int players, MatchRules rules = {})
    {
        std::string reason;
        ASSERT_TRUE(buildSimRig(world, model, players, reason)) << reason;
        startMatch(world, rules);
    }
    void step()
    {
        events.clear();
        stepWorld(world, commands, kFrame, events);
        commands = {};
        for (const StepEvent& e : events)
            seen.push_back(e);
    }
    void stepFor(float seconds)
    {
        for (int i = 0; i < static_cast<int>(std::lround(seconds / kFrame)); ++i)
            step();
    }
    void skipCountdown()
    {
        stepFor(kCountdownSeconds + kFrame);
        ASSERT_EQ(world.match->phase, MatchPhase::Playing);
    }
    int count(StepEventKind kind) const
    {
        int n = 0;
        for (const StepEvent& e : seen)
            n += e.kind == kind ? 1 : 0;
        return n;
    }
    Player& body(int p) { return world.players[static_cast<std::size_t>(p)].body; }
    void face(int p, Vector3 at, float distance)
    {
        Vector3 out = normalize(Vector3{body(p).position.x - at.x, 0.0f, body(p).position.z - at.z});
        body(p).position = {at.x + out.x * distance, 0.0f, at.z + out.z * distance};
        body(p).yaw = std::atan2(-out.x, -out.z) * 180.0f / std::numbers::pi_v<float>;
    }
    // Player p shoots the wheels off car until the round ends or time runs out.
    void shootWheelsOff(int p, int car, int others)
    {
        for (int frame = 0; frame < 4000 && world.match->phase == MatchPhase::Playing; ++frame) {
            const Car& target = world.cars[static_cast<std::size_t>(car)];
            int part = 1;
            while (part < kCarPartCount && target.wheelDetached(part))
                ++part;
            if (part == kCarPartCount)
                break;
            // Outside the wheel, away from the chassis, so the wheel is the nearest part.
            const Vector3 wheel = target.partPosition(part);
            const Vector3 centre = target.partPosition(0);
            body(p).position = {2.0f * wheel.x - centre.x, 0.0f, 2.0f * wheel.z - centre.z};
            face(p, wheel, 40.0f);
            for (int o = 0; o < others; ++o)
                if (o != p)
                    body(o).position = add(kFarAway, Vector3{0.0f, 0.0f, 40.0f * static_cast<float>(o)});
            commands[static_cast<std::size_t>(p)].fire = true;
            step();
        }
    }
    MatchPlayer& state(int p) { return world.match->players[static_cast<std::size_t>(p)]; }

    GameFolder folder;
    SimWorld world;
    ModelMs3d model;
    StepEvents events;
    std::vector<StepEvent> seen;
    std::array<PlayerCommand, 3> commands{};
};

bool finite(Vector3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

TEST_F(Match, TeamsStartBesideTheirCarsAndTheCountdownHoldsEveryone)
{
    start(3);
    EXPECT_EQ(state(0).team, 0);
    EXPECT_EQ(state(1).team, 1);
    EXPECT_EQ(state(2).team, 0);
    for (int p = 0; p < 3; ++p) {
        const Vector3 car = world.cars[static_cast<std::size_t>(p % 2)].partPosition(0);
        const Vector3 other = world.cars[static_cast<std::size_t>(1 - p % 2)].partPosition(0);
        const float near = magnitude(subtract(Vector3{car.x, 0.0f, car.z}, body(p).position));
        EXPECT_GT(near, 15.0f) << "clear of the car";
        EXPECT_LT(near, 50.0f) << "beside it";
        EXPECT_LT(near, magnitude(subtract(Vector3{other.x, 0.0f, other.z}, body(p).position)));
    }
    const Vector3 at = body(0).position;
    for (int i = 0; i < 40; ++i) {
        commands[0].forward = true;
        commands[0].fire = true;
        step();
    }
    EXPECT_EQ(body(0).position.x, at.x);
    EXPECT_EQ(body(0).position.z, at.z);
    EXPECT_EQ(count(StepEventKind::ShotFired), 0);
    EXPECT_EQ(count(StepEventKind::RoundStarted), 0);
    stepFor(1.1f);
    EXPECT_EQ(count(StepEventKind::RoundStarted), 1);
    EXPECT_EQ(world.match->phase, MatchPhase::Playing);
    commands[0].forward = true;
    step();
    EXPECT_NE(body(0).position.z, at.z);
}

TEST_F(Match, WheelsOffWinRoundsCarsComeBackWholeAndTheMatchEnds)
{
    MatchRules rules;
    rules.rounds = 2;
    start(2, rules);
    skipCountdown();
    shootWheelsOff(0, 1, 2);
    ASSERT_EQ(world.match->phase, MatchPhase::RoundOver);
    EXPECT_EQ(world.match->scores[0], 1);
    EXPECT_EQ(world.match->wheelsOff[0], 4);
    EXPECT_EQ(state(0).wheelsKnockedOff, 4);
    EXPECT_EQ(count(StepEventKind::RoundEnded), 1);
    EXPECT_EQ(seen.back().kind, StepEventKind::RoundEnded);
    EXPECT_EQ(seen.back().part, 0);

    stepFor(kRoundResultSeconds + kFrame);
    EXPECT_EQ(world.match->phase, MatchPhase::Countdown);
    EXPECT_EQ(world.match->round, 2);
    EXPECT_EQ(world.match->wheelsOff[0], 0);
    for (const Car& car : world.cars)
        for (int part = 0; part < kCarPartCount; ++part) {
            EXPECT_FALSE(car.wheelDetached(part));
            EXPECT_EQ(car.hits[part], 0);
            EXPECT_TRUE(finite(car.partPosition(part)));
        }
    EXPECT_EQ(dJointGetBody(world.cars[1].joints[0], 0), world.cars[1].bodies[0]);
    for (const Projectile& p : world.projectiles)
        EXPECT_FALSE(p.active);
    stepFor(2.0f);  // the rebuilt cars settle without blowing up
    for (const Car& car : world.cars)
        EXPECT_TRUE(finite(car.partVelocity(0)));
    skipCountdown();

    // Blue takes the second round, red the third and the match.
    shootWheelsOff(1, 0, 2);
    EXPECT_EQ(world.match->scores[1], 1);
    stepFor(kRoundResultSeconds + kFrame);
    skipCountdown();
    shootWheelsOff(0, 1, 2);
    EXPECT_EQ(world.match->phase, MatchPhase::MatchOver);
    EXPECT_EQ(world.match->winner, 0);
    EXPECT_EQ(count(StepEventKind::MatchEnded), 1);
    stepFor(5.0f);
    EXPECT_EQ(world.match->phase, MatchPhase::MatchOver);

    restartMatch(world);
    EXPECT_EQ(world.match->phase, MatchPhase::Countdown);
    EXPECT_EQ(world.match->round, 1);
    EXPECT_EQ(world.match->scores[0], 0);
    EXPECT_FALSE(world.cars[1].wheelDetached(1));
}

TEST_F(Match, ThreeShotsKnockOutAndTheRespawnIsProtectedUntilItsFirstShot)
{
    start(2);
    skipCountdown();
    body(1).position = {-300.0f, 0.0f, -300.0f};
    body(0).position = {-300.0f, 0.0f, -200.0f};
    face(0, body(1).position, 80.0f);
    for (int i = 0; i < 100 && count(StepEventKind::KnockedOut) == 0; ++i) {
        commands[0].fire = true;
        step();
    }
    EXPECT_EQ(count(StepEventKind::PlayerHit), 3);
    ASSERT_EQ(count(StepEventKind::KnockedOut), 1);
    EXPECT_EQ(seen.back().target, 1);
    EXPECT_EQ(seen.back().player, 0);
    EXPECT_EQ(seen.back().strength, 0.0f);
    EXPECT_EQ(state(0).knockOuts, 1);
    EXPECT_EQ(state(1).timesKnockedOut, 1);

    // Down: stays put and takes no commands, then comes back beside blue's car.
    const Vector3 downAt = body(1).position;
    for (int i = 0; i < 20; ++i) {
        commands[1].forward = true;
        step();
    }
    EXPECT_EQ(body(1).position.z, downAt.z);
    stepFor(kDefaultRespawnSeconds - 1.0f + kFrame);
    ASSERT_EQ(count(StepEventKind::Respawned), 1);
    EXPECT_GT(state(1).protectionSeconds, 0.0f);
    EXPECT_EQ(state(1).hitsTaken, 0);
    EXPECT_FALSE(canHitPlayer(world, 0, 1));
    commands[1].fire = true;
    step();
    EXPECT_EQ(state(1).protectionSeconds, 0.0f) << "firing ends the protection";
    EXPECT_TRUE(canHitPlayer(world, 0, 1));
}

TEST_F(Match, UnlockedShotsHitOnTheirPathAndPassThroughTeammates)
{
    start(3);
    skipCountdown();
    // A projectile from red straight through a teammate, then a blue player.
    body(2).position = {-300.0f, 0.0f, -300.0f};
    body(1).position = {-300.0f, 0.0f, -340.0f};
    Projectile& shot = world.projectiles[0];
    shot.launch({-300.0f, 9.0f, -280.0f}, {0.0f, 0.0f, -300.0f}, 0);
    shot.locked = false;
    stepFor(0.5f);
    EXPECT_EQ(state(2).hitsTaken, 0);
    EXPECT_EQ(state(1).hitsTaken, 1);
    EXPECT_FALSE(shot.active);

    // A blue player in a car cannot be hit on foot.
    body(1).inCar = true;
    body(1).carIndex = 1;
    EXPECT_FALSE(canHitPlayer(world, 0, 1));
}

TEST_F(Match, AimNeverLocksATeammateOrTheOwnCar)
{
    start(3);
    skipCountdown();
    body(1).position = kFarAway;
    // Player 0 facing teammate 2, with red's own car behind them.
    body(2).position = {-300.0f, 0.0f, -300.0f};
    body(0).position = {-300.0f, 0.0f, -260.0f};
    face(0, body(2).position, 40.0f);
    step();
    EXPECT_FALSE(world.players[0].weapon.targetLocked);
    body(0).position = world.cars[0].partPosition(1);
    body(0).position.y = 0.0f;
    body(0).position.z += 40.0f;
    face(0, world.cars[0].partPosition(1), 40.0f);
    for (int i = 0; i < 20; ++i) {
        commands[0].fire = true;
        step();
    }
    EXPECT_FALSE(world.players[0].weapon.targetLocked);
    EXPECT_EQ(world.cars[0].hits[1], 0);
}

TEST_F(Match, AFastEnemyCarKnocksOutAtOnce)
{
    start(2);
    skipCountdown();
    body(1).inCar = true;
    body(1).carIndex = 1;
    const Vector3 chassis = world.cars[1].partPosition(0);
    body(0).position = {chassis.x + 5.0f, 0.0f, chassis.z};
    for (dBodyID b : world.cars[1].bodies)
        dBodySetLinearVel(b, 40.0, 0.0, 0.0);
    step();
    ASSERT_EQ(count(StepEventKind::KnockedOut), 1);
    EXPECT_EQ(seen.back().car, 1);
    EXPECT_EQ(seen.back().strength, 1.0f);
    EXPECT_GT(state(0).knockedOutSeconds, 0.0f);
}

TEST_F(Match, ALevelClockGoesToSuddenDeathThenADraw)
{
    MatchRules rules;
    rules.roundSeconds = 6.0f;
    start(2, rules);
    skipCountdown();
    stepFor(6.0f);
    EXPECT_EQ(count(StepEventKind::ClockWarning), kClockWarningSeconds);
    EXPECT_EQ(world.match->phase, MatchPhase::SuddenDeath);
    stepFor(kSuddenDeathSeconds + kFrame);
    EXPECT_EQ(world.match->phase, MatchPhase::RoundOver);
    EXPECT_EQ(seen.back().kind, StepEventKind::RoundEnded);
    EXPECT_EQ(seen.back().part, -1);
    EXPECT_EQ(world.match->scores[0] + world.match->scores[1], 0);
}

TEST_F(Match, TheClockGivesTheRoundToTheTeamWithMoreWheels)
{
    MatchRules rules;
    rules.roundSeconds = 4.0f;
    start(2, rules);
    skipCountdown();
    for (int i = 0; i < kWheelDetachHits; ++i)
        world.cars[1].hit(1);
    stepFor(4.1f);
    EXPECT_EQ(world.match->phase, MatchPhase::RoundOver);
    EXPECT_EQ(world.match->scores[0], 1);
}
