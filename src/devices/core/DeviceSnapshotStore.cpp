#include "devices/core/DeviceSnapshotStore.h"

#include "devices/core/DevicesLog.h"
#include "devices/core/UserFacingError.h"
#include "storage/files/Cleanup.h"
#include "tools/FileGuards.h"

#include <QUuid>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvex {

namespace fs = std::filesystem;

namespace {

void removeQuietly(const fs::path& folder) {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

// Writes `data` to a temporary file beside `target` and renames it into place, so a reader sees
// the whole manifest or none. Written by hand: QSaveFile commits a file cut short when the
// kernel accepts only part of a write (a full disk, a file-size limit).
std::error_code writeAtomically(const fs::path& target, const QByteArray& data) {
    const fs::path temporary =
        target.parent_path() /
        ("." + target.filename().string() + "." + QUuid::createUuid().toString(QUuid::Id128).toStdString());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
        return {errno, std::generic_category()};
    std::error_code error;
    for (qsizetype done = 0; done < data.size() && !error;) {
        const ssize_t written = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (written > 0)
            done += written;
        else if (written < 0 && errno != EINTR)
            error = {errno, std::generic_category()};
    }
    if (!error && ::fsync(fd) != 0)
        error = {errno, std::generic_category()};
    if (::close(fd) != 0 && !error)
        error = {errno, std::generic_category()};
    if (!error && ::rename(temporary.c_str(), target.c_str()) != 0)
        error = {errno, std::generic_category()};
    if (error)
        ::unlink(temporary.c_str());
    return error;
}

} // namespace

fs::path DeviceSnapshotStore::snapshotFolder(const DeviceSnapshot& snapshot) {
    if (!snapshot.folder.empty())
        return snapshot.folder;
    return DeviceSnapshot::rootFolder() / DeviceSnapshot::safeFileName(snapshot.bundleID).toStdString() /
           snapshot.id.toString(QUuid::WithoutBraces).toUpper().toStdString();
}

DeviceSnapshot DeviceSnapshotStore::save(const QString& bundleID, const PhysicalDevice& device,
                                         const QString& name) {
    DeviceSnapshot snapshot;
    snapshot.id = QUuid::createUuid();
    snapshot.name = name;
    snapshot.bundleID = bundleID;
    snapshot.deviceName = device.name;
    snapshot.date = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
    const fs::path folder = snapshotFolder(snapshot);
    std::error_code error;
    fs::create_directories(folder, error);
    if (error)
        throw UserFacingError(QStringLiteral("Couldn’t create the snapshot folder: %1")
                                  .arg(QString::fromStdString(error.message())));
    if (!DeviceApp::copyAppData(bundleID, device.id, folder / "data")) {
        removeQuietly(folder);
        throw UserFacingError(QStringLiteral("Couldn’t copy the app’s data from %1.").arg(device.name));
    }
    snapshot.size = folderSize(folder / "data");
    // The manifest is what makes the folder a snapshot: written whole or not at all, and a
    // folder without one is removed instead of lingering unlisted with the app's data in it.
    if (const std::error_code written = writeAtomically(folder / "info.json", snapshot.encode())) {
        removeQuietly(folder);
        throw UserFacingError(
            QStringLiteral("Couldn’t write the snapshot: %1").arg(QString::fromStdString(written.message())));
    }
    snapshot.folder = folder;
    return snapshot;
}

DeviceSnapshotStore::RestoreResult DeviceSnapshotStore::restore(const DeviceSnapshot& snapshot,
                                                                const DeviceApp& app,
                                                                const PhysicalDevice& device) {
    if (snapshot.bundleID != app.id)
        return {};
    const fs::path backup =
        DeviceSnapshot::rootFolder() /
        (".backup-" + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString());
    std::error_code error;
    fs::create_directories(DeviceSnapshot::rootFolder(), error);
    RestoreResult result;
    if (!DeviceApp::copyAppData(app.id, device.id, backup))
        result.outcome = RestoreOutcome::notStarted;
    else if (pushData(app, device.id, snapshotFolder(snapshot) / "data"))
        result.outcome = RestoreOutcome::restored;
    else if (pushData(app, device.id, backup))
        result.outcome = RestoreOutcome::rolledBack;
    else
        result.outcome = RestoreOutcome::failed;

    if (result.outcome == RestoreOutcome::failed && itemExists(backup)) {
        result.keptBackup = backup;
        return result;
    }
    if (itemExists(backup) && !isSymbolicLink(backup) && isInsideRoot(backup))
        removeQuietly(backup);
    return result;
}

void DeviceSnapshotStore::remove(const DeviceSnapshot& snapshot) {
    if (Cleanup::shared().isWorking())
        throw UserFacingError(Cleanup::kBusyDetail);
    const fs::path folder = snapshotFolder(snapshot);
    if (!itemExists(folder) || isSymbolicLink(folder) || !isInsideRoot(folder))
        return;
    std::error_code error;
    fs::remove_all(folder, error);
    if (error)
        throw UserFacingError(QStringLiteral("“%1” couldn’t be removed: %2")
                                  .arg(snapshot.name, QString::fromStdString(error.message())));
    const fs::path parent = folder.parent_path();
    if (isInsideRoot(parent) && fs::is_empty(parent, error) && !error)
        fs::remove(parent, error);
}

bool DeviceSnapshotStore::pushData(const DeviceApp& app, const QString& deviceID,
                                   const fs::path& localFolder) {
    std::vector<QString> names;
    for (const char* name : {"Documents", "Library", "tmp"}) {
        const fs::path item = localFolder / name;
        if (itemExists(item) && !isSymbolicLink(item))
            names.push_back(QString::fromLatin1(name));
    }
    if (names.empty())
        return false;
    // An app that is not running is fine: the result does not matter.
    DeviceApp::terminateRunning(app, deviceID);
    for (const QString& name : names)
        if (!DeviceApp::pushAppData(name, deviceID, app.id, localFolder)) {
            qCWarning(devicesLog) << "copying" << name << "to" << app.id << "on" << deviceID << "failed";
            return false;
        }
    return true;
}

std::int64_t DeviceSnapshotStore::folderSize(const fs::path& folder) {
    std::int64_t total = 0;
    std::error_code error;
    fs::recursive_directory_iterator entries(folder, fs::directory_options::skip_permission_denied, error);
    if (error)
        return 0;
    for (auto entry = entries; entry != fs::recursive_directory_iterator(); entry.increment(error)) {
        if (error)
            break;
        struct stat info {};
        if (::lstat(entry->path().c_str(), &info) == 0)
            total += std::int64_t(info.st_blocks) * 512;
    }
    return total;
}

bool DeviceSnapshotStore::isInsideRoot(const fs::path& target) {
    const fs::path standardised = target.lexically_normal();
    fs::path name = standardised.filename();
    fs::path parent = standardised.parent_path();
    if (name.empty()) { // "folder/" normalises to a trailing separator
        name = parent.filename();
        parent = parent.parent_path();
    }
    const std::string candidate = resolvedPath(parent).string() + "/" + name.string();
    std::string base = resolvedPath(DeviceSnapshot::rootFolder()).string();
    if (!base.ends_with('/'))
        base += '/';
    return candidate.starts_with(base) && candidate.size() > base.size();
}

} // namespace quorvex
