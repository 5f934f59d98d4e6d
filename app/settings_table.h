#pragma once
// Every setting a player can make, one row each: its section and key in the
// settings file, its type and range (or its names, for a choice), its
// default (the Settings member the row fills, as Settings{} holds it), its
// help and the command-line options that mirror it. The settings file's
// reader and printer, the command line and the tests all walk this table,
// so a new setting is one new row (and the member it fills): a Whole, Number
// or Choice row with its range or names, a Text row for a string, a Binding
// row for an action's input (of any set of KeyBindings, such as a second
// player's), each in a section of settingSections().
//
// The table is built once, on first use, and never changes; rows are
// returned by reference and live as long as the program.

#include "app/settings.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

enum class SettingType {
    Whole,    // int, from low to high
    Number,   // float, from low to high (an integer in the file is taken too)
    Boolean,  // true or false
    Choice,   // an enum, written as one of its names
    Binding,  // a key or mouse button, by name
    Text,     // a string
    Folder,   // the command line only: a folder that exists
};

// A setting's value: int for Whole and Choice (the enum's underlying
// number), float, bool, Binding or text; std::monostate for an optional
// member that is unset.
using SettingValue = std::variant<std::monostate, int, float, bool, Binding, std::string>;

struct SettingChoice {
    const char* name;  // as the file and the options write it
    int value;         // the enum's underlying number
};

// A command-line option that sets a row.
struct SettingOption {
    const char* name = nullptr;       // "--volume"
    // What --help shows after the name ("0..100"); empty for a flag. A
    // choice's names separated by '|' ("on|off|adaptive"), also the order a
    // refused value's message lists them in.
    const char* valueName = "";
    // nullptr: the row's help. {default} in either stands for the default.
    const char* help = nullptr;
    std::optional<int> setsChoice{};  // a flag that sets this choice (--windowed: "no")
    // Where --help lists it among the options that set rows (ascending; a
    // new option takes the next number); --config and --print-config come
    // after all of them.
    int helpRank = 0;
};

struct SettingRow {
    // The file's [section]; empty for a setting only the command line makes.
    std::string_view section{};
    std::string_view key{};  // in the file (or, without a section, a name for messages)
    SettingType type = SettingType::Whole;
    double low = 0.0;  // Whole and Number: the range, both ends included
    double high = 0.0;
    // Whole: the word the file and the options write for the member left
    // unset (an std::optional<int>; "auto"), read back as std::monostate.
    // nullptr: the member is a plain int, always a number.
    const char* unsetName = nullptr;
    std::span<const SettingChoice> choices{};  // Choice: every name, in the file's order
    // Text: the most bytes the value may hold (longer is refused, in the
    // file and on the command line); 0: no limit.
    std::size_t maxBytes = 0;
    // Text: what a value that fits becomes (control bytes dropped, say);
    // nullptr: kept as written.
    std::string (*clean)(const std::string&) = nullptr;
    // Never shown: --print-config writes a comment in its place and no
    // message quotes it (a password).
    bool secret = false;
    // What the row is for, one line a player reads; {default} and {range}
    // stand for the default and the range.
    const char* help = "";
    // The comment --print-config writes after the value, with {range}; nullptr for none.
    const char* note = nullptr;
    std::vector<SettingOption> options{};
    SettingValue (*get)(const Settings&) = nullptr;
    void (*set)(Settings&, const SettingValue&) = nullptr;  // takes only a value of the row's type
};

struct SettingSection {
    std::string_view name;
    const char* note = nullptr;  // the comment on its [header] line; nullptr for none
};

// Every row, sections in the file's order and rows within them as printed,
// then the command-line-only rows.
std::span<const SettingRow> settingsTable();
// The file's sections, in the order the file is printed.
std::span<const SettingSection> settingSections();
// The row for section.key; nullptr when there is none.
const SettingRow* findSettingRow(std::string_view section, std::string_view key);

// A Text row's value as the row takes it (cleaned), or nullopt when it is
// longer than the row's maxBytes.
std::optional<std::string> settingTextValue(const SettingRow& row, const std::string& text);

// The value as the settings file writes it ("W" quoted, 1.0, true...).
std::string settingValueText(const SettingRow& row, const SettingValue& value);
// "0 to 100", "0.01 to 100.0": the range as the file's messages show it.
std::string settingRangeText(const SettingRow& row);
// text with {default} and {range} filled in for the row.
std::string settingText(const SettingRow& row, std::string_view text);
// The row's choice of that name, if any.
std::optional<int> settingChoiceFromName(const SettingRow& row, std::string_view name);
// The name of the row's choice; the first name for a value it does not list.
const char* settingChoiceName(const SettingRow& row, int value);
// The row's unset word (its unsetName) written as text; false for a row without one.
bool isSettingUnsetName(const SettingRow& row, std::string_view text);

// The shortest text that reads back to the same float, always with a point
// or exponent so that TOML sees a floating-point number.
std::string floatText(float value);
// A TOML basic string: quotes, backslashes and control characters escaped.
std::string quoted(std::string_view text);

// Bindings by name: an SDL scancode name ("W", "Escape", "Left Shift";
// any case) or "Mouse1" to "Mouse5" (left, middle, right, back, forward).
std::optional<Binding> bindingFromName(std::string_view name);
// The name bindingFromName reads back to the same binding.
std::string bindingName(const Binding& binding);

// The words the file and the command line use for the choices.
const char* fullscreenChoiceName(FullscreenChoice choice);  // "ask", "yes", "no"
const char* vsyncModeName(VsyncMode mode);                  // "adaptive", "on", "off"
const char* fullscreenModeName(FullscreenMode mode);        // "switch", "desktop"
// The [match] bot_level row's names are botLevelName's.
std::optional<FullscreenMode> fullscreenModeFromName(std::string_view name);
std::optional<VsyncMode> vsyncModeFromName(std::string_view name);
