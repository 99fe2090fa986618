#pragma once

#include "app/MenuRow.h"
#include "app/Services.h"
#include "devices/core/DeviceApp.h"
#include "devices/core/DeviceSnapshot.h"
#include "devices/core/PhysicalDevice.h"
#include "devices/core/PhysicalDeviceTools.h"

#include <QFuture>
#include <QString>

#include <filesystem>
#include <functional>

namespace quorvex {

// The commands of a connected device's section in the status menu. Device tools block until
// devicectl exits, so each runs on the thread pool and reports back on the GUI thread in one
// toast; the returned futures end after that toast.

/// Runs `action` off the GUI thread: `title` on success, else "Didn’t work on <device>".
QFuture<void> runDeviceAction(const QString& title, const PhysicalDevice& device,
                              std::function<bool()> action);

/// The menu title of a status-bar preset ("Clean (9:41, Full Battery)").
QString statusBarPresetTitle(PhysicalDeviceTools::StatusBarPreset preset);
/// The four presets, a separator and "Reset Status Bar".
void fillDeviceStatusBarSubmenu(MenuRows& rows, const PhysicalDevice& device);

/// Sends a configuration profile to the device; reported in a toast.
QFuture<void> installProfile(const std::filesystem::path& file, const PhysicalDevice& device);

// A device app's data: each shows its progress toast, then hands over to the device flows,
// whose result toast replaces it.
/// Asks for a name and saves a snapshot; a cancel does nothing.
void saveDeviceSnapshot(DeviceFlowsService& flows, const DeviceApp& app, const PhysicalDevice& device);
void downloadDeviceAppData(DeviceFlowsService& flows, const DeviceApp& app, const PhysicalDevice& device);
/// "Restore…" and "Delete Snapshot…" for one saved snapshot.
void fillDeviceSnapshotSubmenu(DeviceFlowsService& flows, MenuRows& rows, const DeviceSnapshot& snapshot,
                               const DeviceApp& app, const PhysicalDevice& device);
/// Confirms, then restores the snapshot over the app's data.
void restoreDeviceSnapshot(DeviceFlowsService& flows, const DeviceSnapshot& snapshot, const DeviceApp& app,
                           const PhysicalDevice& device);

} // namespace quorvex
