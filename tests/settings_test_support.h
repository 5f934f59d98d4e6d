#pragma once
// Shared by the settings tests: row-by-row comparison of Settings records
// and a scratch folder for settings files.

#include "app/settings.h"
#include "app/settings_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

// Row by row through the settings table, so that a new setting is compared
// as soon as it has a row.
inline void expectSameSettings(const Settings& actual, const Settings& expected)
{
    for (const SettingRow& row : settingsTable()) {
        const SettingValue a = row.get(actual);
        const SettingValue e = row.get(expected);
        EXPECT_TRUE(a == e) << row.section << (row.section.empty() ? "" : ".") << row.key << ": "
                            << settingValueText(row, a) << ", expected " << settingValueText(row, e);
    }
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
