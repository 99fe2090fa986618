#pragma once

#include "app/MenuRow.h"
#include "devices/core/DeviceApp.h"
#include "devices/core/DeviceSnapshot.h"
#include "devices/core/PhysicalDevice.h"

#include <vector>

namespace quorvex {

class DeviceFlowsService;
class DeviceHubService;

/// The "Connected Devices" submenu: one section per device with its screenshot, status-bar, URL,
/// push, app-data, launch and profile rows. The device work itself belongs to the device flows.
class ConnectedDeviceSubmenuBuilder final {
public:
    struct Context {
        DeviceFlowsService& deviceFlows;
        DeviceHubService& deviceHub; // the host name of the screenshot rows
    };

    explicit ConnectedDeviceSubmenuBuilder(Context context)
        : m_context(context) {}

    void fill(MenuRows& rows, const std::vector<PhysicalDevice>& devices) const;
    /// The apps of a connected device with their saved snapshots.
    void fillDeviceAppData(MenuRows& rows, const PhysicalDevice& device) const;
    void fillDeviceAppSubmenu(MenuRows& rows, const PhysicalDevice& device, const DeviceApp& app,
                              const std::vector<DeviceSnapshot>& snapshots) const;

private:
    Context m_context;
};

} // namespace quorvex
