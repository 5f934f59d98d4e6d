#pragma once
// Which pad plays which local player when several share the machine. The
// keyboard and mouse play the first player, and any other given keys of
// their own or the mouse; the rest play with pads, seated in the order they
// come: a pad plugged in (or already in at the
// start) takes the first player waiting for one, and so does a pad no one
// holds when its Start or A is pressed. A pad pulled out leaves its player
// standing, waiting, until a pad comes.

#include "app/platform.h"
#include "app/settings.h"

#include <array>

struct PadSeats {
    PadSeats() { slotOf.fill(-1); }
    std::array<int, kMaxLocalPlayers> slotOf;  // the pad slot each player holds; -1: none
    std::array<bool, kPadSlots> wasConnected{};
    std::array<bool, kPadSlots> joinWasDown{};  // Start or A, at the last look
    std::array<bool, kMaxLocalPlayers> onKeyboard{};  // players who play the keyboard or mouse and take no pad
};

// Once a frame, before the players' commands are read.
void seatPads(PadSeats& seats, const Platform& platform, int players);
// The player holding that slot's pad, or -1.
int playerOfPad(const PadSeats& seats, int slot);
