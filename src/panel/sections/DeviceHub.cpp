#include "panel/sections/DeviceHub.h"

#include "actions/Permissions.h"
#include "devices/core/PhysicalDevices.h"
#include "panel/controller/DeviceHubPanel.h"
#include "panel/controller/DeviceHubShortcuts.h"
#include "panel/controller/DeviceHubTracker.h"
#include "panel/controller/SidePanelWindow.h"
#include "panel/sections/DeviceHubPanelView.h"
#include "panel/sections/DeviceSectionServices.h"
#include "panel/sections/LanguageTools.h"
#include "panel/sections/PanelServices.h"
#include "platform/gui/Workspace.h"
#include "simulator/SimulatorApps.h"
#include "simulator/Toast.h"
#include "tools/ToolPaths.h"
#include "tools/ToolRunner.h"
#include "windows/DeviceScreenshot.h"
#include "windows/ScreenshotThumbnail.h"

namespace quorvex {

DeviceHub::DeviceHub(Dependencies dependencies)
    : m_deps(std::move(dependencies)) {
    SimulatorApps* simulatorApps = &m_deps.simulatorApps;
    PhysicalDevices* physicalDevices = &m_deps.physicalDevices;
    m_tracker = std::make_unique<DeviceHubTracker>(
        m_deps.windows, m_deps.clock,
        DeviceHubTracker::DeviceSources{[simulatorApps] { return simulatorApps->devices(); },
                                        [physicalDevices] { return physicalDevices->devices(); }},
        [](const std::filesystem::path& path) { Workspace::system().openPath(path); });
    m_panel = std::make_unique<DeviceHubPanel>(DeviceHubPanel::Dependencies{
        *m_tracker,
        m_deps.windows,
        m_deps.clock,
        m_deps.defaults,
        [simulatorApps] { return simulatorApps->apps(); },
        [this, simulatorApps, physicalDevices]() -> std::unique_ptr<PanelWindow> {
            auto* view = new DeviceHubPanelView(*m_services);
            // The panel's own signal covers the target; the lists also change what the bar shows.
            QObject::connect(simulatorApps, &SimulatorApps::devicesChanged, view,
                             &DeviceHubPanelView::refresh);
            QObject::connect(simulatorApps, &SimulatorApps::appsChanged, view, &DeviceHubPanelView::refresh);
            QObject::connect(physicalDevices, &PhysicalDevices::devicesChanged, view,
                             &DeviceHubPanelView::refresh);
            QObject::connect(physicalDevices, &PhysicalDevices::capabilitiesChanged, view,
                             &DeviceHubPanelView::refresh);
            return std::make_unique<SidePanelWindow>(m_deps.windows, view);
        },
        [](const QString& udid) {
            return runTool(ToolPaths::xcrun(),
                           QStringList{QStringLiteral("simctl"), QStringLiteral("spawn"), udid,
                                       QStringLiteral("launchctl"), QStringLiteral("list")});
        },
    });
    m_screenshot = std::make_unique<DeviceScreenshot>(
        m_deps.clock, m_deps.clipboard, DeviceScreenshot::systemTools(ScreenshotThumbnail::shared()));
    m_shortcuts = std::make_unique<DeviceHubShortcuts>(DeviceHubShortcuts::Dependencies{
        *m_tracker,
        *m_panel,
        m_deps.network,
        m_deps.hotKeys,
        m_deps.repeatLast,
        [this](bool copy) { takeScreenshot(copy); },
        DeviceHubShortcuts::shakeCommand(),
        DeviceHubShortcuts::toggleAppearanceCommand(),
        DeviceHubShortcuts::memoryWarningCommand(),
    });
    m_services = std::make_unique<PanelServices>(PanelServices{
        *m_panel,
        *m_tracker,
        *m_shortcuts,
        m_deps.simulatorApps,
        m_deps.network,
        Permissions::shared(),
        LanguageTools::simulator(),
        m_deps.defaults,
        m_deps.clock,
        Workspace::system(),
        PanelCommands::system(),
        [this](bool copy) { takeScreenshot(copy); },
        {},
    });
}

DeviceHub::~DeviceHub() {
    // The panel's window holds the view, which uses the services: both go before them.
    m_shortcuts.reset();
    m_panel.reset();
    m_services.reset();
}

std::optional<SimulatorDevice> DeviceHub::targetDevice() const {
    return m_tracker->targetDevice();
}

std::optional<QString> DeviceHub::focusedUDID() const {
    return m_tracker->focusedUDID();
}

QString DeviceHub::hostName() const {
    return m_tracker->hostName();
}

void DeviceHub::openHost() {
    m_tracker->openHost();
}

bool DeviceHub::canReadTitles() const {
    return m_tracker->canReadTitles();
}

void DeviceHub::requestAccessibility() {
    m_tracker->requestAccessibility();
}

bool DeviceHub::isPanelEnabled() const {
    return m_panel->isEnabled();
}

std::optional<QString> DeviceHub::panelUnavailableReason() const {
    return m_deps.windows.hiddenWindowsReason();
}

void DeviceHub::setPanelEnabled(bool enabled) {
    m_panel->setEnabled(enabled);
}

std::optional<QString> DeviceHub::targetUDID() const {
    return m_tracker->targetUDID();
}

void DeviceHub::setDeviceOverride(const std::optional<QString>& udid) {
    m_panel->setDeviceOverride(udid);
}

void DeviceHub::setAppChoice(const QString& udid, const QString& bundleID) {
    m_panel->setAppChoice(udid, bundleID);
}

void DeviceHub::setPanelCollapsed(bool collapsed) {
    m_panel->setCollapsed(collapsed);
}

void DeviceHub::installShortcuts() {
    m_shortcuts->install();
}

void DeviceHub::takeScreenshot(bool copy) {
    std::optional<QString> name;
    if (const auto simulator = m_panel->simulator())
        name = simulator->name;
    const std::optional<PhysicalDevice> device = m_panel->physicalDevice();
    if (!name && device)
        name = device->name;
    const std::optional<QString> udid = m_panel->targetUDID();
    if (!name || !udid) {
        Toast::show(QStringLiteral("No device in ") + hostName(), std::nullopt, QStringLiteral("camera"),
                    true);
        return;
    }
    screenshot(*udid, *name, device, copy);
}

void DeviceHub::screenshot(const QString& udid, const QString& deviceName,
                           const std::optional<PhysicalDevice>& device, bool copy) {
    m_screenshot->screenshot(udid, deviceName, device, copy);
}

std::vector<DeviceHubService::WindowShortcut> DeviceHub::windowShortcuts() const {
    std::vector<WindowShortcut> rows;
    for (const DeviceHubShortcuts::Shortcut& row : DeviceHubShortcuts::table())
        rows.push_back({row.keys, row.title});
    return rows;
}

void DeviceHub::connectPanel(MenuFlows& flows, ActionWindowsService& actionWindows,
                             DeviceFlowsService& deviceFlows) {
    m_services->menuFlows = &flows;
    m_services->actionWindows = &actionWindows;
    m_deviceSections = std::make_unique<DeviceToolsSectionServices>(deviceFlows);
    m_services->deviceSections = m_deviceSections.get();
}

void DeviceHub::setDropHandler(std::function<void(const QByteArray& uriList)> drop) {
    m_services->drop = std::move(drop);
}

void DeviceHub::startPanel() {
    m_deps.physicalDevices.start();
    m_panel->start();
}

} // namespace quorvex
