#include "app/StatusMenuController.h"

#include "app/DeviceActions.h"
#include "app/HostField.h"
#include "app/MenuIcons.h"
#include "app/StatusMenuDialogs.h"
#include "platform/Dialogs.h"
#include "platform/Workspace.h"
#include "simulator/SimulatorApps.h"
#include "storage/Cleanup.h"
#include "ui/Palette.h"
#include "windows/ScreenshotSettings.h"

#include <QDesktopServices>
#include <QLineEdit>
#include <QUrl>

#include <algorithm>

// The Tools section's submenus of the status menu: simulators, connected devices, blocked
// hosts, clear data, the host app, and the network-extension state rows.
namespace quorvex {
namespace {

QString cleanupTitle(CleanupFlowsService::Target target) {
    using Target = CleanupFlowsService::Target;
    switch (target) {
    case Target::derivedData:
        return QStringLiteral("Clean DerivedData");
    case Target::packages:
        return QStringLiteral("Clean Swift Package Manager");
    case Target::documentation:
        return QStringLiteral("Clean Documentation Cache");
    case Target::oldLogs:
        return QStringLiteral("Clean Old Logs");
    case Target::everything:
        return QStringLiteral("Close Xcode and Clean All");
    }
    return {};
}

QString cleanupSymbol(CleanupFlowsService::Target target) {
    using Target = CleanupFlowsService::Target;
    switch (target) {
    case Target::derivedData:
        return QStringLiteral("hammer");
    case Target::packages:
        return QStringLiteral("shippingbox");
    case Target::documentation:
        return QStringLiteral("book.closed");
    case Target::oldLogs:
        return QStringLiteral("doc.text.magnifyingglass");
    case Target::everything:
        return QStringLiteral("xmark.app");
    }
    return {};
}
// The window shortcuts that work while the host app is in front, in the tracker's order.
struct WindowShortcut {
    const char* keys;
    const char* title;
};
constexpr WindowShortcut kWindowShortcuts[] = {
    {"⌃⌥N", "Cycle Network Speed"},
    {"⌃⌥S", "Take Screenshot"},
    {"⌃⌥C", "Copy Screenshot"},
    {"⌃⌥R", "Repeat Last Deep Link or Push"},
    {"⌃⌥P", "Show or Hide Side Panel"},
    {"⌃⌘Z", "Shake Gesture"},
    {"⌃⌘A", "Switch Light and Dark Appearance"},
    {"⌃⌘M", "Simulate Memory Warning"},
};

const QString kDeviceStatusBarCapability = QStringLiteral("com.apple.coredevice.feature.simulateStatusBar");

} // namespace

void StatusMenuController::fillSimulators(MenuRows& rows) {
    const std::vector<SimulatorDevice>& devices = m_models.simulatorApps.devices();
    const QString hostName = m_models.services.deviceHub.hostName();
    if (devices.empty()) {
        rows.push_back(MenuRow::info(QStringLiteral("Start a simulator in %1 first.").arg(hostName),
                                     QStringLiteral("info.circle")));
        return;
    }
    const std::optional<QString> focused = m_models.services.deviceHub.focusedUDID();
    QPointer<StatusMenuController> self(this);
    for (const SimulatorDevice& device : devices) {
        const bool isFocused = focused && *focused == device.udid;
        MenuRow row = lazyRow(device.name, [self, device, devices](MenuRows& submenu) {
            if (self)
                self->fillSimulatorSubmenu(submenu, device, devices);
        });
        row.icon = QPixmap::fromImage(
            MenuIcons::menuImage(QStringLiteral("iphone"), isFocused ? Palette::blue() : Palette::gray()));
        if (isFocused)
            row.withSubtitle(QStringLiteral("In %1").arg(hostName));
        rows.push_back(std::move(row));
    }
}

void StatusMenuController::fillConnectedDevices(MenuRows& rows, const std::vector<PhysicalDevice>& devices) {
    DeviceFlowsService* flows = &m_models.services.deviceFlows;
    QPointer<StatusMenuController> self(this);
    const QString summary = screenshotSummary();
    for (size_t i = 0; i < devices.size(); ++i) {
        const PhysicalDevice& device = devices[i];
        if (i > 0)
            rows.push_back(MenuRow::separator());
        rows.push_back(MenuRow::header(device.name));
        rows.push_back(MenuRow::action(QStringLiteral("Take Screenshot"), QStringLiteral("camera.fill"),
                                       Palette::blue(), [flows, device] { flows->screenshot(device, false); })
                           .withSubtitle(summary));
        rows.push_back(copyScreenshotItem([flows, device] { flows->screenshot(device, true); }));
        MenuRow options = MenuRow::tool(QStringLiteral("Screenshot Options"),
                                        QStringLiteral("slider.horizontal.3"), Palette::blue());
        fillScreenshotOptions(options.children);
        rows.push_back(std::move(options));
        if (device.capabilities.contains(kDeviceStatusBarCapability)) {
            MenuRow statusBar = MenuRow::tool(QStringLiteral("Status Bar"),
                                              QStringLiteral("menubar.rectangle"), Palette::gray());
            fillDeviceStatusBarSubmenu(statusBar.children, device);
            rows.push_back(std::move(statusBar));
        }
        rows.push_back(MenuRow::action(QStringLiteral("Open URL…"), QStringLiteral("link"), Palette::green(),
                                       [device] { promptOpenURL(device); }));
        rows.push_back(MenuRow::action(QStringLiteral("Send Push Notification…"),
                                       QStringLiteral("bell.badge.fill"), Palette::red(),
                                       [flows, device] { flows->showPushWindow(device); })
                           .withSubtitle(QStringLiteral("Through APNs with your .p8 key")));
        MenuRow appData =
            MenuRow::tool(QStringLiteral("App Data"), QStringLiteral("folder.fill"), Palette::cyan());
        fillDeviceAppData(appData.children, device);
        rows.push_back(std::move(appData));
        rows.push_back(MenuRow::action(QStringLiteral("Launch App with Arguments…"),
                                       QStringLiteral("play.fill"), Palette::green(),
                                       [device] { startLaunchWithArguments(device); }));
        rows.push_back(MenuRow::action(QStringLiteral("Install Configuration Profile…"),
                                       QStringLiteral("checkmark.seal.fill"), Palette::blue(),
                                       [device] { chooseProfile(device); })
                           .withSubtitle(QStringLiteral("Trust a proxy certificate, and more")));
    }
}

void StatusMenuController::fillBlockedHosts(MenuRows& rows) {
    NetworkService* network = &m_models.services.network;
    const auto rules = network->hostRules();
    const bool busy = network->isBusy();
    if (rules.empty())
        rows.push_back(
            MenuRow::info(QStringLiteral("Block a host to test how apps handle\na backend that’s down."),
                          QStringLiteral("info.circle")));
    for (const NetworkService::HostRule& rule : rules) {
        const QString host = rule.host;
        MenuRow row = MenuRow::tool(
            host, rule.enabled ? QStringLiteral("nosign") : QStringLiteral("circle.dashed"), std::nullopt);
        row.withSubtitle(rule.enabled ? QStringLiteral("Blocked") : QStringLiteral("Off"));
        row.enabled = !busy;
        fillHostRuleSubmenu(row.children, host, rule.enabled);
        rows.push_back(std::move(row));
    }
    rows.push_back(MenuRow::separator());
    QPointer<StatusMenuController> self(this);
    MenuRow add = MenuRow::action(QStringLiteral("Add Host…"), QStringLiteral("plus"), std::nullopt, [self] {
        if (self)
            self->addBlockedHost();
    });
    add.enabled = !busy;
    rows.push_back(std::move(add));
    rows.push_back(
        MenuRow::info(QStringLiteral("Simulator apps get “connection refused” for\nthese hosts and their "
                                     "subdomains."),
                      QStringLiteral("info.circle")));
}

void StatusMenuController::fillClearData(MenuRows& rows, const std::optional<SimulatorApp>& app) {
    using Target = CleanupFlowsService::Target;
    CleanupFlowsService* flows = &m_models.services.cleanupFlows;
    const bool working = m_models.cleanup.isWorking();
    bool hasBuildData = true;
    std::vector<Target> targets;
    if (!app) {
        rows.push_back(MenuRow::header(QStringLiteral("Quick Clean")));
        targets = {Target::derivedData, Target::packages, Target::documentation, Target::oldLogs,
                   Target::everything};
    } else {
        hasBuildData = !flows->findProjectFolders(app->id).empty();
        rows.push_back(MenuRow::header(QStringLiteral("Xcode Build Data")));
        targets = {Target::derivedData, Target::packages, Target::everything};
    }
    for (const Target target : targets) {
        if (target == Target::everything)
            rows.push_back(MenuRow::separator());
        MenuRow row = MenuRow::action(cleanupTitle(target) + QStringLiteral("…"), cleanupSymbol(target),
                                      std::nullopt, [flows, target, app] { flows->clean(target, app); });
        row.withSubtitle(app && !hasBuildData ? QStringLiteral("No build data found")
                                              : flows->describe(target, app));
        row.enabled = hasBuildData && !working;
        rows.push_back(std::move(row));
    }
    if (app) {
        rows.push_back(MenuRow::separator());
        rows.push_back(MenuRow::header(QStringLiteral("Archives")));
        CleanerWindowService* cleaner = &m_models.services.cleanerWindow;
        const SimulatorApp archivesApp = *app;
        rows.push_back(MenuRow::action(QStringLiteral("Archives…"), QStringLiteral("archivebox"),
                                       std::nullopt,
                                       [cleaner, archivesApp] { cleaner->show(std::nullopt, archivesApp); })
                           .withSubtitle(QStringLiteral("Review and remove this app’s archives")));
        rows.push_back(MenuRow::separator());
        rows.push_back(MenuRow::header(QStringLiteral("Simulator")));
        const SimulatorApp eraseApp = *app;
        MenuRow erase =
            MenuRow::action(QStringLiteral("Erase App Data in Simulator…"), QStringLiteral("eraser"),
                            std::nullopt, [flows, eraseApp] { flows->eraseAppData(eraseApp); });
        const size_t installs = app->installs.size();
        erase.withSubtitle(installs == 1   ? app->installs.front().deviceName
                           : installs == 0 ? QStringLiteral("Simulator not running")
                                           : QStringLiteral("%1 simulators").arg(installs));
        erase.enabled = installs > 0 && !working;
        rows.push_back(std::move(erase));
    }
    if (working)
        rows.push_back(MenuRow::info(QStringLiteral("Cleaning…"), QStringLiteral("hourglass")));
}

void StatusMenuController::fillHostApp(MenuRows& rows) {
    DeviceHubService* deviceHub = &m_models.services.deviceHub;
    const QString host = deviceHub->hostName();
    QPointer<StatusMenuController> self(this);
    rows.push_back(MenuRow::action(QStringLiteral("Open ") + host, QStringLiteral("macbook.and.iphone"),
                                   std::nullopt, [self] {
                                       if (self)
                                           self->openHostApp();
                                   }));
    rows.push_back(MenuRow::separator());
    MenuRow panel = MenuRow::action(QStringLiteral("Show Side Panel"), QStringLiteral("sidebar.right"),
                                    std::nullopt, [self] {
                                        if (self)
                                            self->toggleSidePanel();
                                    });
    panel.withSubtitle(QStringLiteral("Next to ") + host + QStringLiteral("’s window"));
    panel.checked = deviceHub->isPanelEnabled();
    rows.push_back(std::move(panel));
    const bool readsTitles = deviceHub->canReadTitles();
    MenuRow follow = MenuRow::action(QStringLiteral("Follow Focused Device"), QStringLiteral("scope"),
                                     std::nullopt, [deviceHub] { deviceHub->requestAccessibility(); });
    if (!readsTitles)
        follow.withSubtitle(QStringLiteral("Needs Accessibility access"));
    else if (const auto target = deviceHub->targetDevice())
        follow.withSubtitle(QStringLiteral("Now: ") + target->name);
    else
        follow.withSubtitle(QStringLiteral("No simulator in focus"));
    follow.checked = readsTitles;
    rows.push_back(std::move(follow));
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::header(QStringLiteral("While ") + host + QStringLiteral(" Is in Front")));
    for (const WindowShortcut& shortcut : kWindowShortcuts)
        rows.push_back(MenuRow::info(QString::fromUtf8(shortcut.keys) + QStringLiteral("   ") +
                                         QString::fromUtf8(shortcut.title),
                                     QStringLiteral("keyboard")));
}

void StatusMenuController::appendExtensionState(MenuRows& rows) {
    const NetworkService& network = m_models.services.network;
    QPointer<StatusMenuController> self(this);
    if (network.awaitingApproval()) {
        rows.push_back(MenuRow::separator());
        rows.push_back(MenuRow::info(QStringLiteral("Allow the extension in System Settings to continue."),
                                     QStringLiteral("exclamationmark.shield")));
        rows.push_back(MenuRow::action(QStringLiteral("Open Network Extensions Settings…"),
                                       QStringLiteral("gear"), std::nullopt, [self] {
                                           if (self)
                                               self->openExtensionSettings();
                                       }));
    } else if (network.isBusy()) {
        rows.push_back(MenuRow::separator());
        rows.push_back(MenuRow::info(QStringLiteral("Applying…"), QStringLiteral("hourglass")));
    } else if (const auto error = network.lastError()) {
        rows.push_back(MenuRow::separator());
        rows.push_back(MenuRow::info(*error, QStringLiteral("exclamationmark.triangle")));
    }
}

// ---------------------------------------------------------------------------------------------
// Screenshot rows

QString StatusMenuController::screenshotSummary() const {
    QStringList parts;
    if (ScreenshotSettings::frame())
        parts << QStringLiteral("Device frame");
    parts << QStringLiteral("saved to ") + ScreenshotSettings::folderDisplayName();
    if (ScreenshotSettings::copyToClipboard())
        parts << QStringLiteral("copied");
    QString summary = parts.join(QStringLiteral(" · "));
    if (!summary.isEmpty())
        summary[0] = summary[0].toUpper();
    return summary;
}

MenuRow StatusMenuController::copyScreenshotItem(ActionItem::Handler handler) const {
    MenuRow row = MenuRow::action(QStringLiteral("Copy Screenshot"), QStringLiteral("doc.on.clipboard.fill"),
                                  Palette::blue(), std::move(handler));
    row.withSubtitle(QStringLiteral("To the clipboard · ⌃⌥C in ") + m_models.services.deviceHub.hostName());
    return row;
}

void StatusMenuController::fillScreenshotOptions(MenuRows& rows) {
    struct Option {
        const QString& key;
        const char* title;
        const char* subtitle;
    };
    const Option options[] = {
        {ScreenshotSettings::kFrameKey, "Device Frame", "Around the screen, like the real device"},
        {ScreenshotSettings::kCleanStatusBarKey, "Clean Status Bar", "9:41, full battery and signal"},
        {ScreenshotSettings::kCopyKey, "Copy to Clipboard", nullptr},
    };
    for (const Option& option : options) {
        // The switch writes the opposite of what the row shows, not of what is stored by then.
        const bool on = ScreenshotSettings::isOn(option.key);
        const QString key = option.key;
        MenuRow row = MenuRow::action(QString::fromUtf8(option.title), QString(), std::nullopt,
                                      [key, on] { ScreenshotSettings::setOn(key, !on); });
        if (option.subtitle)
            row.withSubtitle(QString::fromUtf8(option.subtitle));
        row.checked = on;
        rows.push_back(std::move(row));
    }
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::action(
        QStringLiteral("Screenshot Folder: ") + ScreenshotSettings::folderDisplayName() + QStringLiteral("…"),
        QStringLiteral("folder"), std::nullopt, [] { ScreenshotSettings::chooseFolder(); }));
    rows.push_back(MenuRow::action(QStringLiteral("Show Screenshots in Finder"),
                                   QStringLiteral("arrow.up.forward.app"), std::nullopt,
                                   [] { Workspace::system().openPath(ScreenshotSettings::folder()); }));
}

void StatusMenuController::takeScreenshot(const SimulatorDevice& device, bool copy) {
    // The capture reads the settings and the folder itself, when it starts.
    m_models.services.actionWindows.screenshot(device.udid, copy);
}

// ---------------------------------------------------------------------------------------------
// Blocked-host rows and switches

void StatusMenuController::fillHostRuleSubmenu(MenuRows& rows, const QString& host, bool enabled) {
    NetworkService* network = &m_models.services.network;
    rows.push_back(MenuRow::action(enabled ? QStringLiteral("Stop Blocking") : QStringLiteral("Block"),
                                   enabled ? QStringLiteral("checkmark.circle") : QStringLiteral("nosign"),
                                   std::nullopt, [network, host] { network->toggleHostRule(host); }));
    rows.push_back(MenuRow::action(QStringLiteral("Remove"), QStringLiteral("trash"), std::nullopt,
                                   [network, host] { network->removeHostRule(host); }));
}

void StatusMenuController::addBlockedHost() {
    BlockHostAlert dialog = makeBlockHostAlert();
    if (Dialogs::shared().runAlert(dialog.alert) == Dialogs::kFirstButton)
        m_models.services.network.addHostRule(dialog.field->field()->text().trimmed());
}

void StatusMenuController::toggleSidePanel() {
    DeviceHubService& deviceHub = m_models.services.deviceHub;
    deviceHub.setPanelEnabled(!deviceHub.isPanelEnabled());
}

void StatusMenuController::openHostApp() {
    m_models.services.deviceHub.openHost();
}

void StatusMenuController::openExtensionSettings() {
    QDesktopServices::openUrl(
        QUrl(QStringLiteral("x-apple.systempreferences:com.apple.LoginItems-Settings.extension")));
}

} // namespace quorvex
