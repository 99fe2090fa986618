#pragma once

#include "actions/PanelTarget.h"
#include "simulator/SimulatorApps.h"

namespace quorvex {

/// Stands in for the side panel's own target until the panel controller exists: the most
/// recently booted simulator of the inventory, its first app, and never a connected device.
class ProvisionalPanelTarget final : public PanelTarget {
public:
    explicit ProvisionalPanelTarget(const SimulatorApps& apps = SimulatorApps::shared());

    std::optional<PhysicalDevice> physicalDevice() const override;
    /// The simulator with the latest boot time; one without a known boot time counts as booted
    /// before every other, and of equal times the first in the inventory's order wins.
    std::optional<SimulatorDevice> simulator() const override;
    /// The first app (in the inventory's order) installed on simulator().
    std::optional<SimulatorApp> app() const override;

private:
    const SimulatorApps& m_apps;
};

} // namespace quorvex
