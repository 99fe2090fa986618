#pragma once

#include "simulator/SimulatorApp.h"

#include <QString>

#include <optional>
#include <vector>

namespace quorvex {

class ActionWindowsService;
class DeviceFlowsService;
class MenuFlows;

/// The window tracker, the window shortcuts and the side panel. GUI thread.
class DeviceHubService {
public:
    virtual ~DeviceHubService() = default;
    /// The booted simulator the tools act on.
    virtual std::optional<SimulatorDevice> targetDevice() const = 0;
    /// The simulator shown in the focused host window, when the tracker can tell.
    virtual std::optional<QString> focusedUDID() const = 0;
    /// "Simulator" or "Device Hub".
    virtual QString hostName() const = 0;
    virtual void openHost() = 0;
    /// The tracker may read window titles (it has accessibility access).
    virtual bool canReadTitles() const = 0;
    /// Asks the user for accessibility access.
    virtual void requestAccessibility() = 0;
    virtual bool isPanelEnabled() const = 0;
    /// Why the side panel cannot be shown on this desktop, in words for the user; none where it
    /// can.
    virtual std::optional<QString> panelUnavailableReason() const { return std::nullopt; }
    virtual void setPanelEnabled(bool enabled) = 0;
    /// The focused device when it is a booted simulator or a connected device, else the
    /// simulator booted last; none when nothing runs.
    virtual std::optional<QString> targetUDID() const = 0;
    /// The device the side panel shows instead of the tracker's target (none: the target).
    virtual void setDeviceOverride(const std::optional<QString>& udid) = 0;
    /// Selects the app the side panel shows for one device.
    virtual void setAppChoice(const QString& udid, const QString& bundleID) = 0;
    virtual void setPanelCollapsed(bool collapsed) = 0;
    /// Launch: the window-scoped shortcuts, then the panel.
    virtual void installShortcuts() = 0;
    virtual void startPanel() = 0;

    /// One window shortcut as menus list it: the keys as this desktop writes them, and the title.
    struct WindowShortcut {
        QString keys;
        QString title;
    };
    /// The window shortcuts, in the order they are installed (none where there are none).
    virtual std::vector<WindowShortcut> windowShortcuts() const { return {}; }

    /// Hands the side panel the status menu's flows, the action windows and the device flows,
    /// which exist only once the application has launched. They must stay alive while the panel
    /// can be used.
    virtual void connectPanel(MenuFlows& flows, ActionWindowsService& actionWindows,
                              DeviceFlowsService& deviceFlows) {
        (void)flows;
        (void)actionWindows;
        (void)deviceFlows;
    }
};

} // namespace quorvex
