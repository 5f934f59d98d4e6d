// The settings table itself: each row is whole and reaches its own member,
// and every row, whatever it is, reads from the file, prints, round-trips
// and (where it has options) comes from the command line. A row added
// without its member, its help, a distinct key or a matching option fails
// here before a player meets it.

#include "app/command_line.h"
#include "app/settings_file.h"
#include "app/settings_table.h"

#include "settings_test_support.h"
#include "tool_runner.h"

#include <gtest/gtest.h>

#include <SDL_scancode.h>

#include <algorithm>
#include <charconv>
#include <set>
#include <string>
#include <vector>

namespace {

std::string pathOf(const SettingRow& row)
{
    return row.section.empty() ? std::string(row.key) : std::string(row.section) + "." + std::string(row.key);
}

bool holdsRowType(const SettingRow& row, const SettingValue& value)
{
    switch (row.type) {
    case SettingType::Whole:
        return std::holds_alternative<int>(value) ||
               (row.unsetName != nullptr && std::holds_alternative<std::monostate>(value));
    case SettingType::Choice: return std::holds_alternative<int>(value);
    case SettingType::Number: return std::holds_alternative<float>(value);
    case SettingType::Boolean: return std::holds_alternative<bool>(value);
    case SettingType::Binding: return std::holds_alternative<Binding>(value);
    case SettingType::Text: return std::holds_alternative<std::string>(value);
    case SettingType::Folder:
        return std::holds_alternative<std::string>(value) || std::holds_alternative<std::monostate>(value);
    }
    return false;
}

// A valid value for the row other than its default. F12 is bound to nothing
// by default, so it shares no input.
SettingValue otherValue(const SettingRow& row, const std::string& folder)
{
    const SettingValue initial = row.get(Settings{});
    switch (row.type) {
    case SettingType::Whole:
        // An unset default ("auto") has any number for another value.
        return std::holds_alternative<int>(initial) && std::get<int>(initial) == static_cast<int>(row.high)
                   ? static_cast<int>(row.low)
                   : static_cast<int>(row.high);
    case SettingType::Number:
        return std::get<float>(initial) == static_cast<float>(row.high) ? static_cast<float>(row.low)
                                                                         : static_cast<float>(row.high);
    case SettingType::Boolean: return !std::get<bool>(initial);
    case SettingType::Choice:
        for (const SettingChoice& choice : row.choices) {
            if (choice.value != std::get<int>(initial))
                return choice.value;
        }
        break;
    case SettingType::Binding: return Binding{Binding::Kind::Key, SDL_SCANCODE_F12};
    case SettingType::Text: return std::string("another \"text\"");
    case SettingType::Folder: return folder;
    }
    return initial;
}

// Every row but `changed` as in base.
void expectOnlyRowChanged(const Settings& actual, const Settings& base, const SettingRow& changed,
                          const SettingValue& value)
{
    for (const SettingRow& row : settingsTable()) {
        const SettingValue expected = &row == &changed ? value : row.get(base);
        EXPECT_TRUE(row.get(actual) == expected)
            << pathOf(row) << " is " << settingValueText(row, row.get(actual)) << ", expected "
            << settingValueText(row, expected);
    }
}

TEST(SettingsTable, EveryRowIsCompleteAndItsOwn)
{
    std::set<std::pair<std::string_view, std::string_view>> keys;
    std::set<std::string_view> sections;
    for (const SettingSection& section : settingSections())
        EXPECT_TRUE(sections.insert(section.name).second) << "section listed twice: " << section.name;
    std::set<std::string_view> sectionsWithRows;
    for (const SettingRow& row : settingsTable()) {
        SCOPED_TRACE(pathOf(row));
        EXPECT_FALSE(row.key.empty());
        EXPECT_TRUE(keys.insert({row.section, row.key}).second) << "two rows for one key";
        ASSERT_NE(row.get, nullptr);
        ASSERT_NE(row.set, nullptr);
        const std::string help = settingText(row, row.help);
        EXPECT_GT(help.size(), 8u) << "every row says what it is for";
        EXPECT_EQ(help.find('{'), std::string::npos) << help;
        if (row.note != nullptr) {
            EXPECT_EQ(settingText(row, row.note).find('{'), std::string::npos) << row.note;
        }

        if (row.section.empty()) {
            EXPECT_FALSE(row.options.empty()) << "a row outside the file is set by an option or not at all";
        } else {
            EXPECT_TRUE(sections.count(row.section)) << "[" << row.section << "] is not printed";
            EXPECT_NE(row.type, SettingType::Folder) << "the file names no folders";
            sectionsWithRows.insert(row.section);
        }
        if (row.type == SettingType::Whole || row.type == SettingType::Number) {
            EXPECT_LT(row.low, row.high);
        }
        if (row.type == SettingType::Choice) {
            EXPECT_GE(row.choices.size(), 2u);
            std::set<std::string_view> names;
            std::set<int> values;
            for (const SettingChoice& choice : row.choices) {
                EXPECT_TRUE(names.insert(choice.name).second) << choice.name;
                EXPECT_TRUE(values.insert(choice.value).second) << choice.name;
                EXPECT_EQ(settingChoiceFromName(row, choice.name), choice.value);
                // What --print-config says about a choice names every choice.
                if (row.note != nullptr) {
                    EXPECT_NE(std::string(row.note).find("\"" + std::string(choice.name) + "\""), std::string::npos)
                        << row.note;
                }
            }
        }
    }
    EXPECT_EQ(sectionsWithRows, sections) << "a section with no rows";
}

// Each row reads and writes the member it names, and no other: setting one
// row leaves every other at its default, and its default is Settings{}'s,
// of the row's type and within its range or names.
TEST(SettingsTable, EachRowReachesItsOwnMember)
{
    ScratchFolder folder;
    const Settings defaults;
    for (const SettingRow& row : settingsTable()) {
        SCOPED_TRACE(pathOf(row));
        const SettingValue initial = row.get(defaults);
        ASSERT_TRUE(holdsRowType(row, initial));
        if (row.type == SettingType::Whole && std::holds_alternative<int>(initial)) {
            EXPECT_TRUE(std::get<int>(initial) >= row.low && std::get<int>(initial) <= row.high);
        } else if (row.type == SettingType::Number) {
            EXPECT_TRUE(std::get<float>(initial) >= static_cast<float>(row.low) &&
                        std::get<float>(initial) <= static_cast<float>(row.high));
        } else if (row.type == SettingType::Choice) {
            EXPECT_EQ(settingChoiceFromName(row, settingChoiceName(row, std::get<int>(initial))),
                      std::get<int>(initial));
        }

        const SettingValue other = otherValue(row, folder.dir().string());
        ASSERT_FALSE(other == initial) << "no second value to try";
        Settings changed;
        row.set(changed, other);
        expectOnlyRowChanged(changed, defaults, row, other);
        row.set(changed, initial);
        expectSameSettings(changed, defaults);
    }
}

// Every row of the file, alone at a value other than its default, prints
// and reads back; written by hand it sets that row only; of the wrong type
// or past its range it is named, with its default, and kept at it.
TEST(SettingsTable, EveryFileRowRoundTripsAndRefusesWhatItMust)
{
    const Settings defaults;
    for (const SettingRow& row : settingsTable()) {
        if (row.section.empty())
            continue;
        SCOPED_TRACE(pathOf(row));
        const SettingValue other = otherValue(row, "");
        Settings changed;
        row.set(changed, other);

        const std::string printed = settingsToToml(changed);
        const SettingsFileResult back = parseSettingsText(printed, "printed.toml");
        EXPECT_TRUE(back.messages.empty()) << back.messages.front();
        const std::string line = std::string(row.key) + " = " + settingValueText(row, other);
        if (row.secret) {
            // A secret is never printed: read back, it is the default again.
            EXPECT_EQ(printed.find(std::get<std::string>(other)), std::string::npos) << printed;
            expectSameSettings(back.settings, defaults);
        } else {
            expectOnlyRowChanged(back.settings, defaults, row, other);
            EXPECT_NE(printed.find(line), std::string::npos) << printed;
        }

        const std::string section = "[" + std::string(row.section) + "]\n";
        const std::string text = section + line + "\n";
        const SettingsFileResult alone = parseSettingsText(text, "s.toml");
        EXPECT_TRUE(alone.messages.empty()) << alone.messages.front();
        expectOnlyRowChanged(alone.settings, defaults, row, other);

        const std::string refusedPrefix = "s.toml:2:";
        const std::string defaultText = "; using the default " + settingValueText(row, row.get(defaults));
        const SettingsFileResult wrongType =
            parseSettingsText(section + std::string(row.key) + " = {}\n", "s.toml");
        ASSERT_EQ(wrongType.messages.size(), 1u);
        EXPECT_EQ(wrongType.messages[0].rfind(refusedPrefix, 0), 0u) << wrongType.messages[0];
        EXPECT_NE(wrongType.messages[0].find(" " + pathOf(row) + ": expected "), std::string::npos)
            << wrongType.messages[0];
        EXPECT_NE(wrongType.messages[0].find("found a table" + defaultText), std::string::npos)
            << wrongType.messages[0];
        expectSameSettings(wrongType.settings, defaults);

        if (row.type == SettingType::Text && row.maxBytes > 0) {
            // One byte past the limit is refused, the limit itself taken; a
            // secret's message does not quote it.
            const std::string fits(row.maxBytes, 'x');
            const std::string past = fits + "y";
            const SettingsFileResult atLimit =
                parseSettingsText(section + std::string(row.key) + " = " + ::quoted(fits) + "\n", "s.toml");
            EXPECT_TRUE(atLimit.messages.empty()) << atLimit.messages.front();
            EXPECT_TRUE(row.get(atLimit.settings) == SettingValue(fits));
            const SettingsFileResult tooLong =
                parseSettingsText(section + std::string(row.key) + " = " + ::quoted(past) + "\n", "s.toml");
            ASSERT_EQ(tooLong.messages.size(), 1u);
            EXPECT_NE(tooLong.messages[0].find(" is longer than " + std::to_string(row.maxBytes) + " bytes" +
                                               defaultText),
                      std::string::npos)
                << tooLong.messages[0];
            if (row.secret) {
                EXPECT_EQ(tooLong.messages[0].find(past), std::string::npos) << tooLong.messages[0];
            }
            expectSameSettings(tooLong.settings, defaults);
            const CommandLine refused = row.options.empty()
                                            ? CommandLine{}
                                            : parseCommandLine({"turfwar", row.options[0].name, past});
            if (!row.options.empty()) {
                EXPECT_EQ(refused.exitStatus, kExitBadOptions);
                EXPECT_NE(refused.err.find("is longer than"), std::string::npos) << refused.err;
                if (row.secret) {
                    EXPECT_EQ(refused.err.find(past), std::string::npos) << refused.err;
                }
            }
        }
        if (row.type == SettingType::Whole || row.type == SettingType::Number) {
            const std::string past = std::to_string(static_cast<long long>(row.high) + 1);
            const SettingsFileResult tooHigh =
                parseSettingsText(section + std::string(row.key) + " = " + past + "\n", "s.toml");
            ASSERT_EQ(tooHigh.messages.size(), 1u);
            EXPECT_NE(tooHigh.messages[0].find(pathOf(row) + ": " + past + " is out of range (" +
                                               settingRangeText(row) + ")" + defaultText),
                      std::string::npos)
                << tooHigh.messages[0];
            expectSameSettings(tooHigh.settings, defaults);
        }
    }
}

// The command-line form of a value: as a player types it.
std::string optionText(const SettingRow& row, const SettingValue& value)
{
    if (row.type == SettingType::Number) {
        char buffer[32];
        const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, std::get<float>(value));
        return std::string(buffer, ec == std::errc() ? end : buffer);
    }
    if (row.type == SettingType::Whole)
        return std::to_string(std::get<int>(value));
    if (row.type == SettingType::Choice)
        return settingChoiceName(row, std::get<int>(value));
    if (row.type == SettingType::Binding)
        return bindingName(std::get<Binding>(value));
    return std::get<std::string>(value);
}

// Every option of every row sets that row alone, is in --help with its
// value's name and help, and refuses a value past its row's range or names.
TEST(SettingsTable, EveryOptionSetsItsRowAndIsInTheHelp)
{
    ScratchFolder folder;
    const std::string help = parseCommandLine({"turfwar", "--help"}).out;
    const std::string readme = readWholeFile(TURFWAR_SOURCE_DIR "/README.md");
    std::set<std::string> names;
    std::set<int> ranks;
    const Settings defaults;
    for (const SettingRow& row : settingsTable()) {
        for (const SettingOption& option : row.options) {
            SCOPED_TRACE(option.name);
            EXPECT_TRUE(names.insert(option.name).second) << "two rows share an option";
            EXPECT_TRUE(ranks.insert(option.helpRank).second) << "two options share a place in --help";
            EXPECT_NE(readme.find(std::string("`") + option.name), std::string::npos) << "README.md lists it";
            const std::string valueName = settingText(row, option.valueName);
            const std::string shownHelp = settingText(row, option.help != nullptr ? option.help : row.help);
            EXPECT_NE(help.find(option.name + (valueName.empty() ? "" : " " + valueName)), std::string::npos)
                << help;
            EXPECT_NE(help.find(shownHelp), std::string::npos) << help;

            std::vector<std::string> args = {"turfwar", option.name};
            SettingValue expected;
            if (option.setsChoice) {
                ASSERT_EQ(row.type, SettingType::Choice);
                ASSERT_NE(settingChoiceName(row, *option.setsChoice), std::string());
                EXPECT_TRUE(valueName.empty());
                expected = *option.setsChoice;
            } else if (row.type == SettingType::Boolean) {
                EXPECT_TRUE(valueName.empty());
                expected = true;
            } else {
                ASSERT_FALSE(valueName.empty()) << "an option that takes a value shows what it takes";
                expected = otherValue(row, folder.dir().string());
                args.push_back(optionText(row, expected));
            }
            if (row.type == SettingType::Choice && !option.setsChoice) {
                // The names in --help are the row's names.
                std::set<std::string> shown;
                std::string_view rest = valueName;
                for (std::size_t bar = rest.find('|');; bar = rest.find('|')) {
                    shown.insert(std::string(rest.substr(0, bar)));
                    if (bar == std::string_view::npos)
                        break;
                    rest.remove_prefix(bar + 1);
                }
                std::set<std::string> rowNames;
                for (const SettingChoice& choice : row.choices)
                    rowNames.insert(choice.name);
                EXPECT_EQ(shown, rowNames);
                const CommandLine unknown = parseCommandLine({"turfwar", option.name, "none-of-these"});
                EXPECT_EQ(unknown.exitStatus, kExitBadOptions);
            }
            const CommandLine line = parseCommandLine(args);
            ASSERT_FALSE(line.exitNow) << line.err;
            ASSERT_NE(line.options.given(row.section, row.key), nullptr);
            Settings settings;
            applyCommandLine(line.options, settings);
            expectOnlyRowChanged(settings, defaults, row, expected);

            if (row.type == SettingType::Whole || row.type == SettingType::Number) {
                const std::string past = std::to_string(static_cast<long long>(row.high) + 1);
                const CommandLine refused = parseCommandLine({"turfwar", option.name, past});
                EXPECT_EQ(refused.exitStatus, kExitBadOptions);
                EXPECT_NE(refused.err.find("'" + past + "' is not"), std::string::npos) << refused.err;
            }
        }
    }
    // Nothing given, nothing set.
    EXPECT_TRUE(parseCommandLine({"turfwar"}).options.settings.empty());
}

// The words callers use for the choices are the rows' names.
TEST(SettingsTable, TheChoiceWordsAreTheRowsNames)
{
    for (const VsyncMode mode : {VsyncMode::Adaptive, VsyncMode::On, VsyncMode::Off})
        EXPECT_EQ(vsyncModeFromName(vsyncModeName(mode)), mode);
    for (const FullscreenMode mode : {FullscreenMode::Switch, FullscreenMode::Desktop})
        EXPECT_EQ(fullscreenModeFromName(fullscreenModeName(mode)), mode);
    EXPECT_STREQ(fullscreenChoiceName(FullscreenChoice::No), "no");
    EXPECT_EQ(vsyncModeFromName("sometimes"), std::nullopt);
}

}  // namespace
