#include "app/data_folder.h"

#include "app/error_box.h"
#include "app/platform.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <system_error>

// Set by the build from the install layout (GNUInstallDirs, or the Debian
// games layout): the data folder relative to the folder the executables are
// installed in, and relative to the shared-data root ($prefix/share).
#ifndef TURFWAR_DATA_FROM_BINDIR
#define TURFWAR_DATA_FROM_BINDIR "../share/turfwar"
#endif
#ifndef TURFWAR_DATA_BELOW_DATAROOT
#define TURFWAR_DATA_BELOW_DATAROOT "turfwar"
#endif

namespace fs = std::filesystem;

namespace {

// Beside the executable: the layout this build installs, either common
// layout (a Debian package keeps games in /usr/games and their data in
// /usr/share/games, whatever the build was configured with), and the folder
// the build prepares the data in, next to the executables it makes.
constexpr const char* kBesideExecutable[] = {TURFWAR_DATA_FROM_BINDIR, "../share/turfwar", "../share/games/turfwar",
                                             "game"};
// Below each $XDG_DATA_DIRS folder, likewise.
constexpr const char* kBelowDataRoot[] = {TURFWAR_DATA_BELOW_DATAROOT, "turfwar", "games/turfwar"};
// What the XDG base directory rules say to use when the variable is unset or empty.
constexpr const char* kDefaultXdgDataDirs = "/usr/local/share:/usr/share";

bool isFile(const fs::path& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

}  // namespace

bool holdsGameData(const fs::path& folder)
{
    return isFile(folder / "car.txt") && isFile(folder / "car.3ds");
}

DataFolderSearch findDataFolder(const std::optional<std::string>& namedFolder, const DataFolderPlaces& places)
{
    DataFolderSearch search;
    if (namedFolder) {
        search.looked.push_back(*namedFolder);
        search.folder = fs::path(*namedFolder);
        return search;
    }
    auto tryFolder = [&search](const fs::path& folder) {
        if (std::find(search.looked.begin(), search.looked.end(), folder) != search.looked.end())
            return false;
        search.looked.push_back(folder);
        if (holdsGameData(folder))
            search.folder = folder;
        return search.folder.has_value();
    };

    if (!places.currentDirectory.empty() && tryFolder(places.currentDirectory))
        return search;
    if (!places.executable.empty()) {
        const fs::path bin = places.executable.parent_path();
        for (const char* relative : kBesideExecutable)
            if (tryFolder((bin / relative).lexically_normal()))
                return search;
    }
    const std::string xdgDataDirs = places.xdgDataDirs.value_or("");
    std::string_view dirs = xdgDataDirs.empty() ? std::string_view(kDefaultXdgDataDirs) : std::string_view(xdgDataDirs);
    while (!dirs.empty()) {
        const std::size_t colon = dirs.find(':');
        const std::string_view dir = dirs.substr(0, colon);
        dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
        // The rules allow only absolute folders here; a relative one would
        // depend on where the game happens to be started.
        if (dir.empty() || dir.front() != '/')
            continue;
        for (const char* relative : kBelowDataRoot)
            if (tryFolder((fs::path(dir) / relative).lexically_normal()))
                return search;
    }
    return search;
}

DataFolderPlaces processDataFolderPlaces()
{
    DataFolderPlaces places;
    std::error_code ec;
    places.currentDirectory = fs::current_path(ec);
    // The executable's real file: a link to it elsewhere (~/bin/turfwar)
    // still finds the data installed beside the real one.
    places.executable = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        places.executable.clear();
    if (const char* dirs = std::getenv("XDG_DATA_DIRS"))
        places.xdgDataDirs = dirs;
    return places;
}

std::string dataNotFoundText(const DataFolderSearch& search)
{
    std::string text = "Cannot find the game's data (car.txt, car.3ds and the rest). Looked in:\n";
    for (const fs::path& place : search.looked)
        text += "  " + place.string() + "\n";
    text += "Start the game in its data folder, or name the folder with --data DIR.";
    return text;
}

bool enterDataFolder(const std::optional<std::string>& namedFolder, Platform& platform)
{
    const DataFolderSearch search = findDataFolder(namedFolder, processDataFolderPlaces());
    if (!search.folder) {
        platform.showMessageBox(dataNotFoundText(search), kErrorBoxCaption, MessageBoxStyle::OkError);
        return false;
    }
    std::error_code ec;
    fs::current_path(*search.folder, ec);
    if (ec) {
        platform.showMessageBox("Cannot enter the data folder " + search.folder->string() + ": " + ec.message(),
                                kErrorBoxCaption, MessageBoxStyle::OkError);
        return false;
    }
    return true;
}
