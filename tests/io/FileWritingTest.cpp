#include <gtest/gtest.h>
#include <sys/stat.h>

#include "TempFolder.h"
#include "io/FileWriting.h"

namespace quendra {
namespace {

namespace fs = std::filesystem;

using FileWriting = TempFolder;

bool hasTemporaryFiles(const fs::path& folder) {
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().find(".tmp") != std::string::npos) return true;
    return false;
}

// The link stays a link and its target gets the bytes; replacing the link by a file would
// leave the file it pointed to with its old contents.
TEST_F(FileWriting, WritesThroughSymbolicLinks) {
    fs::create_directories(folder / "real");
    writeBytes("real/classes.dat", "old");
    fs::create_symlink("real/classes.dat", folder / "near.dat");  // relative
    fs::create_symlink(folder / "near.dat", folder / "far.dat");  // a chain
    ASSERT_TRUE(writeFileReplacing(path("far.dat"), std::string("new")));
    EXPECT_TRUE(fs::is_symlink(folder / "far.dat"));
    EXPECT_TRUE(fs::is_symlink(folder / "near.dat"));
    EXPECT_EQ(readBytes(folder / "real" / "classes.dat"), "new");
    EXPECT_EQ(followLinks(path("far.dat")), (folder / "real/classes.dat").string());
    EXPECT_FALSE(hasTemporaryFiles(folder / "real"));
}

TEST_F(FileWriting, KeepsThePermissionsOfTheReplacedFile) {
    writeBytes("private.txt", "old");
    fs::permissions(path("private.txt"), fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(writeFileReplacing(path("private.txt"), std::string("new")));
    EXPECT_EQ(fs::status(path("private.txt")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(readBytes(path("private.txt")), "new");
}

// What is not a regular file is refused untouched, and no temporary file stays behind.
TEST_F(FileWriting, RefusesWhatIsNotARegularFileAndLeavesNoTemporaryFile) {
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
    fs::create_directories(folder / "folder");
    EXPECT_FALSE(writeFileReplacing(path("pipe"), std::string("x")));
    EXPECT_FALSE(writeFileReplacing(path("folder"), std::string("x")));
    EXPECT_FALSE(writeFileReplacing(path("missing/file.txt"), std::string("x")));
    EXPECT_TRUE(fs::is_fifo(folder / "pipe"));
    EXPECT_TRUE(fs::is_directory(folder / "folder"));
    EXPECT_FALSE(hasTemporaryFiles(folder));
}

}  // namespace
}  // namespace quendra
