#pragma once

#include "devices/core/PhysicalDevice.h"
#include "panel/sections/DeviceHubService.h"

#include <functional>
#include <memory>

class QSettings;

namespace quorvex {

class Clipboard;
class Clock;
class DeviceScreenshot;
class DeviceSectionServices;
class DeviceHubPanel;
class DeviceHubShortcuts;
class DeviceHubTracker;
class HotKeyRegistry;
class NetworkService;
class PhysicalDevices;
class SimulatorApps;
struct PanelServices;
class WindowSystem;

/// The window tracker, the window shortcuts and the side panel together, as the menu-bar frame
/// uses them. Owns the three; the dependencies must outlive it. GUI thread.
class DeviceHub final : public DeviceHubService {
public:
    struct Dependencies {
        WindowSystem& windows;
        Clock& clock;
        QSettings& defaults;
        SimulatorApps& simulatorApps;
        PhysicalDevices& physicalDevices;
        NetworkService& network;
        HotKeyRegistry& hotKeys;
        Clipboard& clipboard;
        std::function<void()> repeatLast;
    };

    explicit DeviceHub(Dependencies dependencies);
    ~DeviceHub() override;

    std::optional<SimulatorDevice> targetDevice() const override;
    std::optional<QString> focusedUDID() const override;
    QString hostName() const override;
    void openHost() override;
    bool canReadTitles() const override;
    void requestAccessibility() override;
    bool isPanelEnabled() const override;
    std::optional<QString> panelUnavailableReason() const override;
    void setPanelEnabled(bool enabled) override;
    std::optional<QString> targetUDID() const override;
    void setDeviceOverride(const std::optional<QString>& udid) override;
    void setAppChoice(const QString& udid, const QString& bundleID) override;
    void setPanelCollapsed(bool collapsed) override;
    void installShortcuts() override;
    void startPanel() override;
    std::vector<WindowShortcut> windowShortcuts() const override;
    void connectPanel(MenuFlows& flows, ActionWindowsService& actionWindows,
                      DeviceFlowsService& deviceFlows) override;

    /// Where the URLs dropped on the panel go ("text/uri-list" data).
    void setDropHandler(std::function<void(const QByteArray& uriList)> drop);

    DeviceHubTracker& tracker() { return *m_tracker; }
    DeviceHubPanel& panel() { return *m_panel; }
    DeviceHubShortcuts& shortcuts() { return *m_shortcuts; }
    PanelServices& panelServices() { return *m_services; }

    /// A screenshot of the panel's target; "No device in ..." when there is none.
    void takeScreenshot(bool copy);
    /// A screenshot of the named device (a connected one when `device` is given).
    void screenshot(const QString& udid, const QString& deviceName,
                    const std::optional<PhysicalDevice>& device, bool copy);

private:
    Dependencies m_deps;
    std::unique_ptr<DeviceHubTracker> m_tracker;
    std::unique_ptr<DeviceHubPanel> m_panel;
    std::unique_ptr<DeviceScreenshot> m_screenshot;
    std::unique_ptr<DeviceHubShortcuts> m_shortcuts;
    std::unique_ptr<PanelServices> m_services;
    std::unique_ptr<DeviceSectionServices> m_deviceSections;
};

} // namespace quorvex
