#pragma once

#include "devices/core/DeviceFlowsService.h"
#include "network/model/NetworkService.h"
#include "panel/sections/DeviceHubService.h"
#include "storage/cleaner/CleanerWindowService.h"
#include "storage/cleaner/CleanupFlowsService.h"
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
