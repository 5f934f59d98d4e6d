// Reading a data file: what may stand where a file is expected, and what the
// reader makes of it. A named pipe must not block and a device must not be
// read for ever; each case gets a reason instead.

#include "assets/data_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class DataFileFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/turfwar-data-file-XXXXXX";
        dir_ = ::mkdtemp(pattern);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    void write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
    }

    fs::path dir_;
};

TEST_F(DataFileFolder, ARegularFileIsReadWholeAndABackslashNamesAFolder)
{
    fs::create_directory(dir_ / "data");
    const std::string bytes("model\0bytes\xff", 12);
    write("data/model.ms3d", bytes);

    std::string reason = "untouched";
    const auto read = readDataFile(path("data\\model.ms3d").c_str(), &reason);
    ASSERT_TRUE(read) << reason;
    EXPECT_EQ(std::string(read->begin(), read->end()), bytes);
    EXPECT_TRUE(dataFileExists(path("data\\model.ms3d").c_str()));

    write("empty.bmp", "");
    const auto empty = readDataFile(path("empty.bmp").c_str());
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());

    // A link to a regular file is that file.
    fs::create_symlink(dir_ / "data/model.ms3d", dir_ / "link.ms3d");
    EXPECT_TRUE(readDataFile(path("link.ms3d").c_str()));
}

TEST_F(DataFileFolder, AnythingButARegularFileIsRefusedUnreadWithItsReason)
{
    struct Case {
        const char* name;
        const char* reason;
        bool exists;
    };
    fs::create_directory(dir_ / "folder.3ds");
    ASSERT_EQ(::mkfifo(path("pipe.tga").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir_ / "zero.bmp");
    fs::create_symlink(dir_ / "nothing", dir_ / "dangling.txt");
    const Case cases[] = {
        {"missing.3ds", "No such file or directory", false},
        {"folder.3ds", "Is a directory", true},
        {"pipe.tga", "Not a regular file", true},  // with no writer: opening it would wait for one
        {"zero.bmp", "Not a regular file", true},  // reading it would never end
        {"dangling.txt", "No such file or directory", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string reason;
        EXPECT_FALSE(readDataFile(path(c.name).c_str(), &reason));
        EXPECT_EQ(reason, c.reason);
        EXPECT_EQ(dataFileExists(path(c.name).c_str()), c.exists);
    }
}

TEST_F(DataFileFolder, AFileLargerThanTheLimitIsRefusedUnread)
{
    // Sparse: as large as the limit says, without writing the bytes.
    const std::string name = path("huge.bmp");
    write("huge.bmp", "");
    ASSERT_EQ(::truncate(name.c_str(), static_cast<off_t>(kMaxDataFileBytes) + 1), 0);
    std::string reason;
    EXPECT_FALSE(readDataFile(name.c_str(), &reason));
    EXPECT_EQ(reason, "Larger than 256 MiB");

    ASSERT_EQ(::truncate(name.c_str(), static_cast<off_t>(kMaxDataFileBytes)), 0);
    const auto atTheLimit = readDataFile(name.c_str(), &reason);
    ASSERT_TRUE(atTheLimit) << reason;
    EXPECT_EQ(atTheLimit->size(), kMaxDataFileBytes);
}

}  // namespace
