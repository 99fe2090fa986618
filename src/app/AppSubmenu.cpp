#include "app/StatusMenuController.h"

#include "actions/PermissionService.h"
#include "actions/Permissions.h"
#include "actions/SnapshotStore.h"
#include "app/CopyRowView.h"
#include "app/EntitlementRowView.h"
#include "app/PermissionRowView.h"
#include "app/StatusMenuDialogs.h"
#include "network/NetworkProfile.h"
#include "simulator/AppDataLocation.h"
#include "simulator/AppDetails.h"
#include "simulator/DeviceTools.h"
#include "tools/FileGuards.h"
#include "ui/Formatters.h"
#include "ui/Palette.h"

// The per-app submenu of the status menu, filled when it is first opened. Everything it shows
// is read at that moment and not refreshed while it stays open.
namespace quorvex {
namespace {

// One simulator per install, as the launch, terminate and uninstall flows take them.
std::vector<SimulatorDevice> targetList(const SimulatorApp& app) {
    std::vector<SimulatorDevice> devices;
    for (const SimulatorInstall& install : app.installs)
        devices.push_back(SimulatorDevice{install.udid, install.deviceName, std::nullopt});
    return devices;
}

MenuRow copyRow(const QString& title, const QStringList& values, bool copyable, const QString& symbol,
                Clock& clock) {
    Clock* clockPointer = &clock;
    MenuRow row = MenuRow::custom([title, values, copyable, symbol, clockPointer] {
        return new CopyRowView(title, values, copyable, symbol, *clockPointer);
    });
    row.title = title;
    return row;
}

} // namespace

void StatusMenuController::fillAppSubmenu(MenuRows& rows, const SimulatorApp& app, bool running) {
    Services& services = m_models.services;
    QPointer<StatusMenuController> self(this);

    const NetworkProfile profile = services.network.profile(app);
    MenuRow network = MenuRow::tool(QStringLiteral("Network"),
                                    profile.id == "unlimited" ? QStringLiteral("network")
                                                              : QString::fromStdString(profile.symbol),
                                    Palette::blue());
    network.withSubtitle(QString::fromStdString(profile.name));
    fillNetworkSubmenu(network.children, app);
    rows.push_back(std::move(network));

    MenuRow permissions =
        MenuRow::tool(QStringLiteral("Permissions"), QStringLiteral("hand.raised.fill"), Palette::indigo());
    permissions.enabled = running;
    fillPermissionsSubmenu(permissions.children, app);
    rows.push_back(std::move(permissions));

    MenuRow panel = MenuRow::action(QStringLiteral("Show in Side Panel"), QStringLiteral("sidebar.right"),
                                    Palette::teal(), [self, app] {
                                        if (self)
                                            self->showInSidePanel(app);
                                    });
    panel.withSubtitle(QStringLiteral("Next to %1’s window").arg(services.deviceHub.hostName()));
    panel.enabled = running;
    rows.push_back(std::move(panel));
    rows.push_back(MenuRow::separator());

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
    rows.push_back(MenuRow::separator());

    MenuRow appData =
        MenuRow::tool(QStringLiteral("App Data"), QStringLiteral("folder.fill"), Palette::cyan());
    appData.enabled = running;
    fillAppDataSubmenu(appData.children, app);
    rows.push_back(std::move(appData));

    MenuRow snapshots = MenuRow::tool(QStringLiteral("App Data Snapshots"),
                                      QStringLiteral("clock.arrow.circlepath"), Palette::purple());
    fillSnapshotsSubmenu(snapshots.children, app);
    if (const size_t saved = SnapshotStore::list(app.id).size(); saved > 0)
        snapshots.withSubtitle(QStringLiteral("%1 saved").arg(saved));
    rows.push_back(std::move(snapshots));

    MenuRow keychain = MenuRow::tool(QStringLiteral("Keychain"), QStringLiteral("key.fill"), Palette::gray());
    keychain.enabled = running;
    fillKeychainSubmenu(keychain.children, app);
    rows.push_back(std::move(keychain));

    MenuRow clear =
        MenuRow::tool(QStringLiteral("Clear App Data"), QStringLiteral("trash.fill"), Palette::orange());
    fillClearData(clear.children, app);
    rows.push_back(std::move(clear));
    rows.push_back(MenuRow::separator());

    addLaunchItems(rows, app);
    addAppInfoItems(rows, app);
}

void StatusMenuController::fillNetworkSubmenu(MenuRows& rows, const SimulatorApp& app) {
    const NetworkProfile current = m_models.services.network.profile(app);
    for (const NetworkProfile& profile : NetworkProfile::basic())
        rows.push_back(networkProfileItem(profile, current, app));
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::header(QStringLiteral("Flaky Network")));
    for (const NetworkProfile& profile : NetworkProfile::scenarios())
        rows.push_back(networkProfileItem(profile, current, app));
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::info(QStringLiteral("Only this app’s own traffic is throttled.\nSafari, web "
                                                "views, and background\ndownloads aren’t included."),
                                 QStringLiteral("info.circle")));
}

void StatusMenuController::fillPermissionsSubmenu(MenuRows& rows, const SimulatorApp& app) {
    Permissions* permissions = &m_models.permissions;
    // The rows of this submenu, each with where its state comes from: a change of one service
    // (or of all of them) shows on every row at once.
    struct Shown {
        QPointer<PermissionRowView> view;
        std::function<std::optional<PermissionAction>()> state;
    };
    auto shown = std::make_shared<std::vector<Shown>>();
    auto permissionRow = [&](const QString& title, const QString& symbol,
                             std::optional<PermissionService> service) {
        // "All Permissions" has no state of its own: it never shows a chosen button.
        std::function<std::optional<PermissionAction>()> state = [permissions, service, app] {
            return service ? permissions->lastAction(*service, app) : std::optional<PermissionAction>();
        };
        MenuRow row = MenuRow::custom([title, symbol, state, permissions, service, app, shown] {
            // The views keep the list alive (the rows are gone once rendered); it holds them
            // only weakly, so nothing keeps itself alive.
            auto* view = new PermissionRowView(title, symbol, state(),
                                               [permissions, service, app, shown](PermissionAction action) {
                                                   permissions->apply(action, service, app);
                                                   for (const Shown& other : *shown)
                                                       if (other.view)
                                                           other.view->setState(other.state());
                                               });
            shown->push_back({view, state});
            return view;
        });
        row.title = title;
        return row;
    };
    rows.push_back(
        permissionRow(QStringLiteral("All Permissions"), QStringLiteral("hand.raised.fill"), std::nullopt));
    rows.push_back(MenuRow::separator());
    for (const PermissionService service : allPermissionServices())
        rows.push_back(permissionRow(title(service), symbol(service), service));
    rows.push_back(MenuRow::separator());
    rows.push_back(
        MenuRow::info(QStringLiteral("Grant · Revoke · Reset (ask again).\nSome changes restart the app."),
                      QStringLiteral("info.circle")));
}

void StatusMenuController::showInSidePanel(const SimulatorApp& app) {
    DeviceHubService& deviceHub = m_models.services.deviceHub;
    std::optional<QString> udid = deviceHub.targetUDID();
    if (!app.installs.empty()) {
        const SimulatorInstall* install = udid ? app.install(*udid) : nullptr;
        if (!install)
            install = &app.installs.front();
        udid = install->udid;
        deviceHub.setDeviceOverride(udid);
    }
    if (udid)
        deviceHub.setAppChoice(*udid, app.id);
    deviceHub.setPanelCollapsed(false);
    deviceHub.setPanelEnabled(true);
    deviceHub.openHost();
}

void StatusMenuController::fillAppDataSubmenu(MenuRows& rows, const SimulatorApp& app) {
    const bool several = app.installs.size() > 1;
    for (size_t i = 0; i < app.installs.size(); ++i) {
        const SimulatorInstall& install = app.installs[i];
        if (several) {
            if (i > 0)
                rows.push_back(MenuRow::separator());
            rows.push_back(MenuRow::header(install.deviceName));
        }
        for (const AppDataLocation& location :
             AppDataLocation::locations(install.dataContainer, app.id, install.groupContainers)) {
            MenuRow row = MenuRow::action(location.title, location.symbol, std::nullopt,
                                          [location] { location.open(); });
            row.indentation = location.indented ? 1 : 0;
            row.enabled = location.url && itemExists(*location.url);
            if (!row.enabled)
                row.withSubtitle(QStringLiteral("Not created yet"));
            rows.push_back(std::move(row));
        }
    }
}

void StatusMenuController::fillSnapshotsSubmenu(MenuRows& rows, const SimulatorApp& app) {
    QPointer<StatusMenuController> self(this);
    if (app.installs.size() < 2) {
        MenuRow save = MenuRow::action(QStringLiteral("Save Snapshot…"), QStringLiteral("plus.circle"),
                                       std::nullopt, [self, app] {
                                           if (self && !app.installs.empty())
                                               self->confirmSaveSnapshot(app, app.installs.front());
                                       });
        save.enabled = app.installs.size() == 1;
        rows.push_back(std::move(save));
    } else {
        MenuRow save =
            MenuRow::tool(QStringLiteral("Save Snapshot"), QStringLiteral("plus.circle"), std::nullopt);
        addSaveSnapshotRows(save.children, app);
        rows.push_back(std::move(save));
    }

    const std::vector<AppSnapshot> snapshots = SnapshotStore::list(app.id);
    if (!snapshots.empty()) {
        rows.push_back(MenuRow::separator());
        rows.push_back(MenuRow::header(QStringLiteral("Saved")));
    }
    for (const AppSnapshot& snapshot : snapshots) {
        MenuRow row = MenuRow::tool(snapshot.name, QStringLiteral("clock.arrow.circlepath"), std::nullopt);
        row.withSubtitle(Formatters::abbreviatedDateTime(snapshot.created) + QStringLiteral(" · ") +
                         snapshot.deviceName + QStringLiteral(" · ") + Formatters::fileSize(snapshot.size));
        fillSnapshotSubmenu(row.children, app, snapshot);
        rows.push_back(std::move(row));
    }
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::info(QStringLiteral("A snapshot holds the app’s documents, settings,\ncaches, "
                                                "and app group data. Keychain isn’t included."),
                                 QStringLiteral("info.circle")));
}

void StatusMenuController::fillKeychainSubmenu(MenuRows& rows, const SimulatorApp& app) {
    QPointer<StatusMenuController> self(this);
    for (const SimulatorInstall& install : app.installs) {
        // Runs sqlite3 while the submenu fills; a locked database gives no count.
        const std::optional<std::int64_t> count = DeviceTools::keychainItemCount(app.id, install.udid);
        const QString title = app.installs.size() == 1
                                  ? QStringLiteral("Delete App’s Keychain Items…")
                                  : QStringLiteral("Delete Keychain Items on %1…").arg(install.deviceName);
        const int passed = count ? int(*count) : 0;
        MenuRow row =
            MenuRow::action(title, QStringLiteral("key.slash"), std::nullopt, [self, app, install, passed] {
                if (self)
                    confirmDeleteKeychainItems(*self, app, install, passed);
            });
        if (!count)
            row.withSubtitle(QStringLiteral("Keychain busy, reopen the menu to retry"));
        else if (*count == 0)
            row.withSubtitle(QStringLiteral("No items"));
        else
            row.withSubtitle(*count == 1 ? QStringLiteral("1 item") : QStringLiteral("%1 items").arg(*count));
        row.enabled = count && *count > 0;
        rows.push_back(std::move(row));
    }
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::info(QStringLiteral("Only items in this app’s own access group are\ndeleted. "
                                                "Shared keychain groups are kept."),
                                 QStringLiteral("info.circle")));
}

void StatusMenuController::addLaunchItems(MenuRows& rows, const SimulatorApp& app) {
    QPointer<StatusMenuController> self(this);
    const std::vector<SimulatorDevice> devices = targetList(app);
    const bool installed = !devices.empty();
    const std::optional<QString> subtitle =
        devices.size() >= 2 ? std::optional<QString>(QStringLiteral("On %1 simulators").arg(devices.size()))
                            : std::nullopt;

    MenuRow launch = MenuRow::action(QStringLiteral("Launch"), QStringLiteral("play.fill"), Palette::green(),
                                     [self, app, devices] {
                                         if (self)
                                             self->launchApp(app, devices);
                                     });
    MenuRow terminate = MenuRow::action(QStringLiteral("Terminate"), QStringLiteral("stop.fill"),
                                        Palette::gray(), [self, app, devices] {
                                            if (self)
                                                self->terminateApp(app, devices);
                                        });
    for (MenuRow* row : {&launch, &terminate}) {
        row->subtitle = subtitle;
        row->enabled = installed;
    }
    rows.push_back(std::move(launch));
    rows.push_back(std::move(terminate));

    MenuRow uninstall =
        MenuRow::action(QStringLiteral("Uninstall…"), QStringLiteral("xmark"), Palette::red(), [self, app] {
            if (self)
                confirmUninstall(*self, app);
        });
    uninstall.enabled = installed;
    rows.push_back(std::move(uninstall));
}

void StatusMenuController::addAppInfoItems(MenuRows& rows, const SimulatorApp& app) {
    Clock& clock = m_models.clock;
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::header(QStringLiteral("App Info")));
    rows.push_back(copyRow(QStringLiteral("Bundle ID"), {app.id}, true, QStringLiteral("tag"), clock));
    if (app.version)
        rows.push_back(
            copyRow(QStringLiteral("Version"), {*app.version}, true, QStringLiteral("number"), clock));
    if (app.installs.empty())
        return;

    // Read from the executable only now that the submenu opens, like everything else here.
    const AppDetails details = AppDetails::load(app.installs.front());
    rows.push_back(copyRow(QStringLiteral("Team ID"), {details.teamID.value_or(QStringLiteral("None"))},
                           details.teamID.has_value(), QStringLiteral("person.text.rectangle"), clock));
    for (const QString& group : details.appGroups)
        rows.push_back(
            copyRow(QStringLiteral("App Group"), {group}, true, QStringLiteral("square.stack.3d.up"), clock));
    for (const QString& group : details.keychainGroups)
        rows.push_back(
            copyRow(QStringLiteral("Keychain Group"), {group}, true, QStringLiteral("key"), clock));
    if (!details.entitlements.empty()) {
        const size_t count = details.entitlements.size();
        MenuRow entitlements = MenuRow::tool(
            QStringLiteral("%1 Entitlement%2").arg(count).arg(count == 1 ? QString() : QStringLiteral("s")),
            QStringLiteral("checkmark.shield"), std::nullopt);
        fillEntitlementsSubmenu(entitlements.children, details.entitlements);
        rows.push_back(std::move(entitlements));
    }
    QStringList simulators;
    for (const SimulatorInstall& install : app.installs)
        simulators << install.deviceName;
    rows.push_back(
        copyRow(QStringLiteral("Installed On"), simulators, true, QStringLiteral("iphone"), clock));
}

void StatusMenuController::fillEntitlementsSubmenu(MenuRows& rows,
                                                   const std::vector<AppDetails::Entitlement>& entitlements) {
    Clock* clock = &m_models.clock;
    for (size_t i = 0; i < entitlements.size(); ++i) {
        if (i > 0)
            rows.push_back(MenuRow::separator());
        const AppDetails::Entitlement entitlement = entitlements[i];
        MenuRow row =
            MenuRow::custom([entitlement, clock] { return new EntitlementRowView(entitlement, *clock); });
        row.title = entitlement.name;
        rows.push_back(std::move(row));
    }
}

} // namespace quorvex
