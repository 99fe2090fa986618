#include "storage/files/AllocatedSize.h"

#include "storage/files/Cleanup.h"
#include "tools/Environment.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorvex;
namespace fs = std::filesystem;

namespace {

std::int64_t blocksOf(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? static_cast<std::int64_t>(info.st_blocks) * 512 : 0;
}

// The reference: lstat of every regular file below `root`, no link followed, hard links once per
// path, the same rule as `find -P root -type f`.
std::int64_t referenceBytes(const fs::path& root) {
    std::int64_t total = 0;
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, error), end;
         it != end; it.increment(error)) {
        if (error)
            break;
        if (it->is_regular_file(error) && !it->is_symlink(error))
            total += blocksOf(it->path());
    }
    return total;
}

void writeFile(const fs::path& path, std::size_t bytes, char fill = 'x') {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << std::string(bytes, fill);
}

// A folder with every kind of entry the walk must tell apart, beside a big file and folder outside
// it that links point to.
class AllocatedSizeTest : public ::testing::Test {
protected:
    void SetUp() override {
        base = fs::temp_directory_path() / ("quorvex-size-" + std::to_string(::getpid()));
        fs::remove_all(base);
        tree = base / "tree";
        outside = base / "outside";
        writeFile(outside / "big.bin", 2 << 20);
        writeFile(outside / "folder/inner.bin", 1 << 20);
        writeFile(tree / "one.txt", 1);
        writeFile(tree / "empty.txt", 0);
        writeFile(tree / ".hidden", 5000);
        writeFile(tree / "App.app/Contents/Info.plist", 700);
        writeFile(tree / "a/b/c/deep.bin", 70 * 1024);
        fs::create_directories(tree / "only/folders/here");
        fs::create_hard_link(tree / "a/b/c/deep.bin", tree / "a/hardlink.bin");
        fs::create_symlink(outside / "big.bin", tree / "link-to-big");
        fs::create_symlink(outside / "folder", tree / "link-to-folder");
        fs::create_symlink(base / "nowhere", tree / "dangling");
        ASSERT_EQ(::mkfifo((tree / "pipe").c_str(), 0644), 0);
        sparse = tree / "sparse.bin";
        {
            std::ofstream(sparse, std::ios::binary).put('x');
            fs::resize_file(sparse, std::uintmax_t(1) << 30);
            std::fstream end(sparse, std::ios::binary | std::ios::in | std::ios::out);
            end.seekp((std::streamoff(1) << 30) - 1);
            end.put('y');
        }
    }
    void TearDown() override { fs::remove_all(base); }

    fs::path base, tree, outside, sparse;
};

} // namespace

TEST_F(AllocatedSizeTest, CountsAllocatedBlocksOfRegularFilesOnly) {
    fs::create_directories(base / "empty-folder");
    struct Case {
        const char* what;
        fs::path path;
        std::int64_t expected;
    };
    const Case cases[] = {
        {"an empty folder", base / "empty-folder", 0},
        {"a folder of folders", tree / "only", 0},
        {"an empty file", tree / "empty.txt", 0},
        {"a one-byte file counts its block", tree / "one.txt", blocksOf(tree / "one.txt")},
        {"a sparse file counts its blocks, not its length", sparse, blocksOf(sparse)},
        {"a link to a big file", tree / "link-to-big", 0},
        {"a link to a folder is not walked", tree / "link-to-folder", 0},
        {"a dangling link", tree / "dangling", 0},
        {"a FIFO is not opened", tree / "pipe", 0},
        {"a missing path", base / "missing", 0},
        {"a package's contents", tree / "App.app", referenceBytes(tree / "App.app")},
        {"a whole tree", tree, referenceBytes(tree)},
    };
    EXPECT_GT(blocksOf(tree / "one.txt"), 1);
    EXPECT_LT(blocksOf(sparse), 1 << 20);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(allocatedSize(c.path), c.expected);
        EXPECT_EQ(allocatedSize(c.path, 1), c.expected);
    }
}

TEST_F(AllocatedSizeTest, CountsHardLinksOncePerPathAndNothingBehindLinks) {
    const std::int64_t deep = blocksOf(tree / "a/b/c/deep.bin");
    EXPECT_EQ(allocatedSize(tree / "a"), 2 * deep);
    EXPECT_LT(allocatedSize(tree), blocksOf(outside / "big.bin"));
}

TEST_F(AllocatedSizeTest, ManyFoldersGiveTheSameSumOnOneThreadAndOnAll) {
    for (int folder = 0; folder < 300; ++folder)
        for (int file = 0; file < 5; ++file)
            writeFile(tree / "wide" / std::to_string(folder % 17) / std::to_string(folder) /
                          ("f" + std::to_string(file)),
                      static_cast<std::size_t>(folder * 37 + file * 1000));
    const std::int64_t expected = referenceBytes(tree);
    EXPECT_EQ(allocatedSize(tree, 1), expected);
    EXPECT_EQ(allocatedSize(tree, 3), expected);
    EXPECT_EQ(allocatedSize(tree), expected);
}

// Root reads every folder whatever its mode, so the unreadable case runs in a child process that
// gives up root first.
TEST_F(AllocatedSizeTest, SkipsAnUnreadableSubfolderAndCountsWhatIsBesideIt) {
    writeFile(tree / "locked/secret.bin", 50'000);
    writeFile(tree / "locked-sibling.bin", 9000);
    fs::permissions(base, fs::perms::all);
    fs::permissions(tree, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec |
                              fs::perms::group_read | fs::perms::group_exec);
    fs::permissions(tree / "locked", fs::perms::owner_all);
    const std::int64_t expected = referenceBytes(tree) - blocksOf(tree / "locked/secret.bin");

    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeEnds[0]);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        const std::int64_t bytes = allocatedSize(tree, 1);
        ::_exit(::write(pipeEnds[1], &bytes, sizeof bytes) == sizeof bytes ? 0 : 4);
    }
    ::close(pipeEnds[1]);
    std::int64_t measured = -1;
    ASSERT_EQ(::read(pipeEnds[0], &measured, sizeof measured), static_cast<ssize_t>(sizeof measured));
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(measured, expected);
}

namespace {

// Builds a tree through descriptors, as deep as wanted, and answers the blocks of the files it
// made: the reference for trees no path can reach.
class DeepTreeBuilder final {
public:
    explicit DeepTreeBuilder(const fs::path& root) {
        fs::create_directories(root);
        m_folder = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    }
    ~DeepTreeBuilder() { ::close(m_folder); }

    void file(const std::string& name, std::size_t bytes) {
        const int fd = ::openat(m_folder, name.c_str(), O_CREAT | O_WRONLY, 0644);
        const std::string text(bytes, 'x');
        EXPECT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        struct stat info {};
        ::fstat(fd, &info);
        m_bytes += static_cast<std::int64_t>(info.st_blocks) * 512;
        ::close(fd);
    }
    // A folder beside the way down, holding one file.
    void side(const std::string& name) {
        ::mkdirat(m_folder, name.c_str(), 0755);
        const int outer = m_folder;
        m_folder = ::openat(outer, name.c_str(), O_RDONLY | O_DIRECTORY);
        file("side-file", 3000);
        ::close(m_folder);
        m_folder = outer;
    }
    void descend(const std::string& name) {
        ::mkdirat(m_folder, name.c_str(), 0755);
        const int next = ::openat(m_folder, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(m_folder);
        m_folder = next;
    }
    std::int64_t bytes() const { return m_bytes; }

private:
    int m_folder = -1;
    std::int64_t m_bytes = 0;
};

} // namespace

// Trees whose paths from the walked folder grow far beyond PATH_MAX: every folder is counted,
// on one thread and on all, whether it is opened from its parent or through the chain of names
// (side folders make other workers take folders whose parent they did not read).
TEST(AllocatedSizeDepthTest, TreesDeeperThanAnyPathAreCountedInFull) {
    struct Shape {
        const char* what;
        int depth;
        std::string name;
        int fileEvery;
        int sideEvery;
    };
    const Shape shapes[] = {
        {"a chain of short names", 600, "folder", 37, 0},
        {"a chain with side folders", 600, "folder", 50, 30},
        {"a chain of long names", 30, std::string(200, 'n'), 3, 2},
    };
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.what);
        const fs::path root = homeDirectoryURL() / "Library/Caches/deep-size";
        std::int64_t expected = 0;
        {
            DeepTreeBuilder builder(root);
            for (int level = 0; level < shape.depth; ++level) {
                if (shape.fileEvery && level % shape.fileEvery == 0)
                    builder.file("file", 4096 + static_cast<std::size_t>(level));
                if (shape.sideEvery && level % shape.sideEvery == 0)
                    builder.side("side-" + std::to_string(level));
                builder.descend(shape.name);
            }
            builder.file("leaf", 10000);
            expected = builder.bytes();
        }
        EXPECT_EQ(allocatedSize(root, 1), expected);
        EXPECT_EQ(allocatedSize(root), expected);
        Cleanup::removeItem(root);
    }
}
