#pragma once

#include "app/Services.h"

namespace quorvex {

/// Stands in for the connected-device flows until they land. The devices and their apps are the
/// real inventory (its commands, status bar, open URL, launch and profile install, work); the push
/// window, screenshots and app-data snapshots say they are not available yet.
class ProvisionalDeviceFlows final : public DeviceFlowsService {
public:
    std::vector<PhysicalDevice> devices() const override;
    std::vector<DeviceApp> apps(const QString& deviceID) const override;
    void showPushWindow(const PhysicalDevice& device) override;
    void screenshot(const PhysicalDevice& device, bool copy) override;
    std::optional<QString> promptSnapshotName(const DeviceApp& app) override;
    void saveSnapshotFlow(const PhysicalDevice& device, const DeviceApp& app, const QString& name) override;
    void downloadAppDataFlow(const PhysicalDevice& device, const DeviceApp& app) override;
    bool confirmRestoreSnapshot(const DeviceSnapshot& snapshot, const DeviceApp& app,
                                const PhysicalDevice& device) override;
    void restoreSnapshotFlow(const DeviceSnapshot& snapshot, const DeviceApp& app,
                             const PhysicalDevice& device) override;
    void deleteSnapshotFlow(const DeviceSnapshot& snapshot, const DeviceApp& app,
                            const PhysicalDevice& device) override;
};

} // namespace quorvex
