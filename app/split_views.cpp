#include "app/split_views.h"

std::array<ViewRect, kMaxLocalPlayers> splitViews(int players, SplitLayout layout, int width, int height)
{
    std::array<ViewRect, kMaxLocalPlayers> views{};
    const int lowerHeight = height / 2;
    const int upperHeight = height - lowerHeight;
    const int rightWidth = width / 2;
    const int leftWidth = width - rightWidth;
    if (players <= 1) {
        views[0] = {0, 0, width, height};
    } else if (players == 2 && layout == SplitLayout::TopBottom) {
        views[0] = {0, lowerHeight, width, upperHeight};
        views[1] = {0, 0, width, lowerHeight};
    } else if (players == 2) {
        views[0] = {0, 0, leftWidth, height};
        views[1] = {leftWidth, 0, rightWidth, height};
    } else {
        views[0] = {0, lowerHeight, leftWidth, upperHeight};
        views[1] = {leftWidth, lowerHeight, rightWidth, upperHeight};
        views[2] = {0, 0, leftWidth, lowerHeight};
        if (players > 3)
            views[3] = {leftWidth, 0, rightWidth, lowerHeight};
    }
    return views;
}

ViewRect insetOf(const ViewRect& view)
{
    // Single-precision shares, products taken in double: the float products
    // would round 209.99999 up to 210 before the truncation.
    constexpr double kInsetWidth = 0.4f;
    constexpr double kInsetHeight = 0.35f;
    const double w = view.width;
    const double h = view.height;
    return {view.x, view.y + static_cast<int>(h * (1.0 - kInsetHeight)), static_cast<int>(w * kInsetWidth),
            static_cast<int>(h * kInsetHeight)};
}
