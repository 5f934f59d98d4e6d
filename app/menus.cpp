#include "app/menus.h"

#include "app/frame_input.h"
#include "app/world.h"
#include "sim/match.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// Where a direction points, y down as the window's pixels are.
void unitOf(MenuDirection direction, float& dx, float& dy)
{
    dx = dy = 0.0f;
    switch (direction) {
    case MenuDirection::Up: dy = -1.0f; break;
    case MenuDirection::Down: dy = 1.0f; break;
    case MenuDirection::Left: dx = -1.0f; break;
    case MenuDirection::Right: dx = 1.0f; break;
    case MenuDirection::None: break;
    }
}

void moveFocus(Menu& menu, MenuDirection direction) { menu.focus = nearestItem(menu, menu.focus, direction); }

}  // namespace

int nearestItem(const Menu& menu, int from, MenuDirection direction)
{
    const int count = static_cast<int>(menu.items.size());
    if (from < 0 || from >= count)
        return count > 0 ? 0 : from;
    float ux = 0.0f, uy = 0.0f;
    unitOf(direction, ux, uy);
    if (ux == 0.0f && uy == 0.0f)
        return from;
    const MenuRect& a = menu.items[static_cast<std::size_t>(from)].rect;
    const float ax = a.x + a.width * 0.5f, ay = a.y + a.height * 0.5f;
    int best = from;
    float bestScore = std::numeric_limits<float>::max();
    for (int i = 0; i < count; ++i) {
        if (i == from)
            continue;
        const MenuRect& b = menu.items[static_cast<std::size_t>(i)].rect;
        const float dx = b.x + b.width * 0.5f - ax, dy = b.y + b.height * 0.5f - ay;
        const float along = dx * ux + dy * uy;
        if (along <= 0.0f)
            continue;
        // Straight on beats a little nearer but off to the side.
        const float across = std::fabs(dx * uy - dy * ux);
        const float score = along + 2.0f * across;
        if (score < bestScore) {
            bestScore = score;
            best = i;
        }
    }
    return best;
}

MenuOutcome updateMenu(Menu& menu, const MenuInput& input, float dt)
{
    MenuOutcome outcome;
    if (input.direction != menu.held) {
        // A new direction (or a change of one) moves at once and starts its own repeat.
        menu.held = input.direction;
        menu.heldSeconds = 0.0f;
        menu.nextMoveSeconds = kMenuRepeatDelaySeconds;
        if (menu.held != MenuDirection::None)
            moveFocus(menu, menu.held);
    } else if (menu.held != MenuDirection::None) {
        menu.heldSeconds += dt;
        // A long frame may owe several repeats; each is a move.
        while (menu.heldSeconds >= menu.nextMoveSeconds) {
            moveFocus(menu, menu.held);
            menu.nextMoveSeconds += kMenuRepeatIntervalSeconds;
        }
    }
    if (input.pointerMoved) {
        for (std::size_t i = 0; i < menu.items.size(); ++i)
            if (menu.items[i].rect.contains(input.pointerX, input.pointerY))
                menu.focus = static_cast<int>(i);
    }
    if (input.clicked) {
        for (std::size_t i = 0; i < menu.items.size(); ++i) {
            if (menu.items[i].rect.contains(input.clickX, input.clickY)) {
                menu.focus = static_cast<int>(i);
                outcome.chosen = static_cast<int>(i);
            }
        }
    }
    if (outcome.chosen < 0 && input.choose && menu.focus >= 0 &&
        menu.focus < static_cast<int>(menu.items.size()))
        outcome.chosen = menu.focus;
    outcome.back = input.back && outcome.chosen < 0;
    return outcome;
}

// --- The match's menus ---

namespace {

constexpr const char* kTeamNames[kTeamCount] = {"Red", "Blue"};

// SDL's scancodes for the keys the menus read beside the bindings.
constexpr int kScancodeReturn = 40;
constexpr int kScancodeKeypadEnter = 88;
constexpr int kScancodeRight = 79;
constexpr int kScancodeLeft = 80;
constexpr int kScancodeDown = 81;
constexpr int kScancodeUp = 82;
constexpr int kScancodeLeftAlt = 226;
constexpr int kScancodeRightAlt = 230;
// A stick pushed past this far is a direction held.
constexpr float kStickDirection = 0.5f;

// The sizes everything on a menu takes, from the window's height so it reads
// the same at any size.
struct MenuMetrics {
    float lineHeight;   // a line of text
    float itemHeight;   // an item's rectangle
    float itemGap;      // between items
};
MenuMetrics metricsFor(int windowHeight)
{
    const float line = std::max(12.0f, static_cast<float>(windowHeight) * 0.06f);
    return {line, line * 1.5f, line * 0.4f};
}

// Where the item list starts: under the title (pause) or the results' lines.
float itemsTop(const World& world, MatchScreen screen, const MenuMetrics& m)
{
    const float h = static_cast<float>(world.window.height);
    if (screen == MatchScreen::Pause)
        return h * 0.4f;
    // As drawMatchMenus spaces them: the headline, then the other lines.
    const float others = static_cast<float>(resultsLines(world).size()) - 1.0f;
    return h * 0.12f + m.lineHeight * (1.8f + 1.1f * others + 0.8f);
}

void layOutItems(World& world)
{
    MatchMenus& menus = world.menus;
    const MenuMetrics m = metricsFor(world.window.height);
    const float w = static_cast<float>(world.window.width);
    const float itemWidth = std::max(w * 0.4f, 1.0f);
    float y = itemsTop(world, menus.screen, m);
    for (MenuItem& item : menus.menu.items) {
        item.rect = {(w - itemWidth) * 0.5f, y, itemWidth, m.itemHeight};
        y += m.itemHeight + m.itemGap;
    }
    menus.layoutWidth = world.window.width;
    menus.layoutHeight = world.window.height;
}

void openScreen(World& world, MatchScreen screen)
{
    MatchMenus& menus = world.menus;
    menus.screen = screen;
    menus.menu = Menu{};
    // A network match goes on for everyone else, and a watched record goes
    // as it was played: neither can be restarted from here.
    if (screen == MatchScreen::Pause && (world.network.active || world.playback.active))
        menus.menu.items = {{"Resume", static_cast<int>(MenuAction::Resume), {}},
                            {"Quit", static_cast<int>(MenuAction::Quit), {}}};
    else if (screen == MatchScreen::Pause)
        menus.menu.items = {{"Resume", static_cast<int>(MenuAction::Resume), {}},
                            {"Restart match", static_cast<int>(MenuAction::Restart), {}},
                            {"Quit", static_cast<int>(MenuAction::Quit), {}}};
    else
        menus.menu.items = {{"Rematch", static_cast<int>(MenuAction::Restart), {}},
                            {"Quit", static_cast<int>(MenuAction::Quit), {}}};
    layOutItems(world);
    menus.clicked = false;
    world.platform.setCursorVisible(true);
    // Where the pointer rests as the menu opens is no hover; the position
    // only shows once the cursor does.
    menus.pointerKnown = world.platform.mousePosition(menus.pointerX, menus.pointerY);
}

void closeScreen(World& world)
{
    world.menus.screen = MatchScreen::None;
    world.menus.menu = Menu{};
    world.platform.setCursorVisible(false);
    // Motion made over the menu is not a look.
    readMouseLook(world.platform, nullptr);
}

// The pads whose presses count: in a one-player game (or one of bots alone)
// any pad drives the menus; of several, the pads seated with a player.
bool padCounts(const World& world, int slot)
{
    return world.localPlayers <= 1 || playerOfPad(world.padSeats, slot) >= 0;
}

MenuDirection directionOf(const PadState& pad, float deadZone)
{
    const float x = pastDeadZone(pad.axis(PadAxis::LeftX), deadZone);
    const float y = pastDeadZone(pad.axis(PadAxis::LeftY), deadZone);
    if (pad.button(PadButton::DpadUp) || y <= -kStickDirection)
        return MenuDirection::Up;
    if (pad.button(PadButton::DpadDown) || y >= kStickDirection)
        return MenuDirection::Down;
    if (pad.button(PadButton::DpadLeft) || x <= -kStickDirection)
        return MenuDirection::Left;
    if (pad.button(PadButton::DpadRight) || x >= kStickDirection)
        return MenuDirection::Right;
    return MenuDirection::None;
}

// Everything the devices say this frame, with every press's going-down
// remembered whether or not a menu is open, so a key held across the opening
// or closing is not a second press.
struct DeviceFrame {
    bool quitPressed = false;
    bool startPressed = false;  // a counted pad's Start went down
    MenuInput input;
};

DeviceFrame readDevices(World& world)
{
    MatchMenus& menus = world.menus;
    const Platform& platform = world.platform;
    DeviceFrame frame;

    const bool quitDown = bindingHeld(platform, world.settings.keys[Action::Quit]);
    frame.quitPressed = quitDown && !menus.quitWasDown;
    menus.quitWasDown = quitDown;
    // Alt+Return switches full screen; it chooses nothing.
    const bool alt = platform.isScancodeDown(kScancodeLeftAlt) || platform.isScancodeDown(kScancodeRightAlt);
    const bool returnDown =
        !alt && (platform.isScancodeDown(kScancodeReturn) || platform.isScancodeDown(kScancodeKeypadEnter));
    frame.input.choose = returnDown && !menus.returnWasDown;
    menus.returnWasDown = returnDown;
    frame.input.back = frame.quitPressed;

    MenuDirection direction = platform.isScancodeDown(kScancodeUp)      ? MenuDirection::Up
                              : platform.isScancodeDown(kScancodeDown)  ? MenuDirection::Down
                              : platform.isScancodeDown(kScancodeLeft)  ? MenuDirection::Left
                              : platform.isScancodeDown(kScancodeRight) ? MenuDirection::Right
                                                                        : MenuDirection::None;
    for (int s = 0; s < kPadSlots; ++s) {
        const auto index = static_cast<std::size_t>(s);
        const PadState pad = platform.padState(s);
        const bool counts = pad.connected && padCounts(world, s);
        // Remembered whether or not the pad counts: the Start that seats a
        // free pad is its join, and must not pause the game once it is seated.
        const bool start = pad.button(PadButton::Start);
        const bool a = pad.button(PadButton::A);
        const bool b = pad.button(PadButton::B);
        frame.startPressed = frame.startPressed || (counts && start && !menus.startWasDown[index]);
        frame.input.choose = frame.input.choose || (counts && a && !menus.aWasDown[index]);
        frame.input.back = frame.input.back || (counts && b && !menus.bWasDown[index]);
        menus.startWasDown[index] = start;
        menus.aWasDown[index] = a;
        menus.bWasDown[index] = b;
        if (counts && direction == MenuDirection::None)
            direction = directionOf(pad, world.settings.gamepad.deadZone);
    }
    frame.input.direction = direction;

    int x = 0, y = 0;
    if (world.platform.mousePosition(x, y)) {
        if (!menus.pointerKnown || x != menus.pointerX || y != menus.pointerY) {
            frame.input.pointerMoved = menus.pointerKnown;  // the first sight is where it rests, not a move
            frame.input.pointerX = static_cast<float>(x);
            frame.input.pointerY = static_cast<float>(y);
        }
        menus.pointerKnown = true;
        menus.pointerX = x;
        menus.pointerY = y;
    }
    if (menus.clicked) {
        frame.input.clicked = true;
        frame.input.clickX = static_cast<float>(menus.clickX);
        frame.input.clickY = static_cast<float>(menus.clickY);
        menus.clicked = false;
    }
    return frame;
}

std::string plural(int n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::vector<std::string> resultsLines(const World& world)
{
    std::vector<std::string> lines;
    if (!world.sim.match)
        return lines;
    const MatchState& m = *world.sim.match;
    if (m.winner >= 0 && m.winner < kTeamCount)
        lines.push_back(std::string(kTeamNames[m.winner]) + " wins the match");
    else
        lines.emplace_back("The match is drawn");
    lines.push_back("Red " + std::to_string(m.scores[0]) + " - " + std::to_string(m.scores[1]) + " Blue");
    for (std::size_t p = 0; p < m.players.size(); ++p) {
        const MatchPlayer& mp = m.players[p];
        const int team = std::clamp(mp.team, 0, kTeamCount - 1);
        lines.push_back(shownPlayerName(world.sim, static_cast<int>(p)) + " (" + kTeamNames[team] + "): " +
                        plural(mp.wheelsKnockedOff, "wheel", "wheels") + " knocked off, " +
                        plural(mp.knockOuts, "knock-out", "knock-outs") + ", knocked out " +
                        plural(mp.timesKnockedOut, "time", "times"));
    }
    return lines;
}

bool takeMenuClick(MatchMenus& menus, int windowButton, int x, int y)
{
    if (menus.screen == MatchScreen::None)
        return false;
    if (windowButton == 1) {
        menus.clicked = true;
        menus.clickX = x;
        menus.clickY = y;
    }
    return true;
}

bool updateMatchMenus(World& world, float dt)
{
    MatchMenus& menus = world.menus;
    if (!world.sim.match) {
        if (menus.screen != MatchScreen::None)
            closeScreen(world);
        menus.focusLost = false;
        return false;
    }
    const DeviceFrame frame = readDevices(world);
    const bool focusLost = menus.focusLost;
    menus.focusLost = false;

    const bool over = world.sim.match->phase == MatchPhase::MatchOver;
    if (!over)
        menus.overSeconds = 0.0f;
    if (menus.screen == MatchScreen::None) {
        // The last round's result shows as long as any round's does (its
        // sound rings out) before the results screen takes the game.
        // A server starts the next match of its own accord (a record says
        // when it did): no results screen waits for a rematch.
        if (over && !world.network.active && !world.playback.active) {
            menus.overSeconds += dt;
            if (menus.overSeconds >= kRoundResultSeconds) {
                openScreen(world, MatchScreen::Results);
                return true;
            }
        }
        if (frame.quitPressed || frame.startPressed || focusLost) {
            openScreen(world, MatchScreen::Pause);
            return true;
        }
        return false;
    }

    if (world.window.width != menus.layoutWidth || world.window.height != menus.layoutHeight)
        layOutItems(world);
    MenuInput input = frame.input;
    // Start toggles the pause menu as Escape does; the results screen has
    // nothing to go back to.
    input.back = (input.back || frame.startPressed) && menus.screen == MatchScreen::Pause;
    const MenuOutcome outcome = updateMenu(menus.menu, input, dt);
    if (outcome.back) {
        closeScreen(world);
        return false;
    }
    if (outcome.chosen < 0)
        return true;
    switch (static_cast<MenuAction>(menus.menu.items[static_cast<std::size_t>(outcome.chosen)].action)) {
    case MenuAction::Resume:
        closeScreen(world);
        return false;
    case MenuAction::Restart:
        restartMatch(world.sim);
        // The bots start afresh with the match, from the same seed: a
        // rematch played the same way goes the same way.
        resetBots(world.bots, static_cast<std::uint64_t>(world.settings.match.seed));
        closeScreen(world);
        // The restart is this frame's change: the next frame steps from it.
        return true;
    case MenuAction::Quit:
        world.quitRequested = true;
        return true;
    }
    return true;
}

void drawMatchMenus(World& world)
{
    const MatchMenus& menus = world.menus;
    if (menus.screen == MatchScreen::None || world.window.width <= 0 || world.window.height <= 0)
        return;
    const float w = static_cast<float>(world.window.width);
    const float h = static_cast<float>(world.window.height);
    const MenuMetrics m = metricsFor(world.window.height);
    const TextPass pass(0, 0, world.window.width, world.window.height);

    // The game stays in sight behind, dimmed.
    glDisable(GL_TEXTURE_2D);
    glColor4f(0.0f, 0.0f, 0.0f, 0.55f);
    glBegin(GL_QUADS);
    glVertex2f(0.0f, 0.0f);
    glVertex2f(0.0f, h);
    glVertex2f(w, h);
    glVertex2f(w, 0.0f);
    glEnd();
    for (std::size_t i = 0; i < menus.menu.items.size(); ++i) {
        const MenuRect& r = menus.menu.items[i].rect;
        const bool focused = static_cast<int>(i) == menus.menu.focus;
        glColor4f(1.0f, 1.0f, 1.0f, focused ? 0.35f : 0.1f);
        glBegin(GL_QUADS);
        glVertex2f(r.x, r.y);
        glVertex2f(r.x, r.y + r.height);
        glVertex2f(r.x + r.width, r.y + r.height);
        glVertex2f(r.x + r.width, r.y);
        glEnd();
    }
    glEnable(GL_TEXTURE_2D);

    const TextLayer& text = world.text;
    const TextColour white{1.0f, 1.0f, 1.0f, 1.0f};
    const auto centred = [&](const std::string& line, float y, float height, TextColour colour) {
        text.draw(line, (w - text.width(line, height)) * 0.5f, y, height, colour);
    };
    if (menus.screen == MatchScreen::Pause) {
        centred("Paused", h * 0.22f, m.lineHeight * 1.4f, white);
    } else {
        float y = h * 0.12f;
        const std::vector<std::string> lines = resultsLines(world);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const bool headline = i == 0;
            const int winner = world.sim.match ? world.sim.match->winner : -1;
            const TextColour colour = headline && winner == 0   ? TextColour{1.0f, 0.35f, 0.3f, 1.0f}
                                      : headline && winner == 1 ? TextColour{0.4f, 0.6f, 1.0f, 1.0f}
                                                                : white;
            centred(lines[i], y, headline ? m.lineHeight * 1.3f : m.lineHeight * 0.8f, colour);
            y += m.lineHeight * (headline ? 1.8f : 1.1f);
        }
    }
    for (const MenuItem& item : menus.menu.items) {
        const MenuRect& r = item.rect;
        centred(item.label, r.y + (r.height - m.lineHeight) * 0.5f, m.lineHeight, white);
    }
}
