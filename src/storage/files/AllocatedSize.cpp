#include "storage/files/AllocatedSize.h"

#include "platform/data/FolderHandle.h"
#include "storage/files/DirectoryReader.h"

#include <QThreadPool>

#include <algorithm>
#include <condition_variable>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace quorvex {
namespace {

// Walks lend folders to this pool rather than to QThreadPool::globalInstance(): the callers
// (scans, snapshot saves) usually run on the global pool themselves, and a walk waiting for
// helpers queued behind itself would add nothing but latency.
QThreadPool& sizePool() {
    static QThreadPool* pool = [] {
        auto* created = new QThreadPool;
        created->setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
        created->setExpiryTimeout(10'000);
        return created;
    }();
    return *pool;
}

// A folder still to read: its name in its parent. The chain of parents leads to the walked
// folder (the node without a parent); a node lives while a folder below it is still waiting.
struct Node {
    Node() = default;
    Node(std::shared_ptr<const Node> parentNode, const char* folderName)
        : parent(std::move(parentNode))
        , name(folderName) {}
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    // Lets go of the chain one node at a time: the default would recurse once per level.
    ~Node() {
        std::shared_ptr<const Node> up = std::move(parent);
        while (up && up.use_count() == 1)
            up = std::move(up->parent);
    }

    mutable std::shared_ptr<const Node> parent;
    std::string name;
};

// One walk: a stack of folders still to read below the walked folder, which stays open for the
// whole walk. A worker opens a folder by name from the folder it read last when that is its
// parent (what a depth-first walk almost always pops), and otherwise from the walked folder
// through the chain of names, a bounded piece of path at a time, so every depth is reached. Each
// worker holds at most two more descriptors (the folder it read last and the one it opens), so a
// walk needs at most 2 * threads + 1 descriptors whatever the depth of the tree, and no worker
// recurses. Workers that find the stack empty wait until either another worker pushes folders or
// nobody reads any more, which is the end of the walk. Helpers that start late find the walk
// finished and return; the shared state lives until the last of them has gone.
struct Walk {
    explicit Walk(FolderHandle folder)
        : root(std::move(folder)) {}

    FolderHandle root;
    std::mutex mutex;
    std::condition_variable wake;
    std::vector<std::shared_ptr<const Node>> pending{std::make_shared<const Node>()};
    int reading = 0;
    int helpersLeft = 0;
    std::int64_t total = 0;
    std::int64_t newest = std::numeric_limits<std::int64_t>::min(); // nanoseconds since the epoch
};

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// The longest piece of path handed to one open; well below PATH_MAX.
constexpr size_t kPieceLength = 2048;

// Opens `node` from the walked folder through its chain of names, a piece of path at a time,
// never following a link and never leaving the walked folder.
FolderHandle openThroughChain(int root, const Node& node) {
    std::vector<const std::string*> names;
    for (const Node* at = &node; at->parent; at = at->parent.get())
        names.push_back(&at->name);
    if (names.empty())
        return FolderHandle(::openat(root, ".", kFolderFlags));
    FolderHandle current;
    std::string piece;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (!piece.empty())
            piece.push_back('/');
        piece.append(**it);
        if (piece.size() < kPieceLength && std::next(it) != names.rend())
            continue;
        current = FolderHandle::openWithoutLinks(current ? current.fd() : root, piece.c_str(), true);
        if (!current)
            return current;
        piece.clear();
    }
    return current;
}

// Reads one folder: adds up its regular files and collects its subfolders. Only folders are ever
// opened; every other kind of entry is looked at with fstatat, which never opens it (a FIFO
// would block) and never follows a link.
std::int64_t nanoseconds(const struct timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

std::int64_t readFolder(int folder, const std::shared_ptr<const Node>& node,
                        std::vector<std::shared_ptr<const Node>>& found, std::int64_t& newest) {
    std::int64_t bytes = 0;
    struct stat own {};
    if (::fstat(folder, &own) == 0)
        newest = std::max(newest, nanoseconds(own.st_mtim));
    DirectoryReader reader(folder);
    DirectoryReader::Entry entry{};
    while (reader.next(entry)) {
        if (entry.type == DT_DIR) {
            found.push_back(std::make_shared<const Node>(node, entry.name));
            continue;
        }
        if (entry.type != DT_REG && entry.type != DT_UNKNOWN)
            continue;
        struct stat info {};
        if (::fstatat(folder, entry.name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISREG(info.st_mode)) {
            bytes += static_cast<std::int64_t>(info.st_blocks) * 512;
            newest = std::max(newest, nanoseconds(info.st_mtim));
        } else if (S_ISDIR(info.st_mode)) {
            found.push_back(std::make_shared<const Node>(node, entry.name));
        }
    }
    return bytes;
}

void startHelper(const std::shared_ptr<Walk>& walk);

void work(const std::shared_ptr<Walk>& walk) {
    std::vector<std::shared_ptr<const Node>> found;
    // The folder this worker read last, kept open so that its subfolders open by name.
    FolderHandle last;
    std::shared_ptr<const Node> lastNode;
    std::unique_lock lock(walk->mutex);
    for (;;) {
        walk->wake.wait(lock, [&] { return !walk->pending.empty() || walk->reading == 0; });
        if (walk->pending.empty())
            return;
        std::shared_ptr<const Node> node = std::move(walk->pending.back());
        walk->pending.pop_back();
        ++walk->reading;
        lock.unlock();

        found.clear();
        FolderHandle folder = last && node->parent == lastNode
                                  ? FolderHandle(::openat(last.fd(), node->name.c_str(), kFolderFlags))
                                  : openThroughChain(walk->root.fd(), *node);
        std::int64_t bytes = 0;
        std::int64_t newest = std::numeric_limits<std::int64_t>::min();
        if (folder) {
            bytes = readFolder(folder.fd(), node, found, newest);
            last = std::move(folder);
            lastNode = node;
        }

        lock.lock();
        walk->total += bytes;
        walk->newest = std::max(walk->newest, newest);
        --walk->reading;
        for (std::shared_ptr<const Node>& child : found)
            walk->pending.push_back(std::move(child));
        // More folders waiting than this thread can take next: bring in one more helper.
        const bool moreHelp = walk->pending.size() > 1 && walk->helpersLeft > 0;
        if (moreHelp)
            --walk->helpersLeft;
        // Wake one waiter per new folder, and everyone only when the walk is over.
        if (walk->reading == 0 && walk->pending.empty())
            walk->wake.notify_all();
        else
            for (size_t i = 0; i < found.size(); ++i)
                walk->wake.notify_one();
        if (moreHelp) {
            lock.unlock();
            startHelper(walk);
            lock.lock();
        }
    }
}

void startHelper(const std::shared_ptr<Walk>& walk) {
    sizePool().start([walk] { work(walk); });
}

} // namespace

TreeSummary summarizeTree(const std::filesystem::path& path, int threads) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return {};
    if (S_ISREG(info.st_mode))
        return {static_cast<std::int64_t>(info.st_blocks) * 512, nanoseconds(info.st_mtim)};
    if (!S_ISDIR(info.st_mode))
        return {};

    FolderHandle folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder)
        return {};
    auto walk = std::make_shared<Walk>(std::move(folder));
    const int workers = threads > 0 ? threads : sizePool().maxThreadCount();
    walk->helpersLeft = std::max(0, workers - 1);
    work(walk);
    std::lock_guard lock(walk->mutex);
    TreeSummary summary{walk->total, std::nullopt};
    if (walk->newest != std::numeric_limits<std::int64_t>::min())
        summary.newestModification = walk->newest;
    return summary;
}

std::int64_t allocatedSize(const std::filesystem::path& path, int threads) {
    return summarizeTree(path, threads).bytes;
}

} // namespace quorvex
