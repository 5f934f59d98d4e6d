#pragma once
// Reading a data file whole. Every file the game and its tools read goes
// through here, so the rules for what may be read live in one place:
// - a '\' in a name is taken as '/' (data files name folders the Windows way,
//   "data\gun.ms3d");
// - only a regular file is read (symbolic links are followed): a folder, a
//   named pipe, a socket or a device such as /dev/zero is refused before a
//   byte is read, so nothing can block the start or fill the memory;
// - a file larger than kMaxDataFileBytes is refused unread.
// Anything refused reads as a file that cannot be opened; the reason says why
// in the words strerror would use.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Far beyond any model, texture or script the game uses (the largest default
// file is under 1 MiB), and small enough to allocate at once.
inline constexpr std::size_t kMaxDataFileBytes = std::size_t{256} << 20;

// The file's bytes, or empty with reason (when given) saying why, e.g.
// "No such file or directory", "Is a directory", "Not a regular file".
std::optional<std::vector<std::uint8_t>> readDataFile(const char* fileName, std::string* reason = nullptr);

// Whether anything stands under the name (a file, a folder, a pipe, a
// device), found without opening it, so that a pipe cannot block the test.
bool dataFileExists(const char* fileName);

// Any name for a line of standard error: control characters (a newline in a
// folder's name would break the line in two) are written as \n, \t or \xHH.
std::string printableName(std::string_view name);

// A data file's name as the file system sees it, for standard error: '\'
// taken as '/', doubled slashes folded ("fire//12001.bmp" is
// fire/12001.bmp), then printable.
std::string dataFileNameForMessage(std::string_view fileName);
