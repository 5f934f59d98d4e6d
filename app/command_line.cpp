#include "app/command_line.h"

#include "app/settings_file.h"
#include "assets/data_file.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <memory>
#include <filesystem>
#include <system_error>

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

CLI::Validator wholeNumberCheck(int low, int high)
{
    const std::string range = std::to_string(low) + " to " + std::to_string(high);
    return CLI::Validator(
        [=](std::string& text) -> std::string {
            return wholeNumberIn(text, low, high) ? "" : "'" + text + "' is not a whole number from " + range;
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

CLI::Validator vsyncCheck()
{
    return CLI::Validator(
        [](std::string& text) -> std::string {
            return vsyncModeFromName(text) ? "" : "'" + text + "' is not on, off or adaptive";
        },
        "", "vsync mode");
}

CLI::Validator fullscreenModeCheck()
{
    return CLI::Validator(
        [](std::string& text) -> std::string {
            return fullscreenModeFromName(text) ? "" : "'" + text + "' is not switch or desktop";
        },
        "", "full-screen mode");
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

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments)
{
    CLI::App app("Turfwar: walk, shoot and drive in a walled arena.", "turfwar");
    app.formatter(std::make_shared<HelpFormatter>());
    app.footer(
        "Settings are read from $XDG_CONFIG_HOME/turfwar/settings.toml\n"
        "(~/.config/turfwar/settings.toml when XDG_CONFIG_HOME is unset);\n"
        "options override the file. Without options and without a settings file\n"
        "the game asks at start whether to run full screen.");
    app.set_version_flag("--version", std::string("turfwar ") + TURFWAR_VERSION, "Print the version and exit");

    bool fullscreen = false, windowed = false, mute = false, invertY = false;
    std::string data, volume, sensitivity, vsync, maxFps, config, fullscreenMode;
    CommandLine result;
    CommandLineOptions& options = result.options;

    CLI::Option* fullscreenOption = app.add_flag("--fullscreen", fullscreen, "Run full screen without asking");
    app.add_flag("--windowed", windowed, "Run in a window without asking")->excludes(fullscreenOption);
    CLI::Option* fullscreenModeOption =
        app.add_option("--fullscreen-mode", fullscreenMode,
                       "Full screen by switching the display to 800 x 600 (switch, the default) or at the desktop's resolution (desktop)")
            ->type_name("switch|desktop")
            ->check(valueNotOption())
            ->check(fullscreenModeCheck());
    CLI::Option* dataOption =
        app.add_option("--data", data, "Read the game data from DIR (default: the current folder when it holds the data, else the installed data)")
            ->type_name("DIR")
            ->check(valueNotOption())
            ->check(folderCheck());
    CLI::Option* muteOption =
        app.add_flag("--mute", mute, "Play no sound (--mute=false: play it, whatever the file says)");
    CLI::Option* volumeOption = app.add_option("--volume", volume, "Sound volume in percent (default 100)")
                                    ->type_name("0..100")
                                    ->check(valueNotOption())
                                    ->check(wholeNumberCheck(kMinVolume, kMaxVolume));
    CLI::Option* sensitivityOption =
        app.add_option("--mouse-sensitivity", sensitivity, "Degrees of turn per mouse count (default 1.0)")
            ->type_name("X")
            ->check(valueNotOption())
            ->check(numberCheck(kMinMouseSensitivity, kMaxMouseSensitivity));
    CLI::Option* invertYOption =
        app.add_flag("--invert-y", invertY, "Mouse forward looks down (--invert-y=false: looks up)");
    CLI::Option* vsyncOption =
        app.add_option("--vsync", vsync,
                       "Wait for the display: adaptive (default; late frames tear), on, or off (as fast as possible)")
            ->type_name("on|off|adaptive")
            ->check(valueNotOption())
            ->check(vsyncCheck());
    CLI::Option* maxFpsOption =
        app.add_option("--max-fps", maxFps, "Draw at most N frames a second (0, the default: no cap)")
            ->type_name("N")
            ->check(valueNotOption())
            ->check(wholeNumberCheck(0, kMaxFpsLimit));
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

    if (fullscreen)
        options.fullscreen = FullscreenChoice::Yes;
    if (windowed)
        options.fullscreen = FullscreenChoice::No;
    if (muteOption->count() > 0)
        options.mute = mute;
    if (invertYOption->count() > 0)
        options.invertY = invertY;
    if (fullscreenModeOption->count() > 0)
        options.fullscreenMode = fullscreenModeFromName(fullscreenMode);
    if (dataOption->count() > 0)
        options.dataFolder = data;
    if (volumeOption->count() > 0)
        options.volume = wholeNumberIn(volume, kMinVolume, kMaxVolume);
    if (sensitivityOption->count() > 0)
        options.mouseSensitivity = numberIn(sensitivity, kMinMouseSensitivity, kMaxMouseSensitivity);
    if (vsyncOption->count() > 0)
        options.vsync = vsyncModeFromName(vsync);
    if (maxFpsOption->count() > 0)
        options.maxFps = wholeNumberIn(maxFps, 0, kMaxFpsLimit);
    if (configOption->count() > 0)
        options.configFile = config;
    return result;
}

void applyCommandLine(const CommandLineOptions& options, Settings& settings)
{
    if (options.fullscreen)
        settings.video.fullscreen = *options.fullscreen;
    if (options.vsync)
        settings.video.vsync = *options.vsync;
    if (options.fullscreenMode)
        settings.video.fullscreenMode = *options.fullscreenMode;
    if (options.maxFps)
        settings.video.maxFps = *options.maxFps;
    if (options.mute)
        settings.audio.mute = *options.mute;
    if (options.volume)
        settings.audio.volume = *options.volume;
    if (options.mouseSensitivity)
        settings.mouse.sensitivity = *options.mouseSensitivity;
    if (options.invertY)
        settings.mouse.invertY = *options.invertY;
    if (options.dataFolder)
        settings.dataFolder = options.dataFolder;
}
