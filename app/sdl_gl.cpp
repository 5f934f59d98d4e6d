#include "app/sdl_gl.h"

#include <SDL.h>

#include <cstdio>

namespace {
int videoUsers = 0;
}

bool startSdlVideo()
{
    if (videoUsers == 0 && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "turfwar: cannot start the video system: %s\n", SDL_GetError());
        return false;
    }
    ++videoUsers;
    // Mouse look reads the accumulated relative motion once per frame, so a
    // motion event per mouse report would only flood the queue and hold frames
    // back (a frame runs only when no message is pending). SDL keeps counting
    // the motion with these events off.
    SDL_EventState(SDL_MOUSEMOTION, SDL_IGNORE);
    return true;
}

void stopSdlVideo()
{
    if (videoUsers > 0 && --videoUsers == 0)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool openSdlGlWindow(const WindowRequest& request, unsigned extraFlags, SdlGlWindow& out)
{
    const bool deep = request.colourBits > 16;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, deep ? 8 : 5);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, deep ? 8 : 6);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, deep ? 8 : 5);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, request.depthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);

    out.window = SDL_CreateWindow(request.title.c_str(), SDL_WINDOWPOS_CENTERED,
                                  SDL_WINDOWPOS_CENTERED, request.width, request.height,
                                  SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | extraFlags);
    if (out.window == nullptr) {
        std::fprintf(stderr, "turfwar: cannot create the window: %s\n", SDL_GetError());
        return false;
    }
    out.context = SDL_GL_CreateContext(out.window);
    if (out.context == nullptr) {
        std::fprintf(stderr, "turfwar: cannot create the OpenGL context: %s\n", SDL_GetError());
        closeSdlGlWindow(out);
        return false;
    }
    SDL_GL_MakeCurrent(out.window, out.context);
    return true;
}

void closeSdlGlWindow(SdlGlWindow& window)
{
    if (window.context != nullptr) {
        SDL_GL_MakeCurrent(window.window, nullptr);
        SDL_GL_DeleteContext(window.context);
        window.context = nullptr;
    }
    if (window.window != nullptr) {
        SDL_DestroyWindow(window.window);
        window.window = nullptr;
    }
}

bool resizeSdlGlSurface(SdlGlWindow& window, int width, int height)
{
    const Uint32 keptFlags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_SHOWN | SDL_WINDOW_BORDERLESS;
    SDL_Window* resized =
        SDL_CreateWindow(SDL_GetWindowTitle(window.window), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width,
                         height, SDL_GetWindowFlags(window.window) & keptFlags);
    if (resized == nullptr) {
        std::fprintf(stderr, "turfwar: cannot make a %d x %d window: %s\n", width, height, SDL_GetError());
        return false;
    }
    if (SDL_GL_MakeCurrent(resized, window.context) != 0) {
        std::fprintf(stderr, "turfwar: cannot draw to a %d x %d window: %s\n", width, height, SDL_GetError());
        SDL_DestroyWindow(resized);
        SDL_GL_MakeCurrent(window.window, window.context);
        return false;
    }
    SDL_DestroyWindow(window.window);
    window.window = resized;
    return true;
}
