#pragma once
// The match's menus: the pause menu (Resume, Restart match, Quit) and the
// results screen (the winner, the score, each player's figures, Rematch and
// Quit). Free play has neither: Escape quits there as it always has.
//
// A Menu is data: items with rectangles in window pixels (top-left origin,
// y down, as mouse positions come), a focus, and the repeat timing of a held
// direction. updateMenu moves it on one frame from a MenuInput, a small
// record the frame driver builds from every device; nothing here reads a
// device or draws. The match layer (MatchMenus) opens and closes the menus
// from the game's devices and the match's phase, and draws them with the
// text layer over the whole window.

#include "app/platform.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct World;

enum class MenuDirection { None, Up, Down, Left, Right };

// A held direction repeats its move after this long, then at this interval.
inline constexpr float kMenuRepeatDelaySeconds = 0.5f;
inline constexpr float kMenuRepeatIntervalSeconds = 0.1f;

struct MenuRect {
    float x = 0.0f, y = 0.0f, width = 0.0f, height = 0.0f;  // window pixels, top-left corner
    bool contains(float px, float py) const { return px >= x && py >= y && px < x + width && py < y + height; }
};

struct MenuItem {
    std::string label;
    int action = 0;  // what choosing it means, the owner's numbering
    MenuRect rect;
};

// One frame's menu input from every device together.
struct MenuInput {
    MenuDirection direction = MenuDirection::None;  // held now (keys, d-pad or stick)
    bool choose = false;   // Return or a pad's A went down this frame
    bool back = false;     // the quit key or a pad's B went down this frame
    bool pointerMoved = false;  // the mouse moved to (pointerX, pointerY)
    bool clicked = false;       // a left click at (clickX, clickY)
    float pointerX = 0.0f, pointerY = 0.0f;
    float clickX = 0.0f, clickY = 0.0f;
};

struct Menu {
    std::vector<MenuItem> items;
    int focus = 0;
    MenuDirection held = MenuDirection::None;  // the direction moving the focus now
    float heldSeconds = 0.0f;                  // how long it has been held
    float nextMoveSeconds = 0.0f;              // when (in heldSeconds) it moves again
};

// The item nearest to item from in the direction (its centre strictly on
// that side, distance along the direction weighted over the distance
// across), or from itself when none lies that way.
int nearestItem(const Menu& menu, int from, MenuDirection direction);

// What a frame of input did to a menu.
struct MenuOutcome {
    int chosen = -1;   // the item chosen (by Return, A or a click), or -1
    bool back = false;  // the menu was asked to close (Escape, B)
};

// Moves the menu on one frame of dt seconds: a direction moves the focus at
// once when it goes down, again after kMenuRepeatDelaySeconds held and then
// every kMenuRepeatIntervalSeconds; the pointer focuses what it moves over;
// a click on an item chooses it (a click elsewhere does nothing).
MenuOutcome updateMenu(Menu& menu, const MenuInput& input, float dt);

// --- The match's menus ---

enum class MatchScreen { None, Pause, Results };
enum class MenuAction { Resume, Restart, Quit };

// The lines the results screen shows above its items: the winner, the
// score, then one line of figures for each player.
std::vector<std::string> resultsLines(const World& world);

// What the menus keep from one frame to the next in the game.
struct MatchMenus {
    MatchScreen screen = MatchScreen::None;
    Menu menu;
    // Devices at the last look, so presses count once when they go down.
    bool quitWasDown = false;
    bool returnWasDown = false;
    std::array<bool, kPadSlots> startWasDown{};
    std::array<bool, kPadSlots> aWasDown{};
    std::array<bool, kPadSlots> bWasDown{};
    bool focusLost = false;   // the window lost focus since the last frame
    bool clicked = false;     // a left click since the last frame, at (clickX, clickY)
    int clickX = 0, clickY = 0;
    bool pointerKnown = false;
    int pointerX = 0, pointerY = 0;
    float overSeconds = 0.0f;  // real seconds since the match ended, while no menu was open
    int layoutWidth = 0, layoutHeight = 0;  // the window the items were laid out for
};

// A window button press while a menu is open goes to the menu; true when it
// was taken (and so must not fire).
bool takeMenuClick(MatchMenus& menus, int windowButton, int x, int y);

// Once a frame before anything else reads the devices, only while a match
// runs: opens the pause menu (the quit key, a seated pad's Start, focus
// lost) or the results screen (kRoundResultSeconds after MatchOver), moves the open menu and does what
// was chosen. True while a menu holds the game still: the frame then steps
// nothing, plays nothing new and only draws.
bool updateMatchMenus(World& world, float dt);
// Over the frame's views, before the swap: the open menu, if any.
void drawMatchMenus(World& world);
