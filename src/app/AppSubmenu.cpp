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

// The per-app submenu of the status menu, filled when it is first opened.
namespace quorvex {
void StatusMenuController::fillAppSubmenu(MenuRows& rows, const SimulatorApp& app, bool running) {
    NeighbourServices& services = m_models.services;
    const std::optional<SimulatorDevice> target = services.deviceHub.targetDevice();
    const SimulatorInstall* install = target ? app.install(target->udid) : nullptr;
    if (!install && !app.installs.empty())
        install = &app.installs.front();

    // Deep links and pushes.
    rows.push_back(MenuRow::header(QStringLiteral("Deep Links & Pushes")));
    ActionWindowsService* windows = &services.actionWindows;
    MenuRow openURL = MenuRow::action(QStringLiteral("Open URL…"), QStringLiteral("link"), Palette::green(),
                                      [windows, app] { windows->openDeepLinkWindow(app); });
    openURL.enabled = running;
    rows.push_back(std::move(openURL));
    MenuRow push =
        MenuRow::action(QStringLiteral("Send Push Notification…"), QStringLiteral("bell.badge.fill"),
                        Palette::red(), [windows, app] { windows->openPushWindow(app); });
    push.enabled = running;
    rows.push_back(std::move(push));
    SimulatorActions* actions = &m_models.actions;
    if (const auto presets = actions->presets().find(app.id);
        presets != actions->presets().end() && install) {
        const SimulatorInstall chosen = *install;
        for (const SimulatorActions::Preset& preset : presets->second) {
            const SimulatorActions::Kind kind = preset.kind;
            rows.push_back(
                MenuRow::action(
                    preset.name, kind.asPush() ? QStringLiteral("bell.badge") : QStringLiteral("link"),
                    std::nullopt, [actions, kind, app, chosen] { actions->perform(kind, app, chosen); })
                    .withSubtitle(QStringLiteral("On %1").arg(chosen.deviceName)));
        }
    }
    for (const SimulatorActions::Recent& recent : actions->history()) {
        if (recent.bundleID != app.id)
            continue;
        MenuRow row = MenuRow::action(recent.kind.title(), QStringLiteral("clock.arrow.circlepath"),
                                      std::nullopt, [actions, recent] { actions->repeat(recent); });
        row.withSubtitle(QStringLiteral("Again on %1").arg(recent.deviceName));
        rows.push_back(std::move(row));
    }

    // Privacy.
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::header(QStringLiteral("Privacy")));
    if (!running)
        rows.push_back(MenuRow::info(QStringLiteral("Simulator not running"), QStringLiteral("info.circle")));
    Permissions* permissions = &m_models.permissions;
    auto permissionRow = [&](const QString& title, const QString& symbol,
                             std::optional<PermissionService> service) {
        const std::optional<PermissionAction> state =
            service ? permissions->lastAction(*service, app) : std::optional<PermissionAction>();
        MenuRow row = MenuRow::custom([title, symbol, state, permissions, service, app] {
            return new PermissionRowView(title, symbol, state,
                                         [permissions, service, app](PermissionAction action) {
                                             permissions->apply(action, service, app);
                                         });
        });
        row.title = title;
        row.enabled = running && !permissions->isWorking();
        return row;
    };
    rows.push_back(
        permissionRow(QStringLiteral("All Services"), QStringLiteral("hand.raised.fill"), std::nullopt));
    for (const PermissionService service : allPermissionServices())
        rows.push_back(permissionRow(title(service), symbol(service), service));

    // App data.
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::header(QStringLiteral("App Data")));
    if (install) {
        for (const AppDataLocation& location : AppDataLocation::locations(*install, app.id)) {
            MenuRow row =
                MenuRow::action(location.indented ? QStringLiteral("    ") + location.title : location.title,
                                location.symbol, std::nullopt, [location] { location.open(); });
            row.enabled = location.url.has_value();
            rows.push_back(std::move(row));
        }
    } else {
        rows.push_back(MenuRow::info(QStringLiteral("Simulator not running"), QStringLiteral("info.circle")));
    }

    // Identity and cleaning.
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::header(QStringLiteral("App Info")));
    Clock* clock = &m_models.clock;
    const QString bundleID = app.id;
    MenuRow id = MenuRow::custom([bundleID, clock] {
        return new CopyRowView(QStringLiteral("Bundle ID"), {bundleID}, true, QStringLiteral("tag"), *clock);
    });
    id.title = QStringLiteral("Bundle ID");
    rows.push_back(std::move(id));
    if (app.version) {
        const QString version = *app.version;
        MenuRow row = MenuRow::custom([version, clock] {
            return new CopyRowView(QStringLiteral("Version"), {version}, true, QStringLiteral("number"),
                                   *clock);
        });
        row.title = QStringLiteral("Version");
        rows.push_back(std::move(row));
    }
    if (install) {
        // Read from the executable only now that the submenu opens, like everything else here.
        const AppDetails details = AppDetails::load(*install);
        if (details.teamID) {
            const QString team = *details.teamID;
            MenuRow row = MenuRow::custom([team, clock] {
                return new CopyRowView(QStringLiteral("Team ID"), {team}, true,
                                       QStringLiteral("person.text.rectangle"), *clock);
            });
            row.title = QStringLiteral("Team ID");
            rows.push_back(std::move(row));
        }
        if (!details.entitlements.empty()) {
            MenuRow entitlements =
                MenuRow::tool(QStringLiteral("Entitlements"), QStringLiteral("checkmark.seal"), std::nullopt);
            entitlements.withBadge(qsizetype(details.entitlements.size()));
            for (const AppDetails::Entitlement& entitlement : details.entitlements) {
                MenuRow row = MenuRow::custom(
                    [entitlement, clock] { return new EntitlementRowView(entitlement, *clock); });
                row.title = entitlement.name;
                entitlements.children.push_back(std::move(row));
            }
            rows.push_back(std::move(entitlements));
        }
    }
    MenuRow clear = MenuRow::tool(QStringLiteral("Clear Data"), QStringLiteral("trash"), Palette::orange());
    fillClearData(clear.children, app);
    rows.push_back(std::move(clear));
}

} // namespace quorvex
