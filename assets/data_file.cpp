#include "assets/data_file.h"

#include "assets/file_descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

constexpr const char* kTooLarge = "Larger than 256 MiB";

void setReason(std::string* reason, const char* text)
{
    if (reason != nullptr)
        *reason = text;
}

std::string localFileName(const char* fileName)
{
    std::string name = fileName;
    for (char& c : name) {
        if (c == '\\')
            c = '/';
    }
    return name;
}

}  // namespace

bool dataFileExists(const char* fileName)
{
    struct stat info {};
    return ::stat(localFileName(fileName).c_str(), &info) == 0;
}

std::optional<std::vector<std::uint8_t>> readDataFile(const char* fileName, std::string* reason)
{
    // Without O_NONBLOCK, opening a named pipe waits for a writer for ever;
    // a regular file ignores the flag.
    const FileDescriptor file(::open(localFileName(fileName).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) {
        setReason(reason, std::strerror(errno));
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        setReason(reason, std::strerror(errno));
        return std::nullopt;
    }
    if (S_ISDIR(info.st_mode)) {
        setReason(reason, std::strerror(EISDIR));
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        setReason(reason, "Not a regular file");
        return std::nullopt;
    }
    if (info.st_size < 0 || static_cast<std::uint64_t>(info.st_size) > kMaxDataFileBytes) {
        setReason(reason, kTooLarge);
        return std::nullopt;
    }

    // One read of the size the file reports, then whatever it has grown by
    // since, up to the limit.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
    std::size_t used = 0;
    std::uint8_t block[4096];
    for (;;) {
        const bool inPlace = used < bytes.size();
        const ssize_t got = inPlace ? ::read(file.get(), bytes.data() + used, bytes.size() - used)
                                    : ::read(file.get(), block, sizeof block);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            setReason(reason, std::strerror(errno));
            return std::nullopt;
        }
        if (got == 0)
            break;
        if (!inPlace) {
            if (bytes.size() + static_cast<std::size_t>(got) > kMaxDataFileBytes) {
                setReason(reason, kTooLarge);
                return std::nullopt;
            }
            bytes.insert(bytes.end(), block, block + got);
        }
        used += static_cast<std::size_t>(got);
    }
    bytes.resize(used);
    return bytes;
}

std::string printableName(std::string_view name)
{
    std::string shown;
    shown.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            shown += "\\n";
        } else if (c == '\t') {
            shown += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            shown += escaped;
        } else {
            shown += c;
        }
    }
    return shown;
}

std::string dataFileNameForMessage(std::string_view fileName)
{
    std::string name(fileName);
    for (char& c : name)
        if (c == '\\')
            c = '/';
    return printableName(std::filesystem::path(name).lexically_normal().generic_string());
}
