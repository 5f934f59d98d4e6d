// Where the game finds its data, through made-up situations: which place
// wins, what is skipped, and what the box lists when nothing is found.

#include "app/data_folder.h"
#include "assets/data_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// A scratch tree in which folders can be made to hold data or not.
class DataFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/turfwar-data-folder-XXXXXX";
        root_ = ::mkdtemp(pattern);
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path make(const std::string& relative, bool withData) const
    {
        const fs::path folder = root_ / relative;
        fs::create_directories(folder);
        if (withData) {
            for (const std::string& name : dataFolderFiles()) {
                fs::create_directories((folder / name).parent_path());
                std::ofstream(folder / name) << "data";
            }
        }
        return folder;
    }
    DataFolderPlaces places(const std::string& cwd, const std::string& executable,
                            std::optional<std::string> xdg = std::nullopt) const
    {
        return {make(cwd, false), executable.empty() ? fs::path() : root_ / executable, std::move(xdg)};
    }

    fs::path root_;
};

TEST_F(DataFolderTest, TakesThePlacesInOrder)
{
    const fs::path installed = make("prefix/share/turfwar", true);
    const fs::path here = make("here", false);
    const DataFolderPlaces p = places("here", "prefix/bin/turfwar");

    // A named folder is taken as it is, even empty: its loaders report what is missing.
    const DataFolderSearch named = findDataFolder(std::string("/no/such/folder"), p);
    EXPECT_EQ(named.folder, fs::path("/no/such/folder"));

    // A current directory without the data is passed over for the installed data.
    DataFolderSearch search = findDataFolder(std::nullopt, p);
    EXPECT_EQ(search.folder, installed);
    ASSERT_EQ(search.looked.size(), 2u);
    EXPECT_EQ(search.looked[0], here);

    // One that holds it wins, as the game has always started in its folder.
    make("here", true);
    search = findDataFolder(std::nullopt, p);
    EXPECT_EQ(search.folder, here);

    // A car file alone does not make a data folder.
    const fs::path lone = make("lone", false);
    std::ofstream(lone / "car.txt") << "car";
    EXPECT_FALSE(holdsGameData(lone));
}

// A folder early in the list that holds only some of the files (a half-copied
// mod, an old install's leftovers) must not hide a whole one later on.
TEST_F(DataFolderTest, APartialFolderDoesNotHideAWholeOne)
{
    const fs::path whole = make("system/turfwar", true);
    const DataFolderPlaces p = places("here", "", (root_ / "early").string() + ":" + (root_ / "system").string());
    for (const std::string& name : dataFolderFiles()) {
        SCOPED_TRACE(name);
        const fs::path partial = make("early/turfwar", true);
        fs::remove(partial / name);
        // A folder standing in a file's place is not that file either.
        if (name == "aasdf.tga")
            fs::create_directory(partial / name);
        DataFolderSearch search = findDataFolder(std::nullopt, p);
        EXPECT_EQ(search.folder, whole);
        // The box, if nothing else were found, says what the partial one lacks.
        search.folder.reset();
        EXPECT_NE(dataNotFoundText(search).find(partial.string() + " (no " + name + ")\n"), std::string::npos)
            << dataNotFoundText(search);
        fs::remove_all(partial);
    }
    // The current directory counts by the same rule.
    const DataFolderSearch fromHere = findDataFolder(std::nullopt, places("here", "", (root_ / "system").string()));
    EXPECT_EQ(fromHere.folder, whole);
    EXPECT_NE(dataNotFoundText(fromHere).find((root_ / "here").string() + " (no car.3ds)"), std::string::npos);
}

// The data the build prepares is a data folder by the same list, named as the
// file system names it.
TEST(DataFolderFiles, TheDefaultDataHoldsThemAll)
{
    EXPECT_TRUE(holdsGameData(TURFWAR_BINARY_DIR "/game"));
    for (const std::string& name : dataFolderFiles())
        EXPECT_EQ(name.find_first_of("\\"), std::string::npos) << name;
}

// Names on standard error: the file system's '/', and a control character in
// a folder's name cannot break the line in two.
TEST(DataFolderMessages, NamesArePrintableAndUseSlashes)
{
    EXPECT_EQ(dataFileNameForMessage("data\\model.ms3d"), "data/model.ms3d");
    EXPECT_EQ(dataFileNameForMessage("fire//12001.bmp"), "fire/12001.bmp");
    EXPECT_EQ(printableName("/tmp/a\nb\tc\x01\x7f\xc3\xa9"), "/tmp/a\\nb\\tc\\x01\\x7f\xc3\xa9");
    DataFolderSearch search;
    search.looked = {"/tmp/line\nbreak"};
    EXPECT_NE(dataNotFoundText(search).find("  /tmp/line\\nbreak\n"), std::string::npos);
}

TEST_F(DataFolderTest, FindsEachLayoutBesideTheExecutable)
{
    // Debian's games layout, whatever layout the build was configured for.
    const fs::path debian = make("usr/share/games/turfwar", true);
    EXPECT_EQ(findDataFolder(std::nullopt, places("cwd", "usr/games/turfwar")).folder, debian);
    // The build's own data folder next to the executables.
    const fs::path build = make("build/game", true);
    EXPECT_EQ(findDataFolder(std::nullopt, places("cwd", "build/turfwar-replay")).folder, build);
}

TEST_F(DataFolderTest, ReadsXdgDataDirsAsTheRulesSay)
{
    const fs::path system = make("system/turfwar", true);
    const fs::path games = make("games-root/games/turfwar", true);
    make("relative/turfwar", true);

    // Empty entries and relative ones (which would depend on where the game starts) are skipped.
    DataFolderSearch search =
        findDataFolder(std::nullopt, places("cwd", "", "::relative:" + (root_ / "system").string()));
    EXPECT_EQ(search.folder, system);
    for (const fs::path& place : search.looked)
        EXPECT_TRUE(place.is_absolute()) << place;

    search = findDataFolder(std::nullopt, places("cwd", "", (root_ / "games-root").string()));
    EXPECT_EQ(search.folder, games);

    // Unset or empty: the default folders, and nothing else.
    for (const std::optional<std::string>& xdg : {std::optional<std::string>(), std::optional<std::string>("")}) {
        search = findDataFolder(std::nullopt, places("cwd", "", xdg));
        EXPECT_EQ(search.looked[1], fs::path("/usr/local/share/turfwar"));
        EXPECT_EQ(search.looked.back(), fs::path("/usr/share/games/turfwar"));
    }
}

TEST_F(DataFolderTest, NothingFoundListsEveryPlaceOnce)
{
    const DataFolderSearch search = findDataFolder(
        std::nullopt, places("cwd", "opt/bin/turfwar", "/nowhere:/nowhere:" + (root_ / "opt/share").string()));
    EXPECT_FALSE(search.folder.has_value());
    const std::string text = dataNotFoundText(search);
    for (const std::string& place : {(root_ / "cwd").string(), (root_ / "opt/share/turfwar").string(),
                                     (root_ / "opt/share/games/turfwar").string(), (root_ / "opt/bin/game").string(),
                                     std::string("/nowhere/turfwar"), std::string("/nowhere/games/turfwar")}) {
        // A place that is there but lacks a file says which: "  PLACE (no FILE)".
        const std::string line = place == (root_ / "cwd").string() ? "  " + place + " (no car.3ds)\n" : "  " + place + "\n";
        const std::size_t at = text.find(line);
        ASSERT_NE(at, std::string::npos) << place << " missing from:\n" << text;
        EXPECT_EQ(text.find(line, at + 1), std::string::npos) << place << " listed twice";
    }
    EXPECT_NE(text.find("--data"), std::string::npos);
}

}  // namespace
