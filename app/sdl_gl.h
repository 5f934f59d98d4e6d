#pragma once
// The SDL window-and-context plumbing that both platform backends share.

#include "app/platform.h"

struct SDL_Window;

struct SdlGlWindow {
    SDL_Window* window = nullptr;
    void* context = nullptr;
};

// Starts SDL's video subsystem once per process user; false (with a message on
// standard error) when it cannot start.
bool startSdlVideo();
void stopSdlVideo();

// A window with a current GL compatibility context asking for the request's
// colour and depth bits (the system may give more). extraFlags are SDL window
// flags. On failure nothing is left open and the reason is on standard error.
bool openSdlGlWindow(const WindowRequest& request, unsigned extraFlags, SdlGlWindow& out);
void closeSdlGlWindow(SdlGlWindow& window);
// Gives the context a drawing surface of this size (for drivers whose surface
// keeps the size the window was made with) by moving it to a new window like
// the old one. The context and all its objects stay. False, with the reason
// on standard error and the old window kept, when the new one cannot be made.
bool resizeSdlGlSurface(SdlGlWindow& window, int width, int height);
