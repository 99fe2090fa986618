#pragma once

#include "app/MenuRow.h"
#include "devices/PhysicalDevice.h"

namespace quorvex {

class StatusMenuController;

/// The "App Data" submenu of a connected device: its apps, each with its saved snapshots.
void fillDeviceAppData(StatusMenuController& controller, MenuRows& rows, const PhysicalDevice& device);

} // namespace quorvex
