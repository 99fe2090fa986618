#include "panel/sections/DeviceSectionServices.h"

#include "devices/core/PhysicalDeviceTools.h"

namespace quorvex {

DeviceSectionServices::OpenURL DeviceToolsSectionServices::urlOpener() {
    return [](const QString& url, const QString& deviceID) {
        return PhysicalDeviceTools::openURL(url, deviceID);
    };
}

DeviceSectionServices::ListApps DeviceToolsSectionServices::appLister() {
    return [](const QString& deviceID) { return DeviceApp::listApps(deviceID, true); };
}

std::vector<DeviceSnapshot> DeviceToolsSectionServices::snapshots(const QString& bundleID) {
    return DeviceSnapshot::list(bundleID);
}

} // namespace quorvex
