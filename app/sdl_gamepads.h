#pragma once
// Gamepads on a real system, through SDL's GameController API: any pad SDL
// has a mapping for (its own database, SDL_GAMECONTROLLERCONFIG, and a
// gamecontrollerdb.txt in the settings folder), opened and closed as they
// are plugged in and pulled out. Of several pads the one used last drives;
// a pad pulled out leaves nothing held. A pad without a mapping is left
// alone, with one line on standard error saying how to add one. The mapping
// file is read as every data file is (a regular file of bounded size, so a
// pipe or a folder of that name is refused with one line), and only its
// first kMaxGamepadMappings mappings are used.

#include "app/platform.h"

#include <SDL_events.h>
#include <SDL_gamecontroller.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Where a player keeps a gamecontrollerdb.txt: in the settings folder (see
// settingsFolder). Empty when there is none.
std::string gamepadMappingFile();

// At most this many of the file's mappings reach SDL. SDL searches every
// mapping it holds for each one added, so the start grows with the square of
// the count (20,000 took seconds, 100,000 minutes); the community's database
// holds about 2,200 mappings for all platforms together, this one's a
// fraction of that, and 5,000 take a small part of a second.
inline constexpr std::size_t kMaxGamepadMappings = 5000;

// The mapping lines of a gamecontrollerdb.txt that SDL would take for the
// platform (SDL_GetPlatform()'s name): those whose platform field names it,
// any case, as SDL's own file reader decides; comments, blank lines and
// other platforms' lines are left out. At most limit lines, in the file's
// order; skipped counts this platform's lines past the limit.
struct GamepadMappingLines {
    std::vector<std::string> lines;
    std::size_t skipped = 0;
};
GamepadMappingLines gamepadMappingsFor(std::string_view text, std::string_view platform,
                                       std::size_t limit = kMaxGamepadMappings);

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
    // The pad in a slot (see Platform::padState(int)).
    PadState state(int slot) const;
    void rumble(int slot, float strength, std::uint32_t durationMs);

private:
    struct Pad {
        SDL_JoystickID id = -1;
        SDL_GameController* controller = nullptr;
        int slot = -1;  // -1: more pads than slots
    };
    SDL_GameController* driving() const;
    SDL_GameController* inSlot(int slot) const;
    void open(int deviceIndex);
    void close(SDL_JoystickID id);

    bool started_ = false;
    std::vector<Pad> pads_;
    SDL_JoystickID driving_ = -1;  // the pad used last; -1 none
};
