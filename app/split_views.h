#pragma once
// How local players share the window: one player has it all; two have a
// half each, one above the other (or side by side); three or four a quarter
// each, the first top left, then top right, bottom left, bottom right (with
// three, the last quarter shows the clear colour). Rectangles are in window
// pixels as glViewport takes them, from the bottom-left corner; a window of
// odd size gives the spare pixel to the first player's view.

#include "app/settings.h"

#include <array>

struct ViewRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    friend bool operator==(const ViewRect&, const ViewRect&) = default;
};

std::array<ViewRect, kMaxLocalPlayers> splitViews(int players, SplitLayout layout, int width, int height);

// The view's inset while its player drives: its top-left corner, 0.4 of its
// width and 0.35 of its height, products truncated. One player's inset is
// the whole window's.
ViewRect insetOf(const ViewRect& view);
