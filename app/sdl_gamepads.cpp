#include "app/sdl_gamepads.h"

#include "app/settings_file.h"
#include "assets/data_file.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <strings.h>

static_assert(SDL_CONTROLLER_AXIS_TRIGGERRIGHT == static_cast<int>(PadAxis::RightTrigger) &&
              SDL_CONTROLLER_AXIS_MAX == kPadAxisCount, "PadAxis follows SDL's order");
static_assert(SDL_CONTROLLER_BUTTON_Y == static_cast<int>(PadButton::Y) &&
              SDL_CONTROLLER_BUTTON_START == static_cast<int>(PadButton::Start) &&
              SDL_CONTROLLER_BUTTON_DPAD_RIGHT == static_cast<int>(PadButton::DpadRight) &&
              SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1 == kPadButtonCount, "PadButton follows SDL's order");

namespace {

// A stick pushed this far (of 32767), or any button, makes its pad the one
// that drives: less would let a pad lying on the desk with a drifting stick
// take over from the one in the player's hands.
constexpr int kTakeOverTilt = 16384;

float axisValue(SDL_GameController* controller, SDL_GameControllerAxis axis)
{
    const float raw = static_cast<float>(SDL_GameControllerGetAxis(controller, axis));
    return std::clamp(raw / 32767.0f, -1.0f, 1.0f);
}

}  // namespace

std::string gamepadMappingFile()
{
    const std::optional<std::string> folder = settingsFolder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    return folder ? *folder + "/gamecontrollerdb.txt" : std::string();
}

GamepadMappingLines gamepadMappingsFor(std::string_view text, std::string_view platform, std::size_t limit)
{
    constexpr std::string_view kPlatformField = "platform:";
    GamepadMappingLines result;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t field = line.find(kPlatformField);
        if (field == std::string_view::npos)
            continue;
        const std::size_t start = field + kPlatformField.size();
        const std::size_t comma = line.find(',', start);
        if (comma == std::string_view::npos)
            continue;
        const std::string_view named = line.substr(start, comma - start);
        if (named.size() != platform.size() || ::strncasecmp(named.data(), platform.data(), named.size()) != 0)
            continue;
        if (result.lines.size() < limit)
            result.lines.emplace_back(line);
        else
            ++result.skipped;
    }
    return result;
}

namespace {

// The mappings of the player's gamecontrollerdb.txt, if there is one; what
// could not be used is said in one line.
void addMappingFile(const std::string& file)
{
    if (file.empty() || !dataFileExists(file.c_str()))
        return;
    const std::string shown = printableName(file);
    std::string reason;
    const std::optional<std::vector<std::uint8_t>> bytes = readDataFile(file.c_str(), &reason);
    if (!bytes) {
        std::fprintf(stderr, "turfwar: %s: %s; no pad mappings read from it\n", shown.c_str(), reason.c_str());
        return;
    }
    const GamepadMappingLines mappings = gamepadMappingsFor(
        std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), SDL_GetPlatform());
    std::size_t refused = 0;
    for (const std::string& line : mappings.lines) {
        if (SDL_GameControllerAddMapping(line.c_str()) < 0)
            ++refused;
    }
    if (mappings.skipped > 0 || refused > 0) {
        std::fprintf(stderr, "turfwar: %s: used %zu of its %zu pad mappings for %s", shown.c_str(),
                     mappings.lines.size() - refused, mappings.lines.size() + mappings.skipped, SDL_GetPlatform());
        if (refused > 0)
            std::fprintf(stderr, "; %zu SDL could not read", refused);
        if (mappings.skipped > 0)
            std::fprintf(stderr, "; %zu past the first %zu skipped", mappings.skipped, kMaxGamepadMappings);
        std::fputc('\n', stderr);
    }
}

}  // namespace

bool SdlGamepads::start()
{
    if (started_)
        return true;
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        std::fprintf(stderr, "turfwar: no gamepads: %s\n", SDL_GetError());
        return false;
    }
    started_ = true;
    addMappingFile(gamepadMappingFile());
    // SDL read SDL_GAMECONTROLLERCONFIG as it started; read again after the
    // file, what a player sets for one run wins over what is kept.
    if (const char* config = std::getenv("SDL_GAMECONTROLLERCONFIG"); config != nullptr) {
        std::istringstream lines(config);
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line[0] != '#')
                SDL_GameControllerAddMapping(line.c_str());
        }
    }
    // SDL announced the pads plugged in before it started while it knew only
    // its own mappings: a pad that only these mappings name would never be
    // opened.
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (SDL_IsGameController(i))
            open(i);
    }
    return true;
}

void SdlGamepads::stop()
{
    if (!started_)
        return;
    for (const Pad& pad : pads_)
        SDL_GameControllerClose(pad.controller);
    pads_.clear();
    driving_ = -1;
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    started_ = false;
}

bool SdlGamepads::handleEvent(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_JOYDEVICEADDED:
        // A mapped pad comes again as a controller; only the others are news.
        if (!SDL_IsGameController(event.jdevice.which)) {
            char guid[33] = {};
            SDL_JoystickGetGUIDString(SDL_JoystickGetDeviceGUID(event.jdevice.which), guid, sizeof guid);
            const char* name = SDL_JoystickNameForIndex(event.jdevice.which);
            const std::string file = gamepadMappingFile();
            std::fprintf(stderr,
                         "turfwar: ignoring the pad \"%s\" (%s): SDL has no mapping for it; add one to %s or "
                         "SDL_GAMECONTROLLERCONFIG\n",
                         printableName(name != nullptr ? name : "unnamed").c_str(), guid,
                         file.empty() ? "gamecontrollerdb.txt" : printableName(file).c_str());
        }
        return true;
    case SDL_CONTROLLERDEVICEADDED:
        open(event.cdevice.which);
        return true;
    case SDL_CONTROLLERDEVICEREMOVED:
        close(event.cdevice.which);
        return true;
    case SDL_CONTROLLERBUTTONDOWN:
        driving_ = event.cbutton.which;
        return true;
    case SDL_CONTROLLERAXISMOTION:
        if (std::abs(static_cast<int>(event.caxis.value)) >= kTakeOverTilt)
            driving_ = event.caxis.which;
        return true;
    case SDL_JOYDEVICEREMOVED:
    case SDL_CONTROLLERBUTTONUP:
    case SDL_CONTROLLERDEVICEREMAPPED:
        return true;
    default:
        return false;
    }
}

void SdlGamepads::open(int deviceIndex)
{
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    for (const Pad& pad : pads_) {
        if (pad.id == id)
            return;  // a remapping announces a pad again
    }
    SDL_GameController* controller = SDL_GameControllerOpen(deviceIndex);
    if (controller == nullptr) {
        std::fprintf(stderr, "turfwar: cannot open the pad: %s\n", SDL_GetError());
        return;
    }
    // The lowest slot no pad holds.
    int slot = 0;
    while (slot < kPadSlots && inSlot(slot) != nullptr)
        ++slot;
    pads_.push_back({id, controller, slot < kPadSlots ? slot : -1});
    // The first pad drives until another is used.
    if (driving_ < 0)
        driving_ = id;
}

void SdlGamepads::close(SDL_JoystickID id)
{
    const auto pad = std::find_if(pads_.begin(), pads_.end(), [id](const Pad& p) { return p.id == id; });
    if (pad == pads_.end())
        return;
    SDL_GameControllerClose(pad->controller);
    pads_.erase(pad);
    // Nothing stays held: the next frame reads a pad at rest until another
    // pad is used.
    if (driving_ == id)
        driving_ = -1;
}

SDL_GameController* SdlGamepads::driving() const
{
    for (const Pad& pad : pads_) {
        if (pad.id == driving_)
            return pad.controller;
    }
    return nullptr;
}

SDL_GameController* SdlGamepads::inSlot(int slot) const
{
    for (const Pad& pad : pads_) {
        if (pad.slot == slot)
            return pad.controller;
    }
    return nullptr;
}

namespace {

PadState stateOf(SDL_GameController* controller)
{
    PadState state;
    if (controller == nullptr)
        return state;
    state.connected = true;
    for (int a = 0; a < kPadAxisCount; ++a)
        state.axes[a] = axisValue(controller, static_cast<SDL_GameControllerAxis>(a));
    // Triggers report 0 ... 32767.
    for (PadAxis trigger : {PadAxis::LeftTrigger, PadAxis::RightTrigger}) {
        float& value = state.axes[static_cast<int>(trigger)];
        value = std::max(value, 0.0f);
    }
    for (int b = 0; b < kPadButtonCount; ++b)
        state.buttons[b] = SDL_GameControllerGetButton(controller, static_cast<SDL_GameControllerButton>(b)) != 0;
    return state;
}

void rumbleController(SDL_GameController* controller, float strength, std::uint32_t durationMs)
{
    if (controller == nullptr)
        return;
    const auto level = static_cast<Uint16>(std::clamp(strength, 0.0f, 1.0f) * 65535.0f);
    // A pad without motors says so with -1; there is nothing to do about it.
    SDL_GameControllerRumble(controller, level, level, durationMs);
}

}  // namespace

PadState SdlGamepads::state() const { return stateOf(driving()); }
PadState SdlGamepads::state(int slot) const { return stateOf(inSlot(slot)); }

void SdlGamepads::rumble(float strength, std::uint32_t durationMs)
{
    rumbleController(driving(), strength, durationMs);
}

void SdlGamepads::rumble(int slot, float strength, std::uint32_t durationMs)
{
    rumbleController(inSlot(slot), strength, durationMs);
}
