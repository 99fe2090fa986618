#include "panel/sections/PanelServices.h"

#include "simulator/DeviceTools.h"

namespace quorvex {

PanelCommands PanelCommands::system() {
    return {
        [](const QString& udid) { return DeviceTools::slowAnimations(udid); },
        [](bool on, const QString& udid) { return DeviceTools::setSlowAnimations(on, udid); },
        [](PhysicalDeviceTools::StatusBarPreset preset, const QString& deviceID) {
            // Remembered, so the device's override is known to be ours and can be cleared later.
            return PhysicalDeviceTools::setStatusBar(preset, deviceID, true);
        },
        [](const QString& deviceID) { return PhysicalDeviceTools::clearStatusBar(deviceID); },
    };
}

} // namespace quorvex
