#pragma once

#include "devices/core/DeviceApp.h"
#include "devices/core/DeviceSnapshot.h"
#include "devices/core/PhysicalDevice.h"

#include <QString>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace quorvex {

class ToolCancellation;

/// Saves a device app's data container as a snapshot on this computer, puts one back, deletes
/// one, and downloads an app's data. Every operation but remove blocks on devicectl copies and
/// belongs on a worker thread, under the program's busy flag the flows hold.
///
/// Nothing it leaves on disk is ever half done where the user looks. A save copies into a hidden
/// staging folder of the root and renames it into place after its manifest. A restore keeps the
/// app's current data in a hidden backup folder with a journal that says how far it got; a
/// restore that fails partway, or is killed, leaves that data as a snapshot of its own. A
/// download arrives in a staging folder and is moved into Downloads whole. recoverInterrupted()
/// finishes or clears what a killed process left. The copies stop when their ToolCancellation
/// is cancelled (the devicectl run in progress is killed).
class DeviceSnapshotStore final {
public:
    DeviceSnapshotStore() = delete;

    enum class RestoreOutcome { restored, rolledBack, notStarted, failed };
    struct RestoreResult {
        RestoreOutcome outcome = RestoreOutcome::notStarted;
        /// The user stopped it; the outcome says what became of the app's data.
        bool cancelled = false;
        /// After a restore that failed partway, the app's data from before it, kept as a snapshot
        /// of its own since it may be the only copy left.
        std::optional<DeviceSnapshot> keptSnapshot;
        /// Where that data stays when it could not be made a snapshot.
        std::optional<std::filesystem::path> keptFolder;
    };

    /// What recoverInterrupted() found.
    struct Recovery {
        /// The data from before restores that were interrupted partway, now snapshots of their own.
        std::vector<DeviceSnapshot> keptSnapshots;
        /// Backups of an unknown layout, moved to a visible folder of the root.
        std::vector<std::filesystem::path> keptFolders;
        /// Saves that had written their manifest and only missed the final rename.
        int finishedSaves = 0;
        /// Staging folders of saves and downloads, and backups of restores that had not yet
        /// touched the device, removed.
        int removedLeftovers = 0;
    };

    /// The folder a listed snapshot was found in, else root / safe bundle ID / id.
    static std::filesystem::path snapshotFolder(const DeviceSnapshot& snapshot);

    /// Copies the app's data off the device into a new snapshot. Throws UserFacingError
    /// ("Couldn’t copy the app’s data from <device>.", or why the folder or manifest could not be
    /// written); a failed or cancelled save leaves nothing on disk.
    static DeviceSnapshot save(const QString& bundleID, const PhysicalDevice& device, const QString& name,
                               ToolCancellation* cancellation = nullptr);

    /// Copies the app's current data aside, pushes the snapshot, and pushes the copy back when
    /// that fails or is cancelled (a second cancel stops that too). The copy is removed unless
    /// the outcome is `failed`, when it becomes a snapshot "Before restoring “<name>”". Refuses
    /// (notStarted) a snapshot that is being deleted.
    static RestoreResult restore(const DeviceSnapshot& snapshot, const DeviceApp& app,
                                 const PhysicalDevice& device, ToolCancellation* cancellation = nullptr);
    /// The name of the snapshot that keeps the data from before restoring `snapshotName`.
    static QString keptSnapshotName(const QString& snapshotName);

    /// Removes the snapshot: its folder leaves the app's folder in one rename, so it is never
    /// listed half removed, and the app's folder goes when it is left empty. Nothing happens for
    /// a folder that is missing, a link, or outside the root. Throws UserFacingError when the
    /// snapshot is being restored or the removal fails. Any thread; takes no busy flag.
    static void remove(const DeviceSnapshot& snapshot);

    /// Copies the app's whole data container into `downloads`, named `baseName`, or
    /// `baseName n` for the first n from 2 that is free when it arrives. Empty when the copy
    /// failed or was cancelled; then nothing is left behind.
    static std::optional<std::filesystem::path>
    downloadAppData(const QString& bundleID, const QString& deviceID, const std::filesystem::path& downloads,
                    const QString& baseName, ToolCancellation* cancellation = nullptr);

    /// Finishes or clears what killed saves, restores, deletes and downloads left in the root.
    /// Run once at start-up, before any of them can run.
    static Recovery recoverInterrupted();

    /// Pushes Documents, Library and tmp of `localFolder` (those that exist and are not links)
    /// after stopping the app. False when none exists or a push fails; later items are then not
    /// pushed.
    static bool pushData(const DeviceApp& app, const QString& deviceID,
                         const std::filesystem::path& localFolder);

    /// Bytes allocated on disk by everything below `folder` (links not followed).
    static std::int64_t folderSize(const std::filesystem::path& folder);

    /// True when `target` lies strictly inside the root, links on its way resolved.
    static bool isInsideRoot(const std::filesystem::path& target);
};

} // namespace quorvex
