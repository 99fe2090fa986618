#pragma once

#include "devices/core/DeviceApp.h"
#include "devices/core/DeviceSnapshot.h"

#include <QString>

#include <vector>

namespace quorvex {

class DeviceFlowsService;

/// What the side panel's connected-device sections ask of the device support: two blocking
/// devicectl commands, which the sections run off the GUI thread, the saved snapshots, and the
/// flows, which show their own alerts and toasts.
class DeviceSectionServices {
public:
    virtual ~DeviceSectionServices() = default;

    /// Opens `url` on the device; false when the device refused it or the tool failed. Blocks;
    /// any thread.
    virtual bool openURL(const QString& url, const QString& deviceID) = 0;
    /// The device's apps whose data container can be reached; empty when the tool fails.
    /// Blocks; any thread.
    virtual std::vector<DeviceApp> listApps(const QString& deviceID) = 0;
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

    bool openURL(const QString& url, const QString& deviceID) override;
    std::vector<DeviceApp> listApps(const QString& deviceID) override;
    std::vector<DeviceSnapshot> snapshots(const QString& bundleID) override;
    DeviceFlowsService& flows() override { return m_flows; }

private:
    DeviceFlowsService& m_flows;
};

} // namespace quorvex
