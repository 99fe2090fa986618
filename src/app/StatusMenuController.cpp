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

namespace quorvex {
namespace {

StatusMenuController* g_shared = nullptr;

// The key of the always-on repeat hot key, shown next to Quick Repeat.
const QKeySequence kRepeatKey(Qt::CTRL | Qt::ALT | Qt::META | Qt::Key_R);
const QKeySequence kQuitKey(Qt::CTRL | Qt::Key_Q);

// The profile the setup guide's tour demonstrates: a slow, high-latency mobile link.
NetworkProfile demonstrationProfile() {
    LinkConditions edge;
    edge.downKbps = 240;
    edge.upKbps = 200;
    edge.downDelayMs = 400;
    edge.upDelayMs = 440;
    edge.packetLoss = 0;
    edge.stalled = false;
    return NetworkProfile{"edge", "Edge", "cellularbars", {NetworkProfile::Phase{"Edge", 0, edge}}};
}

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

StatusMenuController::StatusMenuController(Models models, bool showStatusItem)
    : m_models(std::move(models)) {
    g_shared = this;
    m_menu.setObjectName(QStringLiteral("statusMenu"));
    if (showStatusItem) {
        m_statusItem = new QSystemTrayIcon(this);
        // Every click opens the menu we build now; the tray never holds a menu of its own.
        connect(m_statusItem, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context ||
                        reason == QSystemTrayIcon::MiddleClick) {
                        const QRect icon = m_statusItem->geometry();
                        openMenu(icon.isValid() ? std::optional<QPoint>(icon.bottomLeft()) : std::nullopt);
                    }
                });
    }
    connect(&m_models.services.network, &NetworkService::stateChanged, this,
            &StatusMenuController::updateStatusIcon);
    updateStatusIcon();
    if (m_statusItem)
        m_statusItem->show();
}

StatusMenuController::~StatusMenuController() {
    if (g_shared == this)
        g_shared = nullptr;
}

StatusMenuController* StatusMenuController::shared() {
    return g_shared;
}

void StatusMenuController::updateStatusIcon() {
    NetworkService& network = m_models.services.network;
    const bool active = network.isActive();
    const QString toolTip =
        active ? QStringLiteral("Quorvex · ") + network.summary() : QStringLiteral("Quorvex");
    // Redraw only on a real change: the model signals every change of any of its values.
    if (m_iconSet && active == m_activeIcon && toolTip == m_toolTip)
        return;
    m_iconSet = true;
    m_activeIcon = active;
    m_toolTip = toolTip;
    if (m_statusItem) {
        const QColor glyph = QApplication::palette().color(QPalette::WindowText);
        m_statusItem->setIcon(QIcon(QPixmap::fromImage(MenuIcons::statusItemImage(active, glyph))));
        m_statusItem->setToolTip(toolTip);
    }
}

std::vector<SimulatorApp> StatusMenuController::menuApps() const {
    std::vector<SimulatorApp> result = m_models.simulatorApps.apps();
    std::vector<SimulatorApp> remembered;
    for (const auto& [bundleID, choice] : m_models.services.network.choice()) {
        const bool running = std::any_of(result.begin(), result.end(),
                                         [&](const SimulatorApp& app) { return app.id == choice.app.id; });
        if (running)
            continue;
        // A remembered record describes no simulator: without this, its submenu would offer
        // commands against installs on simulators that are shut down, and show a version that
        // disappears after a restart (the stored form keeps neither).
        SimulatorApp app = choice.app;
        app.devices.clear();
        app.installs.clear();
        app.version.reset();
        remembered.push_back(std::move(app));
    }
    std::stable_sort(remembered.begin(), remembered.end(),
                     [](const SimulatorApp& a, const SimulatorApp& b) { return a.name < b.name; });
    result.insert(result.end(), std::make_move_iterator(remembered.begin()),
                  std::make_move_iterator(remembered.end()));
    return result;
}

MenuRow StatusMenuController::lazyRow(const QString& title, LazySubmenuFiller::Build build) {
    auto filler = std::make_shared<LazySubmenuFiller>(std::move(build));
    m_lazyFillers.push_back(filler);
    return MenuRow::lazy(title, std::move(filler));
}

MenuRow StatusMenuController::appRow(const SimulatorApp& app) {
    const bool running = !app.devices.isEmpty();
    QPointer<StatusMenuController> self(this);
    MenuRow row = lazyRow(app.name, [self, app, running](MenuRows& rows) {
        if (self)
            self->fillAppSubmenu(rows, app, running);
    });
    row.icon = m_models.simulatorApps.icon(app);
    if (!running)
        row.withSubtitle(QStringLiteral("Simulator not running"));
    return row;
}

MenuRows StatusMenuController::buildMenu() {
    m_lazyFillers.clear();
    MenuRows rows;
    NeighbourServices& services = m_models.services;
    QPointer<StatusMenuController> self(this);

    // Quick Repeat.
    const auto& history = m_models.actions.history();
    if (!history.empty()) {
        const SimulatorActions::Recent& first = history.front();
        rows.push_back(MenuRow::header(QStringLiteral("Quick Repeat")));
        SimulatorActions* actions = &m_models.actions;
        MenuRow repeat = MenuRow::action(first.kind.title(), QStringLiteral("arrow.clockwise"), std::nullopt,
                                         [actions] { actions->repeatLast(); });
        repeat.withSubtitle(QStringLiteral("Repeat for %1 on %2").arg(first.appName, first.deviceName));
        repeat.shortcut = kRepeatKey;
        rows.push_back(std::move(repeat));
        rows.push_back(MenuRow::separator());
    }

    // Apps: the target simulator's, then the others.
    const std::optional<SimulatorDevice> target = services.deviceHub.targetDevice();
    const std::vector<SimulatorApp> apps = menuApps();
    std::vector<const SimulatorApp*> targetApps;
    std::vector<const SimulatorApp*> otherApps;
    for (const SimulatorApp& app : apps) {
        if (target && app.devices.contains(target->udid))
            targetApps.push_back(&app);
        else
            otherApps.push_back(&app);
    }
    if (apps.empty()) {
        rows.push_back(MenuRow::header(QStringLiteral("Simulator Apps")));
        rows.push_back(MenuRow::info(QStringLiteral("Start a simulator to see its apps"),
                                     QStringLiteral("info.circle")));
    }
    if (target && !targetApps.empty()) {
        rows.push_back(MenuRow::header(target->name));
        for (const SimulatorApp* app : targetApps)
            rows.push_back(appRow(*app));
    }
    if (!otherApps.empty()) {
        if (targetApps.empty()) {
            rows.push_back(MenuRow::header(QStringLiteral("Simulator Apps")));
        } else {
            rows.push_back(MenuRow::separator());
            rows.push_back(MenuRow::header(QStringLiteral("Other Apps")));
        }
        for (const SimulatorApp* app : otherApps)
            rows.push_back(appRow(*app));
    }

    // Tools.
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::header(QStringLiteral("Tools")));

    MenuRow simulators =
        MenuRow::tool(QStringLiteral("Simulators"), QStringLiteral("iphone.gen3"), Palette::blue());
    fillSimulators(simulators.children);
    simulators.withBadge(qsizetype(m_models.simulatorApps.devices().size()));
    rows.push_back(std::move(simulators));

    const std::vector<PhysicalDevice> devices = services.deviceFlows.devices();
    if (!devices.empty()) {
        MenuRow connected = MenuRow::tool(QStringLiteral("Connected Devices"),
                                          QStringLiteral("cable.connector"), Palette::green());
        fillConnectedDevices(connected.children, devices);
        connected.withBadge(qsizetype(devices.size()));
        rows.push_back(std::move(connected));
    }

    MenuRow blocked =
        MenuRow::tool(QStringLiteral("Blocked Hosts"), QStringLiteral("nosign"), Palette::red());
    fillBlockedHosts(blocked.children);
    const auto rules = services.network.hostRules();
    blocked.withBadge(
        std::count_if(rules.begin(), rules.end(), [](const auto& rule) { return rule.enabled; }));
    rows.push_back(std::move(blocked));

    CleanerWindowService* cleaner = &services.cleanerWindow;
    rows.push_back(MenuRow::action(QStringLiteral("Storage Cleaner…"), QStringLiteral("internaldrive"),
                                   Palette::indigo(),
                                   [cleaner] { cleaner->show(std::nullopt, std::nullopt); }));

    MenuRow clearData =
        MenuRow::tool(QStringLiteral("Clear Data"), QStringLiteral("trash"), Palette::orange());
    fillClearData(clearData.children, std::nullopt);
    rows.push_back(std::move(clearData));

    appendExtensionState(rows);
    rows.push_back(MenuRow::separator());

    // The side panel and the host application.
    DeviceHubService* deviceHub = &services.deviceHub;
    const QString hostName = deviceHub->hostName();
    const bool panelEnabled = deviceHub->isPanelEnabled();
    MenuRow panel =
        MenuRow::action(QStringLiteral("Show Side Panel"), QStringLiteral("sidebar.right"), Palette::teal(),
                        [deviceHub, panelEnabled] { deviceHub->setPanelEnabled(!panelEnabled); });
    panel.withSubtitle(QStringLiteral("Next to %1’s window · ⌃⌥P there").arg(hostName));
    panel.checked = panelEnabled;
    rows.push_back(std::move(panel));

    MenuRow host =
        MenuRow::tool(hostName == QLatin1String("Simulator") ? QStringLiteral("Simulator App") : hostName,
                      QStringLiteral("macbook.and.iphone"), Palette::teal());
    fillHostApp(host.children);
    rows.push_back(std::move(host));

    NetworkService* network = &services.network;
    rows.push_back(MenuRow::action(QStringLiteral("Network Setup Guide…"), QStringLiteral("questionmark"),
                                   Palette::gray(),
                                   [network] { network->showSetupGuideTour(demonstrationProfile()); }));
    rows.push_back(MenuRow::separator());

    // The application.
    rows.push_back(
        MenuRow::action(QStringLiteral("About Quorvex"), QStringLiteral("info"), Palette::gray(), [self] {
            if (self && self->m_models.about)
                self->m_models.about();
        }));
    Updates* updates = &m_models.updates;
    rows.push_back(MenuRow::action(QStringLiteral("Check for Updates…"), QStringLiteral("arrow.down"),
                                   Palette::gray(), [updates] { updates->checkForUpdates(); }));
    MenuRow quit =
        MenuRow::action(QStringLiteral("Quit Quorvex"), QStringLiteral("power"), std::nullopt, [self] {
            if (self && self->m_models.quit)
                self->m_models.quit();
        });
    quit.shortcut = kQuitKey;
    rows.push_back(std::move(quit));
    return rows;
}

void StatusMenuController::rebuildMenu() {
    // The previous build's submenus are children of the menu, not actions of it: clear() alone
    // would keep them, one more set at every opening.
    m_menu.clear();
    qDeleteAll(m_menu.findChildren<QMenu*>(Qt::FindDirectChildrenOnly));
    MenuRenderer::render(buildMenu(), m_menu);
}

void StatusMenuController::openMenu(std::optional<QPoint> position) {
    if (m_menu.isVisible())
        return;
    rebuildMenu();
    m_menu.popup(position.value_or(QCursor::pos()));
}

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

void StatusMenuController::fillSimulatorSubmenu(MenuRows& rows, const SimulatorDevice& device,
                                                const std::vector<SimulatorDevice>& devices) {
    ActionWindowsService* windows = &m_models.services.actionWindows;
    const QString udid = device.udid;
    rows.push_back(MenuRow::header(QStringLiteral("Tools")));
    rows.push_back(MenuRow::action(QStringLiteral("Take Screenshot"), QStringLiteral("camera.fill"),
                                   Palette::blue(), [windows, udid] { windows->screenshot(udid, false); }));
    rows.push_back(MenuRow::action(QStringLiteral("Copy Screenshot"), QStringLiteral("doc.on.clipboard.fill"),
                                   Palette::blue(), [windows, udid] { windows->screenshot(udid, true); }));
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::header(QStringLiteral("Status Bar")));
    rows.push_back(
        MenuRow::action(QStringLiteral("Customize Status Bar…"), QStringLiteral("slider.horizontal.3"),
                        Palette::gray(),
                        [windows, devices, device] { windows->showStatusBarWindow(devices, device); })
            .withSubtitle(QStringLiteral("Time, network, signal, battery")));
    QPointer<StatusMenuController> self(this);
    auto run = [self, device](std::function<bool(const QString&)> command, QString title) {
        return [self, device, command, title] {
            if (self)
                self->runOnSimulators(
                    {device}, [command](const SimulatorDevice& target) { return command(target.udid); },
                    title);
        };
    };
    rows.push_back(
        MenuRow::action(QStringLiteral("Clean Status Bar"), QStringLiteral("sparkles"), Palette::gray(),
                        run([](const QString& target) { return DeviceTools::overrideStatusBar({}, target); },
                            QStringLiteral("Status bar cleaned")))
            .withSubtitle(QStringLiteral("9:41, full battery and signal")));
    rows.push_back(MenuRow::action(QStringLiteral("Reset Status Bar"),
                                   QStringLiteral("arrow.counterclockwise"), Palette::gray(),
                                   run(&DeviceTools::clearStatusBar, QStringLiteral("Status bar reset"))));
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::header(QStringLiteral("Simulate")));
    rows.push_back(MenuRow::action(QStringLiteral("Shake Gesture"),
                                   QStringLiteral("iphone.radiowaves.left.and.right"), Palette::orange(),
                                   run(&DeviceTools::shake, QStringLiteral("Shake sent")))
                       .withSubtitle(QStringLiteral("Like shaking the device")));
    rows.push_back(MenuRow::action(
        QStringLiteral("Simulate Memory Warning"), QStringLiteral("memorychip.fill"), Palette::red(),
        run(&DeviceTools::simulateMemoryWarning, QStringLiteral("Memory warning sent"))));
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::header(QStringLiteral("Media")));
    rows.push_back(MenuRow::action(QStringLiteral("Add Sample Media"), QStringLiteral("photo.stack.fill"),
                                   Palette::pink(),
                                   [self, device] {
                                       if (self)
                                           self->addSampleMedia(device);
                                   })
                       .withSubtitle(QStringLiteral("5 photos, a video, and 7 contacts")));
}

QFuture<void> StatusMenuController::runOnSimulators(const std::vector<SimulatorDevice>& devices,
                                                    std::function<bool(const SimulatorDevice&)> action,
                                                    const QString& title) {
    return QtConcurrent::run([devices, action] {
               QStringList failed;
               for (const SimulatorDevice& device : devices)
                   if (!action(device))
                       failed << device.name;
               return failed;
           })
        .then(this, [devices, title](const QStringList& failed) {
            if (!failed.isEmpty()) {
                Toast::show(QStringLiteral("Didn’t work on ") + failed.join(QStringLiteral(", ")),
                            std::nullopt, QStringLiteral("exclamationmark.triangle"), true);
                return;
            }
            Toast::show(title,
                        devices.size() == 1 ? devices.front().name
                                            : QStringLiteral("%1 simulators").arg(devices.size()),
                        QStringLiteral("checkmark"), false);
        });
}

QFuture<void> StatusMenuController::addSampleMedia(const SimulatorDevice& device) {
    const QString udid = device.udid;
    const QString name = device.name;
    return QtConcurrent::run([udid] {
               try {
                   return DeviceTools::addMedia(SampleMedia::ensureFiles(), udid);
               } catch (const std::exception&) {
                   return false;
               }
           })
        .then(this, [name](bool added) {
            if (added)
                Toast::show(QStringLiteral("Added sample media"),
                            QStringLiteral("Photos, a video, and contacts on ") + name,
                            QStringLiteral("photo.stack"), false);
            else
                Toast::show(QStringLiteral("Couldn’t add sample media"), std::nullopt,
                            QStringLiteral("exclamationmark.triangle"), true);
        });
}

} // namespace quorvex
