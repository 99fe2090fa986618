#pragma once

#include "devices/DeviceFlowsService.h"
#include "network/NetworkService.h"
#include "panel/DeviceHubService.h"
#include "storage/CleanerWindowService.h"
#include "storage/CleanupFlowsService.h"
#include "windows/ActionWindowsService.h"

namespace quorvex {

/// What the menu-bar frame uses of the subsystems around it, handed down from the composition
/// root in main(), which owns them and is the one place that picks each implementation.
struct Services {
    NetworkService& network;
    DeviceHubService& deviceHub;
    ActionWindowsService& actionWindows;
    DeviceFlowsService& deviceFlows;
    CleanupFlowsService& cleanupFlows;
    CleanerWindowService& cleanerWindow;
};

} // namespace quorvex
