#include "storage/AllocatedSize.h"

#include "storage/DirectoryReader.h"
#include "storage/FolderHandle.h"

#include <QThreadPool>

#include <algorithm>
#include <condition_variable>
#include <dirent.h>
#include <fcntl.h>
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

// One walk: a stack of folders still to read, given as paths relative to the walked folder, which
// stays open for the whole walk. Each worker holds at most one more descriptor (the folder it
// reads), so a walk needs at most threads + 1 descriptors whatever the depth of the tree, and
// no worker recurses. Workers that find the stack empty wait until either another worker pushes
// folders or nobody reads any more, which is the end of the walk. Helpers that start late find
// the walk finished and return; the shared state lives until the last of them has gone.
struct Walk {
    explicit Walk(FolderHandle folder)
        : root(std::move(folder)) {}

    FolderHandle root;
    std::mutex mutex;
    std::condition_variable wake;
    std::vector<std::string> pending{std::string()};
    int reading = 0;
    int helpersLeft = 0;
    std::int64_t total = 0;
};

std::string join(const std::string& folder, const char* name) {
    if (folder.empty())
        return name;
    std::string path;
    path.reserve(folder.size() + 1 + std::char_traits<char>::length(name));
    path.append(folder).push_back('/');
    path.append(name);
    return path;
}

// Reads one folder: adds up its regular files and collects its subfolders. Only folders are ever
// opened; every other kind of entry is looked at with fstatat, which never opens it (a FIFO
// would block) and never follows a link.
std::int64_t readFolder(int root, const std::string& folder, std::vector<std::string>& found) {
    const FolderHandle handle = folder.empty()
                                    ? FolderHandle(::openat(root, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC))
                                    : FolderHandle::openWithoutLinks(root, folder.c_str(), true);
    if (!handle)
        return 0;
    std::int64_t bytes = 0;
    DirectoryReader reader(handle.fd());
    DirectoryReader::Entry entry{};
    while (reader.next(entry)) {
        if (entry.type == DT_DIR) {
            found.push_back(join(folder, entry.name));
            continue;
        }
        if (entry.type != DT_REG && entry.type != DT_UNKNOWN)
            continue;
        struct stat info {};
        if (::fstatat(handle.fd(), entry.name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISREG(info.st_mode))
            bytes += static_cast<std::int64_t>(info.st_blocks) * 512;
        else if (S_ISDIR(info.st_mode))
            found.push_back(join(folder, entry.name));
    }
    return bytes;
}

void startHelper(const std::shared_ptr<Walk>& walk);

void work(const std::shared_ptr<Walk>& walk) {
    std::vector<std::string> found;
    std::unique_lock lock(walk->mutex);
    for (;;) {
        walk->wake.wait(lock, [&] { return !walk->pending.empty() || walk->reading == 0; });
        if (walk->pending.empty())
            return;
        std::string folder = std::move(walk->pending.back());
        walk->pending.pop_back();
        ++walk->reading;
        lock.unlock();

        found.clear();
        const std::int64_t bytes = readFolder(walk->root.fd(), folder, found);

        lock.lock();
        walk->total += bytes;
        --walk->reading;
        for (std::string& path : found)
            walk->pending.push_back(std::move(path));
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

std::int64_t allocatedSize(const std::filesystem::path& path, int threads) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return 0;
    if (S_ISREG(info.st_mode))
        return static_cast<std::int64_t>(info.st_blocks) * 512;
    if (!S_ISDIR(info.st_mode))
        return 0;

    FolderHandle folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder)
        return 0;
    auto walk = std::make_shared<Walk>(std::move(folder));
    const int workers = threads > 0 ? threads : sizePool().maxThreadCount();
    walk->helpersLeft = std::max(0, workers - 1);
    work(walk);
    std::lock_guard lock(walk->mutex);
    return walk->total;
}

} // namespace quorvex
