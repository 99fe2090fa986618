#include "platform/data/FreedesktopTrash.h"

#include <QByteArray>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <linux/openat2.h>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quorvex {
namespace fs = std::filesystem;

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr const char* kInfoSuffix = ".trashinfo";

std::error_code errnoCode(int error) {
    return {error, std::generic_category()};
}

// An owned descriptor; platform code cannot use the storage engine's folder handle.
class Fd final {
public:
    explicit Fd(int fd = -1)
        : m_fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }

private:
    int m_fd;
};

// Opens a folder by an absolute path with every link on the way refused.
int openFolderWithoutLinks(const fs::path& path) {
    open_how how{};
    how.flags = kFolderFlags;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    long fd = -1;
    do
        fd = ::syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how);
    while (fd < 0 && (errno == EINTR || errno == EAGAIN));
    if (fd < 0 && errno == ENOSYS)
        fd = ::open(path.c_str(), kFolderFlags);
    return static_cast<int>(fd);
}

// Creates a folder of the Trash owner-only when missing, and opens it without following links.
int openTrashFolder(const fs::path& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return -1;
    return openFolderWithoutLinks(path);
}

// The name an item takes in files/: its own, then "name.2", "name.3"... cut so that the record's
// name (with ".trashinfo") still fits in one component.
std::string candidateName(const std::string& name, int attempt) {
    const std::string suffix = attempt == 1 ? std::string() : "." + std::to_string(attempt);
    const size_t room = NAME_MAX - std::char_traits<char>::length(kInfoSuffix) - suffix.size();
    return name.substr(0, room) + suffix;
}

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

} // namespace

FreedesktopTrash::FreedesktopTrash(fs::path trashFolder, std::function<QDateTime()> now)
    : m_folder(trashFolder.empty() ? homeTrashFolder() : std::move(trashFolder))
    , m_now(now ? std::move(now) : [] { return QDateTime::currentDateTime(); }) {}

fs::path FreedesktopTrash::homeTrashFolder() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && *dataHome == '/')
        return fs::path(dataHome) / "Trash";
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/") / ".local/share/Trash";
}

bool FreedesktopTrash::isAvailable() const {
    std::error_code error;
    fs::create_directories(m_folder.parent_path(), error);
    const Fd trash(openTrashFolder(m_folder));
    return static_cast<bool>(trash);
}

std::error_code FreedesktopTrash::moveToTrash(const fs::path& path) {
    if (!path.is_absolute() || !path.has_filename())
        return errnoCode(EINVAL);
    const std::string name = path.filename().string();
    if (name == "." || name == "..")
        return errnoCode(EINVAL);
    std::error_code ignored;
    fs::create_directories(m_folder.parent_path(), ignored);
    const Fd trash(openTrashFolder(m_folder));
    if (!trash)
        return errnoCode(errno);
    if (::mkdirat(trash.get(), "files", 0700) != 0 && errno != EEXIST)
        return errnoCode(errno);
    if (::mkdirat(trash.get(), "info", 0700) != 0 && errno != EEXIST)
        return errnoCode(errno);
    const Fd files(::openat(trash.get(), "files", kFolderFlags));
    const Fd info(::openat(trash.get(), "info", kFolderFlags));
    const Fd parent(openFolderWithoutLinks(path.parent_path()));
    if (!files || !info || !parent)
        return errnoCode(errno);

    struct stat item {};
    struct stat target {};
    if (::fstatat(parent.get(), name.c_str(), &item, AT_SYMLINK_NOFOLLOW) != 0)
        return errnoCode(errno);
    if (::fstat(files.get(), &target) != 0)
        return errnoCode(errno);
    if (item.st_dev != target.st_dev)
        return errnoCode(EXDEV); // a rename cannot reach the Trash, and we never copy

    const QByteArray record =
        "[Trash Info]\nPath=" + QByteArray::fromStdString(path.string()).toPercentEncoding("/") +
        "\nDeletionDate=" + m_now().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() + "\n";
    for (int attempt = 1; attempt < 10000; ++attempt) {
        const std::string trashed = candidateName(name, attempt);
        const std::string infoName = trashed + kInfoSuffix;
        const Fd infoFile(::openat(info.get(), infoName.c_str(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!infoFile) {
            if (errno == EEXIST)
                continue;
            return errnoCode(errno);
        }
        if (!writeAll(infoFile.get(), record) || ::fsync(infoFile.get()) != 0) {
            const int error = errno ? errno : EIO;
            ::unlinkat(info.get(), infoName.c_str(), 0);
            return errnoCode(error);
        }
        if (::renameat2(parent.get(), name.c_str(), files.get(), trashed.c_str(), RENAME_NOREPLACE) == 0)
            return {};
        const int error = errno;
        ::unlinkat(info.get(), infoName.c_str(), 0);
        if (error != EEXIST) // an item without a record holds the name: take the next one
            return errnoCode(error);
    }
    return errnoCode(EEXIST);
}

} // namespace quorvex
