#include "panel/sections/DeviceSectionServices.h"

#include "devices/core/PhysicalDeviceTools.h"

namespace quorvex {

bool DeviceToolsSectionServices::openURL(const QString& url, const QString& deviceID) {
    return PhysicalDeviceTools::openURL(url, deviceID);
}

std::vector<DeviceApp> DeviceToolsSectionServices::listApps(const QString& deviceID) {
    return DeviceApp::listApps(deviceID, true);
}

std::vector<DeviceSnapshot> DeviceToolsSectionServices::snapshots(const QString& bundleID) {
    return DeviceSnapshot::list(bundleID);
}

} // namespace quorvex
