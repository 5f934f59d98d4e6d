// The settings file parser on arbitrary bytes: no crash and no sanitizer
// report; every message is one line; whatever settings come out are within
// their ranges (texts within their byte limits, cleaned), and printed as a
// settings file they read back the same, with no complaint but shared keys.

#include "app/settings_file.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <variant>

namespace {

// Every ranged value within its row's range (or unset where its row allows),
// every choice one of its row's.
bool withinRanges(const Settings& s)
{
    for (const SettingRow& row : settingsTable()) {
        const SettingValue value = row.get(s);
        if (row.type == SettingType::Whole) {
            // A row with an unset word ("auto") may hold no number at all.
            if (row.unsetName && std::holds_alternative<std::monostate>(value))
                continue;
            if (!std::holds_alternative<int>(value))
                return false;
            const int v = std::get<int>(value);
            if (!(v >= row.low && v <= row.high))
                return false;
        } else if (row.type == SettingType::Number) {
            const float v = std::get<float>(value);
            if (!(v >= static_cast<float>(row.low) && v <= static_cast<float>(row.high)))
                return false;
        } else if (row.type == SettingType::Text) {
            // Within its byte limit, and as the row's cleaning leaves it.
            const std::string& text = std::get<std::string>(value);
            if (row.maxBytes > 0 && text.size() > row.maxBytes)
                return false;
            if (row.clean != nullptr && row.clean(text) != text)
                return false;
        } else if (row.type == SettingType::Choice) {
            if (settingChoiceFromName(row, settingChoiceName(row, std::get<int>(value))) != std::get<int>(value))
                return false;
        }
    }
    return true;
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
