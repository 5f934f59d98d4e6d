#pragma once
// What happened during one step of the simulation, in the order it happened:
// the step raises an event at the moment a shot leaves, a part is hit, a
// wheel comes off, a player gets in or out, a car crashes, a foot comes
// down. Sound, rumble and whatever else reacts to the game read these
// instead of comparing one frame's state with the last.

#include "math/vector3.h"

#include <cstddef>
#include <vector>

enum class StepEventKind {
    ShotFired,   // player fired; car is the car fired from, -1 on foot; position the muzzle
    PartHit,     // player's shot hit part of car
    WheelOff,    // that hit set part of car free
    EnteredCar,  // player got into car
    LeftCar,     // player got out of car
    Crash,       // car's chassis changed speed sharply; strength 0 to 1
    Footstep,    // player's foot came down at position; strength 1 running, 0 walking
    // The match's events (sim/match.h); free play raises none of them.
    PlayerHit,     // player's shot hit target (a player on foot)
    KnockedOut,    // target was knocked out by player (-1 nobody); strength 0 by a shot, 1 run over by car
    Respawned,     // player came back on foot beside their team's car
    RoundStarted,  // the countdown is over; part is the round number
    RoundEnded,    // part is the winning team, -1 a drawn round
    MatchEnded,    // part is the winning team
    ClockWarning,  // part is the whole seconds left on the round clock (5 down to 1)
};

struct StepEvent {
    StepEventKind kind = StepEventKind::ShotFired;
    int player = -1;  // who did it, -1 for nobody (a crash)
    int car = -1;     // the car it concerns, -1 for none
    int part = -1;    // the part hit or set free, -1 for none
    float strength = 0.0f;
    Vector3 position;  // where it happened, world units
    int target = -1;   // the player it happened to, -1 for none (a hit or knock-out)
};

// Filled by one step; the caller clears it before the next. Its storage is
// kept from step to step, so a running game does not allocate for it.
struct StepEvents {
    StepEvents() { list.reserve(kReserved); }
    void clear() { list.clear(); }
    void add(const StepEvent& event) { list.push_back(event); }
    std::size_t size() const { return list.size(); }
    auto begin() const { return list.begin(); }
    auto end() const { return list.end(); }

    static constexpr std::size_t kReserved = 64;
    std::vector<StepEvent> list;
};
