#include "app/provisional/ProvisionalDeviceFlows.h"

#include "app/provisional/NotAvailableYet.h"
#include "devices/PhysicalDevices.h"

namespace quorvex {

std::vector<PhysicalDevice> ProvisionalDeviceFlows::devices() const {
    return PhysicalDevices::shared().devices();
}

std::vector<DeviceApp> ProvisionalDeviceFlows::apps(const QString& deviceID) const {
    const auto& apps = PhysicalDevices::shared().apps();
    const auto found = apps.find(deviceID);
    return found == apps.end() ? std::vector<DeviceApp>{} : found->second;
}

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
