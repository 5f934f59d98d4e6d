#pragma once
// A fresh folder for the game to start in, made the working directory for the
// life of the object (the game reads its data from there); the previous
// working directory comes back at the end and the folder is removed.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class GameFolder {
public:
    enum class Contents { Empty, DefaultData };

    explicit GameFolder(Contents contents = Contents::DefaultData)
    {
        namespace fs = std::filesystem;
        previous_ = fs::current_path();
        char pattern[] = "/tmp/turfwar-game-XXXXXX";
        dir_ = ::mkdtemp(pattern);
        if (contents == Contents::DefaultData)
            fs::copy(TURFWAR_BINARY_DIR "/game", dir_, fs::copy_options::recursive);
        fs::current_path(dir_);
    }
    ~GameFolder()
    {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    GameFolder(const GameFolder&) = delete;
    GameFolder& operator=(const GameFolder&) = delete;

    // Replaces (or adds) one file, relative to the folder.
    void write(const std::string& name, const std::string& bytes) const
    {
        const std::filesystem::path file = dir_ / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
    }
    void remove(const std::string& name) const { std::filesystem::remove(dir_ / name); }
    const std::filesystem::path& path() const { return dir_; }

private:
    std::filesystem::path previous_;
    std::filesystem::path dir_;
};
