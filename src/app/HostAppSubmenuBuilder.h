#pragma once

#include "app/MenuRow.h"

namespace quorvex {

class DeviceHubService;

/// The host-app submenu ("Simulator App"): open the host, the side-panel and follow-focus
/// switches, and the window shortcuts that work while the host is in front.
class HostAppSubmenuBuilder final {
public:
    explicit HostAppSubmenuBuilder(DeviceHubService& deviceHub)
        : m_deviceHub(deviceHub) {}

    void fill(MenuRows& rows) const;
    static void toggleSidePanel(DeviceHubService& deviceHub);

private:
    DeviceHubService& m_deviceHub;
};

} // namespace quorvex
