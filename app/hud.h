#pragma once
// The match's heads-up display, one per view: the round clock, both teams'
// scores and the round, both cars' wheels, the viewer's own hits and
// protection, the auto-aim's lock, short messages from the frame's events,
// the countdown, and the scoreboard while its key or the pad's Back is held.
//
// Nothing is drawn, and nothing changes, without a match: free play looks as
// it always has. The layout is data first (hudItems), so a test reads what a
// view would show without GL; drawHud only draws those items.
//
// The message timers live here, not in the simulation, and move only when
// updateHud is called: a paused game skips it and its messages wait.

#include "app/split_views.h"
#include "sim/sim_world.h"
#include "sim/step_events.h"
#include "text/text_layer.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct World;

inline constexpr float kHudMessageSeconds = 2.0f;  // how long a message stays up
inline constexpr float kHudGoSeconds = 0.75f;       // "Go" after the countdown
inline constexpr std::size_t kHudMessagesShown = 3; // per view, newest on top
inline constexpr std::size_t kHudMessagesKept = 12; // over all views; the oldest go first
// Glyph height as a share of the view's height, never under the pixel minimum,
// so the HUD reads in a quarter of 800 x 600 and does not shrink to dust at 4K.
inline constexpr float kHudTextShare = 0.05f;
inline constexpr float kHudMinTextPixels = 12.0f;

// Team 0 red, team 1 blue.
inline constexpr std::array<TextColour, 2> kTeamColours = {{{1.0f, 0.3f, 0.25f, 1.0f}, {0.35f, 0.6f, 1.0f, 1.0f}}};

struct HudMessage {
    enum class Kind {
        Plain,      // text as written
        KnockedOut, // the viewer's own knock-out: "back in N" counted from the match
    };
    Kind kind = Kind::Plain;
    std::string text;
    TextColour colour;
    int forPlayer = -1;           // the one view it shows in; -1 every view
    float secondsLeft = 0.0f;
};

struct HudState {
    std::vector<HudMessage> messages;  // oldest first
    float goSeconds = 0.0f;            // left of the "Go" after a countdown
};

// Advances the timers by dt seconds (frame time) and adds a message for each
// event that makes one. Does nothing without a match. Reads events and the
// match, changes hud.
void updateHud(HudState& hud, const StepEvents& events, const SimWorld& world, float dt);

// One line the HUD draws: its top-left corner in pixels from the view's
// top-left corner, its line height in pixels.
struct HudItem {
    std::string text;
    float x = 0.0f;
    float y = 0.0f;
    float height = 0.0f;
    TextColour colour;
};

// A text's width in pixels at a line height (TextLayer::width).
using HudMeasure = std::function<float(std::string_view text, float height)>;

// The base line height for a view this many pixels high.
float hudTextHeight(int viewHeight);

// Everything viewer's view of viewWidth x viewHeight pixels shows, in drawing
// order; empty without a match. scoreboard adds the table.
std::vector<HudItem> hudItems(const HudState& hud, const SimWorld& world, int viewer, int viewWidth, int viewHeight,
                              bool scoreboard, const HudMeasure& measure);

// Whether local player index holds the scoreboard: the [keys] scoreboard
// binding for those who play the keyboard, or Back on their own pad (the
// driving pad with one player).
bool scoreboardHeld(const World& world, int player);

// Draws viewer's HUD over view (window pixels, bottom-left origin, as the
// views are laid out). Nothing without a match. A game that has not loaded
// the font (one player's) loads it here the first time; without one the
// match goes on with no HUD.
void drawHud(World& world, int viewer, const ViewRect& view);
