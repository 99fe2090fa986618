#pragma once

#include "app/NeighbourServices.h"

namespace quorvex {

/// Stands in for the connected-device flows until they land: no device is listed, because none
/// of its commands could run yet.
class ProvisionalDeviceFlows final : public DeviceFlowsService {
public:
    std::vector<PhysicalDevice> devices() const override { return {}; }
    std::vector<DeviceApp> apps(const QString&) const override { return {}; }
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
