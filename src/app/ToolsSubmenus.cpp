#include "app/StatusMenuController.h"

#include "actions/PermissionService.h"
#include "actions/Permissions.h"
#include "actions/SampleMedia.h"
#include "actions/SimulatorActions.h"
#include "app/CopyRowView.h"
#include "app/EntitlementRowView.h"
#include "app/HostField.h"
#include "app/MenuIcons.h"
#include "app/MenuRenderer.h"
#include "app/PermissionRowView.h"
#include "app/Updates.h"
#include "network/NetworkProfile.h"
#include "platform/Dialogs.h"
#include "simulator/AppDataLocation.h"
#include "simulator/AppDetails.h"
#include "simulator/DeviceTools.h"
#include "simulator/SimulatorApps.h"
#include "simulator/Toast.h"
#include "storage/Cleanup.h"
#include "ui/Palette.h"

#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QPalette>
#include <QSystemTrayIcon>
#include <QtConcurrent>

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
    for (size_t i = 0; i < devices.size(); ++i) {
        const PhysicalDevice& device = devices[i];
        if (i > 0)
            rows.push_back(MenuRow::separator());
        rows.push_back(MenuRow::header(device.name));
        MenuRow push =
            MenuRow::action(QStringLiteral("Send Push Notification…"), QStringLiteral("bell.badge.fill"),
                            Palette::red(), [flows, device] { flows->showPushWindow(device); });
        push.withSubtitle(QStringLiteral("Through APNs with your .p8 key"));
        rows.push_back(std::move(push));
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
        row.children.push_back(
            MenuRow::action(rule.enabled ? QStringLiteral("Turn Off") : QStringLiteral("Turn On"), QString(),
                            std::nullopt, [network, host] { network->toggleHostRule(host); }));
        row.children.push_back(MenuRow::action(QStringLiteral("Remove"), QStringLiteral("trash"),
                                               std::nullopt,
                                               [network, host] { network->removeHostRule(host); }));
        rows.push_back(std::move(row));
    }
    rows.push_back(MenuRow::separator());
    QPointer<StatusMenuController> self(this);
    MenuRow add =
        MenuRow::action(QStringLiteral("Add Host…"), QStringLiteral("plus"), std::nullopt, [self, network] {
            if (!self)
                return;
            HostField field;
            Alert alert;
            alert.message = QStringLiteral("Block a Host");
            alert.informativeText =
                QStringLiteral("Simulator apps get “connection refused” for this host and its subdomains.");
            alert.buttons = {{QStringLiteral("Block")}, {QStringLiteral("Cancel")}};
            alert.accessory = &field;
            alert.initialFocus = field.field();
            alert.acceptsFirstButton = [&field] { return field.validate(); };
            if (Dialogs::shared().runAlert(alert) == Dialogs::kFirstButton)
                network->addHostRule(field.field()->text().trimmed());
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
    rows.push_back(MenuRow::action(QStringLiteral("Open %1").arg(deviceHub->hostName()),
                                   QStringLiteral("arrow.up.forward.app"), std::nullopt,
                                   [deviceHub] { deviceHub->openHost(); }));
}

void StatusMenuController::appendExtensionState(MenuRows& rows) {
    const NetworkService& network = m_models.services.network;
    if (network.awaitingApproval()) {
        rows.push_back(MenuRow::separator());
        rows.push_back(MenuRow::info(QStringLiteral("Allow the extension in System Settings to continue."),
                                     QStringLiteral("exclamationmark.shield")));
        rows.push_back(MenuRow::action(QStringLiteral("Open Network Extensions Settings…"),
                                       QStringLiteral("gear"), std::nullopt, [] {}));
    } else if (network.isBusy()) {
        rows.push_back(MenuRow::separator());
        rows.push_back(MenuRow::info(QStringLiteral("Applying…"), QStringLiteral("hourglass")));
    } else if (const auto error = network.lastError()) {
        rows.push_back(MenuRow::separator());
        rows.push_back(MenuRow::info(*error, QStringLiteral("exclamationmark.triangle")));
    }
}

} // namespace quorvex
