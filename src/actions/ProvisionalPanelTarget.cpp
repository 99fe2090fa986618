#include "actions/ProvisionalPanelTarget.h"

#include "simulator/SimulatorApps.h"

namespace quorvex {

ProvisionalPanelTarget::ProvisionalPanelTarget(const SimulatorApps& apps)
    : m_apps(apps) {}

std::optional<PhysicalDevice> ProvisionalPanelTarget::physicalDevice() const {
    return std::nullopt;
}

std::optional<SimulatorDevice> ProvisionalPanelTarget::simulator() const {
    const SimulatorDevice* latest = nullptr;
    for (const SimulatorDevice& device : m_apps.devices()) {
        if (!latest || (device.bootedAt && (!latest->bootedAt || *device.bootedAt > *latest->bootedAt)))
            latest = &device;
    }
    if (!latest)
        return std::nullopt;
    return *latest;
}

std::optional<SimulatorApp> ProvisionalPanelTarget::app() const {
    const auto device = simulator();
    if (!device)
        return std::nullopt;
    for (const SimulatorApp& app : m_apps.apps())
        if (app.install(device->udid))
            return app;
    return std::nullopt;
}

} // namespace quorvex
