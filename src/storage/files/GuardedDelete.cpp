#include "storage/files/GuardedDelete.h"

#include "platform/data/FolderHandle.h"
#include "storage/files/DirectoryReader.h"
#include "storage/files/FileError.h"
#include "storage/files/StorageLog.h"
#include "tools/Environment.h"
#include "tools/FileGuards.h"

#include <cerrno>
#include <cstdint>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quorvex {
namespace fs = std::filesystem;

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::error_code errnoCode(int error) {
    return {error, std::generic_category()};
}

bool sameItem(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string libraryPrefix() {
    std::string library = resolvedPath(homeDirectoryURL() / "Library").string();
    if (library.empty() || library.back() != '/')
        library.push_back('/');
    return library;
}

// Removes the entry `name` of the open folder `parent` and everything below it, through folder
// descriptors only. The walk keeps its path as a stack on the heap (no recursion) and holds two
// descriptors at most: it climbs back with "..", and checks that it lands in the folder it came
// from, so a folder moved away during the removal stops it instead of letting it loose elsewhere.
// It never crosses a mount: a target that is a mount point is refused, and mount points below it
// (other devices and bind mounts alike) are left alone and reported. The shown path is kept as
// one string that grows and shrinks in place, so the time stays linear in the depth.
class TreeRemover final {
public:
    TreeRemover(int parent, std::string name, const fs::path& shownPath)
        : m_parent(parent)
        , m_name(std::move(name))
        , m_shown(shownPath.string()) {}

    void run() {
        struct stat parentInfo {};
        struct stat info {};
        if (::fstat(m_parent, &parentInfo) != 0)
            throw FileError(errnoCode(errno), QStringLiteral("removed"), m_shown);
        if (::fstatat(m_parent, m_name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT)
                return;
            throw FileError(errnoCode(errno), QStringLiteral("removed"), m_shown);
        }
        if (!S_ISDIR(info.st_mode)) {
            if (::unlinkat(m_parent, m_name.c_str(), 0) != 0 && errno != ENOENT)
                throw FileError(errnoCode(errno), QStringLiteral("removed"), m_shown);
            return;
        }
        if (info.st_dev != parentInfo.st_dev)
            throw FileError(errnoCode(EXDEV), QStringLiteral("removed"), m_shown);
        m_mount = FolderHandle::mountIdOf(m_parent);
        removeFolderTree(info);
        if (m_firstError)
            throw *m_firstError;
    }

private:
    struct Level {
        std::string name;
        struct stat info;
        size_t shownLength = 0;
        bool listed = false;
        std::vector<std::string> subfolders;
    };

    void record(int error, const std::string& path) {
        if (!m_firstError && error != ENOENT)
            m_firstError.emplace(errnoCode(error), QStringLiteral("removed"), fs::path(path));
    }
    void record(int error, const std::string& folder, const char* name) {
        if (!m_firstError && error != ENOENT)
            record(error, folder + '/' + name);
    }

    // A folder opened below the target must lie on the target's own mount.
    bool onOurMount(int folder) const { return m_mount == 0 || FolderHandle::mountIdOf(folder) == m_mount; }

    void removeFolderTree(const struct stat& rootInfo) {
        FolderHandle current(::openat(m_parent, m_name.c_str(), kFolderFlags));
        struct stat opened {};
        if (!current || ::fstat(current.fd(), &opened) != 0 || !sameItem(opened, rootInfo)) {
            record(current ? EAGAIN : errno, m_shown);
            return;
        }
        if (!onOurMount(current.fd())) {
            record(EXDEV, m_shown);
            return;
        }
        std::vector<Level> levels;
        levels.push_back({m_name, opened, m_shown.size(), false, {}});
        std::string shown = m_shown;

        while (!levels.empty()) {
            Level& level = levels.back();
            if (!level.listed) {
                listAndUnlinkFiles(current.fd(), level, shown);
                level.listed = true;
            }
            if (!level.subfolders.empty()) {
                const std::string name = std::move(level.subfolders.back());
                level.subfolders.pop_back();
                struct stat info {};
                if (::fstatat(current.fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
                    record(errno, shown, name.c_str());
                    continue;
                }
                if (!S_ISDIR(info.st_mode)) {
                    if (::unlinkat(current.fd(), name.c_str(), 0) != 0)
                        record(errno, shown, name.c_str());
                    continue;
                }
                if (info.st_dev != level.info.st_dev) {
                    record(EXDEV, shown, name.c_str());
                    continue;
                }
                FolderHandle child(::openat(current.fd(), name.c_str(), kFolderFlags));
                struct stat childInfo {};
                if (!child || ::fstat(child.fd(), &childInfo) != 0 || !sameItem(childInfo, info)) {
                    record(child ? EAGAIN : errno, shown, name.c_str());
                    continue;
                }
                if (!onOurMount(child.fd())) {
                    record(EXDEV, shown, name.c_str());
                    continue;
                }
                shown.push_back('/');
                shown.append(name);
                levels.push_back({name, childInfo, shown.size(), false, {}});
                current = std::move(child);
                continue;
            }

            const std::string done = level.name;
            levels.pop_back();
            if (levels.empty()) {
                current = FolderHandle();
                if (::unlinkat(m_parent, done.c_str(), AT_REMOVEDIR) != 0)
                    record(errno, shown);
                return;
            }
            FolderHandle parent(::openat(current.fd(), "..", kFolderFlags));
            struct stat parentInfo {};
            if (!parent || ::fstat(parent.fd(), &parentInfo) != 0 ||
                !sameItem(parentInfo, levels.back().info)) {
                // The folder was moved while we were inside it: stop rather than guess.
                record(EAGAIN, shown);
                return;
            }
            current = std::move(parent);
            if (::unlinkat(current.fd(), done.c_str(), AT_REMOVEDIR) != 0)
                record(errno, shown);
            shown.resize(levels.back().shownLength);
        }
    }

    void listAndUnlinkFiles(int folder, Level& level, const std::string& shown) {
        DirectoryReader reader(folder);
        DirectoryReader::Entry entry{};
        while (reader.next(entry)) {
            if (entry.type == DT_DIR || entry.type == DT_UNKNOWN) {
                level.subfolders.emplace_back(entry.name); // looked at again before it is entered
                continue;
            }
            if (::unlinkat(folder, entry.name, 0) != 0)
                record(errno, shown, entry.name);
        }
        if (reader.error() != 0)
            record(reader.error(), shown);
    }

    int m_parent;
    std::string m_name;
    std::string m_shown;
    std::uint64_t m_mount = 0;
    std::optional<FileError> m_firstError;
};

} // namespace

bool GuardedDelete::isInsideUserLibrary(const fs::path& path) {
    const fs::path standard = standardizedPath(path);
    if (!itemExists(standard))
        return false;
    return parentResolvedPath(standard).string().starts_with(libraryPrefix());
}

namespace {

// Resolves once and acts on exactly what was checked: the parent is opened by this resolved path
// with every link refused, so a component swapped for a link since fails the open.
void removeGuarded(const fs::path& path, bool (*allowed)(const fs::path& standard, const fs::path& target)) {
    const fs::path standard = standardizedPath(path);
    if (!itemExists(standard))
        return;
    const fs::path target = parentResolvedPath(standard);
    if (!target.has_filename() || !allowed(standard, target))
        throw FileError::writeNoPermission(standard);
    const FolderHandle parent = FolderHandle::openWithoutLinks(AT_FDCWD, target.parent_path().c_str(), false);
    if (!parent)
        throw FileError(errnoCode(errno), QStringLiteral("removed"), standard);
    TreeRemover(parent.fd(), target.filename().string(), standard).run();
}

} // namespace

void GuardedDelete::removeItem(const fs::path& path) {
    removeGuarded(path, [](const fs::path&, const fs::path& target) {
        return target.string().starts_with(libraryPrefix());
    });
}

std::error_code GuardedDelete::removeCleanupTarget(const fs::path& path) noexcept {
    try {
        removeGuarded(
            path, [](const fs::path& standard, const fs::path&) { return isAllowedCleanupTarget(standard); });
        return {};
    } catch (const FileError& error) {
        return error.code();
    } catch (const std::exception& error) {
        qCWarning(storageLog) << "removal stopped:" << error.what();
        return std::make_error_code(std::errc::io_error);
    } catch (...) {
        return std::make_error_code(std::errc::io_error);
    }
}

std::error_code GuardedDelete::removeItem(const fs::path& path, std::nothrow_t) noexcept {
    try {
        removeItem(path);
        return {};
    } catch (const FileError& error) {
        return error.code();
    } catch (const std::exception& error) {
        qCWarning(storageLog) << "removal stopped:" << error.what();
        return std::make_error_code(std::errc::io_error);
    } catch (...) {
        return std::make_error_code(std::errc::io_error);
    }
}

} // namespace quorvex
