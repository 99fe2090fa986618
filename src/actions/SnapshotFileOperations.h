#pragma once

#include <QByteArray>

#include <filesystem>
#include <string>
#include <vector>

namespace quorvex {

/// The file operations that snapshot save and restore are made of, behind one interface so that
/// tests can make any single one of them fail (root ignores file modes, so chmod cannot). Every
/// operation throws FileError; none follows a symbolic link at the item it acts on.
class SnapshotFileOperations {
public:
    virtual ~SnapshotFileOperations() = default;

    /// Creates a folder. With `intermediate`, missing parents too, and an existing folder is no
    /// error; without, the parent must exist and the folder must not.
    virtual void createFolder(const std::filesystem::path& folder, bool intermediate) = 0;
    /// Copies an item and everything below it to `to`, which must not exist. Links are copied as
    /// links; FIFOs, sockets and devices are left out.
    virtual void copyItem(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    /// Renames within one file system; fails rather than replace an existing `to`.
    virtual void moveItem(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    /// The guarded delete (Cleanup::removeItem).
    virtual void removeItem(const std::filesystem::path& item) = 0;
    /// Names of the direct children of a folder, hidden ones included, in listing order.
    virtual std::vector<std::string> contentsOfFolder(const std::filesystem::path& folder) = 0;
    /// Creates or truncates a file and writes `bytes` to it (not atomically).
    virtual void writeFile(const std::filesystem::path& file, const QByteArray& bytes) = 0;

    /// The real operations on the local file system.
    static SnapshotFileOperations& local();
};

} // namespace quorvex
