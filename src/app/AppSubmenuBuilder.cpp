#include "app/AppSubmenuBuilder.h"

#include "actions/PermissionService.h"
#include "actions/Permissions.h"
#include "actions/SnapshotStore.h"
#include "app/CopyRowView.h"
#include "app/EntitlementRowView.h"
#include "app/PermissionRowView.h"
#include "app/SnapshotMenuBuilder.h"
#include "network/model/NetworkService.h"
#include "network/plan/NetworkProfile.h"
#include "panel/sections/DeviceHubService.h"
#include "simulator/AppDataLocation.h"
#include "simulator/DeviceTools.h"
#include "tools/FileGuards.h"
#include "ui/Palette.h"
#include "windows/ActionWindowsService.h"

#include <QPointer>

#include <future>
#include <memory>
#include <thread>

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

void AppSubmenuBuilder::fill(MenuRows& rows, const SimulatorApp& app, bool running) const {
    const StatusMenuFlows::Handle flows = m_context.flows;

    const NetworkProfile profile = m_context.network.profile(app);
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
                                    Palette::teal(), [flows, deviceHub = &m_context.deviceHub, app] {
                                        if (flows.get())
                                            showInSidePanel(*deviceHub, app);
                                    });
    panel.withSubtitle(QStringLiteral("Next to %1’s window").arg(m_context.deviceHub.hostName()));
    panel.enabled = running;
    rows.push_back(std::move(panel));
    rows.push_back(MenuRow::separator());

    ActionWindowsService* windows = &m_context.actionWindows;
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
    // One listing of the snapshot folder serves the count and the submenu.
    const std::vector<AppSnapshot> saved = SnapshotStore::list(app.id);
    SnapshotMenuBuilder(flows).fill(snapshots.children, app, saved);
    if (!saved.empty())
        snapshots.withSubtitle(QStringLiteral("%1 saved").arg(saved.size()));
    rows.push_back(std::move(snapshots));

    MenuRow keychain = MenuRow::tool(QStringLiteral("Keychain"), QStringLiteral("key.fill"), Palette::gray());
    keychain.enabled = running;
    fillKeychainSubmenu(keychain.children, app);
    rows.push_back(std::move(keychain));

    MenuRow clear =
        MenuRow::tool(QStringLiteral("Clear App Data"), QStringLiteral("trash.fill"), Palette::orange());
    ClearDataSubmenuBuilder(m_context.clearData).fill(clear.children, app);
    rows.push_back(std::move(clear));
    rows.push_back(MenuRow::separator());

    addLaunchItems(rows, app);
    addAppInfoItems(rows, app);
}

void AppSubmenuBuilder::fillNetworkSubmenu(MenuRows& rows, const SimulatorApp& app) const {
    NetworkService& network = m_context.network;
    const NetworkProfile current = network.profile(app);
    for (const NetworkProfile& profile : NetworkProfile::basic())
        rows.push_back(networkProfileItem(network, profile, current, app));
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::header(QStringLiteral("Flaky Network")));
    for (const NetworkProfile& profile : NetworkProfile::scenarios())
        rows.push_back(networkProfileItem(network, profile, current, app));
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::info(QStringLiteral("Only this app’s own traffic is throttled.\nSafari, web "
                                                "views, and background\ndownloads aren’t included."),
                                 QStringLiteral("info.circle")));
}

MenuRow AppSubmenuBuilder::networkProfileItem(NetworkService& network, const NetworkProfile& profile,
                                              const NetworkProfile& current, const SimulatorApp& app) {
    NetworkService* model = &network;
    MenuRow row =
        MenuRow::action(QString::fromStdString(profile.name), QString::fromStdString(profile.symbol),
                        std::nullopt, [model, profile, app] { model->setProfile(profile, app); });
    row.withSubtitle(QString::fromStdString(profile.summary()));
    row.checked = profile == current;
    row.enabled = !model->isBusy();
    return row;
}

void AppSubmenuBuilder::fillPermissionsSubmenu(MenuRows& rows, const SimulatorApp& app) const {
    Permissions* permissions = &m_context.permissions;
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

void AppSubmenuBuilder::showInSidePanel(DeviceHubService& deviceHub, const SimulatorApp& app) {
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

void AppSubmenuBuilder::fillAppDataSubmenu(MenuRows& rows, const SimulatorApp& app) const {
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

void AppSubmenuBuilder::fillKeychainSubmenu(MenuRows& rows, const SimulatorApp& app) const {
    const StatusMenuFlows::Handle flows = m_context.flows;
    // sqlite3 runs while the submenu fills, so the counts share one deadline: a locked or hung
    // database gives no count (and a disabled row) instead of holding the menu.
    const auto deadline = std::chrono::steady_clock::now() + m_context.keychainCountTimeout;
    std::vector<std::future<std::optional<std::int64_t>>> counts;
    for (const SimulatorInstall& install : app.installs) {
        auto promise = std::make_shared<std::promise<std::optional<std::int64_t>>>();
        counts.push_back(promise->get_future());
        // Detached: a count that outlives the deadline finishes on its own and is dropped.
        std::thread([promise, count = m_context.keychainCount, bundleID = app.id, udid = install.udid] {
            promise->set_value(count(bundleID, udid));
        }).detach();
    }
    for (size_t i = 0; i < app.installs.size(); ++i) {
        const SimulatorInstall& install = app.installs[i];
        std::optional<std::int64_t> count;
        if (counts[i].wait_until(deadline) == std::future_status::ready)
            count = counts[i].get();
        const bool known = count.has_value();
        const std::int64_t items = count.value_or(0);
        const QString title = app.installs.size() == 1
                                  ? QStringLiteral("Delete App’s Keychain Items…")
                                  : QStringLiteral("Delete Keychain Items on %1…").arg(install.deviceName);
        const int passed = int(items);
        MenuRow row =
            MenuRow::action(title, QStringLiteral("key.slash"), std::nullopt, [flows, app, install, passed] {
                if (StatusMenuFlows* target = flows.get())
                    target->confirmDeleteKeychainItems(app, install, passed);
            });
        if (!known)
            row.withSubtitle(QStringLiteral("Keychain busy, reopen the menu to retry"));
        else if (items == 0)
            row.withSubtitle(QStringLiteral("No items"));
        else
            row.withSubtitle(items == 1 ? QStringLiteral("1 item") : QStringLiteral("%1 items").arg(items));
        row.enabled = known && items > 0;
        rows.push_back(std::move(row));
    }
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::info(QStringLiteral("Only items in this app’s own access group are\ndeleted. "
                                                "Shared keychain groups are kept."),
                                 QStringLiteral("info.circle")));
}

void AppSubmenuBuilder::addLaunchItems(MenuRows& rows, const SimulatorApp& app) const {
    const StatusMenuFlows::Handle flows = m_context.flows;
    const std::vector<SimulatorDevice> devices = targetList(app);
    const bool installed = !devices.empty();
    const std::optional<QString> subtitle =
        devices.size() >= 2 ? std::optional<QString>(QStringLiteral("On %1 simulators").arg(devices.size()))
                            : std::nullopt;

    MenuRow launch = MenuRow::action(QStringLiteral("Launch"), QStringLiteral("play.fill"), Palette::green(),
                                     [flows, app, devices] {
                                         if (StatusMenuFlows* target = flows.get())
                                             target->launchApp(app, devices);
                                     });
    MenuRow terminate = MenuRow::action(QStringLiteral("Terminate"), QStringLiteral("stop.fill"),
                                        Palette::gray(), [flows, app, devices] {
                                            if (StatusMenuFlows* target = flows.get())
                                                target->terminateApp(app, devices);
                                        });
    for (MenuRow* row : {&launch, &terminate}) {
        row->subtitle = subtitle;
        row->enabled = installed;
    }
    rows.push_back(std::move(launch));
    rows.push_back(std::move(terminate));

    MenuRow uninstall =
        MenuRow::action(QStringLiteral("Uninstall…"), QStringLiteral("xmark"), Palette::red(), [flows, app] {
            if (StatusMenuFlows* target = flows.get())
                target->confirmUninstall(app);
        });
    uninstall.enabled = installed;
    rows.push_back(std::move(uninstall));
}

void AppSubmenuBuilder::addAppInfoItems(MenuRows& rows, const SimulatorApp& app) const {
    Clock& clock = m_context.clock;
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

void AppSubmenuBuilder::fillEntitlementsSubmenu(
    MenuRows& rows, const std::vector<AppDetails::Entitlement>& entitlements) const {
    Clock* clock = &m_context.clock;
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
