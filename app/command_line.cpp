#include "app/command_line.h"

#include "app/settings_file.h"
#include "assets/data_file.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <memory>
#include <filesystem>
#include <system_error>
#include <utility>

#ifndef TURFWAR_VERSION
#error "TURFWAR_VERSION comes from the build (the project's version)"
#endif

namespace {

// Numbers are read here rather than by CLI11, which would take "010" for
// octal 8 and let "nan" through a range check.
std::optional<int> wholeNumberIn(const std::string& text, int low, int high)
{
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || stop != end || value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<float> numberIn(const std::string& text, float low, float high)
{
    float value = 0.0f;
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || stop != end || !(value >= low && value <= high))
        return std::nullopt;
    return value;
}

std::string shown(float value)
{
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, ec == std::errc() ? end : buffer);
}

// A row with an unset word ("auto") takes it as well as a number.
CLI::Validator wholeNumberCheck(const SettingRow& row)
{
    const int low = static_cast<int>(row.low);
    const int high = static_cast<int>(row.high);
    std::string range = std::to_string(low) + " to " + std::to_string(high);
    if (row.unsetName != nullptr)
        range += std::string(" or ") + row.unsetName;
    return CLI::Validator(
        [=, &row](std::string& text) -> std::string {
            return wholeNumberIn(text, low, high) || isSettingUnsetName(row, text)
                       ? ""
                       : "'" + text + "' is not a whole number from " + range;
        },
        "", "whole number");
}

CLI::Validator numberCheck(float low, float high)
{
    const std::string range = shown(low) + " to " + shown(high);
    return CLI::Validator(
        [=](std::string& text) -> std::string {
            return numberIn(text, low, high) ? "" : "'" + text + "' is not a number from " + range;
        },
        "", "number");
}

// CLI11 takes the next argument as an option's value whatever it is, so
// "--config --windowed" would read a file named "--windowed". A value that
// is an option is a missing value; a negative number is not an option.
bool looksLikeOption(const std::string& text)
{
    return text.size() >= 2 && text[0] == '-' &&
           (text[1] == '-' || (text[1] >= 'a' && text[1] <= 'z') || (text[1] >= 'A' && text[1] <= 'Z'));
}

CLI::Validator valueNotOption()
{
    return CLI::Validator(
        [](std::string& text) -> std::string {
            return looksLikeOption(text) ? "missing value ('" + text + "' is an option)" : "";
        },
        "", "value");
}

// "on|off|adaptive" as a sentence lists it: "on, off or adaptive".
std::string listed(std::string_view names)
{
    std::vector<std::string_view> words;
    for (std::size_t start = 0;;) {
        const std::size_t bar = names.find('|', start);
        words.push_back(names.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start));
        if (bar == std::string_view::npos)
            break;
        start = bar + 1;
    }
    std::string out;
    for (std::size_t i = 0; i < words.size(); ++i)
        out += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + std::string(words[i]);
    return out;
}

CLI::Validator choiceCheck(const SettingRow& row, const std::string& valueName)
{
    const std::string names = listed(valueName);
    return CLI::Validator(
        [&row, names](std::string& text) -> std::string {
            return settingChoiceFromName(row, text) ? "" : "'" + text + "' is not " + names;
        },
        "", "choice");
}

CLI::Validator bindingCheck()
{
    return CLI::Validator(
        [](std::string& text) -> std::string {
            return bindingFromName(text) ? "" : "'" + text + "' is not a key or mouse button name";
        },
        "", "binding");
}

CLI::Validator folderCheck()
{
    return CLI::Validator(
        [](std::string& text) -> std::string {
            std::error_code ec;
            if (std::filesystem::is_directory(text, ec))
                return "";
            return "'" + text + "' is not a folder";
        },
        "", "folder");
}

// A secret is not repeated in the message, even on a terminal.
CLI::Validator textCheck(const SettingRow& row)
{
    return CLI::Validator(
        [&row](std::string& text) -> std::string {
            if (settingTextValue(row, text))
                return "";
            return (row.secret ? std::string("the value") : "'" + text + "'") + " is longer than " +
                   std::to_string(row.maxBytes) + " bytes";
        },
        "", "text");
}

}  // namespace

bool splitHostPort(const std::string& text, std::string& host, std::optional<int>& port)
{
    const std::size_t colon = text.rfind(':');
    host = text.substr(0, colon);
    port.reset();
    if (colon != std::string::npos) {
        port = wholeNumberIn(text.substr(colon + 1), 1, 65535);
        if (!port)
            return false;
    }
    // A host name is at most 253 bytes of letters, digits, dots, hyphens and
    // underscores; anything else (a blank, a colon, a control byte) cannot be one.
    if (host.empty() || host.size() > 253)
        return false;
    return std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
               c == '_';
    });
}

namespace {

CLI::Validator hostPortCheck()
{
    return CLI::Validator(
        [](std::string& text) -> std::string {
            std::string host;
            std::optional<int> port;
            return splitHostPort(text, host, port)
                       ? ""
                       : "'" + text + "' is not HOST or HOST:PORT (a host name or IPv4 address, a port of 1 to 65535)";
        },
        "", "address");
}

// CLI11's help, without the "Excludes:" notes that would push the
// descriptions of --fullscreen and --windowed onto lines of their own.
class HelpFormatter : public CLI::Formatter {
public:
    std::string make_option_opts(const CLI::Option* option) const override
    {
        if (option->get_type_size() == 0 || option->get_type_name().empty())
            return "";
        return " " + option->get_type_name();
    }
};

// An option of a row, as given to CLI11: the text or flag it fills stays
// here until the parse is over.
struct BoundOption {
    const SettingRow* row = nullptr;
    const SettingOption* option = nullptr;
    CLI::Option* cli = nullptr;
    std::string text{};
    bool flag = false;
};

bool isFlag(const SettingRow& row, const SettingOption& option)
{
    return option.setsChoice.has_value() || row.type == SettingType::Boolean;
}

void addRowOption(CLI::App& app, BoundOption& bound, std::vector<BoundOption*>& flagsOfRow)
{
    const SettingRow& row = *bound.row;
    const SettingOption& option = *bound.option;
    const std::string help = settingText(row, option.help != nullptr ? option.help : row.help);
    if (isFlag(row, option)) {
        bound.cli = app.add_flag(option.name, bound.flag, help);
        // Two flags for one setting ask for two values of it.
        for (BoundOption* earlier : flagsOfRow)
            bound.cli->excludes(earlier->cli);
        flagsOfRow.push_back(&bound);
        return;
    }
    const std::string valueName = settingText(row, option.valueName);
    bound.cli = app.add_option(option.name, bound.text, help)->type_name(valueName)->check(valueNotOption());
    switch (row.type) {
    case SettingType::Whole:
        bound.cli->check(wholeNumberCheck(row));
        break;
    case SettingType::Number:
        bound.cli->check(numberCheck(static_cast<float>(row.low), static_cast<float>(row.high)));
        break;
    case SettingType::Choice: bound.cli->check(choiceCheck(row, valueName)); break;
    case SettingType::Binding: bound.cli->check(bindingCheck()); break;
    case SettingType::Folder: bound.cli->check(folderCheck()); break;
    case SettingType::Text:
        if (row.maxBytes > 0)
            bound.cli->check(textCheck(row));
        break;
    case SettingType::Boolean: break;
    }
}

// The value an option that was given sets; its text has passed the checks.
std::optional<SettingValue> givenValue(const BoundOption& bound)
{
    const SettingRow& row = *bound.row;
    if (bound.option->setsChoice)
        return bound.flag ? std::optional<SettingValue>(*bound.option->setsChoice) : std::nullopt;
    switch (row.type) {
    case SettingType::Boolean: return bound.flag;
    case SettingType::Whole: {
        if (isSettingUnsetName(row, bound.text))
            return SettingValue{};
        const std::optional<int> value =
            wholeNumberIn(bound.text, static_cast<int>(row.low), static_cast<int>(row.high));
        return value ? std::optional<SettingValue>(*value) : std::nullopt;
    }
    case SettingType::Number: {
        const std::optional<float> value =
            numberIn(bound.text, static_cast<float>(row.low), static_cast<float>(row.high));
        return value ? std::optional<SettingValue>(*value) : std::nullopt;
    }
    case SettingType::Choice: {
        const std::optional<int> value = settingChoiceFromName(row, bound.text);
        return value ? std::optional<SettingValue>(*value) : std::nullopt;
    }
    case SettingType::Binding: {
        const std::optional<Binding> value = bindingFromName(bound.text);
        return value ? std::optional<SettingValue>(*value) : std::nullopt;
    }
    case SettingType::Text: {
        std::optional<std::string> text = settingTextValue(row, bound.text);
        return text ? std::optional<SettingValue>(std::move(*text)) : std::nullopt;
    }
    case SettingType::Folder: return bound.text;
    }
    return std::nullopt;
}

}  // namespace

const SettingValue* CommandLineOptions::given(std::string_view section, std::string_view key) const
{
    for (const SettingOverride& setting : settings) {
        if (setting.row->section == section && setting.row->key == key)
            return &setting.value;
    }
    return nullptr;
}

CommandLine parseCommandLine(const std::vector<std::string>& arguments)
{
    CLI::App app("Turfwar: walk, shoot and drive in a walled arena.", "turfwar");
    app.formatter(std::make_shared<HelpFormatter>());
    app.footer(
        "Settings are read from $XDG_CONFIG_HOME/turfwar/settings.toml\n"
        "(~/.config/turfwar/settings.toml when XDG_CONFIG_HOME is unset);\n"
        "options override the file. Without options and without a settings file\n"
        "the game asks at start whether to run full screen.\n\n"
        "Exit status: 0 when the game ends normally; 1 when the window cannot be\n"
        "made; 2 for a bad command line; 3 when the game data is unusable; in a\n"
        "network match 4 when the connection is lost (5 s without a word from the\n"
        "server) or the server stops, 5 when the server refuses to let us in (a\n"
        "wrong password, a full server, other game data), 6 when the server does\n"
        "not answer, its address cannot be used or --host cannot open its port.");
    app.set_version_flag("--version", std::string("turfwar ") + TURFWAR_VERSION, "Print the version and exit");

    CommandLine result;
    CommandLineOptions& options = result.options;

    // CLI11 keeps references to the texts and flags: the list is sized once.
    std::vector<BoundOption> bound;
    for (const SettingRow& row : settingsTable()) {
        for (const SettingOption& option : row.options)
            bound.push_back({.row = &row, .option = &option});
    }
    std::stable_sort(bound.begin(), bound.end(), [](const BoundOption& a, const BoundOption& b) {
        return a.option->helpRank < b.option->helpRank;
    });
    for (BoundOption& option : bound) {
        std::vector<BoundOption*> flagsOfRow;
        for (BoundOption& other : bound) {
            if (&other == &option)
                break;
            if (other.row == option.row && isFlag(*other.row, *other.option))
                flagsOfRow.push_back(&other);
        }
        addRowOption(app, option, flagsOfRow);
    }

    // --host and --connect choose the network; they set no row, the port
    // they give stands over [network] port.
    std::vector<std::string> hostPort;
    CLI::Option* hostOption =
        app.add_option("--host", hostPort,
                       "Host a network match on UDP PORT (default: [network] port, 27615; 0: any free port) and "
                       "play in it; bots fill the places as [match] says")
            ->expected(0, 1)
            ->type_name("[PORT]")
            ->check(valueNotOption())
            ->check(CLI::Validator(
                [](std::string& text) -> std::string {
                    return wholeNumberIn(text, 0, 65535) ? "" : "'" + text + "' is not a port from 0 to 65535";
                },
                "", "port"));
    std::string connectTo;
    CLI::Option* connectOption =
        app.add_option("--connect", connectTo,
                       "Join the network match of the server at HOST (on [network] port unless :PORT is given)")
            ->type_name("HOST[:PORT]")
            ->check(valueNotOption())
            ->check(hostPortCheck());
    hostOption->excludes(connectOption);

    std::string config;
    CLI::Option* configOption =
        app.add_option("--config", config, "Read this settings file instead of the default one")
            ->type_name("FILE")
            ->check(valueNotOption());
    app.add_flag("--print-config", options.printConfig, "Print the settings in effect as a settings file and exit");

    std::vector<const char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(argument.c_str());
    if (argv.empty())
        argv.push_back("turfwar");
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::CallForHelp&) {
        result.exitNow = true;
        result.out = app.help();
        return result;
    } catch (const CLI::CallForVersion& version) {
        result.exitNow = true;
        result.out = std::string(version.what()) + "\n";
        return result;
    } catch (const CLI::ParseError& error) {
        result.exitNow = true;
        result.exitStatus = kExitBadOptions;
        // One line, whatever CLI11 wrote or the arguments held.
        const std::string reason = printableName(error.what());
        // The usage without the line that says what the game is.
        const std::string help = app.help();
        const std::size_t usage = help.find("Usage:");
        result.err = "turfwar: " + reason + "\n" + help.substr(usage == std::string::npos ? 0 : usage);
        return result;
    }

    for (const BoundOption& option : bound) {
        if (option.cli->count() == 0)
            continue;
        if (std::optional<SettingValue> value = givenValue(option))
            options.settings.push_back({option.row, std::move(*value)});
    }
    if (configOption->count() > 0)
        options.configFile = config;
    if (hostOption->count() > 0) {
        options.network = NetworkRole::Host;
        if (!hostPort.empty())
            options.port = wholeNumberIn(hostPort.front(), 0, 65535);
    }
    if (connectOption->count() > 0) {
        options.network = NetworkRole::Join;
        splitHostPort(connectTo, options.joinHost, options.port);
    }
    return result;
}

void applyCommandLine(const CommandLineOptions& options, Settings& settings)
{
    for (const SettingOverride& setting : options.settings)
        setting.row->set(settings, setting.value);
    if (options.network != NetworkRole::None) {
        settings.network.role = options.network;
        settings.network.joinHost = options.joinHost;
        // --host 0 leaves the row in its range: any free port is no port to print.
        if (options.port == 0)
            settings.network.anyPort = true;
        else if (options.port)
            settings.network.port = *options.port;
    }
}
