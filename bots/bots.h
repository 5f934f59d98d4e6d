#pragma once
// Computer players. A bot is an input source like a pad: every frame it
// looks at the world as any player could (where everyone and both cars are,
// the wheels left, who is knocked out) and writes the same PlayerCommand a
// person's devices give, which goes through the same step. It never reads
// another player's command and never moves anything but by its command.
//
// Each bot chooses a goal every few tenths of a second, steers to it (on
// foot or in its team's car), turns its look toward what it shoots at with a
// level's turn rate and error, and backs out when it is stuck. Everything it
// draws by chance comes from a generator seeded by the match, so the same
// seed and the same people give the same game.

#include "math/vector3.h"
#include "sim/player_command.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

struct SimWorld;

enum class BotLevel { Easy, Normal, Hard };
inline constexpr BotLevel kDefaultBotLevel = BotLevel::Normal;
inline constexpr std::uint64_t kDefaultBotSeed = 1;

// "easy", "normal", "hard".
const char* botLevelName(BotLevel level);
std::optional<BotLevel> botLevelFromName(std::string_view name);

// What a level changes: how late a bot sees, how well it aims, how often and
// how well it chooses.
struct BotSkill {
    float reactionSeconds;    // before a new target is acted on
    float aimErrorDegrees;    // the widest its aim wanders off the target
    float turnDegreesPerSecond;  // the fastest its look (or, driving, its wish to steer) turns
    float thinkSeconds;       // between choices of goal
    float fireIntervalSeconds;   // at least this between fire presses
    float judgement;          // 0 to 1: how often it weighs the whole situation rather than the nearest thing
    float patience;           // 0 to 1: how often it waits for a lock worth a shot rather than clicking
};
const BotSkill& botSkill(BotLevel level);

// A small generator of our own (SplitMix64), so every library and machine
// draws the same numbers from the same seed.
class BotRandom {
public:
    explicit BotRandom(std::uint64_t seed = 0) : state_(seed) {}
    std::uint64_t next();
    float uniform();                        // [0, 1)
    float between(float low, float high);   // [low, high)

private:
    std::uint64_t state_;
};

// What a bot is after.
enum class BotGoal {
    AttackCarOnFoot,   // walk within range of the enemy car and shoot its wheels
    AttackCarDriving,  // take the team's car, drive at the enemy car, shoot it with the car's gun
    DefendCar,         // shoot enemies on foot near the team's car
    DriveAway,         // drive the team's car away from attackers
    HuntPlayer,        // pick off an enemy player on foot
};
const char* botGoalName(BotGoal goal);

// How a bot has fared, for tests and tools.
struct BotStats {
    int stuckEvents = 0;               // times it found itself stuck and backed out
    float longestStuckSeconds = 0.0f;  // the longest it went without progress while trying to move
    int goalChanges = 0;
};

struct Bot {
    int player = -1;  // its index in the world
    BotLevel level = kDefaultBotLevel;
    BotRandom random;
    BotGoal goal = BotGoal::AttackCarOnFoot;
    int targetPlayer = -1;       // the enemy it hunts or defends against, -1 none
    float thinkTimer = 0.0f;     // seconds to the next choice
    float reactionTimer = 0.0f;  // seconds before it acts on its current target
    float fireTimer = 0.0f;      // seconds before it may press fire again
    float aimError = 0.0f;       // degrees: where its aim wanders to, drawn afresh now and then
    float aimErrorTimer = 0.0f;
    float wobble = 0.0f;         // degrees: its aim's error now, drifting toward aimError
    float strafeSign = 1.0f;     // which way it circles a target in range, on foot
    float strafeTimer = 0.0f;
    float steer = 0.0f;          // the wheel it holds, -1 to 1, turned at its level's rate
    bool swinging = false;       // driving: too close to the target, swinging out to come round again
    bool enterHeld = false;      // pressed last frame: a press is a new hold
    bool leaveCar = false;       // stuck too often in the car: out, and on foot
    float carGivenUp = 0.0f;     // seconds before it tries that car again
    bool wantsToMove = false;    // last frame's command moved it
    // Stuck watch: where it was when it last made progress, and since when.
    Vector3 progressAt;
    float sinceProgress = 0.0f;  // toward the next back-out
    float stuckFor = 0.0f;       // without progress, back-outs included
    float reversing = 0.0f;      // seconds left of backing out
    float reverseSteer = 0.0f;
    int backOuts = 0;            // in a row, without progress between
    BotStats stats;
};

struct BotSet {
    std::vector<Bot> bots;
};

// The names bots play under, in order of joining.
std::string_view botName(int n);

// Makes the world's players from firstPlayer on bots of level, each seeded
// from seed and its index, and names them in the world.
void addBots(BotSet& set, SimWorld& world, int firstPlayer, BotLevel level, std::uint64_t seed);
// Clears what each bot remembers and seeds it afresh (a rematch).
void resetBots(BotSet& set, std::uint64_t seed);
// Each bot's command for this frame of dt real seconds, written to
// commands[bot.player] (others are left alone; indices past the span are
// skipped).
void thinkBots(BotSet& set, const SimWorld& world, float dt, std::span<PlayerCommand> commands);
