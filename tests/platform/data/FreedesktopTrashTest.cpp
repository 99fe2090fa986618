#include "platform/data/FreedesktopTrash.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace quorvex;
namespace fs = std::filesystem;

namespace {

std::string readText(const fs::path& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

struct stat lstatOf(const fs::path& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info;
}

// A Trash in a temporary folder, items in another, a folder outside both that links point to.
class FreedesktopTrashTest : public ::testing::Test {
protected:
    void SetUp() override {
        base = fs::temp_directory_path() / ("quorvex-trash-" + std::to_string(::getpid()));
        fs::remove_all(base);
        items = base / "items";
        outside = base / "outside";
        fs::create_directories(items);
        fs::create_directories(outside);
        std::ofstream(outside / "keep.txt") << "keep";
    }
    void TearDown() override {
        EXPECT_EQ(readText(outside / "keep.txt"), "keep");
        fs::remove_all(base);
    }

    FreedesktopTrash trash() const {
        return FreedesktopTrash(base / "data/Trash",
                                [] { return QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)); });
    }

    // The record of a trashed item: the original path it names, and its deletion date.
    std::pair<std::string, std::string> recordOf(const std::string& trashedName) const {
        std::istringstream lines(readText(base / "data/Trash/info" / (trashedName + ".trashinfo")));
        std::string line;
        std::getline(lines, line);
        EXPECT_EQ(line, "[Trash Info]");
        std::string path, date;
        while (std::getline(lines, line)) {
            if (line.rfind("Path=", 0) == 0)
                path =
                    QByteArray::fromPercentEncoding(QByteArray::fromStdString(line.substr(5))).toStdString();
            if (line.rfind("DeletionDate=", 0) == 0)
                date = line.substr(13);
        }
        return {path, date};
    }

    fs::path base, items, outside;
};

} // namespace

// Every kind of item and every awkward name goes in by rename, with a record that names where it
// came from; links go in as links.
TEST_F(FreedesktopTrashTest, ItemsGoInWithARecordThatPutsThemBack) {
    struct Case {
        const char* what;
        std::string name;
        std::string kept; // the name in files/ when it differs
        int kind;         // 0 file, 1 folder with contents, 2 link to outside, 3 dangling link
    };
    const std::string longName(255, 'x');
    const Case cases[] = {
        {"a file", "plain.txt", "", 0},
        {"dots only", "...", "", 0},
        {"a leading dash", "-rf", "", 0},
        {"a newline", "new\nline", "", 0},
        {"a byte that is not UTF-8", "\xff", "", 0},
        {"a space and a percent sign", "a b%20c", "", 0},
        {"255 bytes", longName, longName.substr(0, 255 - 10), 0},
        {"a folder", "Folder", "", 1},
        {"a link to a folder outside", "Link", "", 2},
        {"a dangling link", "Dangling", "", 3},
    };
    FreedesktopTrash bin = trash();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path item = items / c.name;
        if (c.kind == 0)
            std::ofstream(item) << "data";
        else if (c.kind == 1)
            std::ofstream((fs::create_directories(item / "inner"), item / "inner/file")) << "data";
        else
            fs::create_symlink(c.kind == 2 ? outside : base / "nowhere", item);
        const ino_t inode = lstatOf(item).st_ino;

        ASSERT_EQ(bin.moveToTrash(item), std::error_code());
        const std::string kept = c.kept.empty() ? c.name : c.kept;
        EXPECT_FALSE(fs::exists(fs::symlink_status(item)));
        EXPECT_EQ(lstatOf(base / "data/Trash/files" / kept).st_ino, inode);
        const auto [path, date] = recordOf(kept);
        EXPECT_EQ(path, item.string());
        EXPECT_EQ(date, "2026-03-04T05:06:07");
    }
    EXPECT_TRUE(fs::is_symlink(base / "data/Trash/files/Link"));
}

// A name in use takes the next free one; an item left in files/ without a record is never
// replaced.
TEST_F(FreedesktopTrashTest, NamesInUseAreNeverReplaced) {
    FreedesktopTrash bin = trash();
    for (int round = 0; round < 2; ++round) {
        std::ofstream(items / "same.txt") << round;
        ASSERT_EQ(bin.moveToTrash(items / "same.txt"), std::error_code());
    }
    std::ofstream(base / "data/Trash/files/same.txt.3") << "stray";
    std::ofstream(items / "same.txt") << 2;
    ASSERT_EQ(bin.moveToTrash(items / "same.txt"), std::error_code());

    EXPECT_EQ(readText(base / "data/Trash/files/same.txt"), "0");
    EXPECT_EQ(readText(base / "data/Trash/files/same.txt.2"), "1");
    EXPECT_EQ(readText(base / "data/Trash/files/same.txt.3"), "stray");
    EXPECT_FALSE(fs::exists(base / "data/Trash/info/same.txt.3.trashinfo"));
    EXPECT_EQ(readText(base / "data/Trash/files/same.txt.4"), "2");
    EXPECT_EQ(recordOf("same.txt.4").first, (items / "same.txt").string());
}

// What a rename cannot reach fails and stays where it is, with no record left behind.
TEST_F(FreedesktopTrashTest, RefusalsMoveNothingAndLeaveNoRecord) {
    FreedesktopTrash bin = trash();
    std::ofstream(outside / "item") << "x";
    EXPECT_EQ(bin.moveToTrash(items / "missing"), std::error_code(ENOENT, std::generic_category()));
    EXPECT_EQ(bin.moveToTrash("relative/item"), std::error_code(EINVAL, std::generic_category()));

    // A link above the item is refused rather than followed.
    fs::create_symlink(outside, items / "via");
    EXPECT_TRUE(bin.moveToTrash(items / "via/item"));
    EXPECT_TRUE(fs::exists(outside / "item"));

    // Another file system: never copied.
    const fs::path shm = fs::path("/dev/shm") / ("quorvex-trash-" + std::to_string(::getpid()));
    std::error_code error;
    fs::create_directories(shm, error);
    struct stat shmInfo = lstatOf(shm);
    if (!error && shmInfo.st_dev != lstatOf(base).st_dev) {
        std::ofstream(shm / "far") << "far";
        EXPECT_EQ(bin.moveToTrash(shm / "far"), std::error_code(EXDEV, std::generic_category()));
        EXPECT_EQ(readText(shm / "far"), "far");
        fs::remove_all(shm);
    }
    EXPECT_TRUE(!fs::exists(base / "data/Trash/info") || fs::is_empty(base / "data/Trash/info"));
}
