#include "app/hud.h"

#include "app/frame_input.h"
#include "app/game.h"
#include "app/world.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const TextColour kWhite{1.0f, 1.0f, 1.0f, 1.0f};
const TextColour kWarning{1.0f, 0.85f, 0.3f, 1.0f};
const TextColour kProtected{0.3f, 1.0f, 0.95f, 1.0f};
const TextColour kLock{1.0f, 0.1f, 0.1f, 1.0f};
// A wheel's mark by hits taken: sound, hit once, hit twice; then gone.
const std::array<TextColour, 3> kWheelHitColours = {{{0.4f, 1.0f, 0.4f, 1.0f},
                                                     {1.0f, 0.85f, 0.3f, 1.0f},
                                                     {1.0f, 0.45f, 0.2f, 1.0f}}};
const TextColour kWheelGone{0.5f, 0.5f, 0.5f, 0.6f};

const char* teamName(int team)
{
    return team == 0 ? "Red" : "Blue";
}

TextColour teamColour(int team)
{
    return kTeamColours[static_cast<std::size_t>(team == 0 ? 0 : 1)];
}

// Whole seconds for a count down: 2.1 s left shows 3, as a countdown reads.
int wholeSecondsLeft(float seconds)
{
    return std::max(0, static_cast<int>(std::ceil(seconds)));
}

std::string clockText(float seconds)
{
    const int whole = wholeSecondsLeft(seconds);
    char text[16];
    std::snprintf(text, sizeof text, "%d:%02d", whole / 60, whole % 60);
    return text;
}

// A message for everyone (forPlayer -1) or one view, up for at least
// kHudMessageSeconds.
void addMessage(HudState& hud, HudMessage::Kind kind, std::string text, TextColour colour, int forPlayer = -1,
                float seconds = kHudMessageSeconds)
{
    HudMessage message;
    message.kind = kind;
    message.text = std::move(text);
    message.colour = colour;
    message.forPlayer = forPlayer;
    message.secondsLeft = std::max(seconds, kHudMessageSeconds);
    hud.messages.push_back(std::move(message));
    if (hud.messages.size() > kHudMessagesKept)
        hud.messages.erase(hud.messages.begin());
}

const MatchPlayer* matchPlayerOf(const MatchState& match, int player)
{
    if (player < 0 || static_cast<std::size_t>(player) >= match.players.size())
        return nullptr;
    return &match.players[static_cast<std::size_t>(player)];
}

// The live text of a knock-out message, from the seconds the match has left.
std::string messageText(const HudMessage& message, const MatchState& match)
{
    if (message.kind != HudMessage::Kind::KnockedOut)
        return message.text;
    const MatchPlayer* mp = matchPlayerOf(match, message.forPlayer);
    const int left = mp != nullptr ? std::max(1, wholeSecondsLeft(mp->knockedOutSeconds)) : 1;
    return "Knocked out - back in " + std::to_string(left);
}

}  // namespace

void updateHud(HudState& hud, const StepEvents& events, const SimWorld& world, float dt)
{
    if (!world.match)
        return;
    const MatchState& match = *world.match;
    hud.goSeconds = std::max(0.0f, hud.goSeconds - dt);
    for (HudMessage& message : hud.messages)
        message.secondsLeft -= dt;
    // A knock-out's message lasts while the player is out, however long that is.
    std::erase_if(hud.messages, [&](const HudMessage& message) {
        if (message.kind == HudMessage::Kind::KnockedOut) {
            const MatchPlayer* mp = matchPlayerOf(match, message.forPlayer);
            return mp == nullptr || mp->knockedOutSeconds <= 0.0f;
        }
        return message.secondsLeft <= 0.0f;
    });

    for (const StepEvent& e : events) {
        switch (e.kind) {
        case StepEventKind::WheelOff:
            if (e.car >= 0 && e.car < kTeamCount)
                addMessage(hud, HudMessage::Kind::Plain, std::string(teamName(e.car)) + " wheel off", teamColour(e.car));
            break;
        case StepEventKind::KnockedOut: {
            const MatchPlayer* victim = matchPlayerOf(match, e.target);
            if (victim == nullptr)
                break;
            addMessage(hud, HudMessage::Kind::KnockedOut, {}, kWarning, e.target, victim->knockedOutSeconds);
            const MatchPlayer* by = matchPlayerOf(match, e.player);
            if (by != nullptr && e.player != e.target)
                addMessage(hud, HudMessage::Kind::Plain, "You knocked out " + shownPlayerName(world, e.target),
                           teamColour(by->team), e.player);
            break;
        }
        case StepEventKind::RoundStarted:
            hud.goSeconds = kHudGoSeconds;
            break;
        case StepEventKind::RoundEnded:
            if (e.part == 0 || e.part == 1)
                addMessage(hud, HudMessage::Kind::Plain, std::string(teamName(e.part)) + " takes the round",
                           teamColour(e.part), -1, kRoundResultSeconds);
            else
                addMessage(hud, HudMessage::Kind::Plain, "Round drawn", kWhite, -1, kRoundResultSeconds);
            break;
        case StepEventKind::MatchEnded:
            if (e.part == 0 || e.part == 1)
                addMessage(hud, HudMessage::Kind::Plain, std::string(teamName(e.part)) + " wins the match",
                           teamColour(e.part), -1, kRoundResultSeconds);
            break;
        default:
            break;
        }
    }
}

float hudTextHeight(int viewHeight)
{
    return std::max(kHudMinTextPixels, static_cast<float>(viewHeight) * kHudTextShare);
}

std::vector<HudItem> hudItems(const HudState& hud, const SimWorld& world, int viewer, int viewWidth, int viewHeight,
                              bool scoreboard, const HudMeasure& measure)
{
    std::vector<HudItem> items;
    if (!world.match || viewWidth <= 0 || viewHeight <= 0)
        return items;
    const MatchState& match = *world.match;
    const float w = static_cast<float>(viewWidth);
    const float h = static_cast<float>(viewHeight);
    const float line = hudTextHeight(viewHeight);
    const float margin = line * 0.4f;
    const auto add = [&](std::string text, float x, float y, float height, TextColour colour) {
        items.push_back({std::move(text), x, y, height, colour});
    };
    const auto centred = [&](std::string text, float centreX, float y, float height, TextColour colour) {
        const float x = centreX - measure(text, height) * 0.5f;
        add(std::move(text), x, y, height, colour);
    };

    // The clock, top centre, with the red score to its left and the blue to
    // its right. While the viewer drives, the inset holds the top left 0.4
    // of the view (app/split_views.h): the clock and the messages move to the
    // middle of what is left.
    const bool driving = viewer >= 0 && static_cast<std::size_t>(viewer) < world.players.size() &&
                         world.players[static_cast<std::size_t>(viewer)].body.inCar;
    const float topCentre = driving ? w * 0.7f : w * 0.5f;
    const bool suddenDeath = match.phase == MatchPhase::SuddenDeath;
    // Sudden death is marked on the round's line, which keeps the clock
    // between the scores narrow enough to sit beside a driver's inset.
    const std::string clock = clockText(match.clock);
    const float clockHeight = line * 1.2f;
    const bool lastSeconds = (match.phase == MatchPhase::Playing || suddenDeath) &&
                             match.clock <= static_cast<float>(kClockWarningSeconds);
    centred(clock, topCentre, margin, clockHeight, lastSeconds || suddenDeath ? kWarning : kWhite);
    const float clockHalf = measure(clock, clockHeight) * 0.5f + line;
    const std::string red = "Red " + std::to_string(match.scores[0]);
    add(red, topCentre - clockHalf - measure(red, clockHeight), margin, clockHeight, teamColour(0));
    add("Blue " + std::to_string(match.scores[1]), topCentre + clockHalf, margin, clockHeight, teamColour(1));
    centred("Round " + std::to_string(match.round) + (suddenDeath ? " - Sudden death" : ""), topCentre,
            margin + clockHeight * 1.1f, line * 0.7f, suddenDeath ? kWarning : kWhite);

    // Both cars' wheels, bottom right (the top is the clock's and the scores',
    // the top left the inset's): a car's name, then a mark a wheel, its hits
    // taken (0 to 2) in colours that warm with them, x once it is gone.
    const float markGap = line * 0.9f;
    const std::array<std::string, 2> carNames = {"Red car", "Blue car"};
    float namesWidth = 0.0f;
    for (const std::string& name : carNames)
        namesWidth = std::max(namesWidth, measure(name, line));
    const float marksX = w - margin - line * 0.6f - markGap * static_cast<float>(kCarPartCount - 2);
    for (std::size_t car = 0; car < carNames.size() && car < world.cars.size(); ++car) {
        const float y = h - margin - line - static_cast<float>(carNames.size() - 1 - car) * line * 1.1f;
        add(carNames[car], marksX - line * 0.5f - namesWidth, y, line, teamColour(static_cast<int>(car)));
        const Car& c = world.cars[car];
        for (int part = 1; part < kCarPartCount; ++part) {
            const int hits = c.hits[part];
            const bool gone = hits >= kWheelDetachHits || (c.built() && c.wheelDetached(part));
            const float x = marksX + markGap * static_cast<float>(part - 1);
            if (gone)
                add("x", x, y, line, kWheelGone);
            else
                add(std::to_string(hits), x, y, line, kWheelHitColours[static_cast<std::size_t>(std::max(0, hits))]);
        }
    }

    // The viewer's own state, bottom left.
    const MatchPlayer* self = matchPlayerOf(match, viewer);
    if (self != nullptr) {
        const float y = h - margin - line;
        add("Hits " + std::to_string(self->hitsTaken) + "/" + std::to_string(kKnockOutHits), margin, y, line,
            self->hitsTaken > 0 ? kWarning : kWhite);
        if (self->protectionSeconds > 0.0f)
            add("Protected", margin, y - line * 1.1f, line, kProtected);
    }

    // The auto-aim's lock, at the view's centre where the aim is.
    if (viewer >= 0 && static_cast<std::size_t>(viewer) < world.players.size() &&
        world.players[static_cast<std::size_t>(viewer)].weapon.targetLocked)
        centred("[  ]", w * 0.5f, h * 0.5f - line * 0.5f, line, kLock);

    // The viewer's messages, newest on top, under the clock.
    float messageY = h * 0.22f;
    std::size_t shown = 0;
    for (auto it = hud.messages.rbegin(); it != hud.messages.rend() && shown < kHudMessagesShown; ++it) {
        if (it->forPlayer >= 0 && it->forPlayer != viewer)
            continue;
        centred(messageText(*it, match), topCentre, messageY, line, it->colour);
        messageY += line * 1.15f;
        ++shown;
    }

    // The countdown, large in the middle, and "Go" as it ends.
    const float bigHeight = line * 4.0f;
    if (match.phase == MatchPhase::Countdown)
        centred(std::to_string(std::max(1, wholeSecondsLeft(match.phaseSeconds))), w * 0.5f,
                h * 0.5f - bigHeight * 0.5f, bigHeight, kWhite);
    else if (hud.goSeconds > 0.0f)
        centred("Go", w * 0.5f, h * 0.5f - bigHeight * 0.5f, bigHeight, kWhite);

    // The scoreboard: a row a player, in their team's colour.
    if (scoreboard) {
        const std::array<const char*, 5> headings = {"Player", "Team", "Wheels off", "Knock-outs", "Knocked out"};
        const std::array<float, 5> columns = {0.12f, 0.26f, 0.40f, 0.60f, 0.80f};  // shares of the width, centres
        float y = h * 0.42f;
        for (std::size_t c = 0; c < headings.size(); ++c)
            centred(headings[c], w * columns[c], y, line * 0.8f, kWhite);
        for (std::size_t p = 0; p < match.players.size(); ++p) {
            y += line * 1.1f;
            const MatchPlayer& mp = match.players[p];
            const std::array<std::string, 5> cells = {shownPlayerName(world, static_cast<int>(p)), teamName(mp.team),
                                                      std::to_string(mp.wheelsKnockedOff),
                                                      std::to_string(mp.knockOuts),
                                                      std::to_string(mp.timesKnockedOut)};
            for (std::size_t c = 0; c < cells.size(); ++c)
                centred(cells[c], w * columns[c], y, line, teamColour(mp.team));
        }
    }
    return items;
}

bool scoreboardHeld(const World& world, int player)
{
    const Platform& platform = world.platform;
    const std::size_t index = static_cast<std::size_t>(player);
    if (world.localPlayers <= 1)
        return bindingHeld(platform, world.settings.keys[Action::Scoreboard]) ||
               platform.padState().button(PadButton::Back);
    if (index >= world.padSeats.slotOf.size())
        return false;
    if (world.padSeats.onKeyboard[index] && bindingHeld(platform, world.settings.keys[Action::Scoreboard]))
        return true;
    const int slot = world.padSeats.slotOf[index];
    return slot >= 0 && platform.padState(slot).button(PadButton::Back);
}

void drawHud(World& world, int viewer, const ViewRect& view)
{
    if (!world.sim.match || view.width <= 0 || view.height <= 0)
        return;
    if (!world.text.loaded())
        return;
    const TextLayer& text = world.text;
    const auto items = hudItems(world.hud, world.sim, viewer, view.width, view.height, scoreboardHeld(world, viewer),
                                [&text](std::string_view s, float height) { return text.width(s, height); });
    const TextPass pass(view.x, view.y, view.width, view.height);
    // A dark copy under each line keeps it readable on the sky and the clouds.
    for (const HudItem& item : items) {
        const float offset = std::max(1.0f, std::round(item.height * 0.06f));
        text.draw(item.text, item.x + offset, item.y + offset, item.height, {0.0f, 0.0f, 0.0f, item.colour.a * 0.6f});
        text.draw(item.text, item.x, item.y, item.height, item.colour);
    }
}
