// Computer players one situation at a time: their seeded draws, their names
// and slots, what they choose when the situation is plain, and how they get
// free of a wall.

#include "bot_match.h"

#include <gtest/gtest.h>

namespace {

TEST(BotRandom, TheSameSeedDrawsTheSameNumbersInRange)
{
    BotRandom a(42);
    BotRandom b(42);
    BotRandom c(43);
    int differ = 0;
    for (int i = 0; i < 1000; ++i) {
        const float x = a.uniform();
        EXPECT_EQ(x, b.uniform());
        EXPECT_GE(x, 0.0f);
        EXPECT_LT(x, 1.0f);
        differ += x != c.uniform() ? 1 : 0;
        const float y = a.between(-3.0f, 5.0f);
        b.between(-3.0f, 5.0f);
        c.between(-3.0f, 5.0f);
        EXPECT_GE(y, -3.0f);
        EXPECT_LT(y, 5.0f);
    }
    EXPECT_GT(differ, 990);
}

TEST(BotLevels, NamesReadBackAndAnythingElseIsNoLevel)
{
    for (BotLevel level : {BotLevel::Easy, BotLevel::Normal, BotLevel::Hard})
        EXPECT_EQ(botLevelFromName(botLevelName(level)), level);
    EXPECT_FALSE(botLevelFromName("Hard"));
    EXPECT_FALSE(botLevelFromName(""));
    EXPECT_FALSE(botLevelFromName("expert"));
    // Harder is quicker, steadier and better judged in every respect.
    const BotSkill& easy = botSkill(BotLevel::Easy);
    const BotSkill& normal = botSkill(BotLevel::Normal);
    const BotSkill& hard = botSkill(BotLevel::Hard);
    EXPECT_GT(easy.reactionSeconds, normal.reactionSeconds);
    EXPECT_GT(normal.reactionSeconds, hard.reactionSeconds);
    EXPECT_GT(easy.aimErrorDegrees, normal.aimErrorDegrees);
    EXPECT_GT(normal.aimErrorDegrees, hard.aimErrorDegrees);
    EXPECT_LT(easy.turnDegreesPerSecond, normal.turnDegreesPerSecond);
    EXPECT_LT(normal.turnDegreesPerSecond, hard.turnDegreesPerSecond);
    EXPECT_LT(easy.judgement, normal.judgement);
    EXPECT_LT(normal.judgement, hard.judgement);
}

TEST(BotSlots, BotsTakeThePlayersFromTheFirstOnAndWriteOnlyTheirOwnCommands)
{
    BotRig rig(4);
    addBots(rig.set, rig.world, 1, BotLevel::Hard, 9);
    ASSERT_EQ(rig.set.bots.size(), 3u);
    EXPECT_EQ(rig.world.players[0].name, "");
    EXPECT_EQ(rig.world.players[1].name, botName(0));
    EXPECT_EQ(rig.world.players[3].name, botName(2));
    EXPECT_NE(botName(0), botName(1));
    rig.skipCountdown();
    // The person's command is theirs: a bot never writes it, and a span too
    // short for a bot's slot is left alone.
    PlayerCommand person;
    person.lookYaw = 12.5f;
    person.forward = true;
    std::array<PlayerCommand, 2> two = {person, person};
    for (int frame = 0; frame < 120; ++frame) {
        thinkBots(rig.set, rig.world, BotRig::kFrame, two);
        EXPECT_EQ(two[0].lookYaw, 12.5f);
        EXPECT_TRUE(two[0].forward);
    }
    EXPECT_NE(two[1].lookYaw, 12.5f);  // the bot's own slot is written
}

TEST(BotSlots, OutsidePlayABotCommandsNothing)
{
    BotRig rig(2);
    addBots(rig.set, rig.world, 0, BotLevel::Hard, 3);
    for (int frame = 0; frame < 60; ++frame) {
        rig.step();
        for (const PlayerCommand& c : rig.mine()) {
            EXPECT_FALSE(c.fire || c.forward || c.enterLeave);
            EXPECT_EQ(c.lookYaw, 0.0f);
            EXPECT_EQ(c.stickForward, 0.0f);
            EXPECT_EQ(c.throttle, 0);
        }
    }
    EXPECT_EQ(rig.world.match->phase, MatchPhase::Countdown);
}

// A hard bot always weighs the situation, so its first choice shows the weights.
TEST(BotGoals, BesideItsWholeCarAHardBotDrivesItAndATeammateDoesNotAlsoTryTo)
{
    BotRig rig(4);
    addBots(rig.set, rig.world, 0, BotLevel::Hard, 1);
    rig.skipCountdown();
    rig.step();
    EXPECT_EQ(rig.set.bots[0].goal, BotGoal::AttackCarDriving);
    // Once red's car is taken, red's other bot goes on foot.
    for (int frame = 0; frame < 600 && driverOf(rig.world, 0) < 0; ++frame)
        rig.step();
    const int driver = driverOf(rig.world, 0);
    ASSERT_GE(driver, 0);
    ASSERT_EQ(driver % kTeamCount, 0);
    const Bot& other = rig.set.bots[static_cast<std::size_t>(driver == 0 ? 2 : 0)];
    for (int frame = 0; frame < 60; ++frame)
        rig.step();
    EXPECT_NE(other.goal, BotGoal::AttackCarDriving);
    EXPECT_FALSE(rig.world.players[static_cast<std::size_t>(other.player)].body.inCar);
}

TEST(BotGoals, ACarWithOneWheelLeftIsLeftAndAnEnemyOnFootCloseByIsHunted)
{
    BotRig rig(2);
    addBots(rig.set, rig.world, 0, BotLevel::Hard, 2);
    rig.skipCountdown();
    Car& red = rig.world.cars[0];
    for (int part = 1; part < kCarPartCount - 1; ++part)
        for (int hit = 0; hit < kWheelDetachHits; ++hit)
            red.hit(part);
    // Red's bot and blue a few strides apart, far from both cars.
    rig.world.players[0].body.position = {-400.0f, 0.0f, -400.0f};
    rig.world.players[1].body.position = {-340.0f, 0.0f, -440.0f};
    rig.set.bots[0].thinkTimer = 0.0f;
    rig.step();
    EXPECT_EQ(rig.set.bots[0].goal, BotGoal::HuntPlayer);
    EXPECT_EQ(rig.set.bots[0].targetPlayer, 1);
    int hits = 0;
    for (int frame = 0; frame < 60 * 5; ++frame) {
        rig.step();
        EXPECT_FALSE(rig.world.players[0].body.inCar);
        for (const StepEvent& e : rig.events)
            hits += e.kind == StepEventKind::PlayerHit && e.player == 0 && e.target == 1 ? 1 : 0;
    }
    EXPECT_GT(hits, 0);
}

TEST(BotStuck, ADriverNoseFirstAgainstAWallGetsFreeWellWithinFiveSeconds)
{
    BotRig rig(2);
    addBots(rig.set, rig.world, 0, BotLevel::Normal, 4);
    rig.skipCountdown();
    // Red's car a few units from the +x wall, nose (+x) to it, its bot in it.
    Car& red = rig.world.cars[0];
    red.translate(Vector3{kArenaHalfSize - 20.0f - red.partPosition(0).x, 0.0f, 0.0f});
    Player& body = rig.world.players[0].body;
    body.inCar = true;
    body.carIndex = 0;
    const Vector3 start = red.partPosition(0);
    bool free = false;
    for (int frame = 0; frame < 60 * 5 && !free; ++frame) {
        rig.step();
        const Vector3 at = body.inCar ? red.partPosition(0) : body.position;
        free = magnitude(subtract(at, start)) > 40.0f;
    }
    EXPECT_TRUE(free);
    EXPECT_LT(rig.set.bots[0].stats.longestStuckSeconds, 5.0f);
}

}  // namespace
