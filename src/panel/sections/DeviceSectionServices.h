#pragma once

#include "devices/core/DeviceApp.h"
#include "devices/core/DeviceSnapshot.h"

#include <QString>

#include <functional>
#include <vector>

namespace quorvex {

class DeviceFlowsService;

/// What the side panel's connected-device sections ask of the device support: two blocking
/// devicectl commands, which the sections run off the GUI thread, the saved snapshots, and the
/// flows, which show their own alerts and toasts.
class DeviceSectionServices {
public:
    /// Opens `url` on the device; false when the device refused it or the tool failed. Blocks;
    /// any thread.
    using OpenURL = std::function<bool(const QString& url, const QString& deviceID)>;
    /// The device's apps whose data container can be reached; empty when the tool fails.
    /// Blocks; any thread.
    using ListApps = std::function<std::vector<DeviceApp>(const QString& deviceID)>;

    virtual ~DeviceSectionServices() = default;

    /// The two commands as values for the thread pool. They hold nothing of this object, so a
    /// command still queued or running when the object goes (at quit) runs to its end safely.
    virtual OpenURL urlOpener() = 0;
    virtual ListApps appLister() = 0;
    /// The snapshots saved on this computer for the app, newest first. GUI thread.
    virtual std::vector<DeviceSnapshot> snapshots(const QString& bundleID) = 0;
    /// The push window and the app-data flows. GUI thread.
    virtual DeviceFlowsService& flows() = 0;
};

/// The real services: devicectl through PhysicalDeviceTools and DeviceApp, the snapshot store
/// on disk, and the program's device flows.
class DeviceToolsSectionServices final : public DeviceSectionServices {
public:
    explicit DeviceToolsSectionServices(DeviceFlowsService& flows)
        : m_flows(flows) {}

    OpenURL urlOpener() override;
    ListApps appLister() override;
    std::vector<DeviceSnapshot> snapshots(const QString& bundleID) override;
    DeviceFlowsService& flows() override { return m_flows; }

private:
    DeviceFlowsService& m_flows;
};

} // namespace quorvex
