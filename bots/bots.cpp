#include "bots/bots.h"

#include "sim/sim_world.h"

#include <algorithm>
#include <array>
#include <string>

namespace {

constexpr std::array<BotSkill, 3> kSkills = {{
    // reaction, aim error, turn rate, think, fire interval, judgement
    {0.9f, 30.0f, 90.0f, 0.8f, 1.2f, 0.2f},
    {0.45f, 14.0f, 180.0f, 0.5f, 0.7f, 0.6f},
    {0.15f, 4.0f, 400.0f, 0.25f, 0.46f, 1.0f},
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

void thinkBots(BotSet& set, const SimWorld& world, float dt, std::span<PlayerCommand> commands)
{
    (void)world;
    (void)dt;
    for (Bot& bot : set.bots)
        if (bot.player >= 0 && static_cast<std::size_t>(bot.player) < commands.size())
            commands[static_cast<std::size_t>(bot.player)] = PlayerCommand{};
}
