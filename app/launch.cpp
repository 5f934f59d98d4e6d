#include "app/launch.h"

#include "app/command_line.h"
#include "app/settings_file.h"
#include "assets/data_file.h"

#include <cstddef>

namespace {

// A binding as the texts name it: the title's short words or the question's
// longer ones for the first three mouse buttons, the key's name otherwise.
std::string shownBinding(const Binding& binding, bool shortWords)
{
    if (binding.kind == Binding::Kind::MouseButton) {
        constexpr const char* kShort[] = {"L Click", "M Click", "R Click"};
        constexpr const char* kLong[] = {"Left Click", "Middle Click", "Right Click"};
        if (binding.code >= 1 && binding.code <= 3)
            return (shortWords ? kShort : kLong)[binding.code - 1];
    }
    return bindingName(binding);
}

// The four moving keys in the original's order, forward, left, back, right:
// run together when each is one letter ("WASD"), else between slashes.
std::string moveKeys(const KeyBindings& keys)
{
    const Action order[] = {Action::Forward, Action::Left, Action::Back, Action::Right};
    std::string letters;
    std::string slashed;
    bool allLetters = true;
    for (const Action action : order) {
        const std::string name = shownBinding(keys[action], true);
        allLetters = allLetters && name.size() == 1;
        letters += name;
        slashed += (slashed.empty() ? "" : "/") + name;
    }
    return allLetters ? letters : slashed;
}

}  // namespace

Launch planLaunch(const std::vector<std::string>& arguments, const std::optional<std::string>& defaultSettingsFile)
{
    Launch launch;
    const CommandLine line = parseCommandLine(arguments);
    if (line.exitNow) {
        launch.exitStatus = line.exitStatus;
        launch.out = line.out;
        launch.err = line.err;
        return launch;
    }

    // A file the player named must be there; the default one need not be.
    SettingsFileResult file;
    if (line.options.configFile)
        file = readSettingsFile(*line.options.configFile, false);
    else if (defaultSettingsFile)
        file = readSettingsFile(*defaultSettingsFile, true);
    for (const std::string& message : file.messages)
        launch.err += "turfwar: " + message + "\n";

    launch.settings = file.settings;
    applyCommandLine(line.options, launch.settings);
    // The file alone never holds too many (its reading fits the bots), so
    // a count that does not work out is the options' doing, as any bad
    // option is; or the file's no one at all, which takes one player.
    if (const std::string problem = playerCountProblem(launch.settings); !problem.empty()) {
        const CommandLineOptions& given = line.options;
        if (given.given("game", "players") || given.given("match", "bots") || given.given("game", "mode")) {
            launch.exitStatus = kExitBadOptions;
            launch.err += "turfwar: " + problem + "\n";
            return launch;
        }
        const std::string fileName = line.options.configFile.value_or(defaultSettingsFile.value_or(""));
        launch.err += "turfwar: " + printableName(fileName) + ": game.players: " + problem + "; using 1\n";
        launch.settings.game.players = 1;
    }
    // A network match has one player on this machine (the server has the bots).
    if (launch.settings.network.role != NetworkRole::None && line.options.given("game", "players") &&
        launch.settings.game.players != 1) {
        launch.exitStatus = kExitBadOptions;
        launch.err += "turfwar: --host and --connect play one player on this machine, not " +
                      std::to_string(launch.settings.game.players) + "\n";
        return launch;
    }
    if (line.options.printConfig) {
        launch.out = settingsToToml(launch.settings);
        launch.exitStatus = 0;
    }
    return launch;
}

std::string windowTitle(const KeyBindings& keys)
{
    return "Move: " + moveKeys(keys) + ", Fire: " + shownBinding(keys[Action::Fire], true) +
           ", Run: " + shownBinding(keys[Action::Run], true) +
           ", Enter/Exit Vehicle: " + shownBinding(keys[Action::EnterLeave], true) +
           ", Close: " + shownBinding(keys[Action::Quit], true);
}

std::string startQuestionText(const KeyBindings& keys)
{
    return "Controls: \nMove: " + moveKeys(keys) + ", Run: " + shownBinding(keys[Action::Run], false) +
           ", Enter/Exit Vehicle: " + shownBinding(keys[Action::EnterLeave], false) +
           "\nShoot: " + shownBinding(keys[Action::Fire], false) +
           ", Look: Mouse\n\nWould You Like To Run In Fullscreen Mode?";
}
