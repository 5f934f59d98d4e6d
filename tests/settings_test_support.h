#pragma once
// Shared by the settings tests: field-by-field comparison of Settings records
// and a scratch folder for settings files.

#include "app/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

inline void expectSameSettings(const Settings& actual, const Settings& expected)
{
    EXPECT_EQ(actual.video.fullscreen, expected.video.fullscreen);
    EXPECT_EQ(actual.video.vsync, expected.video.vsync);
    EXPECT_EQ(actual.video.maxFps, expected.video.maxFps);
    EXPECT_EQ(actual.audio.volume, expected.audio.volume);
    EXPECT_EQ(actual.audio.mute, expected.audio.mute);
    EXPECT_EQ(actual.mouse.sensitivity, expected.mouse.sensitivity);
    EXPECT_EQ(actual.mouse.invertY, expected.mouse.invertY);
    EXPECT_EQ(actual.gamepad.deadZone, expected.gamepad.deadZone);
    EXPECT_EQ(actual.gamepad.lookSpeed, expected.gamepad.lookSpeed);
    for (std::size_t i = 0; i < kActionCount; ++i) {
        EXPECT_EQ(actual.keys.bindings[i].kind, expected.keys.bindings[i].kind) << "action " << i;
        EXPECT_EQ(actual.keys.bindings[i].code, expected.keys.bindings[i].code) << "action " << i;
    }
    EXPECT_EQ(actual.dataFolder, expected.dataFolder);
}

// A fresh folder, removed at the end.
class ScratchFolder {
public:
    ScratchFolder()
    {
        char pattern[] = "/tmp/turfwar-settings-XXXXXX";
        dir_ = ::mkdtemp(pattern);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(dir_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Writes a file and answers its full path.
    std::string write(const std::string& name, const std::string& bytes) const
    {
        const std::filesystem::path file = dir_ / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
        return file.string();
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    const std::filesystem::path& dir() const { return dir_; }

private:
    std::filesystem::path dir_;
};
