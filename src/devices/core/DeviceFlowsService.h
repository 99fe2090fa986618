#pragma once

#include "devices/core/DeviceApp.h"
#include "devices/core/DeviceSnapshot.h"
#include "devices/core/PhysicalDevice.h"

#include <QFuture>
#include <QString>

#include <optional>
#include <vector>

namespace quorvex {

/// The connected-device flows. GUI thread.
class DeviceFlowsService {
public:
    virtual ~DeviceFlowsService() = default;
    /// The devices the menu lists (each with its actions).
    virtual std::vector<PhysicalDevice> devices() const = 0;
    /// The apps known for a device (those with a reachable data container), by name.
    virtual std::vector<DeviceApp> apps(const QString& deviceID) const = 0;
    virtual void showPushWindow(const PhysicalDevice& device) = 0;
    /// Takes a screenshot of the device with the user's screenshot settings; `copy` puts it on
    /// the clipboard only. Reported in its own toasts.
    virtual void screenshot(const PhysicalDevice& device, bool copy) = 0;

    // A device app's data. The flows test and hold the program-wide busy flag themselves and
    // report with their own toasts. Each returned future ends once the flow's result was shown,
    // or at once when the flow was refused, so a caller can tell when its own flow is over.
    /// Asks for a name for a snapshot of the app on `device`; nothing when the user cancelled.
    virtual std::optional<QString> promptSnapshotName(const DeviceApp& app, const PhysicalDevice& device) = 0;
    virtual QFuture<void> saveSnapshotFlow(const PhysicalDevice& device, const DeviceApp& app,
                                           const QString& name) = 0;
    /// Copies the app's data off the device into a new folder and reveals it.
    virtual QFuture<void> downloadAppDataFlow(const PhysicalDevice& device, const DeviceApp& app) = 0;
    /// Asks whether to restore the snapshot over the app's current data.
    virtual bool confirmRestoreSnapshot(const DeviceSnapshot& snapshot, const DeviceApp& app,
                                        const PhysicalDevice& device) = 0;
    virtual QFuture<void> restoreSnapshotFlow(const DeviceSnapshot& snapshot, const DeviceApp& app,
                                              const PhysicalDevice& device) = 0;
    /// Stops the copy of the save, restore or download that runs, if any: its devicectl run is
    /// killed and the busy flag freed once the flow has cleaned up (a restore first puts the
    /// app's data back) and reported.
    virtual void cancelCopy() = 0;
    /// What the save, restore or download that runs copies, as the row that cancels it says it
    /// ("Restoring “Launch” on Ana’s iPhone"); nothing while no copy runs that cancelCopy stops.
    virtual std::optional<QString> runningCopy() const = 0;
    /// Confirms, then deletes the saved snapshot off the GUI thread. It takes no busy flag: only
    /// a snapshot being restored is refused. The future ends once the result was shown, at once
    /// when the user cancelled.
    virtual QFuture<void> deleteSnapshotFlow(const DeviceSnapshot& snapshot, const DeviceApp& app,
                                             const PhysicalDevice& device) = 0;
};

} // namespace quorvex
