#include "actions/SnapshotFileOperations.h"

#include "SnapshotWorld.h"
#include "storage/files/FileError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

using namespace quorvex;
using namespace quorvex::test;
namespace fs = std::filesystem;

namespace {

class SnapshotFileOperationsTest : public ::testing::Test {
protected:
    void SetUp() override {
        base = fixture.home() / "Library/ops";
        fs::create_directories(base);
    }
    SnapshotFileOperations& files = SnapshotFileOperations::local();
    FixtureHome fixture;
    fs::path base;
};

} // namespace

// A swap must never overwrite what it moves onto: rename(2) alone would replace a file or an
// empty folder without a word.
TEST_F(SnapshotFileOperationsTest, MoveNeverReplacesWhatIsThere) {
    writeText(base / "from.txt", "new");
    writeText(base / "to.txt", "old");
    fs::create_directories(base / "from-folder/x");
    fs::create_directories(base / "empty-folder");
    struct Case {
        fs::path from, to;
    };
    for (const Case& c :
         {Case{base / "from.txt", base / "to.txt"}, Case{base / "from-folder", base / "empty-folder"},
          Case{base / "from.txt", base / "empty-folder"}}) {
        SCOPED_TRACE(c.to.filename().string());
        try {
            files.moveItem(c.from, c.to);
            ADD_FAILURE() << "replaced";
        } catch (const FileError& error) {
            EXPECT_EQ(error.code().value(), EEXIST);
        }
    }
    EXPECT_EQ(readText(base / "to.txt"), "old");
    EXPECT_TRUE(fs::is_empty(base / "empty-folder"));
    files.moveItem(base / "from.txt", base / "moved.txt");
    EXPECT_EQ(readText(base / "moved.txt"), "new");
}

TEST_F(SnapshotFileOperationsTest, CopyKeepsLinksAsLinksAndLeavesSpecialFilesOut) {
    const fs::path from = base / "from";
    writeText(from / "a/file.txt", "text");
    fs::create_symlink("/etc", from / "a/link-to-etc");
    ASSERT_EQ(::mkfifo((from / "a/pipe").c_str(), 0600), 0);
    fs::permissions(from / "a", fs::perms::owner_read | fs::perms::owner_exec);

    files.copyItem(from, base / "to");
    EXPECT_EQ(readText(base / "to/a/file.txt"), "text");
    EXPECT_TRUE(fs::is_symlink(base / "to/a/link-to-etc"));
    EXPECT_EQ(fs::read_symlink(base / "to/a/link-to-etc"), "/etc");
    EXPECT_FALSE(fs::exists(fs::symlink_status(base / "to/a/pipe")));
    EXPECT_NE(fs::status(base / "to/a").permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_THROW(files.copyItem(from, base / "to"), FileError) << "the target exists";
    EXPECT_THROW(files.copyItem(base / "missing", base / "to2"), FileError);
}

TEST_F(SnapshotFileOperationsTest, CreateWithoutIntermediatesNeedsAParentAndNoFolder) {
    EXPECT_THROW(files.createFolder(base / "x/y", false), FileError);
    files.createFolder(base / "x", false);
    EXPECT_THROW(files.createFolder(base / "x", false), FileError);
    EXPECT_NO_THROW(files.createFolder(base / "x", true));
    files.createFolder(base / "p/q/r", true);
    EXPECT_TRUE(fs::is_directory(base / "p/q/r"));
    writeText(base / "file", "");
    EXPECT_THROW(files.createFolder(base / "file", true), FileError);
}
