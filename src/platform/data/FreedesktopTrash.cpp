#include "platform/data/FreedesktopTrash.h"

#include "platform/data/FolderHandle.h"

#include <QByteArray>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quorvex {
namespace fs = std::filesystem;

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr const char* kInfoSuffix = ".trashinfo";

std::error_code errnoCode(int error) {
    return {error, std::generic_category()};
}

bool sameItem(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// An owned descriptor of the record file.
class FileDescriptor final {
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }

private:
    int m_fd;
};

// One line of /proc/self/mountinfo: the mount's number and where it is mounted.
struct Mount {
    std::uint64_t id = 0;
    std::string point;
};

// The kernel writes a space, tab, newline and backslash in a mount point as a backslash and three
// octal digits.
std::string unescapedMountPoint(const std::string& text) {
    std::string point;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            const std::string digits = text.substr(i + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string::npos) {
                point.push_back(static_cast<char>(std::stoi(digits, nullptr, 8)));
                i += 3;
                continue;
            }
        }
        point.push_back(text[i]);
    }
    return point;
}

// The mounts of this process's namespace; nothing when they cannot be read.
std::optional<std::vector<Mount>> mountTable() {
    std::ifstream file("/proc/self/mountinfo");
    if (!file)
        return std::nullopt;
    std::vector<Mount> mounts;
    for (std::string line; std::getline(file, line);) {
        std::istringstream fields(line);
        Mount mount;
        std::string parent, device, root, point;
        if (!(fields >> mount.id >> parent >> device >> root >> point))
            continue;
        mount.point = unescapedMountPoint(point);
        mounts.push_back(std::move(mount));
    }
    return mounts;
}

// Whether `path` (a resolved path) is a mount point or one lies below it. Unreadable mounts count
// as yes: the item then stays where it is rather than risk the Trash reaching into a mount.
bool holdsMountPoint(const fs::path& path, const std::optional<std::vector<Mount>>& mounts) {
    if (!mounts)
        return true;
    std::string prefix = path.string();
    if (prefix.empty() || prefix.back() != '/')
        prefix.push_back('/');
    for (const Mount& mount : *mounts)
        if (mount.point == path.string() || mount.point.starts_with(prefix))
            return true;
    return false;
}

// The top folder of the mount that `folder` lies on: by the mount's number when the kernel gives
// it, else the longest mount point above `path`. A later line shadows an earlier one.
std::optional<fs::path> topFolder(int folder, const fs::path& path, const std::vector<Mount>& mounts) {
    const std::uint64_t id = FolderHandle::mountIdOf(folder);
    std::optional<fs::path> top;
    std::size_t longest = 0;
    for (const Mount& mount : mounts) {
        if (id != 0) {
            if (mount.id == id)
                top = mount.point;
            continue;
        }
        const std::string prefix = mount.point == "/" ? "/" : mount.point + "/";
        const std::string at = path.string() + "/";
        if (at.starts_with(prefix) && mount.point.size() >= longest) {
            top = mount.point;
            longest = mount.point.size();
        }
    }
    return top;
}

// Creates a folder of a Trash owner-only when missing, and opens it without following a link.
FolderHandle makeAndOpen(int at, const char* name) {
    if (::mkdirat(at, name, 0700) != 0 && errno != EEXIST)
        return {};
    return FolderHandle(::openat(at, name, kFolderFlags));
}

// A folder of a Trash on another drive must be this user's own: another user could read or
// replace what goes in.
bool ownFolder(const FolderHandle& folder) {
    struct stat info {};
    return folder && ::fstat(folder.fd(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid();
}

// The Trash of the drive whose top folder is `top`: $top/.Trash/$uid when $top/.Trash is a sticky
// folder that is no link, else $top/.Trash-$uid. An empty handle when neither can be used.
FolderHandle volumeTrash(const FolderHandle& top) {
    const std::string uid = std::to_string(::geteuid());
    struct stat shared {};
    if (::fstatat(top.fd(), ".Trash", &shared, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(shared.st_mode) &&
        (shared.st_mode & S_ISVTX)) {
        const FolderHandle sharedTrash(::openat(top.fd(), ".Trash", kFolderFlags));
        struct stat opened {};
        if (sharedTrash && ::fstat(sharedTrash.fd(), &opened) == 0 && sameItem(opened, shared)) {
            FolderHandle own = makeAndOpen(sharedTrash.fd(), uid.c_str());
            if (ownFolder(own))
                return own;
        }
    }
    FolderHandle own = makeAndOpen(top.fd(), (".Trash-" + uid).c_str());
    return ownFolder(own) ? std::move(own) : FolderHandle();
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

// Whether `folder` lies on the mount of the item's parent, so a rename can reach it.
bool onSameMount(int folder, const struct stat& parentInfo, std::uint64_t parentMount) {
    struct stat info {};
    return ::fstat(folder, &info) == 0 && info.st_dev == parentInfo.st_dev &&
           (parentMount == 0 || FolderHandle::mountIdOf(folder) == parentMount);
}

} // namespace

FreedesktopTrash::FreedesktopTrash(fs::path trashFolder, std::function<QDateTime()> now)
    : m_folder(trashFolder.empty() ? homeTrashFolder() : std::move(trashFolder))
    , m_now(now ? std::move(now) : [] { return QDateTime::currentDateTime(); }) {
    // A home or data folder that is a link (dotfile setups) leads to the real Trash; every link
    // below the folder resolved here is refused when it is opened.
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(m_folder, error);
    if (!error)
        m_folder = resolved;
}

fs::path FreedesktopTrash::homeTrashFolder() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && *dataHome == '/')
        return fs::path(dataHome) / "Trash";
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/") / ".local/share/Trash";
}

namespace {

FolderHandle openHomeTrash(const fs::path& folder) {
    std::error_code ignored;
    fs::create_directories(folder.parent_path(), ignored);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    return FolderHandle::openWithoutLinks(AT_FDCWD, folder.c_str(), false);
}

} // namespace

bool FreedesktopTrash::isAvailable() const {
    return static_cast<bool>(openHomeTrash(m_folder));
}

std::error_code FreedesktopTrash::moveToTrash(const fs::path& path) {
    if (!path.is_absolute() || !path.has_filename())
        return errnoCode(EINVAL);
    const std::string name = path.filename().string();
    if (name == "." || name == "..")
        return errnoCode(EINVAL);
    const FolderHandle parent = FolderHandle::openWithoutLinks(AT_FDCWD, path.parent_path().c_str(), false);
    if (!parent)
        return errnoCode(errno);
    struct stat parentInfo {};
    struct stat item {};
    if (::fstat(parent.fd(), &parentInfo) != 0 ||
        ::fstatat(parent.fd(), name.c_str(), &item, AT_SYMLINK_NOFOLLOW) != 0)
        return errnoCode(errno);
    const std::uint64_t parentMount = FolderHandle::mountIdOf(parent.fd());

    // Emptying the Trash deletes whatever lies below the item; a mount in there would go with it.
    const std::optional<std::vector<Mount>> mounts = mountTable();
    if (holdsMountPoint(path, mounts))
        return make_error_code(TrashError::holdsMount);
    if (S_ISDIR(item.st_mode)) {
        const FolderHandle self(::openat(parent.fd(), name.c_str(), kFolderFlags));
        if (!self)
            return errnoCode(errno);
        if (!onSameMount(self.fd(), parentInfo, parentMount))
            return make_error_code(TrashError::holdsMount);
    }

    // The home Trash when a rename reaches it, else the Trash of the item's own drive, whose
    // records name the item relative to the drive's top folder (the drive may be mounted
    // elsewhere when it is put back).
    FolderHandle trash = openHomeTrash(m_folder);
    fs::path recorded = path;
    if (!trash || !onSameMount(trash.fd(), parentInfo, parentMount)) {
        const std::optional<fs::path> top =
            mounts ? topFolder(parent.fd(), path.parent_path(), *mounts) : std::nullopt;
        const FolderHandle topHandle =
            top ? FolderHandle::openWithoutLinks(AT_FDCWD, top->c_str(), false) : FolderHandle();
        if (!topHandle || !onSameMount(topHandle.fd(), parentInfo, parentMount))
            return make_error_code(TrashError::noTrashOnVolume);
        trash = volumeTrash(topHandle);
        if (!trash || !onSameMount(trash.fd(), parentInfo, parentMount))
            return make_error_code(TrashError::noTrashOnVolume);
        recorded = path.lexically_relative(*top);
        if (recorded.empty() || recorded.begin()->string() == "..")
            recorded = path;
    }
    const FolderHandle files = makeAndOpen(trash.fd(), "files");
    const FolderHandle info = makeAndOpen(trash.fd(), "info");
    if (!files || !info)
        return errnoCode(errno);
    if (!onSameMount(files.fd(), parentInfo, parentMount))
        return make_error_code(TrashError::noTrashOnVolume); // we never copy

    const QByteArray record =
        "[Trash Info]\nPath=" + QByteArray::fromStdString(recorded.string()).toPercentEncoding("/") +
        "\nDeletionDate=" + m_now().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() + "\n";
    for (int attempt = 1; attempt < 10000; ++attempt) {
        const std::string trashed = candidateName(name, attempt);
        const std::string infoName = trashed + kInfoSuffix;
        const FileDescriptor infoFile(::openat(info.fd(), infoName.c_str(),
                                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!infoFile) {
            if (errno == EEXIST)
                continue;
            return errnoCode(errno);
        }
        if (!writeAll(infoFile.get(), record) || ::fsync(infoFile.get()) != 0) {
            const int error = errno ? errno : EIO;
            ::unlinkat(info.fd(), infoName.c_str(), 0);
            return errnoCode(error);
        }
        if (::renameat2(parent.fd(), name.c_str(), files.fd(), trashed.c_str(), RENAME_NOREPLACE) == 0)
            return {};
        const int error = errno;
        ::unlinkat(info.fd(), infoName.c_str(), 0);
        if (error != EEXIST) // an item without a record holds the name: take the next one
            return errnoCode(error);
    }
    return errnoCode(EEXIST);
}

} // namespace quorvex
