#include "devices/core/DeviceSnapshotStore.h"

#include "devices/core/DevicesLog.h"
#include "devices/core/UserFacingError.h"
#include "storage/files/Cleanup.h"
#include "tools/FileGuards.h"
#include "tools/ToolCancellation.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvex {

namespace fs = std::filesystem;

namespace {

// Hidden folders directly in the root, each named after its role and a fresh UUID.
const std::string kSaving = ".saving-";
const std::string kBackup = ".backup-";
const std::string kDeleting = ".deleting-";
const std::string kDownload = ".download-";
const char* const kJournal = "restore.json";
const char* const kManifest = "info.json";

std::string uuidText(const QUuid& id = QUuid::createUuid()) {
    return id.toString(QUuid::WithoutBraces).toUpper().toStdString();
}

bool isCancelled(const ToolCancellation* cancellation) {
    return cancellation && cancellation->isCancelled();
}

// Removes an item of the root through the guarded delete (never follows a link, never leaves
// ~/Library); anything else is left alone. It leaves its place in one rename first, so a removal
// cut short never leaves half a backup or staging folder to be taken for a whole one.
std::error_code removeFromRoot(const fs::path& item) {
    if (!itemExists(item) || !DeviceSnapshotStore::isInsideRoot(item))
        return {};
    const fs::path doomed = DeviceSnapshot::rootFolder() / (kDeleting + uuidText());
    const fs::path removed = ::rename(item.c_str(), doomed.c_str()) == 0 ? doomed : item;
    return Cleanup::removeItem(removed, std::nothrow);
}

void removeQuietly(const fs::path& item) {
    removeFromRoot(item);
}

// Writes `data` to a temporary file beside `target` and renames it into place, so a reader sees
// the whole file or none. Written by hand: QSaveFile commits a file cut short when the kernel
// accepts only part of a write (a full disk, a file-size limit).
std::error_code writeAtomically(const fs::path& target, const QByteArray& data) {
    const fs::path temporary = target.parent_path() / ("." + target.filename().string() + "." + uuidText());
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

// Renames without replacing anything that is there.
std::error_code renameNoReplace(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0)
        return {errno, std::generic_category()};
    return {};
}

std::optional<QByteArray> readSmallFile(const fs::path& path) {
    std::error_code error;
    // Only a regular file: opening a FIFO put there would block.
    if (!fs::is_regular_file(fs::symlink_status(path, error)))
        return std::nullopt;
    QFile file(QString::fromStdString(path.string()));
    if (!file.open(QIODevice::ReadOnly) || file.size() > 1 << 20)
        return std::nullopt;
    return file.readAll();
}

// What a restore writes beside its copy of the app's data before it touches the device, and
// again before it pushes: from "pushing" on, the copy is the only sure copy of that data.
struct Journal {
    enum class Phase { copying, pushing };
    Phase phase = Phase::copying;
    QString bundleID;
    QString deviceName;
    QString snapshotName;
    QDateTime started;

    QByteArray encode() const {
        QJsonObject object;
        object.insert(QLatin1String("phase"),
                      phase == Phase::pushing ? QStringLiteral("pushing") : QStringLiteral("copying"));
        object.insert(QLatin1String("bundleID"), bundleID);
        object.insert(QLatin1String("deviceName"), deviceName);
        object.insert(QLatin1String("snapshotName"), snapshotName);
        object.insert(QLatin1String("started"), started.toUTC().toString(Qt::ISODate));
        return QJsonDocument(object).toJson(QJsonDocument::Compact);
    }

    static std::optional<Journal> read(const fs::path& backup) {
        const auto data = readSmallFile(backup / kJournal);
        if (!data)
            return std::nullopt;
        const QJsonObject object = QJsonDocument::fromJson(*data).object();
        for (const char* key : {"phase", "bundleID", "deviceName", "snapshotName", "started"})
            if (!object.value(QLatin1String(key)).isString())
                return std::nullopt;
        Journal journal;
        const QString phase = object.value(QLatin1String("phase")).toString();
        if (phase != QLatin1String("copying") && phase != QLatin1String("pushing"))
            return std::nullopt;
        journal.phase = phase == QLatin1String("pushing") ? Phase::pushing : Phase::copying;
        journal.bundleID = object.value(QLatin1String("bundleID")).toString();
        journal.deviceName = object.value(QLatin1String("deviceName")).toString();
        journal.snapshotName = object.value(QLatin1String("snapshotName")).toString();
        journal.started =
            QDateTime::fromString(object.value(QLatin1String("started")).toString(), Qt::ISODate);
        if (!journal.started.isValid())
            journal.started = QDateTime::currentDateTimeUtc();
        return journal;
    }
};

// Snapshot folders a restore reads or a delete removes right now: each refuses the other.
std::mutex g_inUseLock;
std::set<fs::path> g_inUse;

class InUse final {
public:
    explicit InUse(fs::path folder)
        : m_folder(std::move(folder).lexically_normal()) {
        const std::lock_guard lock(g_inUseLock);
        m_claimed = g_inUse.insert(m_folder).second;
    }
    ~InUse() {
        if (!m_claimed)
            return;
        const std::lock_guard lock(g_inUseLock);
        g_inUse.erase(m_folder);
    }
    InUse(const InUse&) = delete;
    InUse& operator=(const InUse&) = delete;
    explicit operator bool() const { return m_claimed; }

private:
    fs::path m_folder;
    bool m_claimed = false;
};

// Makes a restore's backup (its data and journal) a snapshot of the app: the manifest goes in
// first, then the folder moves into the app's folder in one rename. The snapshot, or nothing
// when the folder stays where it is (it is then found again at the next start).
std::optional<DeviceSnapshot> keepAsSnapshot(const fs::path& backup, const Journal& journal) {
    DeviceSnapshot kept;
    kept.id = QUuid::createUuid();
    kept.name = DeviceSnapshotStore::keptSnapshotName(journal.snapshotName);
    kept.bundleID = journal.bundleID;
    kept.deviceName = journal.deviceName;
    kept.date = QDateTime::fromSecsSinceEpoch(journal.started.toSecsSinceEpoch(), Qt::UTC);
    kept.size = DeviceSnapshotStore::folderSize(backup / "data");
    if (const std::error_code error = writeAtomically(backup / kManifest, kept.encode())) {
        qCWarning(devicesLog) << "couldn’t write the manifest of the kept restore backup:"
                              << error.message().c_str();
        return std::nullopt;
    }
    const fs::path target = DeviceSnapshotStore::snapshotFolder(kept);
    std::error_code error;
    fs::create_directories(target.parent_path(), error);
    if (!error)
        error = renameNoReplace(backup, target);
    if (error) {
        qCWarning(devicesLog) << "couldn’t move the kept restore backup into place:"
                              << error.message().c_str();
        return std::nullopt;
    }
    fs::remove(target / kJournal, error);
    kept.folder = target;
    return kept;
}

// A staging folder of a save that wrote its manifest goes into place; any other is removed.
bool finishSave(const fs::path& staging) {
    const auto manifest = readSmallFile(staging / kManifest);
    const auto snapshot = manifest ? DeviceSnapshot::decode(*manifest) : std::nullopt;
    if (snapshot && fs::is_directory(fs::symlink_status(staging / "data"))) {
        const fs::path target = DeviceSnapshotStore::snapshotFolder(*snapshot);
        std::error_code error;
        fs::create_directories(target.parent_path(), error);
        if (!error && !renameNoReplace(staging, target))
            return true;
    }
    removeQuietly(staging);
    return false;
}

} // namespace

fs::path DeviceSnapshotStore::snapshotFolder(const DeviceSnapshot& snapshot) {
    if (!snapshot.folder.empty())
        return snapshot.folder;
    return DeviceSnapshot::rootFolder() / DeviceSnapshot::safeFileName(snapshot.bundleID).toStdString() /
           uuidText(snapshot.id);
}

QString DeviceSnapshotStore::keptSnapshotName(const QString& snapshotName) {
    return QStringLiteral("Before restoring “") + snapshotName + QStringLiteral("”");
}

DeviceSnapshot DeviceSnapshotStore::save(const QString& bundleID, const PhysicalDevice& device,
                                         const QString& name, ToolCancellation* cancellation) {
    DeviceSnapshot snapshot;
    snapshot.id = QUuid::createUuid();
    snapshot.name = name;
    snapshot.bundleID = bundleID;
    snapshot.deviceName = device.name;
    snapshot.date = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
    // Copied and described out of sight, then moved into the app's folder in one rename: a save
    // killed on the way leaves only a staging folder, which the next start clears.
    const fs::path staging = DeviceSnapshot::rootFolder() / (kSaving + uuidText(snapshot.id));
    std::error_code error;
    fs::create_directories(staging, error);
    if (error)
        throw UserFacingError(QStringLiteral("Couldn’t create the snapshot folder: %1")
                                  .arg(QString::fromStdString(error.message())));
    const ToolCancellation::Scope scope(cancellation);
    if (!DeviceApp::copyAppData(bundleID, device.id, staging / "data")) {
        removeQuietly(staging);
        throw UserFacingError(QStringLiteral("Couldn’t copy the app’s data from %1.").arg(device.name));
    }
    snapshot.size = folderSize(staging / "data");
    const fs::path target = snapshotFolder(snapshot);
    error = writeAtomically(staging / kManifest, snapshot.encode());
    if (!error)
        fs::create_directories(target.parent_path(), error);
    if (!error)
        error = renameNoReplace(staging, target);
    if (error) {
        removeQuietly(staging);
        throw UserFacingError(
            QStringLiteral("Couldn’t write the snapshot: %1").arg(QString::fromStdString(error.message())));
    }
    snapshot.folder = target;
    return snapshot;
}

DeviceSnapshotStore::RestoreResult DeviceSnapshotStore::restore(const DeviceSnapshot& snapshot,
                                                                const DeviceApp& app,
                                                                const PhysicalDevice& device,
                                                                ToolCancellation* cancellation) {
    RestoreResult result;
    if (snapshot.bundleID != app.id)
        return result;
    const fs::path source = snapshotFolder(snapshot);
    const InUse reading(source);
    if (!reading)
        return result;
    const ToolCancellation::Scope scope(cancellation);

    Journal journal;
    journal.bundleID = app.id;
    journal.deviceName = device.name;
    journal.snapshotName = snapshot.name;
    journal.started = QDateTime::currentDateTimeUtc();
    const fs::path backup = DeviceSnapshot::rootFolder() / (kBackup + uuidText());
    std::error_code error;
    fs::create_directories(backup, error);
    if (error || writeAtomically(backup / kJournal, journal.encode())) {
        removeQuietly(backup);
        return result;
    }
    // Until the journal says "pushing" the device is untouched and the copy may be dropped.
    journal.phase = Journal::Phase::pushing;
    if (!DeviceApp::copyAppData(app.id, device.id, backup / "data") ||
        writeAtomically(backup / kJournal, journal.encode())) {
        result.cancelled = isCancelled(cancellation);
        removeQuietly(backup);
        return result;
    }
    if (pushData(app, device.id, source / "data")) {
        result.outcome = RestoreOutcome::restored;
    } else {
        // A cancel stops the snapshot's push; the app's data still has to go back, and a further
        // cancel may stop that too.
        if (isCancelled(cancellation)) {
            result.cancelled = true;
            cancellation->reset();
        }
        result.outcome =
            pushData(app, device.id, backup / "data") ? RestoreOutcome::rolledBack : RestoreOutcome::failed;
    }
    if (result.outcome != RestoreOutcome::failed) {
        removeQuietly(backup);
        return result;
    }
    result.keptSnapshot = keepAsSnapshot(backup, journal);
    if (!result.keptSnapshot)
        result.keptFolder = backup;
    return result;
}

void DeviceSnapshotStore::remove(const DeviceSnapshot& snapshot) {
    const fs::path folder = snapshotFolder(snapshot);
    if (!itemExists(folder) || isSymbolicLink(folder) || !isInsideRoot(folder))
        return;
    const InUse deleting(folder);
    if (!deleting)
        throw UserFacingError(
            QStringLiteral("“%1” is being restored. Delete it once the restore has finished.")
                .arg(snapshot.name));
    // Out of the app's folder first, so no listing ever shows it half removed; what a killed
    // removal leaves is cleared at the next start.
    std::error_code error = removeFromRoot(folder);
    if (error)
        throw UserFacingError(QStringLiteral("“%1” couldn’t be removed: %2")
                                  .arg(snapshot.name, QString::fromStdString(error.message())));
    const fs::path parent = folder.parent_path();
    if (isInsideRoot(parent) && fs::is_empty(parent, error) && !error)
        fs::remove(parent, error);
}

std::optional<fs::path> DeviceSnapshotStore::downloadAppData(const QString& bundleID, const QString& deviceID,
                                                             const fs::path& downloads,
                                                             const QString& baseName,
                                                             ToolCancellation* cancellation) {
    // The copy lands in the root, where a failed or killed one can be removed, and moves into
    // Downloads only whole.
    const fs::path staging = DeviceSnapshot::rootFolder() / (kDownload + uuidText());
    std::error_code error;
    fs::create_directories(DeviceSnapshot::rootFolder(), error);
    const ToolCancellation::Scope scope(cancellation);
    if (!DeviceApp::copyAppData(bundleID, deviceID, staging)) {
        removeQuietly(staging);
        return std::nullopt;
    }
    fs::create_directories(downloads, error);
    std::optional<fs::path> arrived;
    for (int n = 1; !arrived; ++n) {
        const QString name = n == 1 ? baseName : baseName + QStringLiteral(" %1").arg(n);
        const fs::path target = downloads / name.toStdString();
        error = renameNoReplace(staging, target);
        if (!error) {
            arrived = target;
        } else if (error == std::errc::cross_device_link) {
            // Downloads on another file system: copied into a name taken by creating it, and
            // named as incomplete when the copy breaks off.
            if (!fs::create_directory(target, error)) {
                if (error)
                    break;
                continue;
            }
            fs::copy(staging, target, fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
            if (error) {
                fs::rename(target, downloads / (name + QStringLiteral(" (incomplete)")).toStdString(), error);
                break;
            }
            arrived = target;
        } else if (error != std::errc::file_exists && error != std::errc::directory_not_empty) {
            break;
        }
    }
    if (!arrived)
        qCWarning(devicesLog) << "couldn’t move the downloaded data into" << downloads.c_str();
    removeQuietly(staging);
    return arrived;
}

DeviceSnapshotStore::Recovery DeviceSnapshotStore::recoverInterrupted() {
    Recovery recovery;
    const fs::path root = DeviceSnapshot::rootFolder();
    std::error_code error;
    std::vector<fs::path> entries;
    for (const fs::directory_entry& entry : fs::directory_iterator(root, error))
        entries.push_back(entry.path());
    for (const fs::path& entry : entries) {
        const std::string name = entry.filename().string();
        if (isSymbolicLink(entry))
            continue;
        if (name.starts_with(kSaving)) {
            if (finishSave(entry))
                ++recovery.finishedSaves;
            else
                ++recovery.removedLeftovers;
        } else if (name.starts_with(kDeleting) || name.starts_with(kDownload)) {
            removeQuietly(entry);
            ++recovery.removedLeftovers;
        } else if (name.starts_with(kBackup)) {
            const auto journal = Journal::read(entry);
            if (journal && journal->phase == Journal::Phase::copying) {
                // Killed before the first push: the device still holds the app's data.
                removeQuietly(entry);
                ++recovery.removedLeftovers;
            } else if (journal) {
                if (auto kept = keepAsSnapshot(entry, *journal))
                    recovery.keptSnapshots.push_back(std::move(*kept));
            } else if (!fs::exists(entry / "data") && !fs::exists(entry / "Documents") &&
                       !fs::exists(entry / "Library") && !fs::exists(entry / "tmp")) {
                // Killed before its journal was written: nothing of the app's data in it.
                removeQuietly(entry);
                ++recovery.removedLeftovers;
            } else {
                // A backup without a journal, from before restores kept one: its app is unknown,
                // so it moves where the user can see it rather than being dropped.
                const fs::path visible = root / ("Interrupted restore " + name.substr(kBackup.size()));
                if (!renameNoReplace(entry, visible))
                    recovery.keptFolders.push_back(visible);
            }
        }
    }
    // Saves killed before saves went through a staging folder left "<app>/<id>/data" without a
    // manifest: never listed, never restorable.
    for (const fs::path& entry : entries) {
        if (entry.filename().string().starts_with('.') || isSymbolicLink(entry) || !fs::is_directory(entry))
            continue;
        for (const fs::directory_entry& inner : fs::directory_iterator(entry, error)) {
            const fs::path folder = inner.path();
            if (!QUuid::fromString(QString::fromStdString(folder.filename().string())).isNull() &&
                !isSymbolicLink(folder) && !itemExists(folder / kManifest) && itemExists(folder / "data")) {
                removeQuietly(folder);
                ++recovery.removedLeftovers;
            }
        }
    }
    return recovery;
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
