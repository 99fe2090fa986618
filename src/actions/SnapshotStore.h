#pragma once

#include "actions/AppSnapshot.h"
#include "actions/SnapshotFileOperations.h"
#include "simulator/SimulatorApp.h"

#include <QString>

#include <exception>
#include <filesystem>
#include <string>
#include <vector>

namespace quorvex {

/// Saves, lists, deletes and restores app-data snapshots of simulator apps under
/// ~/Library/Application Support/Quorvex/Snapshots/<bundle id>/<snapshot id>/. It keeps no state
/// and takes no lock; every operation blocks its caller on file work and child processes, so save
/// and restore belong on a worker thread. Save and restore do their file work through a
/// SnapshotFileOperations (the local one unless a test gives another). The callers hold the
/// program's busy flag (Cleanup) around save and restore; delete refuses to run while it is set.
class SnapshotStore final {
public:
    /// A refusal or failure with the text to show the user unchanged.
    class SnapshotError final : public std::exception {
    public:
        explicit SnapshotError(QString message);
        const QString& message() const { return m_message; }
        QString errorDescription() const { return m_message; }
        const char* what() const noexcept override { return m_utf8.c_str(); }

    private:
        QString m_message;
        std::string m_utf8;
    };

    /// What a successful restore has to tell besides its success: the folders where data left by
    /// interrupted restores was put away instead of being deleted.
    struct RestoreReport {
        std::vector<std::filesystem::path> recoveredFolders;
        /// A sentence for the user naming where that data is; empty when there is none.
        QString notice() const;
    };

    static std::filesystem::path rootFolder();
    /// Where restores put away the data they could not put back, and the leftovers of
    /// interrupted restores: ~/Library/Application Support/Quorvex/Recovered Data.
    static std::filesystem::path recoveryFolder();
    /// The snapshot's `folder` when set, else root / bundle id / id.
    static std::filesystem::path folder(const AppSnapshot& snapshot);

    /// Stops the app and copies its container's Documents, Library and tmp, its app groups'
    /// contents and its exported preferences into a new snapshot. Throws SnapshotError when the
    /// app has no data container yet (nothing done) and FileError when a file operation fails (the
    /// new snapshot folder is removed again). A failed tool run never fails a save. The snapshot is
    /// written under a staging name and renamed into place after its manifest; staging folders
    /// left by killed saves are removed by the next save of the app.
    static AppSnapshot save(const SimulatorApp& app, const SimulatorInstall& install, const QString& name,
                            SnapshotFileOperations& files = SnapshotFileOperations::local());

    /// The app's snapshots, newest first; unreadable entries are left out, never repaired.
    static std::vector<AppSnapshot> list(const QString& bundleID);

    /// Removes a snapshot folder (its manifest first, so a restore reading it notices). Throws
    /// SnapshotError when the folder is not a snapshot folder under the root, or, with the busy
    /// toast shown, while a long task runs; FileError when the removal fails.
    static void deleteSnapshot(const AppSnapshot& snapshot);

    /// Writes a snapshot back into one install of its app: checks, staging beside the container,
    /// then a journalled swap of renames that is undone on failure. Throws SnapshotError with the
    /// message to show.
    static RestoreReport restore(const AppSnapshot& snapshot, const SimulatorApp& app,
                                 const SimulatorInstall& install,
                                 SnapshotFileOperations& files = SnapshotFileOperations::local());

    /// Gives every folder at and below one of the restores' own backup folders (by its name, inside
    /// ~/Library) its owner's read, write and search bits, so that a read-only folder of the app's
    /// data cannot keep the backup from being removed. Works through descriptors and never follows
    /// a link; whatever cannot be opened or changed is skipped. Anything else is left untouched.
    static void makeOwnerWritable(const std::filesystem::path& backup);
};

} // namespace quorvex
