// The settings file parser on arbitrary bytes: no crash and no sanitizer
// report; every message is one line; whatever settings come out are within
// their ranges, and printed as a settings file they read back the same,
// with no complaint but shared keys.

#include "app/settings_file.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool withinRanges(const Settings& s)
{
    return s.video.maxFps >= 0 && s.video.maxFps <= kMaxFpsLimit && s.audio.volume >= kMinVolume &&
           s.audio.volume <= kMaxVolume && s.mouse.sensitivity >= kMinMouseSensitivity &&
           s.mouse.sensitivity <= kMaxMouseSensitivity && s.gamepad.deadZone >= 0.0f &&
           s.gamepad.deadZone <= kMaxDeadZone && s.gamepad.lookSpeed >= kMinLookSpeed &&
           s.gamepad.lookSpeed <= kMaxLookSpeed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const SettingsFileResult result =
        parseSettingsText(std::string_view(reinterpret_cast<const char*>(data), size), "settings.toml");
    for (const std::string& message : result.messages) {
        if (message.empty() || message.find('\n') != std::string::npos)
            std::abort();
    }
    if (!withinRanges(result.settings))
        std::abort();

    const std::string printed = settingsToToml(result.settings);
    const SettingsFileResult again = parseSettingsText(printed, "printed");
    for (const std::string& message : again.messages) {
        if (message.find("are both") == std::string::npos)
            std::abort();
    }
    if (settingsToToml(again.settings) != printed)
        std::abort();
    return 0;
}
