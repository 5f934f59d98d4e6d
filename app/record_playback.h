#pragma once
// Watching a dedicated server's match record (net/match_record.h) in the
// game: the world takes the record's players and match instead of local
// players and bots, and each frame steps the record by the frame's time at
// the server's rate, as the server stepped it, so the views, the HUD and the
// sound follow the match as they would a match played here. Nothing at this
// machine plays: the devices only drive the menus.
//
// The one view follows the record's player 0, as a match of bots alone does:
// the HUD, the driver's inset and the listener all belong to a player, and
// player 0 is in the world from the record's first line to its last (a
// server hands places between bots and people but never removes one); an
// overview would show the match without any of them.
//
// A record that cannot be opened, or whose header is bad, is refused at the
// start; a line that cannot be read later shows the error box once and the
// world stays where the last good step left it, as it does at the record's end.

#include "net/match_record.h"

#include <string>

struct World;

// The most ticks one frame steps: a frame that took longer (the window was
// dragged, the machine busy) shows the record slower rather than in a burst.
inline constexpr double kMaxPlaybackTicksPerFrame = 200.0;

struct RecordPlayback {
    bool active = false;    // a record is being watched (even once it has ended)
    MatchRecordFile record;
    double owedTicks = 0.0;  // ticks the frames' time has bought and not yet stepped
    bool ended = false;      // the record is over or broke off; the world stays as it is
    std::string error;       // why it broke off ("PATH: line N: why"); empty while it reads well
};

// Opens path and starts world.sim on its header: players from
// world.playerModel, the record's match begun. world.sim must be created, its
// cars built and its players not yet added. False with error naming the file
// (also kept in world.playback.error); nothing is watched then.
bool beginRecordPlayback(World& world, const std::string& path, std::string& error);

// Steps the record by dt seconds of the server's ticks (at most
// kMaxPlaybackTicksPerFrame), each step's events added to world.events. At
// the record's end, or at a bad line (its error box shown), it stops for good.
void stepRecordPlayback(World& world, float dt);
