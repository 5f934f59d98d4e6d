// Computer players in whole matches with no window: they finish matches,
// never stay stuck, never hurt their own team, keep every state finite, and
// their levels mean something; a new player's plain play beats an easy one.

#include "bot_match.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <numbers>

namespace {

// Hard against easy, one each, the hard bot on red for odd seeds and blue for
// even ones (so neither side's start decides it). The winner's level.
BotLevel hardAgainstEasy(int seed, BotMatchResult& result)
{
    const bool hardRed = seed % 2 == 1;
    const std::array<BotLevel, 2> levels = {hardRed ? BotLevel::Hard : BotLevel::Easy,
                                            hardRed ? BotLevel::Easy : BotLevel::Hard};
    result = playBotMatch(levels, static_cast<std::uint64_t>(seed));
    return result.winner >= 0 ? levels[static_cast<std::size_t>(result.winner)] : BotLevel::Normal;
}

void expectSound(const BotMatchResult& r, const std::string& what)
{
    EXPECT_GE(r.winner, 0) << what << ": the match did not end";
    EXPECT_TRUE(r.finite) << what;
    EXPECT_EQ(r.teammateHits, 0) << what;
    EXPECT_EQ(r.ownCarHits, 0) << what;
    EXPECT_EQ(r.enemyCarsTaken, 0) << what;
    EXPECT_LT(r.longestStuckSeconds, 5.0f) << what << " (" << r.stuckEvents << " stuck events)";
}

TEST(BotMatch, BotOnlyMatchesEndWithNoBotStuckNoFriendlyFireAndFiniteStates)
{
    // Two against two at the default level, and a full world of eight.
    for (const std::uint64_t seed : {11u, 12u}) {
        const std::vector<BotLevel> levels(4, BotLevel::Normal);
        expectSound(playBotMatch(levels, seed), "2v2 normal, seed " + std::to_string(seed));
    }
    const std::vector<BotLevel> eight = {BotLevel::Easy, BotLevel::Hard,   BotLevel::Normal, BotLevel::Easy,
                                         BotLevel::Hard, BotLevel::Normal, BotLevel::Normal, BotLevel::Normal};
    expectSound(playBotMatch(eight, 13), "4v4 mixed, seed 13");
    // A round the clock ends, by its wheels or after sudden death: too short
    // for anyone to knock four wheels off.
    MatchRules quick;
    quick.rounds = 1;
    quick.roundSeconds = 5.0f;
    const BotMatchResult clocked = playBotMatch(std::vector<BotLevel>(2, BotLevel::Easy), 14, quick, 130.0f);
    EXPECT_TRUE(clocked.finite);
    EXPECT_GE(clocked.roundsPlayed, 1);
}

TEST(BotMatch, TheSameSeedPlaysTheSameMatchAndAnotherSeedAnother)
{
    const std::vector<BotLevel> levels = {BotLevel::Normal, BotLevel::Hard, BotLevel::Easy, BotLevel::Normal};
    const BotMatchResult a = playBotMatch(levels, 5);
    const BotMatchResult b = playBotMatch(levels, 5);
    const BotMatchResult c = playBotMatch(levels, 6);
    EXPECT_EQ(a.seconds, b.seconds);
    EXPECT_EQ(a.scores, b.scores);
    EXPECT_EQ(a.knockOuts, b.knockOuts);
    EXPECT_EQ(a.wheelsOff, b.wheelsOff);
    EXPECT_TRUE(a.seconds != c.seconds || a.knockOuts != c.knockOuts || a.scores != c.scores);
}

// What a new player does, and nothing more: turn to the own car and walk to
// it, get in, then steer at the enemy car's nearest wheel with the left and
// right keys, on the throttle while it is ahead or the car is slow, and
// click fire all the time. No aiming of the look, no dodging, no braking,
// never out of the car again.
PlayerCommand newPlayer(const SimWorld& world, int me, bool& pressed)
{
    PlayerCommand command;
    const SimPlayer& p = world.players[static_cast<std::size_t>(me)];
    const int own = me % kTeamCount;
    const Car& enemy = world.cars[static_cast<std::size_t>(1 - own)];
    command.fire = true;
    if (!p.body.inCar) {
        const Vector3 car = world.cars[static_cast<std::size_t>(own)].partPosition(0);
        const Vector3 to = subtract(car, p.body.position);
        float turn = std::fmod(std::atan2(to.x, to.z) * 180.0f / std::numbers::pi_v<float> - p.body.yaw, 360.0f);
        turn = turn > 180.0f ? turn - 360.0f : turn < -180.0f ? turn + 360.0f : turn;
        command.lookYaw = turn;
        command.forward = true;
        // A press, let go the next frame: a hold would get out again.
        command.enterLeave = !pressed && std::hypot(to.x, to.z) < 15.0f;
        pressed = command.enterLeave;
        return command;
    }
    Vector3 target = enemy.partPosition(0);
    float nearest = 1e9f;
    for (int part = 1; part < kCarPartCount; ++part) {
        const Vector3 wheel = enemy.partPosition(part);
        const float d = magnitude(subtract(wheel, p.body.viewerPosition));
        if (!enemy.wheelDetached(part) && d < nearest) {
            nearest = d;
            target = wheel;
        }
    }
    const Vector3 f = p.body.viewerDirection;
    const Vector3 to = subtract(target, p.body.viewerPosition);
    const float side = f.z * to.x - f.x * to.z;  // above 0: the target is to the left
    const float ahead = f.x * to.x + f.z * to.z;
    const float angle = std::atan2(side, ahead) * 180.0f / std::numbers::pi_v<float>;
    // Throttle while the wheel is ahead; off it to come round tighter, but
    // never so slow that the car will not turn.
    const Vector3 v = p.chassisVelocity;
    command.forward = std::fabs(angle) < 30.0f || std::hypot(v.x, v.z) < 6.0f;
    command.left = angle > 5.0f;
    command.right = angle < -5.0f;
    return command;
}

TEST(BotMatch, ANewPlayerWhoOnlyDrivesAtTheWheelsAndFiresBeatsAnEasyBot)
{
    // The player on red against one easy bot on blue, in the default match.
    for (const std::uint64_t seed : {1u, 2u, 3u, 4u, 5u, 6u}) {
        bool pressed = false;
        const ScriptedPlayer script = [&pressed](const SimWorld& world, int me, float) {
            return newPlayer(world, me, pressed);
        };
        const BotMatchResult r = playBotMatch(std::vector<BotLevel>{BotLevel::Easy, BotLevel::Easy}, seed, {},
                                              3600.0f, script);
        EXPECT_EQ(r.winner, 0) << "seed " << seed << ": " << r.scores[0] << "-" << r.scores[1];
    }
}

// Over 20 seeds a hard bot must beat an easy one at least 16 times; the
// normal suite plays the first few and wants every one, the long variant
// (TURFWAR_BOT_MATCHES=20) all of them, printing each result.
TEST(BotMatch, HardBeatsEasy)
{
    const char* env = std::getenv("TURFWAR_BOT_MATCHES");
    const int matches = env ? std::clamp(std::atoi(env), 1, 1000) : 4;
    int hardWins = 0;
    int stuck = 0;
    for (int seed = 1; seed <= matches; ++seed) {
        BotMatchResult r;
        const BotLevel winner = hardAgainstEasy(seed, r);
        hardWins += winner == BotLevel::Hard ? 1 : 0;
        stuck += r.stuckEvents;
        expectSound(r, "hard against easy, seed " + std::to_string(seed));
        if (env)
            std::printf("seed %2d: hard on %s, %s won %d-%d in %.0f s of play, %d stuck events (longest %.1f s)\n",
                        seed, seed % 2 ? "red" : "blue", botLevelName(winner), r.scores[0], r.scores[1], r.seconds,
                        r.stuckEvents, r.longestStuckSeconds);
    }
    if (env)
        std::printf("hard won %d of %d; %d stuck events in all\n", hardWins, matches, stuck);
    if (matches >= 20)
        EXPECT_GE(hardWins * 20, matches * 16);
    else
        EXPECT_EQ(hardWins, matches);
}

}  // namespace
