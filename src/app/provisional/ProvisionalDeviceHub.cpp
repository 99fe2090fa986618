#include "app/provisional/ProvisionalDeviceHub.h"

#include "app/provisional/NotAvailableYet.h"
#include "devices/PhysicalDevices.h"
#include "simulator/SimulatorApps.h"

namespace quorvex {

ProvisionalDeviceHub::ProvisionalDeviceHub(SimulatorApps& simulatorApps)
    : m_simulatorApps(simulatorApps) {}

std::optional<SimulatorDevice>
ProvisionalDeviceHub::mostRecentlyBooted(const std::vector<SimulatorDevice>& devices) {
    const SimulatorDevice* best = nullptr;
    for (const SimulatorDevice& device : devices) {
        if (!best || (device.bootedAt && (!best->bootedAt || *device.bootedAt > *best->bootedAt)))
            best = &device;
    }
    if (!best)
        return std::nullopt;
    return *best;
}

std::optional<SimulatorDevice> ProvisionalDeviceHub::targetDevice() const {
    return mostRecentlyBooted(m_simulatorApps.devices());
}

std::optional<QString> ProvisionalDeviceHub::targetUDID() const {
    const std::optional<SimulatorDevice> target = targetDevice();
    return target ? std::optional<QString>(target->udid) : std::nullopt;
}

void ProvisionalDeviceHub::startPanel() {
    PhysicalDevices::shared().start();
}

void ProvisionalDeviceHub::openHost() {
    showNotAvailableYet(QStringLiteral("Opening the Simulator app"));
}

void ProvisionalDeviceHub::requestAccessibility() {
    showNotAvailableYet(QStringLiteral("Following the focused device"));
}

void ProvisionalDeviceHub::setPanelEnabled(bool) {
    showNotAvailableYet(QStringLiteral("Side Panel"));
}

} // namespace quorvex
