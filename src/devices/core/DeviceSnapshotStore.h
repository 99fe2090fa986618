#pragma once

#include "devices/core/DeviceApp.h"
#include "devices/core/DeviceSnapshot.h"
#include "devices/core/PhysicalDevice.h"

#include <QString>

#include <cstdint>
#include <filesystem>
#include <optional>

namespace quorvex {

/// Saves a device app's data container as a snapshot on this computer, puts one back, and
/// deletes one. Every operation blocks on devicectl copies; save and restore belong on a worker
/// thread, under the program's busy flag the flows hold.
class DeviceSnapshotStore final {
public:
    DeviceSnapshotStore() = delete;

    enum class RestoreOutcome { restored, rolledBack, notStarted, failed };
    struct RestoreResult {
        RestoreOutcome outcome = RestoreOutcome::notStarted;
        /// After a failed restore the copy of the app's data from before it is kept here, since
        /// it may be the only copy left.
        std::optional<std::filesystem::path> keptBackup;
    };

    /// The folder a listed snapshot was found in, else root / safe bundle ID / id.
    static std::filesystem::path snapshotFolder(const DeviceSnapshot& snapshot);

    /// Copies the app's data off the device into a new snapshot and writes its manifest. Throws
    /// UserFacingError ("Couldn’t copy the app’s data from <device>.") or FileError-like
    /// UserFacingError; a failed save leaves nothing on disk.
    static DeviceSnapshot save(const QString& bundleID, const PhysicalDevice& device, const QString& name);

    /// Copies the app's current data aside, pushes the snapshot, and pushes the copy back when
    /// that fails. The copy is removed unless the outcome is `failed`.
    static RestoreResult restore(const DeviceSnapshot& snapshot, const DeviceApp& app,
                                 const PhysicalDevice& device);

    /// Removes the snapshot's folder, and the app's folder when it is left empty. Nothing happens
    /// for a folder that is missing, a link, or outside the root. Throws UserFacingError when the
    /// removal fails, and refuses while a long task (a restore) runs.
    static void remove(const DeviceSnapshot& snapshot);

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
