#include "bots/bots.h"

#include "sim/sim_world.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <string>

namespace {

constexpr std::array<BotSkill, 3> kSkills = {{
    // reaction, aim error, turn rate, think, fire interval, judgement, patience
    {1.1f, 40.0f, 60.0f, 0.8f, 1.5f, 0.15f, 0.2f},
    {0.45f, 14.0f, 180.0f, 0.5f, 0.7f, 0.6f, 0.85f},
    {0.15f, 4.0f, 400.0f, 0.25f, 0.46f, 1.0f, 1.0f},
}};

constexpr std::array<std::string_view, kMaxPlayers> kNames = {"Ada", "Bolt", "Cog", "Dyna",
                                                              "Echo", "Flux", "Gizmo", "Hex"};

std::uint64_t seedOf(std::uint64_t seed, int player)
{
    return seed ^ (0x9E3779B97F4A7C15ull * static_cast<std::uint64_t>(player + 1));
}

}  // namespace

const char* botLevelName(BotLevel level)
{
    switch (level) {
    case BotLevel::Easy:
        return "easy";
    case BotLevel::Normal:
        return "normal";
    case BotLevel::Hard:
        return "hard";
    }
    return "normal";
}

std::optional<BotLevel> botLevelFromName(std::string_view name)
{
    for (BotLevel level : {BotLevel::Easy, BotLevel::Normal, BotLevel::Hard})
        if (name == botLevelName(level))
            return level;
    return std::nullopt;
}

const BotSkill& botSkill(BotLevel level) { return kSkills[static_cast<std::size_t>(level)]; }

std::uint64_t BotRandom::next()
{
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

float BotRandom::uniform() { return static_cast<float>(next() >> 40) / static_cast<float>(1u << 24); }

float BotRandom::between(float low, float high) { return low + (high - low) * uniform(); }

const char* botGoalName(BotGoal goal)
{
    switch (goal) {
    case BotGoal::AttackCarOnFoot:
        return "attack car on foot";
    case BotGoal::AttackCarDriving:
        return "attack car driving";
    case BotGoal::DefendCar:
        return "defend car";
    case BotGoal::DriveAway:
        return "drive away";
    case BotGoal::HuntPlayer:
        return "hunt player";
    }
    return "";
}

std::string_view botName(int n) { return kNames[static_cast<std::size_t>(n) % kNames.size()]; }

void addBots(BotSet& set, SimWorld& world, int firstPlayer, BotLevel level, std::uint64_t seed)
{
    set.bots.clear();
    for (int i = std::max(firstPlayer, 0); i < static_cast<int>(world.players.size()); ++i) {
        Bot bot;
        bot.player = i;
        bot.level = level;
        bot.random = BotRandom(seedOf(seed, i));
        world.players[static_cast<std::size_t>(i)].name = std::string(botName(static_cast<int>(set.bots.size())));
        set.bots.push_back(bot);
    }
}

void resetBots(BotSet& set, std::uint64_t seed)
{
    for (Bot& bot : set.bots) {
        Bot fresh;
        fresh.player = bot.player;
        fresh.level = bot.level;
        fresh.random = BotRandom(seedOf(seed, bot.player));
        fresh.stats = bot.stats;
        bot = fresh;
    }
}

namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kDegrees = 180.0f / kPi;

// Where bots stay: the walls stand at +-kArenaHalfSize; a walker keeps this
// far inside (nothing stops a person on foot at the wall, but nothing is out
// there to do), a driver starts braking and turning this far out.
constexpr float kWalkMargin = 60.0f;
constexpr float kWallLookAhead = 0.6f;   // real seconds of the car's speed ahead, for the walls
constexpr float kDriveMargin = 150.0f;   // a driver aims no nearer the walls than this
// Ranges on foot: inside the auto-aim's reach, with room for the target to move.
constexpr float kFootStandOff = 260.0f;  // from the wheel it shoots at
constexpr float kHuntStandOff = 120.0f;  // from the player it shoots at
constexpr float kThreatRadius = 450.0f;  // an enemy on foot this close to a car can shoot it
constexpr float kNearPlayer = 300.0f;    // an enemy on foot this close is worth hunting
// Driving at the enemy car: a car has no reverse, so a driver comes in at a
// point beside the wheel it shoots at, slows to a crawl in range, and when it
// is too close swings out and comes round again.
constexpr float kDriveStandOff = 170.0f;
constexpr float kDriveTooClose = 70.0f;
constexpr float kSwingOut = 260.0f;
constexpr float kRoughAimCosine = 0.9f;  // about 25 degrees: near enough for a careless shot
constexpr float kHoldAngle = 8.0f;       // degrees off the nose: near enough to stop and shoot (the cone is 18)
constexpr float kCrawlSpeed = 6.0f;      // units per simulated second, nose on the target
constexpr float kCruiseSpeed = 40.0f;    // across the open arena
// Stuck: trying to move and this little progress in this long.
constexpr float kStuckSeconds = 1.5f;
constexpr float kProgressDistance = 12.0f;      // a car's
constexpr float kWalkProgressDistance = 5.0f;   // a walker's: it turns back and forth as it circles
constexpr float kBackOutSeconds = 1.2f;
constexpr int kStuckBeforeLeaving = 1;   // back-outs in a row before a driver gets out and walks
constexpr float kGiveUpCarSeconds = 8.0f;  // and leaves that car alone

float dot(Vector3 a, Vector3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vector3 scaled(Vector3 v, float s) { return {v.x * s, v.y * s, v.z * s}; }
Vector3 flat(Vector3 v) { return {v.x, 0.0f, v.z}; }
float flatDistance(Vector3 a, Vector3 b) { return magnitude(flat(subtract(a, b))); }

Vector3 flatDirection(Vector3 from, Vector3 to)
{
    const Vector3 d = flat(subtract(to, from));
    const float m = magnitude(d);
    return m > 1e-4f ? divide(d, m) : Vector3{};
}

float wrapDegrees(float a)
{
    a = std::fmod(a, 360.0f);
    if (a > 180.0f)
        a -= 360.0f;
    if (a < -180.0f)
        a += 360.0f;
    return a;
}

// The yaw that faces direction d (the on-foot facing is (sin yaw, 0, cos yaw)).
float yawOf(Vector3 d) { return std::atan2(d.x, d.z) * kDegrees; }

Vector3 insideArena(Vector3 p, float margin)
{
    const float h = kArenaHalfSize - margin;
    return {std::clamp(p.x, -h, h), 0.0f, std::clamp(p.z, -h, h)};
}

int teamOf(int player) { return player % kTeamCount; }

bool playing(const SimWorld& world)
{
    return world.match &&
           (world.match->phase == MatchPhase::Playing || world.match->phase == MatchPhase::SuddenDeath);
}

bool isDown(const SimWorld& world, int i)
{
    return world.match && world.match->players[static_cast<std::size_t>(i)].knockedOutSeconds > 0.0f;
}

// A player others can shoot or run over: on foot and in the game.
bool onFootAndUp(const SimWorld& world, int i)
{
    return !world.players[static_cast<std::size_t>(i)].body.inCar && !isDown(world, i);
}

Vector3 carForward(const Car& car)
{
    float m[16];
    car.partPose(0, m);
    return {m[0], m[1], m[2]};
}

// A car on its side or roof goes nowhere.
bool upright(const Car& car)
{
    float m[16];
    car.partPose(0, m);
    return m[5] > 0.5f;
}

int wheelsOn(const Car& car)
{
    int n = 0;
    for (int part = 1; part < kCarPartCount; ++part)
        n += car.built() && !car.wheelDetached(part) ? 1 : 0;
    return n;
}

// The wheel still on car nearest to from, -1 when none is.
int nearestWheel(const Car& car, Vector3 from)
{
    int best = -1;
    float bestDistance = 0.0f;
    for (int part = 1; part < kCarPartCount; ++part) {
        if (car.wheelDetached(part))
            continue;
        const float d = flatDistance(car.partPosition(part), from);
        if (best < 0 || d < bestDistance) {
            best = part;
            bestDistance = d;
        }
    }
    return best;
}

// Where to stand (or drive to) to shoot a wheel from standOff away: out from
// the chassis through the wheel, so that wheel is the car's nearest part.
Vector3 standOffPoint(const Car& car, int wheel, float standOff)
{
    const Vector3 centre = car.partPosition(0);
    const Vector3 at = car.partPosition(wheel);
    Vector3 out = flatDirection(centre, at);
    if (magnitude(out) == 0.0f)
        out = {1.0f, 0.0f, 0.0f};
    return add(flat(at), scaled(out, standOff));
}

// The enemies on foot within radius of point, and the nearest of them.
int enemiesNear(const SimWorld& world, int me, Vector3 point, float radius, int& nearest)
{
    int count = 0;
    float best = radius;
    nearest = -1;
    for (int i = 0; i < static_cast<int>(world.players.size()); ++i) {
        if (teamOf(i) == teamOf(me) || !onFootAndUp(world, i))
            continue;
        const float d = flatDistance(world.players[static_cast<std::size_t>(i)].body.position, point);
        if (d < radius) {
            ++count;
            if (d <= best) {
                best = d;
                nearest = i;
            }
        }
    }
    return count;
}

bool teammateDrives(const SimWorld& world, int me, int car)
{
    const int driver = driverOf(world, car);
    return driver >= 0 && driver != me;
}

// --- Choosing a goal ---
//
// Every think the bot scores each goal open to it and takes the best. The
// scores share one scale, worth-now, built only from what any player can
// see:
// - Attack (on foot or driving) starts at 0.8 and gains 0.25 for every
//   wheel the enemy car has lost, and 0.5 in sudden death, where the next
//   wheel wins the round.
// - On foot, attack loses the walk into range (1 per 700 units beyond the
//   stand-off). Driving is worth 0.2 more, 0.1 per wheel the own car has (it
//   is only open with three or more, upright, and no teammate at the wheel),
//   less the walk to it (1 per 400 units), and 0.3 more once in it: a car is
//   fast and its driver cannot be shot.
// - Defending needs enemies on foot within reach of the own car (450): 0.4,
//   0.25 for each of them and 0.1 for each wheel the own car has lost, less
//   the walk back. A driver whose car is down to two wheels may instead drive
//   it away from them.
// - Hunting needs an enemy on foot within 300: up to 1 for one at hand,
//   falling to nothing at that distance.
// - The goal held gets 0.15 more, so two near-equal goals do not flicker.
// So a full car near its team is driven at the enemy, a car losing its
// wheels to attackers is defended or driven off, a round near its end draws
// everyone to the last wheels, and an enemy who walks up is dealt with
// first. A bot of poor judgement (BotSkill::judgement) often skips the
// weighing and goes for whatever is nearest.
struct Situation {
    const Car* ownCar = nullptr;
    const Car* enemyCar = nullptr;
    int ownCarIndex = 0;
    int ownWheels = 0;
    int enemyWheels = 0;
    int threats = 0;        // enemies on foot near the own car
    int nearestThreat = -1;
    int nearEnemy = -1;     // the nearest enemy on foot to the bot
    float nearEnemyDistance = 0.0f;
    float toOwnCar = 0.0f;
    float toEnemyCar = 0.0f;
    bool driving = false;
    bool canDrive = false;  // own car free (or driven by the bot) and worth driving
    bool suddenDeath = false;
};

Situation look(const Bot& bot, const SimWorld& world)
{
    const int me = bot.player;
    Situation s;
    const SimPlayer& p = world.players[static_cast<std::size_t>(me)];
    s.ownCarIndex = teamOf(me);
    s.ownCar = &world.cars[static_cast<std::size_t>(s.ownCarIndex)];
    s.enemyCar = &world.cars[static_cast<std::size_t>(1 - s.ownCarIndex)];
    s.ownWheels = wheelsOn(*s.ownCar);
    s.enemyWheels = wheelsOn(*s.enemyCar);
    const Vector3 at = p.body.inCar ? p.body.viewerPosition : p.body.position;
    s.driving = p.body.inCar && p.body.carIndex == s.ownCarIndex;
    s.threats = enemiesNear(world, me, s.ownCar->partPosition(0), kThreatRadius, s.nearestThreat);
    enemiesNear(world, me, at, 1e9f, s.nearEnemy);
    s.nearEnemyDistance =
        s.nearEnemy >= 0 ? flatDistance(world.players[static_cast<std::size_t>(s.nearEnemy)].body.position, at) : 1e9f;
    s.toOwnCar = flatDistance(s.ownCar->partPosition(0), at);
    s.suddenDeath = world.match && world.match->phase == MatchPhase::SuddenDeath;
    s.toEnemyCar = flatDistance(s.enemyCar->partPosition(0), at);
    // A car it just gave up on stays given up for a while.
    s.canDrive = s.ownWheels >= 3 && upright(*s.ownCar) && !teammateDrives(world, me, s.ownCarIndex) &&
                 bot.carGivenUp <= 0.0f;
    return s;
}

struct Choice {
    BotGoal goal = BotGoal::AttackCarOnFoot;
    int target = -1;
};

Choice weighGoals(const Bot& bot, const Situation& s)
{
    struct Option {
        BotGoal goal;
        int target;
        float score;
    };
    std::array<Option, 5> options{};
    std::size_t n = 0;
    const float held = 0.15f;
    const auto bonus = [&bot, held](BotGoal g) { return bot.goal == g ? held : 0.0f; };

    // The fewer wheels the enemy car has left, the nearer the win; in sudden
    // death the next wheel wins.
    const float missingEnemy = static_cast<float>(kCarPartCount - 1 - s.enemyWheels);
    const float missingOwn = static_cast<float>(kCarPartCount - 1 - s.ownWheels);
    const float attack = 0.8f + 0.25f * missingEnemy + (s.suddenDeath ? 0.5f : 0.0f);
    // Walking into range of the enemy car costs time.
    options[n++] = {BotGoal::AttackCarOnFoot, -1,
                    attack - std::max(0.0f, s.toEnemyCar - kFootStandOff) / 700.0f + bonus(BotGoal::AttackCarOnFoot)};
    // The car is fast and its driver cannot be shot: worth the walk to it
    // while it has its wheels.
    if (s.canDrive)
        options[n++] = {BotGoal::AttackCarDriving, -1,
                        attack + 0.2f + 0.1f * static_cast<float>(s.ownWheels) -
                            (s.driving ? 0.0f : s.toOwnCar / 400.0f) + (s.driving ? 0.3f : 0.0f) +
                            bonus(BotGoal::AttackCarDriving)};
    // Attackers at the own car: worth more the more there are and the fewer wheels it has left.
    if (s.threats > 0) {
        options[n++] = {BotGoal::DefendCar, s.nearestThreat,
                        0.4f + 0.25f * static_cast<float>(s.threats) + 0.1f * missingOwn - s.toOwnCar / 1000.0f +
                            bonus(BotGoal::DefendCar)};
        if (s.driving && s.ownWheels <= 2)
            options[n++] = {BotGoal::DriveAway, s.nearestThreat,
                            0.6f + 0.3f * static_cast<float>(s.threats) + 0.2f * missingOwn + bonus(BotGoal::DriveAway)};
    }
    // A quick knock-out close by: one attacker fewer for a few seconds.
    if (s.nearEnemy >= 0 && s.nearEnemyDistance < kNearPlayer)
        options[n++] = {BotGoal::HuntPlayer, s.nearEnemy,
                        1.0f - s.nearEnemyDistance / kNearPlayer + bonus(BotGoal::HuntPlayer)};

    std::size_t best = 0;
    for (std::size_t i = 1; i < n; ++i)
        if (options[i].score > options[best].score)
            best = i;
    return {options[best].goal, options[best].target};
}

// Without weighing: the nearest of the enemy car and an enemy on foot, in
// the car when it already drives one, else on foot.
Choice nearestThing(const Situation& s)
{
    if (s.driving && s.canDrive)
        return {BotGoal::AttackCarDriving, -1};
    if (s.nearEnemy >= 0 && s.nearEnemyDistance < s.toEnemyCar)
        return {BotGoal::HuntPlayer, s.nearEnemy};
    return {BotGoal::AttackCarOnFoot, -1};
}

void chooseGoal(Bot& bot, const SimWorld& world)
{
    const BotSkill& skill = botSkill(bot.level);
    const Situation s = look(bot, world);
    const Choice choice = bot.random.uniform() < skill.judgement ? weighGoals(bot, s) : nearestThing(s);
    if (choice.goal != bot.goal || choice.target != bot.targetPlayer) {
        ++bot.stats.goalChanges;
        // A new thing to look at takes a moment to take in.
        bot.reactionTimer = skill.reactionSeconds;
    }
    bot.goal = choice.goal;
    bot.targetPlayer = choice.target;
    bot.thinkTimer = skill.thinkSeconds * bot.random.between(0.8f, 1.2f);
}

// --- Aim ---

// The look turns toward the aim point plus the bot's wandering error, no
// faster than its level lets it. Returns the yaw change to command.
float turnLook(Bot& bot, const Player& body, Vector3 aimAt, float dt)
{
    const BotSkill& skill = botSkill(bot.level);
    bot.aimErrorTimer -= dt;
    if (bot.aimErrorTimer <= 0.0f) {
        bot.aimError = bot.random.between(-skill.aimErrorDegrees, skill.aimErrorDegrees);
        bot.aimErrorTimer = bot.random.between(0.3f, 0.7f);
    }
    // The error drifts toward the one drawn, as a hand does.
    bot.wobble += (bot.aimError - bot.wobble) * std::min(1.0f, dt * 4.0f);
    const Vector3 d = flatDirection(body.position, aimAt);
    if (magnitude(d) == 0.0f)
        return 0.0f;
    const float want = wrapDegrees(yawOf(d) + bot.wobble - body.yaw);
    const float most = skill.turnDegreesPerSecond * dt;
    return std::clamp(want, -most, most);
}

// Fire when the lock is on something worth a shot: an enemy on foot, or a
// wheel still on the enemy car.
bool worthFiring(const SimWorld& world, int me)
{
    const WeaponState& w = world.players[static_cast<std::size_t>(me)].weapon;
    if (!w.targetLocked)
        return false;
    if (w.targetPlayer >= 0)
        return canHitPlayer(world, me, w.targetPlayer);
    const int enemyCar = 1 - teamOf(me);
    return w.targetCar == enemyCar && w.targetPart > 0 &&
           !world.cars[static_cast<std::size_t>(enemyCar)].wheelDetached(w.targetPart);
}

// Whether the bot's aim points roughly at the enemy car or at the player it
// is after, lock or no lock.
bool roughlyAimed(const Bot& bot, const SimWorld& world)
{
    const SimPlayer& me = world.players[static_cast<std::size_t>(bot.player)];
    const Vector3 from = me.body.inCar ? me.body.viewerPosition : me.body.position;
    const Vector3 aim = flat(me.body.inCar ? me.body.viewerDirection : me.body.facing);
    const float am = magnitude(aim);
    if (am < 1e-4f)
        return false;
    const auto near = [&](Vector3 point) {
        const Vector3 d = flatDirection(from, point);
        return magnitude(d) > 0.0f && dot(d, divide(aim, am)) > kRoughAimCosine;
    };
    const Vector3 enemyCar = world.cars[static_cast<std::size_t>(1 - teamOf(bot.player))].partPosition(0);
    return near(enemyCar) || (bot.targetPlayer >= 0 &&
                              near(world.players[static_cast<std::size_t>(bot.targetPlayer)].body.position));
}

// A patient bot fires only with the lock on something worth it; an
// impatient one (a poor level, often) clicks as soon as it is roughly aimed,
// as a new player does, and wastes shots on the chassis or the grass.
void pressFire(Bot& bot, const SimWorld& world, PlayerCommand& command)
{
    if (bot.reactionTimer > 0.0f || bot.fireTimer > 0.0f)
        return;
    const BotSkill& skill = botSkill(bot.level);
    if (!worthFiring(world, bot.player)) {
        if (!roughlyAimed(bot, world))
            return;
        if (bot.random.uniform() < skill.patience) {
            bot.fireTimer = 0.2f;  // waits for the lock, and looks again shortly
            return;
        }
    }
    command.fire = true;
    bot.fireTimer = skill.fireIntervalSeconds * bot.random.between(0.9f, 1.3f);
}

// --- On foot ---

// Moves toward a world direction through the stick, whatever way the bot faces.
void walkToward(PlayerCommand& command, const Player& body, Vector3 direction, float share, bool run)
{
    const float yaw = body.yaw / kDegrees;
    const Vector3 facing = {std::sin(yaw), 0.0f, std::cos(yaw)};
    const Vector3 side = {std::cos(yaw), 0.0f, -std::sin(yaw)};
    command.stickForward = std::clamp(dot(direction, facing) * share, -1.0f, 1.0f);
    command.stickLeft = std::clamp(dot(direction, side) * share, -1.0f, 1.0f);
    command.run = run && command.stickForward > 0.7f;
}

void onFoot(Bot& bot, const SimWorld& world, const Situation& s, float dt, PlayerCommand& command)
{
    const SimPlayer& me = world.players[static_cast<std::size_t>(bot.player)];
    const Vector3 at = me.body.position;
    Vector3 moveTo = at;
    Vector3 aimAt = s.enemyCar->partPosition(0);
    bool strafe = false;
    switch (bot.goal) {
    case BotGoal::AttackCarDriving:
    case BotGoal::DriveAway: {
        // To the driver's door: straight at the chassis, and in.
        const Vector3 car = s.ownCar->partPosition(0);
        moveTo = car;
        aimAt = car;
        // Only beside the own car: the door opens on any free car in reach.
        if (flatDistance(car, at) < kEnterDistance * 0.8f && s.canDrive &&
            flatDistance(s.enemyCar->partPosition(0), at) > kEnterDistance * 1.5f)
            command.enterLeave = true;
        break;
    }
    case BotGoal::AttackCarOnFoot: {
        const int wheel = nearestWheel(*s.enemyCar, at);
        if (wheel < 0)
            break;
        aimAt = s.enemyCar->partPosition(wheel);
        moveTo = standOffPoint(*s.enemyCar, wheel, kFootStandOff);
        strafe = flatDistance(moveTo, at) < 80.0f;
        break;
    }
    case BotGoal::DefendCar:
    case BotGoal::HuntPlayer: {
        if (bot.targetPlayer < 0 || !onFootAndUp(world, bot.targetPlayer)) {
            bot.thinkTimer = 0.0f;  // gone: think again next frame
            break;
        }
        const Vector3 them = world.players[static_cast<std::size_t>(bot.targetPlayer)].body.position;
        aimAt = add(them, Vector3{0.0f, kPlayerHeight / 2.0f, 0.0f});
        const Vector3 away = flatDirection(them, at);
        moveTo = add(them, scaled(magnitude(away) > 0.0f ? away : Vector3{1.0f, 0.0f, 0.0f}, kHuntStandOff));
        strafe = flatDistance(moveTo, at) < 60.0f;
        break;
    }
    }
    moveTo = insideArena(moveTo, kWalkMargin);

    if (bot.reactionTimer <= 0.0f)
        command.lookYaw = turnLook(bot, me.body, aimAt, dt);
    Vector3 direction = flatDirection(at, moveTo);
    float share = std::min(1.0f, flatDistance(at, moveTo) / 30.0f);  // arrive: slow in the last strides
    if (strafe) {
        // In range it keeps moving, round the target, and turns back now and then.
        const Vector3 round = flatDirection(at, aimAt);
        direction = scaled(Vector3{-round.z, 0.0f, round.x}, bot.strafeSign);
        share = 1.0f;
        bot.strafeTimer -= dt;
        if (bot.strafeTimer <= 0.0f) {
            bot.strafeSign = -bot.strafeSign;
            bot.strafeTimer = bot.random.between(1.0f, 2.5f);
        }
    }
    // Far from where it goes, it runs; facing there already, since it looks
    // where it goes when the target lies that way.
    walkToward(command, me.body, direction, share, !strafe && flatDistance(at, moveTo) > 150.0f);
    pressFire(bot, world, command);
}

// --- Driving ---

// The signed angle in degrees from the car's nose to point, seen from above;
// positive is to the car's left.
float noseAngle(const Car& car, Vector3 point)
{
    const Vector3 at = car.partPosition(0);
    Vector3 forward = flat(carForward(car));
    const float fm = magnitude(forward);
    forward = fm > 1e-4f ? divide(forward, fm) : Vector3{1.0f, 0.0f, 0.0f};
    const Vector3 want = flatDirection(at, point);
    return std::atan2(forward.z * want.x - forward.x * want.z, dot(forward, want)) * kDegrees;
}

// Steer, throttle and brake toward point, arriving at speed (units per
// simulated second); slows and turns in before the walls.
void driveToward(Bot& bot, const Car& car, Vector3 point, float speed, float dt, PlayerCommand& command)
{
    const BotSkill& skill = botSkill(bot.level);
    const Vector3 at = car.partPosition(0);
    Vector3 forward = flat(carForward(car));
    const float fm = magnitude(forward);
    forward = fm > 1e-4f ? divide(forward, fm) : Vector3{1.0f, 0.0f, 0.0f};
    const Vector3 velocity = car.partVelocity(0);
    const float ahead = dot(flat(velocity), forward);

    // The walls: where the car will be shortly, at this speed.
    const Vector3 soon = add(at, scaled(flat(velocity), kWallLookAhead * kSimulatedPerReal));
    const float h = kArenaHalfSize - kDriveMargin;
    bool wallAhead = std::fabs(soon.x) > h || std::fabs(soon.z) > h;
    if (wallAhead)
        point = {0.0f, 0.0f, 0.0f};  // turn back into the arena
    else
        point = insideArena(point, kDriveMargin);

    // The car steers right (+1) toward its +z side: away from a positive angle.
    const float angle = noseAngle(car, point);
    // A poorer driver turns the wheel toward where it wants more slowly.
    const float wanted = std::clamp(-angle / 35.0f, -1.0f, 1.0f);
    const float most = skill.turnDegreesPerSecond / 90.0f * dt;
    bot.steer += std::clamp(wanted - bot.steer, -most, most);
    command.steer = std::clamp(bot.steer, -1.0f, 1.0f);

    // Slow down for sharp turns and walls; the brake only when well over.
    float target = speed;
    if (std::fabs(angle) > 60.0f)
        target = std::min(target, 12.0f);
    if (wallAhead)
        target = std::min(target, 10.0f);
    if (ahead < target)
        command.throttle = kFullThrottle;
    else if (ahead > target * 1.5f + 4.0f)
        command.brake = kFullBrake;
}

void driving(Bot& bot, const SimWorld& world, const Situation& s, float dt, PlayerCommand& command)
{
    const SimPlayer& me = world.players[static_cast<std::size_t>(bot.player)];
    const Car& car = world.cars[static_cast<std::size_t>(me.body.carIndex)];
    const Vector3 at = car.partPosition(0);
    const bool ownCar = me.body.carIndex == s.ownCarIndex;
    // Out of a car that is no use (not ours, or too few wheels) or when the goal is on foot.
    const bool keep = ownCar && s.ownWheels >= 2 && upright(car) && bot.carGivenUp <= 0.0f &&
                      (bot.goal == BotGoal::AttackCarDriving || bot.goal == BotGoal::DriveAway ||
                       bot.goal == BotGoal::DefendCar || bot.goal == BotGoal::HuntPlayer);
    if (!keep || bot.leaveCar) {
        if (!bot.enterHeld)
            command.enterLeave = true;
        bot.leaveCar = false;
        command.brake = kFullBrake;
        return;
    }
    if (bot.reversing > 0.0f) {
        // No reverse gear: full lock the other way and pull out of it.
        bot.reversing -= dt;
        command.steer = bot.reverseSteer;
        bot.steer = bot.reverseSteer;
        command.throttle = kFullThrottle;
        return;
    }
    switch (bot.goal) {
    case BotGoal::AttackCarDriving: {
        const int wheel = nearestWheel(*s.enemyCar, at);
        if (wheel < 0)
            break;
        const Vector3 target = s.enemyCar->partPosition(wheel);
        const float d = flatDistance(target, at);
        if (bot.swinging && d > kSwingOut)
            bot.swinging = false;
        if (!bot.swinging && d < kDriveTooClose)
            bot.swinging = true;
        if (bot.swinging) {
            // Away at an angle, to come round and in again.
            const Vector3 away = flatDirection(target, at);
            driveToward(bot, car, add(at, scaled(Vector3{away.x - away.z, 0.0f, away.z + away.x}, 200.0f)),
                        kCruiseSpeed * 0.6f, dt, command);
        } else if (d < kTargetRange * 0.85f && std::fabs(noseAngle(car, target)) < kHoldAngle) {
            // In range, nose on the wheel: stand and shoot.
            bot.steer = 0.0f;
            command.brake = kFullBrake;
        } else if (d < kTargetRange * 0.85f) {
            // In range but the nose is off: creep round toward it.
            driveToward(bot, car, target, kCrawlSpeed, dt, command);
        } else {
            driveToward(bot, car, standOffPoint(*s.enemyCar, wheel, kDriveStandOff), kCruiseSpeed, dt, command);
        }
        break;
    }
    case BotGoal::DriveAway: {
        // Straight away from the attacker, kept inside the walls.
        const Vector3 them = bot.targetPlayer >= 0
                                 ? world.players[static_cast<std::size_t>(bot.targetPlayer)].body.position
                                 : s.enemyCar->partPosition(0);
        const Vector3 away = flatDirection(them, at);
        driveToward(bot, car, insideArena(add(at, scaled(away, 600.0f)), 200.0f), kCruiseSpeed, dt, command);
        break;
    }
    case BotGoal::DefendCar:
    case BotGoal::HuntPlayer: {
        // A driver cannot shoot a player; it runs them over instead.
        if (bot.targetPlayer < 0 || !onFootAndUp(world, bot.targetPlayer)) {
            bot.thinkTimer = 0.0f;
            break;
        }
        const Vector3 them = world.players[static_cast<std::size_t>(bot.targetPlayer)].body.position;
        driveToward(bot, car, them, kRunOverSpeed * 1.5f, dt, command);
        break;
    }
    case BotGoal::AttackCarOnFoot:
        break;
    }
    command.lookYaw = 0.0f;
    pressFire(bot, world, command);
}

// Stuck: wanting to move and getting nowhere. Nothing holds a walker, so
// this is for drivers against a wall or a car; a walker is watched too, and
// rethinks. stuckFor runs on through the back-outs until the bot really
// moves again: that is the time the stats report.
void watchProgress(Bot& bot, const SimWorld& world, float dt)
{
    const SimPlayer& me = world.players[static_cast<std::size_t>(bot.player)];
    const Vector3 at = me.body.inCar ? world.cars[static_cast<std::size_t>(me.body.carIndex)].partPosition(0)
                                     : me.body.position;
    const bool moved =
        flatDistance(at, bot.progressAt) > (me.body.inCar ? kProgressDistance : kWalkProgressDistance);
    if (moved || !bot.wantsToMove) {
        bot.progressAt = at;
        bot.sinceProgress = 0.0f;
        bot.stuckFor = 0.0f;
        if (moved)
            bot.backOuts = 0;
        return;
    }
    bot.sinceProgress += dt;
    bot.stuckFor += dt;
    bot.stats.longestStuckSeconds = std::max(bot.stats.longestStuckSeconds, bot.stuckFor);
    if (bot.reversing > 0.0f || bot.sinceProgress < kStuckSeconds)
        return;
    ++bot.stats.stuckEvents;
    bot.sinceProgress = 0.0f;
    bot.progressAt = at;
    if (!me.body.inCar) {
        bot.thinkTimer = 0.0f;
        return;
    }
    if (++bot.backOuts > kStuckBeforeLeaving) {
        bot.leaveCar = true;
        bot.carGivenUp = kGiveUpCarSeconds;
        bot.backOuts = 0;
        return;
    }
    bot.reversing = kBackOutSeconds;
    bot.reverseSteer = bot.steer >= 0.0f ? -1.0f : 1.0f;
}

PlayerCommand think(Bot& bot, const SimWorld& world, float dt)
{
    PlayerCommand command;
    const std::size_t index = static_cast<std::size_t>(bot.player);
    if (!world.cars[0].built() || !world.cars[1].built())
        return command;  // no cars, no match to play
    if (!playing(world) || isDown(world, bot.player)) {
        // Nothing to do; come back fresh.
        bot.thinkTimer = 0.0f;
        bot.reversing = 0.0f;
        bot.sinceProgress = 0.0f;
        bot.stuckFor = 0.0f;
        bot.swinging = false;
        bot.leaveCar = false;
        bot.steer = 0.0f;
        bot.wantsToMove = false;
        bot.enterHeld = false;
        bot.progressAt = world.players[index].body.position;
        return command;
    }
    bot.reactionTimer = std::max(0.0f, bot.reactionTimer - dt);
    bot.fireTimer = std::max(0.0f, bot.fireTimer - dt);
    bot.carGivenUp = std::max(0.0f, bot.carGivenUp - dt);
    bot.thinkTimer -= dt;
    if (bot.thinkTimer <= 0.0f)
        chooseGoal(bot, world);

    const Situation s = look(bot, world);
    if (world.players[index].body.inCar)
        driving(bot, world, s, dt, command);
    else
        onFoot(bot, world, s, dt, command);
    // The enter/leave control counts on a hold; let go in between, so one
    // press does one thing.
    if (bot.enterHeld)
        command.enterLeave = false;
    bot.enterHeld = command.enterLeave;
    // Arriving (a gentle stick) is not trying to get anywhere.
    bot.wantsToMove = command.throttle > 0 || std::hypot(command.stickForward, command.stickLeft) > 0.5f;
    watchProgress(bot, world, dt);
    return command;
}

}  // namespace

void thinkBots(BotSet& set, const SimWorld& world, float dt, std::span<PlayerCommand> commands)
{
    for (Bot& bot : set.bots)
        if (bot.player >= 0 && static_cast<std::size_t>(bot.player) < commands.size() &&
            static_cast<std::size_t>(bot.player) < world.players.size())
            commands[static_cast<std::size_t>(bot.player)] = think(bot, world, dt);
}
