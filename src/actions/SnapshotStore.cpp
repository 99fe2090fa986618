#include "actions/SnapshotStore.h"

#include "actions/ActionsLog.h"
#include "platform/data/FolderHandle.h"
#include "simulator/DeviceTools.h"
#include "storage/files/AllocatedSize.h"
#include "storage/files/Cleanup.h"
#include "storage/files/DirectoryReader.h"
#include "storage/files/FileError.h"
#include "tools/Environment.h"
#include "tools/FileGuards.h"
#include "tools/ToolPaths.h"
#include "tools/ToolRunner.h"

#include <QDateTime>
#include <QFile>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quorvex {
namespace fs = std::filesystem;

namespace {

const char* const kContainerItems[] = {"Documents", "Library", "tmp"};
constexpr const char* kMetadataPrefix = ".com.apple.mobile_container_manager";
constexpr const char* kStagingPrefix = ".quorvex-restore-";
constexpr const char* kBackupPrefix = ".quorvex-backup-";
// A backup renamed by the restore that made it, once it holds nothing the user needs.
constexpr const char* kDisposablePrefix = ".quorvex-disposable-";
constexpr const char* kRestoreInfo = "restore-info.json";
// A snapshot being saved; it takes its own name once its manifest is written.
constexpr const char* kSavingPrefix = ".quorvex-saving-";

using SnapshotError = SnapshotStore::SnapshotError;

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

fs::path component(const QString& text) {
    return fs::path(QFile::encodeName(text).toStdString());
}

QString shown(const fs::path& path) {
    const std::string home = homeDirectoryURL().string();
    std::string text = path.string();
    if (!home.empty() && text.rfind(home + "/", 0) == 0)
        text = "~" + text.substr(home.size());
    return QFile::decodeName(text.c_str());
}

std::string freshUuid() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
}

// A bundle identifier names one folder; one that could climb or split the path names none.
bool namesOneFolder(const QString& bundleID) {
    return !bundleID.isEmpty() && bundleID != "." && bundleID != ".." && !bundleID.contains('/') &&
           !bundleID.contains(QChar(0));
}

// The simctl commands of save and restore. Their results are never looked at: an app that is not
// running, or a domain that does not exist, is no reason to stop.
void terminate(const SimulatorInstall& install, const QString& bundleID) {
    DeviceTools::terminateApp(bundleID, install.udid);
}

void defaultsExport(const SimulatorInstall& install, const QString& bundleID, const fs::path& file) {
    runTool(ToolPaths::xcrun(),
            std::vector<std::string>{"simctl", "spawn", install.udid.toStdString(), "defaults", "export",
                                     bundleID.toStdString(), file.string()});
}

void defaultsImport(const SimulatorInstall& install, const QString& bundleID, const fs::path& file) {
    runTool(ToolPaths::xcrun(),
            std::vector<std::string>{"simctl", "spawn", install.udid.toStdString(), "defaults", "import",
                                     bundleID.toStdString(), file.string()});
}

void defaultsDelete(const SimulatorInstall& install, const QString& bundleID) {
    runTool(ToolPaths::xcrun(), std::vector<std::string>{"simctl", "spawn", install.udid.toStdString(),
                                                         "defaults", "delete", bundleID.toStdString()});
}

void removeQuietly(SnapshotFileOperations& files, const fs::path& item) {
    try {
        files.removeItem(item);
    } catch (const FileError& error) {
        qCWarning(actionsLog) << "Left behind:" << error.description();
    }
}

// The children of a folder; nothing when it does not exist. Other failures are thrown: a folder
// that cannot be read must not pass for an empty one where its contents are about to be replaced.
std::vector<std::string> childrenOrNoneWhenMissing(SnapshotFileOperations& files, const fs::path& folder) {
    try {
        return files.contentsOfFolder(folder);
    } catch (const FileError& error) {
        if (error.code().value() == ENOENT && !itemExists(folder))
            return {};
        throw;
    }
}

std::vector<std::string> childrenOrNone(SnapshotFileOperations& files, const fs::path& folder) {
    try {
        return files.contentsOfFolder(folder);
    } catch (const FileError& error) {
        qCWarning(actionsLog) << "Counted as empty:" << error.description();
        return {};
    }
}

struct Group {
    QString identifier;
    fs::path folder;
};

// Opens the folder `name` of `at` for reading after giving it its owner's read, write and search
// bits, without following a link: the folder is pinned by an O_PATH descriptor before its mode is
// changed through that descriptor, so a folder swapped for a link is never changed elsewhere.
FolderHandle openOwnerWritable(int at, const char* name) {
    FolderHandle pinned(::openat(at, name, O_PATH | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC));
    struct stat info {};
    if (!pinned || ::fstat(pinned.fd(), &info) != 0 || !S_ISDIR(info.st_mode))
        return {};
    if ((info.st_mode & S_IRWXU) != S_IRWXU) {
        const std::string self = "/proc/self/fd/" + std::to_string(pinned.fd());
        ::chmod(self.c_str(), (info.st_mode & 07777) | S_IRWXU);
    }
    return FolderHandle(::openat(pinned.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// Renames a backup that holds nothing the user needs so that no later sweep mistakes it for the
// leftover of a killed restore, then removes it.
void discardBackup(SnapshotFileOperations& files, const fs::path& backup, const std::string& uuid) {
    fs::path disposable = backup.parent_path() / (kDisposablePrefix + uuid);
    try {
        files.moveItem(backup, disposable);
    } catch (const FileError& error) {
        qCWarning(actionsLog) << "Backup removed in place:" << error.description();
        disposable = backup;
    }
    SnapshotStore::makeOwnerWritable(disposable);
    removeQuietly(files, disposable);
}

QString recoveredName(const fs::path& backup) {
    QFile file(QFile::decodeName((backup / kRestoreInfo).c_str()));
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        const auto info =
            nlohmann::json::parse(bytes.constData(), bytes.constData() + bytes.size(), nullptr, false);
        if (info.is_object() && info.value("appName", nlohmann::json()).is_string() &&
            info.value("deviceName", nlohmann::json()).is_string() &&
            info.value("started", nlohmann::json()).is_string()) {
            const QDateTime started = QDateTime::fromString(
                QString::fromStdString(info["started"].get<std::string>()), Qt::ISODate);
            QString name = QStringLiteral("%1 on %2, %3")
                               .arg(QString::fromStdString(info["appName"].get<std::string>()),
                                    QString::fromStdString(info["deviceName"].get<std::string>()),
                                    started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH.mm.ss")));
            name.replace('/', '-');
            if (!name.startsWith('.'))
                return name;
        }
    }
    return QFile::decodeName(backup.filename().c_str()).mid(1);
}

// Puts a backup that may hold the only copy of an app's data where the user can find it. Answers
// where it lies afterwards: in the recovery folder, or where it was when it could not be moved.
fs::path recover(SnapshotFileOperations& files, const fs::path& backup) {
    const fs::path folder = SnapshotStore::recoveryFolder();
    try {
        files.createFolder(folder, true);
    } catch (const FileError& error) {
        qCWarning(actionsLog) << "Backup kept where it is:" << error.description();
        return backup;
    }
    for (const fs::path& target :
         {folder / component(recoveredName(backup)), folder / backup.filename().string().substr(1)}) {
        try {
            files.moveItem(backup, target);
            return target;
        } catch (const FileError& error) {
            qCWarning(actionsLog) << "Backup not recovered here:" << error.description();
        }
    }
    return backup;
}

// Leftovers of earlier restores beside the container: staging folders and disposable backups
// are removed; any other backup was left by a restore that did not finish, may hold the only copy
// of an app's data, and is put away instead.
void sweepLeftovers(SnapshotFileOperations& files, const fs::path& parent,
                    SnapshotStore::RestoreReport& report) {
    for (const std::string& name : childrenOrNone(files, parent)) {
        const fs::path item = parent / name;
        if (!itemExists(item))
            continue;
        if (startsWith(name, kStagingPrefix)) {
            removeQuietly(files, item);
        } else if (startsWith(name, kDisposablePrefix)) {
            SnapshotStore::makeOwnerWritable(item);
            removeQuietly(files, item);
        } else if (startsWith(name, kBackupPrefix)) {
            report.recoveredFolders.push_back(recover(files, item));
        }
    }
}

QString withNotice(QString message, const SnapshotStore::RestoreReport& report) {
    const QString notice = report.notice();
    if (!notice.isEmpty())
        message += ' ' + notice;
    return message;
}

bool isBelow(const fs::path& item, const fs::path& folder) {
    return item.string().rfind(folder.string() + "/", 0) == 0;
}

} // namespace

SnapshotStore::SnapshotError::SnapshotError(QString message)
    : m_message(std::move(message))
    , m_utf8(m_message.toStdString()) {}

QString SnapshotStore::RestoreReport::notice() const {
    if (recoveredFolders.empty())
        return {};
    if (recoveredFolders.size() == 1)
        return QStringLiteral("Data left by an interrupted restore was kept in “%1”.")
            .arg(shown(recoveredFolders[0]));
    return QStringLiteral("Data left by %1 interrupted restores was kept in “%2”.")
        .arg(recoveredFolders.size())
        .arg(shown(recoveryFolder()));
}

fs::path SnapshotStore::rootFolder() {
    return homeDirectoryURL() / "Library/Application Support/Quorvex/Snapshots";
}

fs::path SnapshotStore::recoveryFolder() {
    return homeDirectoryURL() / "Library/Application Support/Quorvex/Recovered Data";
}

fs::path SnapshotStore::folder(const AppSnapshot& snapshot) {
    if (snapshot.folder)
        return *snapshot.folder;
    return rootFolder() / component(snapshot.bundleID) /
           component(snapshot.id.toString(QUuid::WithoutBraces).toUpper());
}

AppSnapshot SnapshotStore::save(const SimulatorApp& app, const SimulatorInstall& install, const QString& name,
                                SnapshotFileOperations& files) {
    if (!install.dataContainer)
        throw SnapshotError(QStringLiteral("The app has no data container yet. Launch it once first."));
    if (!namesOneFolder(app.id))
        throw SnapshotError(QStringLiteral("The app’s bundle identifier can’t name a snapshot folder."));
    terminate(install, app.id);

    AppSnapshot snapshot;
    snapshot.id = QUuid::createUuid();
    snapshot.name = name;
    snapshot.bundleID = app.id;
    snapshot.appName = app.name;
    // Whole seconds, as the manifest keeps them, so the record returned equals the one listed.
    snapshot.created = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
    snapshot.deviceName = install.deviceName;
    snapshot.folder = folder(snapshot);
    const fs::path& container = *install.dataContainer;
    // Saved under a staging name and renamed into place once the manifest is written, so a save
    // that is killed leaves no folder that looks like a snapshot. Saves run one at a time (the
    // caller holds the busy flag), so staging folders found now were left by killed saves.
    const fs::path bundleFolder = snapshot.folder->parent_path();
    std::error_code error;
    std::vector<fs::path> stale;
    fs::directory_iterator it(bundleFolder, error);
    for (const fs::directory_iterator end; !error && it != end; it.increment(error))
        if (startsWith(it->path().filename().string(), kSavingPrefix))
            stale.push_back(it->path());
    for (const fs::path& item : stale)
        removeQuietly(files, item);
    const fs::path target = bundleFolder / (kSavingPrefix + snapshot.folder->filename().string());

    try {
        files.createFolder(target / "data", true);
        for (const char* item : kContainerItems) {
            std::error_code ignored;
            if (fs::exists(container / item, ignored))
                files.copyItem(container / item, target / "data" / item);
        }
        for (const auto& [identifier, groupFolder] : install.groupContainers) {
            const fs::path copy = target / "groups" / component(identifier);
            files.createFolder(copy, true);
            for (const std::string& child : childrenOrNoneWhenMissing(files, groupFolder))
                if (!startsWith(child, kMetadataPrefix))
                    files.copyItem(groupFolder / child, copy / child);
        }
        defaultsExport(install, app.id, target / "preferences.plist");
        snapshot.size = allocatedSize(target);
        files.writeFile(target / "info.json", encodeManifest(snapshot));
        files.moveItem(target, *snapshot.folder);
    } catch (const FileError& failure) {
        qCWarning(actionsLog) << "Save abandoned:" << failure.description();
        removeQuietly(files, target);
        throw;
    }
    return snapshot;
}

std::vector<AppSnapshot> SnapshotStore::list(const QString& bundleID) {
    std::vector<AppSnapshot> snapshots;
    if (!namesOneFolder(bundleID))
        return snapshots;
    std::error_code error;
    fs::directory_iterator it(rootFolder() / component(bundleID), error);
    for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
        if (startsWith(it->path().filename().string(), kSavingPrefix))
            continue;
        QFile manifest(QFile::decodeName((it->path() / "info.json").c_str()));
        if (!manifest.open(QIODevice::ReadOnly))
            continue;
        if (auto snapshot = decodeManifest(manifest.readAll())) {
            snapshot->folder = it->path();
            snapshots.push_back(std::move(*snapshot));
        }
    }
    std::stable_sort(snapshots.begin(), snapshots.end(),
                     [](const AppSnapshot& a, const AppSnapshot& b) { return a.created > b.created; });
    return snapshots;
}

void SnapshotStore::deleteSnapshot(const AppSnapshot& snapshot) {
    // A restore reads the snapshot for its whole staging; deleting it under the restore would
    // leave the restore with half a snapshot.
    if (Cleanup::shared().isWorking())
        throw SnapshotError(Cleanup::kBusyDetail);
    // Standardised first, so a folder like "<root>/<bundle>/.." cannot pass the test below and
    // then name the root itself.
    const fs::path target = standardizedPath(folder(snapshot));
    const fs::path grandparent = target.parent_path().parent_path();
    if (parentResolvedPath(grandparent) != resolvedPath(rootFolder()))
        throw SnapshotError(QStringLiteral("The snapshot isn’t in the snapshot folder."));
    Cleanup::removeItem(target / "info.json");
    Cleanup::removeItem(target);
}

SnapshotStore::RestoreReport SnapshotStore::restore(const AppSnapshot& snapshot, const SimulatorApp& app,
                                                    const SimulatorInstall& install,
                                                    SnapshotFileOperations& files) {
    // Checks: the first that fails refuses with nothing changed.
    if (snapshot.bundleID != app.id)
        throw SnapshotError(QStringLiteral("This snapshot belongs to another app."));
    if (!install.dataContainer)
        throw SnapshotError(QStringLiteral("The app has no data container on %1.").arg(install.deviceName));
    const fs::path source = folder(snapshot);
    if (!itemExists(source / "info.json"))
        throw SnapshotError(QStringLiteral("The snapshot is missing."));
    const fs::path container = *install.dataContainer;
    if (!itemExists(container) || isSymbolicLink(container))
        throw SnapshotError(QStringLiteral("%1’s data on %2 moved. Open the menu again and retry.")
                                .arg(app.name, install.deviceName));
    for (const char* item : kContainerItems)
        if (isSymbolicLink(container / item))
            throw SnapshotError(
                QStringLiteral(
                    "%1 in the app’s container is a link. Restore refused to avoid writing elsewhere.")
                    .arg(QLatin1String(item)));
    std::vector<Group> groups;
    for (const auto& [identifier, groupFolder] : install.groupContainers)
        if (itemExists(groupFolder))
            groups.push_back({identifier, groupFolder});
    for (const Group& group : groups)
        if (isSymbolicLink(group.folder) || isSymbolicLink(group.folder / "Library"))
            throw SnapshotError(
                QStringLiteral("App group %1 is a link. Restore refused to avoid writing elsewhere.")
                    .arg(group.identifier));
    const bool allowed = isAllowedCleanupTarget(container) &&
                         std::all_of(groups.begin(), groups.end(),
                                     [](const Group& group) { return isAllowedCleanupTarget(group.folder); });
    if (!allowed)
        throw SnapshotError(QStringLiteral("Unexpected container location."));

    const fs::path parent = container.parent_path();
    RestoreReport report;
    sweepLeftovers(files, parent, report);

    // Staging: the snapshot is copied beside the container while the app keeps running.
    const fs::path staging = parent / (kStagingPrefix + freshUuid());
    try {
        files.createFolder(staging, false);
        for (const char* item : kContainerItems)
            if (itemExists(source / "data" / item))
                files.copyItem(source / "data" / item, staging / item);
        files.createFolder(staging / "groups", false);
        for (const Group& group : groups)
            if (itemExists(source / "groups" / component(group.identifier)))
                files.copyItem(source / "groups" / component(group.identifier),
                               staging / "groups" / component(group.identifier));
        // Imported from the staged copy at the end, so the snapshot is read only here.
        if (itemExists(source / "preferences.plist"))
            files.copyItem(source / "preferences.plist", staging / "preferences.plist");
        // A delete removes the manifest first: if it is still there, nothing was deleted under
        // the copies above, and an item that was missing was missing from the snapshot itself.
        if (!itemExists(source / "info.json"))
            throw FileError(std::error_code(ENOENT, std::generic_category()), QStringLiteral("read"), source);
    } catch (const FileError& error) {
        removeQuietly(files, staging);
        throw SnapshotError(
            withNotice(QStringLiteral("Couldn’t read the snapshot (%1). %2’s data wasn’t changed.")
                           .arg(error.description(), app.name),
                       report));
    }

    // Swap: renames only, each recorded so that a failure can undo them in reverse.
    terminate(install, app.id);
    const std::string backupUuid = freshUuid();
    const fs::path backup = parent / (kBackupPrefix + backupUuid);
    std::vector<std::pair<fs::path, fs::path>> journal;
    bool preferencesDeleted = false;
    const auto move = [&](const fs::path& from, const fs::path& to) {
        files.moveItem(from, to);
        journal.emplace_back(from, to);
    };
    try {
        files.createFolder(backup / "groups", true);
        try {
            const nlohmann::json info = {
                {"bundleID", app.id.toStdString()},
                {"appName", app.name.toStdString()},
                {"udid", install.udid.toStdString()},
                {"deviceName", install.deviceName.toStdString()},
                {"container", container.string()},
                {"started", QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString()}};
            files.writeFile(backup / kRestoreInfo, QByteArray::fromStdString(info.dump(2)));
        } catch (const FileError& error) {
            // Only a label for a backup someone may have to find later.
            qCWarning(actionsLog) << "Backup unlabelled:" << error.description();
        }
        // The app's own preferences are saved into the backup before the domain is deleted, so
        // a rollback has them even when the app's plist on disk lags behind.
        defaultsExport(install, app.id, backup / "preferences.plist");
        defaultsDelete(install, app.id);
        preferencesDeleted = true;

        for (const char* item : kContainerItems)
            if (itemExists(container / item))
                move(container / item, backup / item);
        for (const Group& group : groups) {
            const fs::path aside = backup / "groups" / component(group.identifier);
            files.createFolder(aside, false);
            for (const std::string& child : childrenOrNoneWhenMissing(files, group.folder))
                if (!startsWith(child, kMetadataPrefix))
                    move(group.folder / child, aside / child);
        }
        for (const char* item : kContainerItems) {
            if (itemExists(staging / item)) {
                move(staging / item, container / item);
            } else {
                files.createFolder(container / item, false);
                journal.emplace_back(staging / item, container / item);
            }
        }
        for (const Group& group : groups) {
            const fs::path staged = staging / "groups" / component(group.identifier);
            for (const std::string& child : childrenOrNoneWhenMissing(files, staged))
                move(staged / child, group.folder / child);
        }
    } catch (const FileError& error) {
        // Rollback, last move first. Snapshot data that cannot go back to staging is removed, so
        // the app's own item can take its place; an item of the app that cannot go back stays in
        // the backup, which is then kept.
        bool keptSomething = false;
        for (auto it = journal.rbegin(); it != journal.rend(); ++it) {
            const auto& [from, to] = *it;
            if (itemExists(from))
                continue;
            if (isBelow(from, staging)) {
                if (!itemExists(to))
                    continue;
                try {
                    files.moveItem(to, from);
                } catch (const FileError& moveError) {
                    qCWarning(actionsLog) << "Rollback left snapshot data:" << moveError.description();
                }
                if (itemExists(to))
                    removeQuietly(files, to);
            } else {
                try {
                    files.moveItem(to, from);
                } catch (const FileError& moveError) {
                    qCWarning(actionsLog) << "Rollback kept in the backup:" << moveError.description();
                    keptSomething = true;
                }
            }
        }
        if (preferencesDeleted) {
            const fs::path saved = backup / "preferences.plist";
            const fs::path onDisk = container / "Library/Preferences" / (app.id.toStdString() + ".plist");
            if (itemExists(saved))
                defaultsImport(install, app.id, saved);
            else if (itemExists(onDisk))
                defaultsImport(install, app.id, onDisk);
        }
        removeQuietly(files, staging);
        if (keptSomething) {
            const fs::path kept = recover(files, backup);
            throw SnapshotError(withNotice(QStringLiteral("Couldn’t restore (%1). Some of %2’s previous data "
                                                          "couldn’t be put back; it was kept in “%3”.")
                                               .arg(error.description(), app.name, shown(kept)),
                                           report));
        }
        discardBackup(files, backup, backupUuid);
        throw SnapshotError(
            withNotice(QStringLiteral("Couldn’t restore (%1). %2’s previous data was put back.")
                           .arg(error.description(), app.name),
                       report));
    }

    // The snapshot's preferences go in before the backup goes: the backup holds the only copy of
    // the app's previous preferences until the domain is filled again, and a kill between the
    // two must leave one or the other.
    if (itemExists(staging / "preferences.plist"))
        defaultsImport(install, app.id, staging / "preferences.plist");
    discardBackup(files, backup, backupUuid);
    removeQuietly(files, staging);
    return report;
}

void SnapshotStore::makeOwnerWritable(const fs::path& backup) {
    const std::string name = backup.filename().string();
    if ((!startsWith(name, kDisposablePrefix) && !startsWith(name, kBackupPrefix)) ||
        !Cleanup::isInsideUserLibrary(backup))
        return;
    const fs::path resolved = parentResolvedPath(backup);
    const FolderHandle parent =
        FolderHandle::openWithoutLinks(AT_FDCWD, resolved.parent_path().c_str(), false);
    if (!parent)
        return;
    // Depth first with two descriptors at most: down by name, back up through "..", checked to be
    // the folder we came from.
    struct Level {
        struct stat info;
        std::vector<std::string> subfolders;
    };
    FolderHandle current = openOwnerWritable(parent.fd(), resolved.filename().c_str());
    std::vector<Level> levels;
    const auto enter = [&](FolderHandle folder) {
        Level level{};
        if (::fstat(folder.fd(), &level.info) != 0)
            return false;
        DirectoryReader reader(folder.fd());
        DirectoryReader::Entry entry{};
        while (reader.next(entry))
            if (entry.type == DT_DIR || entry.type == DT_UNKNOWN)
                level.subfolders.emplace_back(entry.name);
        levels.push_back(std::move(level));
        current = std::move(folder);
        return true;
    };
    if (!current || !enter(std::move(current)))
        return;
    while (!levels.empty()) {
        Level& level = levels.back();
        if (!level.subfolders.empty()) {
            const std::string child = std::move(level.subfolders.back());
            level.subfolders.pop_back();
            if (FolderHandle opened = openOwnerWritable(current.fd(), child.c_str()))
                enter(std::move(opened));
            continue;
        }
        levels.pop_back();
        if (levels.empty())
            return;
        FolderHandle up(::openat(current.fd(), "..", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat info {};
        if (!up || ::fstat(up.fd(), &info) != 0 || info.st_dev != levels.back().info.st_dev ||
            info.st_ino != levels.back().info.st_ino)
            return; // moved while we were inside: stop rather than guess
        current = std::move(up);
    }
}

} // namespace quorvex
