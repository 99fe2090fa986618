#pragma once

#include "app/MenuItems.h"
#include "devices/DeviceApp.h"
#include "devices/DeviceSnapshot.h"
#include "devices/PhysicalDevice.h"

namespace quorvex {

class StatusMenuController;

// The commands on the app data of a connected device's app, started from its rows in the status
// menu. Each reports its outcome in a toast; the device tools run off the GUI thread.

/// Asks for a name, then saves the app's data on the device as a snapshot.
void saveDeviceSnapshot(StatusMenuController& controller, const DeviceApp& app, const PhysicalDevice& device);
/// Copies the app's data off the device into the Downloads folder.
void downloadDeviceAppData(StatusMenuController& controller, const DeviceApp& app,
                           const PhysicalDevice& device);
/// The restore and delete rows of one saved device snapshot.
void fillDeviceSnapshotSubmenu(StatusMenuController& controller, MenuRows& rows,
                               const DeviceSnapshot& snapshot, const DeviceApp& app,
                               const PhysicalDevice& device);

} // namespace quorvex
