#pragma once

#include "app/Services.h"

namespace quorvex {

class SimulatorApps;

/// Stands in for the window tracker and the side panel until they land: no host window is
/// known, so nothing is focused and the target is the most recently booted simulator; there is
/// no side panel (shown as off; turning it on says so) and no window shortcuts.
class ProvisionalDeviceHub final : public DeviceHubService {
public:
    explicit ProvisionalDeviceHub(SimulatorApps& simulatorApps);

    std::optional<SimulatorDevice> targetDevice() const override;
    std::optional<QString> focusedUDID() const override { return std::nullopt; }
    QString hostName() const override { return QStringLiteral("Simulator"); }
    void openHost() override;
    bool canReadTitles() const override { return false; }
    void requestAccessibility() override;
    bool isPanelEnabled() const override { return false; }
    void setPanelEnabled(bool enabled) override;
    std::optional<QString> targetUDID() const override;
    // No panel yet: nothing to point at a device or an app.
    void setDeviceOverride(const std::optional<QString>&) override {}
    void setAppChoice(const QString&, const QString&) override {}
    void setPanelCollapsed(bool) override {}
    void installShortcuts() override {}
    /// The side panel comes later; what its start does besides, the connected-device poll, runs now.
    void startPanel() override;

    /// The simulator booted last (by `bootedAt`; one without a boot time counts as oldest; on a
    /// tie the first in list order).
    static std::optional<SimulatorDevice> mostRecentlyBooted(const std::vector<SimulatorDevice>& devices);

private:
    SimulatorApps& m_simulatorApps;
};

} // namespace quorvex
