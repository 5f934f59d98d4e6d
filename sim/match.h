#pragma once
// The match: two teams, red (team 0, car 0) and blue (team 1, car 1); player
// i plays for team i % 2. A round is won by knocking all four wheels off the
// other team's car; the first team to the round limit wins the match. Players
// on foot can be shot (three hits knock them out) or run over by an enemy's
// car; they come back beside their own car after a while.
//
// All of it is stepped by stepWorld when SimWorld::match is set; free play
// (no match) is untouched. Commands are ignored while a phase other than
// Playing or SuddenDeath runs, and for players knocked out.

#include "math/vector3.h"
#include "sim/step_events.h"

#include <array>
#include <cstddef>
#include <span>
#include <vector>

struct SimWorld;
struct PlayerCommand;

inline constexpr int kTeamCount = 2;
inline constexpr int kDefaultRounds = 3;
inline constexpr float kDefaultRoundSeconds = 180.0f;
inline constexpr float kSuddenDeathSeconds = 120.0f;  // at most, after a level round clock
inline constexpr float kDefaultRespawnSeconds = 3.0f;
inline constexpr float kProtectionSeconds = 1.0f;     // after a respawn, ended early by firing
inline constexpr float kRoundResultSeconds = 3.0f;
inline constexpr float kCountdownSeconds = 3.0f;
inline constexpr int kKnockOutHits = 3;
inline constexpr int kClockWarningSeconds = 5;        // a warning at each of the last whole seconds
// A car's top speed is its axle speed (10 rad/s) times the wheel radius (4.5
// in the shipped car file): about 45 units/s. Above 20 a car is plainly
// driving at someone, faster than a walking player (15) can stroll into it;
// below, a car creeping or a player bumping a parked one knocks nobody out.
inline constexpr float kRunOverSpeed = 20.0f;  // units per simulated second, the chassis's
// The capsule a shot must cross to hit a player, its foot at the player's
// position, measured from the shipped model's bind pose: it stands from -35
// to 37.2 model units (18.05 world units at kModelScale, lifted 35 so the
// feet are on the ground), and its arms reach 12.4 to the side (3.1); the
// radius is a little wider so a walking body's swing still counts.
inline constexpr float kPlayerHeight = 18.0f;
inline constexpr float kPlayerRadius = 4.0f;

struct MatchRules {
    int rounds = kDefaultRounds;                   // to win the match
    float roundSeconds = kDefaultRoundSeconds;
    float respawnSeconds = kDefaultRespawnSeconds;
};

enum class MatchPhase { Countdown, Playing, SuddenDeath, RoundOver, MatchOver };

struct MatchPlayer {
    int team = 0;
    int hitsTaken = 0;                // since the last respawn
    float knockedOutSeconds = 0.0f;   // left before the respawn; 0 while playing
    float protectionSeconds = 0.0f;   // left of the respawn's protection
    int wheelsKnockedOff = 0;         // over the match
    int knockOuts = 0;                // enemies this player knocked out
    int timesKnockedOut = 0;
};

struct MatchState {
    MatchRules rules;
    MatchPhase phase = MatchPhase::Countdown;
    int round = 1;
    float clock = 0.0f;          // seconds left on the round (or sudden death) clock
    float phaseSeconds = 0.0f;   // seconds left of the countdown or the round's result
    std::array<int, kTeamCount> scores{};
    std::array<int, kTeamCount> wheelsOff{};  // wheels each team knocked off the other's car this round
    int winner = -1;             // the match's winning team once MatchOver
    int lastWarning = 0;         // the last clock warning raised, in whole seconds
    std::vector<MatchPlayer> players;
};

// Starts a match in a world with its cars built and players added: cars
// rebuilt, players beside their cars, projectiles cleared, the countdown on.
void startMatch(SimWorld& world, const MatchRules& rules);
// Every wheel back on its hinge: the built cars destroyed and built again
// where they start, with no crash left to report (a round's start; a
// network client's too, when the server's snapshot shows a new round).
void rebuildCars(SimWorld& world);
// The same match again from round 1 with the scores cleared (a rematch).
void restartMatch(SimWorld& world);

// Where player index stands at a round's start: beside their team's car,
// clear of it, facing the other car.
Vector3 matchStartPosition(const SimWorld& world, int index);

// The commands the match lets through: none in the countdown, the round's
// result and after the match, none for a knocked-out player. Reads the
// match, writes out (one per player).
void filterMatchCommands(const SimWorld& world, std::span<const PlayerCommand> in, std::span<PlayerCommand> out);

// True when shooter may lock or hit player target: enemies on foot, not
// knocked out or protected.
bool canHitPlayer(const SimWorld& world, int shooter, int target);

// The nearest enemy on foot in the cone and range of the aim from viewer, as
// findTarget does for parts; on true writes player and the aim point.
bool findPlayerTarget(const SimWorld& world, int shooter, Vector3 viewer, Vector3 aim, int& player,
                      Vector3& position);

// One hit on target by shooter's shot: the third knocks them out.
void hitPlayer(SimWorld& world, int shooter, int target, StepEvents& events);

// The projectiles that moved from before[i] this step and crossed an enemy's
// capsule hit them and are retired.
void hitPlayersOnPaths(SimWorld& world, std::span<const Vector3> before, StepEvents& events);

// The rest of the match's step, after the players and projectiles: run-overs,
// wheels, knock-out and protection timers, the clock and the phases.
void stepMatch(SimWorld& world, float dt, std::size_t firstEvent, StepEvents& events);
