#pragma once
// Gamepads on a real system, through SDL's GameController API: any pad SDL
// has a mapping for (its own database, SDL_GAMECONTROLLERCONFIG, and a
// gamecontrollerdb.txt in the settings folder), opened and closed as they
// are plugged in and pulled out. Of several pads the one used last drives;
// a pad pulled out leaves nothing held. A pad without a mapping is left
// alone, with one line on standard error saying how to add one.

#include "app/platform.h"

#include <SDL_events.h>
#include <SDL_gamecontroller.h>

#include <cstdint>
#include <string>
#include <vector>

// Where a player keeps a gamecontrollerdb.txt: $XDG_CONFIG_HOME/turfwar/, or
// ~/.config/turfwar/ when that is unset. Empty when neither can be found.
std::string gamepadMappingFile();

class SdlGamepads {
public:
    SdlGamepads() = default;
    ~SdlGamepads() { stop(); }
    SdlGamepads(const SdlGamepads&) = delete;
    SdlGamepads& operator=(const SdlGamepads&) = delete;

    // Starts SDL's GameController subsystem and loads the mappings; the pads
    // already plugged in arrive as events. False (with a line on standard
    // error) when the subsystem cannot start: the game goes on without pads.
    bool start();
    void stop();
    // Takes a pad's plug-in, pull-out or use; false for any other event.
    bool handleEvent(const SDL_Event& event);
    PadState state() const;
    void rumble(float strength, std::uint32_t durationMs);

private:
    struct Pad {
        SDL_JoystickID id = -1;
        SDL_GameController* controller = nullptr;
    };
    SDL_GameController* driving() const;
    void open(int deviceIndex);
    void close(SDL_JoystickID id);

    bool started_ = false;
    std::vector<Pad> pads_;
    SDL_JoystickID driving_ = -1;  // the pad used last; -1 none
};
