#include "app/pad_seats.h"

#include <algorithm>

int playerOfPad(const PadSeats& seats, int slot)
{
    for (int p = 0; p < kMaxLocalPlayers; ++p)
        if (seats.slotOf[static_cast<std::size_t>(p)] == slot)
            return p;
    return -1;
}

void seatPads(PadSeats& seats, const Platform& platform, int players)
{
    const int count = std::clamp(players, 1, kMaxLocalPlayers);
    for (int p = 0; p < kMaxLocalPlayers; ++p) {
        int& slot = seats.slotOf[static_cast<std::size_t>(p)];
        if (p == 0 || p >= count || seats.onKeyboard[static_cast<std::size_t>(p)] ||
            (slot >= 0 && !platform.padState(slot).connected))
            slot = -1;
    }
    for (int s = 0; s < kPadSlots; ++s) {
        const PadState pad = platform.padState(s);
        const bool joinDown = pad.button(PadButton::Start) || pad.button(PadButton::A);
        const bool arrived = pad.connected && !seats.wasConnected[static_cast<std::size_t>(s)];
        const bool join = joinDown && !seats.joinWasDown[static_cast<std::size_t>(s)];
        seats.wasConnected[static_cast<std::size_t>(s)] = pad.connected;
        seats.joinWasDown[static_cast<std::size_t>(s)] = joinDown;
        if (!pad.connected || playerOfPad(seats, s) >= 0 || !(arrived || join))
            continue;
        for (int p = 1; p < count; ++p) {
            if (seats.slotOf[static_cast<std::size_t>(p)] < 0 && !seats.onKeyboard[static_cast<std::size_t>(p)]) {
                seats.slotOf[static_cast<std::size_t>(p)] = s;
                break;
            }
        }
    }
}
