#include "app/data_folder.h"

#include "app/error_box.h"
#include "app/platform.h"
#include "assets/data_file.h"
#include "assets/load_report.h"
#include "game/fire_frames.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <system_error>

// Set by the build from the install layouts (cmake/install.cmake): the data
// folder relative to the folder the executables are installed in, and
// relative to the shared-data root ($prefix/share), as string lists.
#ifndef TURFWAR_DATA_FROM_BINDIR
#error "the build names the data folder's places beside the executable"
#endif
#ifndef TURFWAR_DATA_BELOW_DATAROOT
#error "the build names the data folder's places below a shared-data root"
#endif

namespace fs = std::filesystem;

namespace {

// Beside the executable: the layout this build installs, either common
// layout (a Debian package keeps games in /usr/games and their data in
// /usr/share/games, whatever the build was configured with), and the folder
// the build prepares the data in, next to the executables it makes.
constexpr const char* kBesideExecutable[] = {TURFWAR_DATA_FROM_BINDIR};
// Below each $XDG_DATA_DIRS folder: the same layouts.
constexpr const char* kBelowDataRoot[] = {TURFWAR_DATA_BELOW_DATAROOT};
// What the XDG base directory rules say to use when the variable is unset or empty.
constexpr const char* kDefaultXdgDataDirs = "/usr/local/share:/usr/share";

bool isFile(const fs::path& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

}  // namespace

const std::vector<std::string>& dataFolderFiles()
{
    static const std::vector<std::string> files = [] {
        // In the order the start opens them.
        std::vector<std::string> names = {"car.3ds", "wheel.3ds", "data/gun.ms3d", "car.txt"};
        char fire[16];
        std::copy(std::begin(kFirstFireFrameName), std::end(kFirstFireFrameName), fire);
        for (int frame = 0; frame < kFireFrameCount; ++frame) {
            names.push_back(fs::path(fire).lexically_normal().generic_string());
            if (frame + 1 < kFireFrameCount)
                advanceFireFrameName(fire, frame);
        }
        for (const char* name : {"data/model.ms3d", "grass14.bmp", "aasdf.tga", "sky.ms3d"})
            names.push_back(name);
        return names;
    }();
    return files;
}

std::string firstMissingDataFile(const fs::path& folder)
{
    for (const std::string& name : dataFolderFiles())
        if (!isFile(folder / name))
            return name;
    return {};
}

bool holdsGameData(const fs::path& folder) { return firstMissingDataFile(folder).empty(); }

DataFolderSearch findDataFolder(const std::optional<std::string>& namedFolder, const DataFolderPlaces& places)
{
    DataFolderSearch search;
    if (namedFolder) {
        search.looked.push_back(*namedFolder);
        search.lacked.emplace_back();
        search.folder = fs::path(*namedFolder);
        return search;
    }
    auto tryFolder = [&search](const fs::path& folder) {
        if (std::find(search.looked.begin(), search.looked.end(), folder) != search.looked.end())
            return false;
        search.looked.push_back(folder);
        std::error_code ec;
        const bool there = fs::is_directory(folder, ec);
        std::string missing = there ? firstMissingDataFile(folder) : std::string();
        if (there && missing.empty())
            search.folder = folder;
        search.lacked.push_back(std::move(missing));
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
    for (std::size_t i = 0; i < search.looked.size(); ++i) {
        // A folder that holds some of the files says which one it lacks, so
        // a partial copy is not mistaken for a search that missed it.
        text += "  " + printableName(search.looked[i].string());
        if (i < search.lacked.size() && !search.lacked[i].empty())
            text += " (no " + search.lacked[i] + ")";
        text += "\n";
    }
    text += "Start the game in its data folder, or name the folder with --data DIR.";
    return text;
}

std::string dataFileForMessage(const std::string& fileName)
{
    std::error_code ec;
    const fs::path folder = fs::current_path(ec);
    const std::string name = dataFileNameForMessage(fileName);
    if (ec || fs::path(name).is_absolute())
        return name;
    return printableName(folder.string()) + "/" + name;
}

void printLoadNotes(const std::vector<LoadNote>& notes)
{
    for (const LoadNote& note : notes)
        std::fprintf(stderr, "turfwar: %s: %s\n", dataFileForMessage(note.file).c_str(), note.text.c_str());
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
        platform.showMessageBox("Cannot enter the data folder " + printableName(search.folder->string()) + ": " +
                                    ec.message(),
                                kErrorBoxCaption, MessageBoxStyle::OkError);
        return false;
    }
    return true;
}
