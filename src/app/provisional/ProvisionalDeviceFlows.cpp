#include "app/provisional/ProvisionalDeviceFlows.h"

#include "app/provisional/NotAvailableYet.h"

namespace quorvex {

void ProvisionalDeviceFlows::showPushWindow(const PhysicalDevice&) {
    showNotAvailableYet(QStringLiteral("Device push window"));
}

void ProvisionalDeviceFlows::screenshot(const PhysicalDevice&, bool) {
    showNotAvailableYet(QStringLiteral("Device screenshots"));
}

// The snapshot prompt and the restore confirmation say so and answer "cancelled", so no progress
// toast promises work that cannot start.
std::optional<QString> ProvisionalDeviceFlows::promptSnapshotName(const DeviceApp&) {
    showNotAvailableYet(QStringLiteral("Device snapshots"));
    return std::nullopt;
}

void ProvisionalDeviceFlows::saveSnapshotFlow(const PhysicalDevice&, const DeviceApp&, const QString&) {
    showNotAvailableYet(QStringLiteral("Device snapshots"));
}

void ProvisionalDeviceFlows::downloadAppDataFlow(const PhysicalDevice&, const DeviceApp&) {
    showNotAvailableYet(QStringLiteral("Downloading device app data"));
}

bool ProvisionalDeviceFlows::confirmRestoreSnapshot(const DeviceSnapshot&, const DeviceApp&,
                                                    const PhysicalDevice&) {
    showNotAvailableYet(QStringLiteral("Device snapshots"));
    return false;
}

void ProvisionalDeviceFlows::restoreSnapshotFlow(const DeviceSnapshot&, const DeviceApp&,
                                                 const PhysicalDevice&) {
    showNotAvailableYet(QStringLiteral("Device snapshots"));
}

void ProvisionalDeviceFlows::deleteSnapshotFlow(const DeviceSnapshot&, const DeviceApp&,
                                                const PhysicalDevice&) {
    showNotAvailableYet(QStringLiteral("Device snapshots"));
}

} // namespace quorvex
