#include "storage/files/Cleanup.h"

#include "platform/data/FolderHandle.h"
#include "storage/files/FileError.h"
#include "support/PrivateMounts.h"
#include "tools/Environment.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace quorvex;
namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// Every entry below `root` with its kind and content, links as their targets: equal before and
// after means nothing there was touched.
std::map<std::string, std::string> snapshotOf(const fs::path& root) {
    std::map<std::string, std::string> entries;
    for (fs::recursive_directory_iterator it(root), end; it != end; ++it) {
        const std::string key = it->path().lexically_relative(root).string();
        if (it->is_symlink())
            entries[key] = "link:" + fs::read_symlink(it->path()).string();
        else if (it->is_directory())
            entries[key] = "folder";
        else {
            std::ostringstream text;
            text << std::ifstream(it->path(), std::ios::binary).rdbuf();
            entries[key] = "file:" + text.str();
        }
    }
    return entries;
}

// HOME with ~/Library, and a sentinel tree outside HOME that links inside ~/Library point to.
class CleanupTest : public ::testing::Test {
protected:
    void SetUp() override {
        home = homeDirectoryURL();
        for (const auto& entry : fs::directory_iterator(home))
            fs::remove_all(entry.path());
        library = home / "Library";
        fs::create_directories(library / "Caches");
        sentinel = fs::temp_directory_path() / ("quorvex-sentinel-" + std::to_string(::getpid()));
        fs::remove_all(sentinel);
        writeFile(sentinel / "keep.txt", "keep");
        writeFile(sentinel / "folder/deep/keep.bin", "deep");
        fs::create_symlink(sentinel, library / "Link");
        fs::create_symlink(sentinel / "keep.txt", library / "FileLink");
        fs::create_symlink(library, home / "LibraryAlias");
        before = snapshotOf(sentinel);
    }
    void TearDown() override {
        EXPECT_EQ(snapshotOf(sentinel), before) << "the sentinel outside HOME changed";
        fs::remove_all(sentinel);
        Cleanup::shared().setWorking(false);
    }

    fs::path home, library, sentinel;
    std::map<std::string, std::string> before;
};

// Runs `work` in a child process with a private mount namespace in which `source` is bind-mounted
// on `mountPoint`; the mount goes with the child. The child's answer is its exit status;
// test::kNoMounts when this system does not let it mount.
template <typename Work> int inMountNamespace(const fs::path& source, const fs::path& mountPoint, Work work) {
    return test::inPrivateMounts(
        [&] { return test::bindMount(source, mountPoint) ? work() : test::kNoMounts; });
}

} // namespace

TEST_F(CleanupTest, GuardAcceptsOnlyExistingItemsStrictlyInsideTheResolvedLibrary) {
    writeFile(library / "Caches/x/file", "x");
    struct Case {
        fs::path path;
        bool inside;
    };
    const Case cases[] = {
        {library / "Caches/x", true},
        {library / "Caches/x/file", true},
        {library / "Link", true},     // the link itself, judged where it sits
        {library / "FileLink", true}, // likewise
        {library / "Link/keep.txt", false},
        {home / "LibraryAlias/Caches/x", true},
        {library / "Caches/missing", false},
        {library, false},
        {library / "Caches/../../LibraryAlias", false},
        {sentinel / "keep.txt", false},
        {home, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.string());
        EXPECT_EQ(Cleanup::isInsideUserLibrary(c.path), c.inside);
    }
}

TEST_F(CleanupTest, GuardedDeleteRemovesLinksAsThemselvesAndRefusesOutside) {
    struct Case {
        const char* what;
        fs::path path;
        bool refused;
        bool gone;
    };
    const Case cases[] = {
        {"a link to a folder outside", library / "Link", false, true},
        {"a link to a file outside", library / "FileLink", false, true},
        {"an item behind a link that points outside", library / "Link/keep.txt", true, false},
        {"a folder behind a link that points outside", library / "Link/folder", true, false},
        {"the Library folder itself", library, true, false},
        {"a path that climbs out of Library", library / "Caches/../..", true, false},
        {"an item outside HOME", sentinel / "folder", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        if (c.refused) {
            try {
                Cleanup::removeItem(c.path);
                ADD_FAILURE() << "not refused";
            } catch (const FileError& error) {
                EXPECT_EQ(error.code(), std::error_code(EACCES, std::generic_category()));
            }
            EXPECT_EQ(Cleanup::removeItem(c.path, std::nothrow),
                      std::error_code(EACCES, std::generic_category()));
        } else {
            EXPECT_NO_THROW(Cleanup::removeItem(c.path));
        }
        EXPECT_EQ(fs::exists(fs::symlink_status(c.path)), !c.gone);
        EXPECT_EQ(snapshotOf(sentinel), before);
    }
}

TEST_F(CleanupTest, GuardedDeleteRemovesATreeWithoutFollowingTheLinksInIt) {
    const fs::path victim = library / "Caches/victim";
    writeFile(victim / "a/b/file.txt", "x");
    writeFile(victim / ".hidden", "h");
    fs::create_symlink(sentinel, victim / "a/to-sentinel");
    fs::create_symlink(sentinel / "keep.txt", victim / "a/b/to-file");
    fs::create_hard_link(sentinel / "keep.txt", victim / "hard-link");
    ASSERT_EQ(::mkfifo((victim / "a/pipe").c_str(), 0600), 0);
    fs::permissions(victim / "a/b", fs::perms::owner_read | fs::perms::owner_exec);

    Cleanup::removeItem(victim);
    EXPECT_FALSE(fs::exists(fs::symlink_status(victim)));
    EXPECT_TRUE(fs::exists(library / "Caches"));
}

TEST_F(CleanupTest, GuardedDeleteOfAMissingItemDoesNothing) {
    EXPECT_NO_THROW(Cleanup::removeItem(library / "Caches/missing"));
    EXPECT_NO_THROW(Cleanup::removeItem(home / "not-in-library"));
}

// A tree deeper than PATH_MAX allows by path: removed through descriptors, without recursion.
TEST_F(CleanupTest, GuardedDeleteRemovesATreeDeeperThanAnyPath) {
    const fs::path top = library / "Caches/deep";
    fs::create_directories(top);
    int folder = ::open(top.c_str(), O_RDONLY | O_DIRECTORY);
    for (int depth = 0; depth < 3000; ++depth) {
        ASSERT_EQ(::mkdirat(folder, "d", 0755), 0);
        const int next = ::openat(folder, "d", O_RDONLY | O_DIRECTORY);
        ::close(folder);
        folder = next;
    }
    ::close(::openat(folder, "leaf", O_CREAT | O_WRONLY, 0644));
    ::close(folder);

    Cleanup::removeItem(top);
    EXPECT_FALSE(fs::exists(top));
}

TEST_F(CleanupTest, FoldersAreOpenedWithoutFollowingAnyLinkOnTheWay) {
    fs::create_directories(sentinel / "folder");
    errno = 0;
    EXPECT_FALSE(FolderHandle::openWithoutLinks(AT_FDCWD, (library / "Link/folder").c_str(), false));
    EXPECT_EQ(errno, ELOOP);
    EXPECT_FALSE(FolderHandle::openWithoutLinks(AT_FDCWD, (library / "Link").c_str(), false));
    EXPECT_TRUE(FolderHandle::openWithoutLinks(AT_FDCWD, (library / "Caches").c_str(), false));
}

// A bind mount of the same file system has the same device as its surroundings; the delete must
// still stop at it. A mount point below the target is left alone and reported, a target that is
// itself a mount point is refused. The other side lies in the sentinel outside HOME.
TEST_F(CleanupTest, GuardedDeleteNeverCrossesABindMount) {
    struct Case {
        const char* what;
        fs::path mountPoint;
        fs::path target;
        bool mountAFile;
    };
    const fs::path victim = library / "Caches/victim";
    const Case cases[] = {
        {"a folder bind-mounted inside the target", victim / "a/mounted", victim, false},
        {"the target is itself a bind mount", victim, victim, false},
        {"a file bind-mounted inside the target", victim / "a/file", victim, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(victim);
        writeFile(victim / "a/b/file.txt", "x");
        writeFile(victim / "z.txt", "z");
        if (c.mountAFile)
            writeFile(c.mountPoint, "mount point");
        else
            fs::create_directories(c.mountPoint);
        const fs::path source = c.mountAFile ? sentinel / "keep.txt" : sentinel;
        const int answer = inMountNamespace(source, c.mountPoint, [&] {
            const std::error_code error = Cleanup::removeItem(c.target, std::nothrow);
            return error.value() == EXDEV ? 0 : error ? 1 : 2;
        });
        if (answer == test::kNoMounts)
            GTEST_SKIP() << "this system does not allow a private mount namespace with a bind mount";
        if (!c.mountAFile) {
            EXPECT_EQ(answer, 0) << "1: another error than EXDEV, 2: no error";
        }
        EXPECT_EQ(snapshotOf(sentinel), before);
        if (c.target != c.mountPoint) {
            EXPECT_FALSE(fs::exists(victim / "z.txt"));
            EXPECT_FALSE(fs::exists(victim / "a/b"));
        }
    }
}
