#include "platform/data/FreedesktopTrash.h"

#include "support/PrivateMounts.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <cstddef>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <optional>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
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

    EXPECT_TRUE(!fs::exists(base / "data/Trash/info") || fs::is_empty(base / "data/Trash/info"));
}

// Dotfile setups link the home or its data folder elsewhere: the Trash is found through that link
// once, and below it links are refused as ever.
TEST_F(FreedesktopTrashTest, ATrashReachedThroughALinkedFolderWorksAndLinksBelowItAreRefused) {
    fs::create_directories(base / "real-data");
    fs::create_symlink(base / "real-data", base / "data");
    FreedesktopTrash bin = trash();
    EXPECT_EQ(bin.folder(), base / "real-data/Trash");
    std::ofstream(items / "kept") << "kept";
    ASSERT_EQ(bin.moveToTrash(items / "kept"), std::error_code());
    EXPECT_EQ(readText(base / "real-data/Trash/files/kept"), "kept");

    fs::remove_all(base / "real-data/Trash/files");
    fs::create_symlink(outside, base / "real-data/Trash/files");
    std::ofstream(items / "second") << "second";
    EXPECT_TRUE(bin.moveToTrash(items / "second"));
    EXPECT_TRUE(fs::exists(items / "second"));
    EXPECT_FALSE(fs::exists(outside / "second"));
}

namespace {

// A record's Path, decoded.
std::string recordedPath(const fs::path& record) {
    std::istringstream lines(readText(record));
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with("Path="))
            return QByteArray::fromPercentEncoding(QByteArray::fromStdString(line.substr(5))).toStdString();
    return {};
}

} // namespace

// An item on another drive goes to that drive's own Trash by a rename, never by a copy: the shared
// .Trash/$uid when .Trash is a sticky folder, else .Trash-$uid. A bind mount of the home's own
// drive counts as another drive too, since a rename cannot leave a mount. Each record names the
// item relative to the drive's top folder. Where no Trash can be made, the item stays.
TEST_F(FreedesktopTrashTest, ItemsOnAnotherDriveGoToThatDrivesTrash) {
    const std::string uid = std::to_string(::geteuid());
    const fs::path volume = base / "volume";
    struct Case {
        const char* what;
        bool bind;                        // a bind mount of this drive, not a tmpfs
        std::function<void()> prepare;    // what the drive holds before
        std::optional<std::string> trash; // the Trash folder used, relative to the drive
        std::error_code error;
    };
    const Case cases[] = {
        {"an empty drive", false, [] {}, ".Trash-" + uid, {}},
        {"a sticky shared .Trash",
         false,
         [&] {
             fs::create_directories(volume / ".Trash");
             ::chmod((volume / ".Trash").c_str(), 01777);
         },
         ".Trash/" + uid,
         {}},
        {"a shared .Trash without the sticky bit",
         false,
         [&] { fs::create_directories(volume / ".Trash"); },
         ".Trash-" + uid,
         {}},
        {"a shared .Trash that is a link",
         false,
         [&] {
             fs::create_directories(volume / "elsewhere");
             ::chmod((volume / "elsewhere").c_str(), 01777);
             fs::create_symlink("elsewhere", volume / ".Trash");
         },
         ".Trash-" + uid,
         {}},
        {"a bind mount of this drive", true, [] {}, ".Trash-" + uid, {}},
        {"no Trash can be made", false, [&] { fs::create_symlink(outside, volume / (".Trash-" + uid)); },
         std::nullopt, make_error_code(TrashError::noTrashOnVolume)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(volume);
        fs::create_directories(volume);
        fs::create_directories(base / "bound");
        enum Answer { asExpected = 0, wrongError, notMoved, movedAnyway, badRecord };
        const int answer = test::inPrivateMounts([&]() -> int {
            if (!(c.bind ? test::bindMount(base / "bound", volume) : test::mountTmpfs(volume)))
                return test::kNoMounts;
            c.prepare();
            fs::create_directories(volume / "sub");
            std::ofstream(volume / "sub/far") << "far";
            FreedesktopTrash bin = trash();
            if (bin.moveToTrash(volume / "sub/far") != c.error)
                return wrongError;
            if (!c.trash)
                return fs::exists(volume / "sub/far") ? asExpected : movedAnyway;
            const fs::path used = volume / *c.trash;
            if (readText(used / "files/far") != "far")
                return notMoved;
            return recordedPath(used / "info/far.trashinfo") == "sub/far" ? asExpected : badRecord;
        });
        if (answer == test::kNoMounts)
            GTEST_SKIP() << "this system does not allow a private mount namespace with a mount";
        EXPECT_EQ(answer, asExpected) << "1: wrong error, 2: not moved, 3: moved anyway, 4: bad record";
    }
    EXPECT_TRUE(!fs::exists(base / "data/Trash/info") || fs::is_empty(base / "data/Trash/info"));
}

// Emptying the Trash deletes what lies below each item; a mount point there would take the mounted
// folder with it. An item that is a mount point, or holds one, stays where it is.
TEST_F(FreedesktopTrashTest, AnItemHoldingAMountStaysOut) {
    struct Case {
        const char* what;
        fs::path source;     // what is mounted
        fs::path mountPoint; // where, in the item
    };
    const fs::path item = items / "holder";
    const Case cases[] = {
        {"a mount point inside the item", outside, item / "inner/mounted"},
        {"the item is a mount point", outside, item},
        {"the item is a file mounted over", outside / "keep.txt", item / "inner/file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(item);
        fs::create_directories(item / "inner/mounted");
        std::ofstream(item / "inner/file") << "file";
        const fs::path trashed = c.mountPoint.filename() == "file" ? item / "inner/file" : item;
        const int answer = test::inPrivateMounts([&]() -> int {
            if (!test::bindMount(c.source, c.mountPoint))
                return test::kNoMounts;
            const std::error_code error = trash().moveToTrash(trashed);
            return error == TrashError::holdsMount && fs::exists(trashed) ? 0 : 1;
        });
        if (answer == test::kNoMounts)
            GTEST_SKIP() << "this system does not allow a private mount namespace with a bind mount";
        EXPECT_EQ(answer, 0);
    }
}

namespace {

// Runs `body` in a child process in which openat2 answers ENOSYS, as on kernels before 5.6.
// Answers the body's answer; 200 when the filter cannot be installed.
int withoutOpenat2(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        sock_filter filter[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat2, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (ENOSYS & SECCOMP_RET_DATA)),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
        if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
            ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
            ::_exit(200);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

} // namespace

// Without openat2 the folders are walked one component at a time, each refusing a link, exactly
// as with it: a link anywhere above the item is never followed.
TEST_F(FreedesktopTrashTest, WithoutOpenat2ALinkAboveTheItemIsStillRefused) {
    fs::create_directories(outside / "deeper");
    std::ofstream(outside / "deeper/item") << "x";
    fs::create_symlink(outside, items / "via");
    std::ofstream(items / "plain") << "plain";
    const int answer = withoutOpenat2([&] {
        FreedesktopTrash bin = trash();
        if (::syscall(SYS_openat2, AT_FDCWD, "/", nullptr, 0) != -1 || errno != ENOSYS)
            return 3; // the filter is not in force
        if (!bin.moveToTrash(items / "via/deeper/item"))
            return 1;
        return bin.moveToTrash(items / "plain") ? 2 : 0;
    });
    if (answer == 200)
        GTEST_SKIP() << "this system does not allow a seccomp filter";
    EXPECT_EQ(answer, 0) << "1: the link was followed, 2: a plain item failed, 3: no filter";
    EXPECT_TRUE(fs::exists(outside / "deeper/item"));
}
