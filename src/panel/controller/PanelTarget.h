#pragma once

#include "devices/core/PhysicalDevice.h"
#include "simulator/SimulatorApp.h"

#include <optional>

namespace quorvex {

/// What the side panel is acting on: at most one connected device, or a booted simulator and the
/// app the panel shows for it. Read on the GUI thread; each call gives the current value.
class PanelTarget {
public:
    virtual ~PanelTarget() = default;

    /// The connected device the panel shows, if it shows one. When there is one, it wins over
    /// any simulator.
    virtual std::optional<PhysicalDevice> physicalDevice() const = 0;
    /// The booted simulator the panel shows; nothing when no simulator runs.
    virtual std::optional<SimulatorDevice> simulator() const = 0;
    /// The app the panel acts on for its device; nothing when that device has no apps.
    virtual std::optional<SimulatorApp> app() const = 0;
};

} // namespace quorvex
