#pragma once
// Where the game's data is. The game opens its files by names relative to
// the working directory, so the entry point finds the folder once and starts
// the game inside it. The places, in order:
//   1. the folder the player named (--data), taken as it is;
//   2. the current directory, when it holds the game's files (so starting the
//      game inside its data folder works as it always has);
//   3. beside the executable: the installed data folder (kept at the same
//      place relative to the installed executable, so an install under any
//      prefix works with nothing set: ../share/turfwar, or
//      ../share/games/turfwar in Debian's games layout), then the folder the
//      build prepares next to the executables it makes ("game");
//   4. each absolute folder of $XDG_DATA_DIRS (default
//      /usr/local/share:/usr/share), with turfwar or games/turfwar below it.
// Only the first needs no files in it: a folder the player names is trusted,
// and what is missing there is reported by the loaders as usual. Any other
// place counts only when it holds every file of dataFolderFiles(), so a
// leftover or half-copied folder early in the list cannot hide a whole one.

#include "assets/load_report.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class Platform;

// What the search reads from the process, gathered in one place so a test
// can hand in any situation.
struct DataFolderPlaces {
    std::filesystem::path currentDirectory;
    std::filesystem::path executable;  // this program's file; empty when unknown
    std::optional<std::string> xdgDataDirs;  // unset when the variable is
};

struct DataFolderSearch {
    std::optional<std::filesystem::path> folder;  // found: start the game here
    std::vector<std::filesystem::path> looked;    // every place tried, in order
    // Beside looked: the first file a place lacked, empty for the place
    // taken and for one that is not there at all (nothing to report).
    std::vector<std::string> lacked;
};

// The files the start opens by name, as paths below the data folder ('/'
// between folders): the car file, the meshes and models, the ground, the
// marker and the fire frames. Textures a model names are the model's choice
// (a modder may rename them), and sounds are no part of the start.
const std::vector<std::string>& dataFolderFiles();

// The first of dataFolderFiles() that is not a regular file in the folder
// (links followed); empty when the folder holds them all.
std::string firstMissingDataFile(const std::filesystem::path& folder);

// True when the folder holds every file of dataFolderFiles().
bool holdsGameData(const std::filesystem::path& folder);

// The places above, in order; the folder is the first that qualifies.
DataFolderSearch findDataFolder(const std::optional<std::string>& namedFolder, const DataFolderPlaces& places);

// The running process's working directory, executable and environment.
DataFolderPlaces processDataFolderPlaces();

// The text of the box shown when no place held the data.
std::string dataNotFoundText(const DataFolderSearch& search);

// A data file's name for standard error: its path in the data folder the
// game runs in (the working directory), so a line names the folder that was
// chosen; '\' taken as '/' and control characters escaped.
std::string dataFileForMessage(const std::string& fileName);

// One line on standard error per note: "turfwar: PATH: TEXT".
void printLoadNotes(const std::vector<LoadNote>& notes);

// Finds the data and makes it the working directory. On failure shows a box
// on the platform (what was tried, or why the named folder cannot be
// entered) and returns false; the game then ends with kExitBadGameData.
bool enterDataFolder(const std::optional<std::string>& namedFolder, Platform& platform);
