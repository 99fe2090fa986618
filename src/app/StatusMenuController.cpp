#include "app/StatusMenuController.h"

#include "actions/PermissionService.h"
#include "actions/Permissions.h"
#include "actions/SampleMedia.h"
#include "actions/SimulatorActions.h"
#include "app/AppLog.h"
#include "app/BlockedHostsSubmenuBuilder.h"
#include "app/ConnectedDeviceSubmenuBuilder.h"
#include "app/HostAppSubmenuBuilder.h"
#include "app/MenuIcons.h"
#include "app/MenuRenderer.h"
#include "app/SnapshotFlows.h"
#include "app/StatusMenuDialogs.h"
#include "app/Updates.h"
#include "network/plan/NetworkProfile.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/HotKey.h"
#include "simulator/AppDataLocation.h"
#include "simulator/AppDetails.h"
#include "simulator/DeviceTools.h"
#include "simulator/SimulatorApps.h"
#include "simulator/Toast.h"
#include "storage/files/Cleanup.h"
#include "tools/ToolPaths.h"
#include "tools/ToolRunner.h"
#include "ui/Palette.h"

#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFileInfo>
#include <QLineEdit>
#include <QPalette>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QtConcurrent>

#include <algorithm>

namespace quorvex {
namespace {

StatusMenuController* g_shared = nullptr;

// The key of the always-on repeat hot key, shown next to Quick Repeat.
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

} // namespace

StatusMenuController::StatusMenuController(Models models, bool showStatusItem)
    : m_models(std::move(models)) {
    g_shared = this;
    m_menu.setObjectName(QStringLiteral("statusMenu"));
    if (showStatusItem) {
        m_statusItem = new QSystemTrayIcon(this);
        m_trayDrawsByName = trayDrawsIconsByName();
        // Tray hosts hand the tool tip (set with the state below) to screen readers as the item's
        // name; the menu it opens carries the same name.
        m_menu.setAccessibleName(QStringLiteral("Quorvex"));
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
    if (m_statusItem) {
        m_statusItem->show();
        // The tray places the icon a moment after it is shown; only then can its panel be read.
        QTimer::singleShot(500, this, &StatusMenuController::updateStatusIcon);
    }
}

bool StatusMenuController::trayDrawsIconsByName() {
    // Qt hands the icon to a StatusNotifierItem host whenever one is registered, and an embedding
    // (XEmbed) tray gets the pixels otherwise.
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    return bus && bus->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher")).value();
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
    // The glyph follows the panel it sits on, not the window palette: a dark panel with the
    // palette's black text colour hid it. A host that draws icons by name colours the themed icon
    // for its panel itself; on an embedding tray the panel is read under the icon. Until it can
    // be, the palette decides.
    MenuIcons::PanelShade shade = MenuIcons::panelShade(QApplication::palette().color(QPalette::Window));
    if (m_statusItem && !m_trayDrawsByName)
        if (const std::optional<QColor> panel = MenuIcons::panelColorAt(m_statusItem->geometry()))
            shade = MenuIcons::panelShade(*panel);
    // Redraw only on a real change: the model signals every change of any of its values.
    if (m_iconSet && active == m_activeIcon && toolTip == m_toolTip && shade == m_shade)
        return;
    m_iconSet = true;
    m_activeIcon = active;
    m_toolTip = toolTip;
    m_shade = shade;
    if (m_statusItem) {
        m_statusItem->setIcon(MenuIcons::statusIcon(active, shade, m_trayDrawsByName));
        m_statusItem->setToolTip(toolTip);
    }
}

std::vector<SimulatorApp> StatusMenuController::menuApps() const {
    std::vector<SimulatorApp> result = m_models.simulatorApps.apps();
    std::vector<SimulatorApp> remembered;
    for (const auto& [bundleID, choice] : m_models.services.network.choice()) {
        // Named, not captured: clang 14 cannot capture a structured binding in a lambda.
        const QString& chosenID = choice.app.id;
        const bool running = std::any_of(result.begin(), result.end(),
                                         [&](const SimulatorApp& app) { return app.id == chosenID; });
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

StatusMenuFlows::Handle StatusMenuController::handle() {
    return StatusMenuFlows::Handle(this, this);
}

ClearDataSubmenuBuilder::Context StatusMenuController::clearDataContext() {
    Services& services = m_models.services;
    return {services.cleanupFlows, services.cleanerWindow, m_models.cleanup};
}

AppSubmenuBuilder StatusMenuController::appSubmenuBuilder() {
    Services& services = m_models.services;
    return AppSubmenuBuilder({services.network, services.deviceHub, services.actionWindows,
                              m_models.permissions, m_models.clock, clearDataContext(), handle()});
}

SimulatorSubmenuBuilder StatusMenuController::simulatorSubmenuBuilder() {
    Services& services = m_models.services;
    return SimulatorSubmenuBuilder(
        {services.actionWindows, services.deviceHub, m_models.simulatorApps, handle()});
}

ToolsSubmenuBuilder StatusMenuController::toolsSubmenuBuilder() {
    Services& services = m_models.services;
    QPointer<StatusMenuController> self(this);
    return ToolsSubmenuBuilder(
        {m_models.simulatorApps, services.deviceHub, services.network,
         [self](const QString& title, LazySubmenuFiller::Build build) {
             return self ? self->lazyRow(title, std::move(build)) : MenuRow::lazy(title, nullptr);
         },
         [self](MenuRows& rows, const SimulatorDevice& device, const std::vector<SimulatorDevice>& devices) {
             if (self)
                 self->simulatorSubmenuBuilder().fill(rows, device, devices);
         }});
}

MenuRow StatusMenuController::appRow(const SimulatorApp& app) {
    const bool running = !app.devices.isEmpty();
    QPointer<StatusMenuController> self(this);
    MenuRow row = lazyRow(app.name, [self, app, running](MenuRows& rows) {
        if (self)
            self->appSubmenuBuilder().fill(rows, app, running);
    });
    row.icon = m_models.simulatorApps.icon(app);
    if (!running)
        row.withSubtitle(QStringLiteral("Simulator not running"));
    return row;
}

MenuRows StatusMenuController::buildMenu() {
    m_lazyFillers.clear();
    MenuRows rows;
    Services& services = m_models.services;
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
        repeat.shortcut = HotKey::repeatHotKeySequence();
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
        // Without the developer tools no simulator can ever show up: say that instead.
        const bool hasTools = QFileInfo(QString::fromStdString(ToolPaths::xcrun())).isExecutable();
        rows.push_back(MenuRow::info(hasTools ? QStringLiteral("Start a simulator to see its apps")
                                              : QStringLiteral("Xcode’s command-line tools were not found"),
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
    toolsSubmenuBuilder().fillSimulators(simulators.children);
    simulators.withBadge(qsizetype(m_models.simulatorApps.devices().size()));
    rows.push_back(std::move(simulators));

    const std::vector<PhysicalDevice> devices = services.deviceFlows.devices();
    if (!devices.empty()) {
        MenuRow connected = MenuRow::tool(QStringLiteral("Connected Devices"),
                                          QStringLiteral("cable.connector"), Palette::green());
        ConnectedDeviceSubmenuBuilder({services.deviceFlows, services.deviceHub})
            .fill(connected.children, devices);
        connected.withBadge(qsizetype(devices.size()));
        rows.push_back(std::move(connected));
    }
    // A copy off or onto a device may hold the busy flag for hours, and the toast that says so
    // cannot be clicked: the way out is here, even once the device has gone from the list.
    if (const std::optional<QString> copy = services.deviceFlows.runningCopy()) {
        DeviceFlowsService* deviceFlows = &services.deviceFlows;
        rows.push_back(MenuRow::action(QStringLiteral("Cancel Copy"), QStringLiteral("xmark.circle"),
                                       Palette::red(), [deviceFlows] { deviceFlows->cancelCopy(); })
                           .withSubtitle(*copy));
    }

    MenuRow blocked =
        MenuRow::tool(QStringLiteral("Blocked Hosts"), QStringLiteral("nosign"), Palette::red());
    BlockedHostsSubmenuBuilder(services.network).fill(blocked.children);
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
    ClearDataSubmenuBuilder(clearDataContext()).fill(clearData.children, std::nullopt);
    rows.push_back(std::move(clearData));

    toolsSubmenuBuilder().appendExtensionState(rows);
    rows.push_back(MenuRow::separator());

    // The side panel and the host application.
    DeviceHubService* deviceHub = &services.deviceHub;
    const QString hostName = deviceHub->hostName();
    const bool panelEnabled = deviceHub->isPanelEnabled();
    MenuRow panel =
        MenuRow::action(QStringLiteral("Show Side Panel"), QStringLiteral("sidebar.right"), Palette::teal(),
                        [deviceHub, panelEnabled] { deviceHub->setPanelEnabled(!panelEnabled); });
    panel.withSubtitle(deviceHub->panelUnavailableReason().value_or(
        QStringLiteral("Next to %1’s window · %2 there")
            .arg(hostName, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_P).toString(QKeySequence::NativeText))));
    panel.checked = panelEnabled;
    rows.push_back(std::move(panel));

    MenuRow host =
        MenuRow::tool(hostName == QLatin1String("Simulator") ? QStringLiteral("Simulator App") : hostName,
                      QStringLiteral("macbook.and.iphone"), Palette::teal());
    HostAppSubmenuBuilder(services.deviceHub).fill(host.children);
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
    // The panel may have changed colour since the last look (a theme switch, another panel).
    updateStatusIcon();
    rebuildMenu();
    m_menu.popup(position.value_or(QCursor::pos()));
}

// ---------------------------------------------------------------------------------------------
// Flows

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

QFuture<void> StatusMenuController::launchApp(const SimulatorApp& app,
                                              const std::vector<SimulatorDevice>& devices) {
    const QString bundleID = app.id;
    return runOnSimulators(
        devices,
        [bundleID](const SimulatorDevice& device) { return DeviceTools::launchApp(bundleID, device.udid); },
        QStringLiteral("Launched ") + app.name);
}

QFuture<void> StatusMenuController::terminateApp(const SimulatorApp& app,
                                                 const std::vector<SimulatorDevice>& devices) {
    const QString bundleID = app.id;
    return runOnSimulators(
        devices,
        [bundleID](const SimulatorDevice& device) {
            return DeviceTools::terminateApp(bundleID, device.udid);
        },
        QStringLiteral("Terminated ") + app.name);
}

QFuture<void> StatusMenuController::uninstall(const SimulatorApp& app,
                                              const std::vector<SimulatorDevice>& devices) {
    const QString bundleID = app.id;
    const QString name = app.name;
    // The inventory and the busy flag outlive the menu, and the continuations run in the
    // application's context rather than the controller's, so the flow reaches its end (and clears
    // the flag the confirmation set) even when the controller is gone by then.
    SimulatorApps* simulatorApps = &m_models.simulatorApps;
    Cleanup* cleanup = &m_models.cleanup;
    return QtConcurrent::run([devices, bundleID] {
               QStringList failed;
               for (const SimulatorDevice& device : devices) {
                   const auto output = runTool(ToolPaths::xcrun(), QStringList{QStringLiteral("simctl"),
                                                                               QStringLiteral("uninstall"),
                                                                               device.udid, bundleID});
                   if (!output)
                       failed << device.name;
               }
               return failed;
           })
        .then(QCoreApplication::instance(),
              [simulatorApps, cleanup, name](const QStringList& failed) {
                  // The menu must not list the app on simulators it left, so the toast waits for
                  // the new inventory.
                  return simulatorApps->refresh().then(QCoreApplication::instance(), [cleanup, failed, name] {
                      if (!failed.isEmpty())
                          Toast::show(QStringLiteral("Couldn’t uninstall on ") +
                                          failed.join(QStringLiteral(", ")),
                                      std::nullopt, QStringLiteral("exclamationmark.triangle"), true);
                      else
                          Toast::show(QStringLiteral("Uninstalled ") + name, std::nullopt,
                                      QStringLiteral("xmark.bin"), false);
                      cleanup->setWorking(false);
                  });
              })
        .unwrap();
}

MenuRow StatusMenuController::networkProfileItem(const NetworkProfile& profile, const NetworkProfile& current,
                                                 const SimulatorApp& app) {
    return AppSubmenuBuilder::networkProfileItem(m_models.services.network, profile, current, app);
}

void StatusMenuController::showArchives(const SimulatorApp& app) {
    m_models.services.cleanerWindow.show(std::nullopt, app);
}

QFuture<void> StatusMenuController::confirmUninstall(const SimulatorApp& app) {
    return quorvex::confirmUninstall(*this, app);
}

QFuture<void> StatusMenuController::confirmDeleteKeychainItems(const SimulatorApp& app,
                                                               const SimulatorInstall& install,
                                                               std::int64_t count) {
    return quorvex::confirmDeleteKeychainItems(*this, app, install, count);
}

QFuture<void> StatusMenuController::confirmSaveSnapshot(const SimulatorApp& app,
                                                        const SimulatorInstall& install) {
    return SnapshotFlows(m_models.cleanup).confirmSave(app, install);
}

QFuture<void> StatusMenuController::confirmSnapshotRestore(const AppSnapshot& snapshot,
                                                           const SimulatorApp& app,
                                                           const SimulatorInstall& install) {
    return SnapshotFlows(m_models.cleanup).confirmRestore(snapshot, app, install);
}

QFuture<void> StatusMenuController::confirmSnapshotDelete(const AppSnapshot& snapshot) {
    return SnapshotFlows(m_models.cleanup).confirmDelete(snapshot);
}

QFuture<void> StatusMenuController::addSampleMedia(const SimulatorDevice& device) {
    const QString udid = device.udid;
    const QString name = device.name;
    return QtConcurrent::run([udid] {
               try {
                   return DeviceTools::addMedia(SampleMedia::ensureFiles(), udid);
               } catch (const std::exception& error) {
                   qCWarning(appLog) << "adding sample media failed:" << error.what();
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

QFuture<void> StatusMenuController::chooseMediaToAdd(const SimulatorDevice& device) {
    OpenPanel panel;
    panel.message = QStringLiteral("Choose photos, videos, or vCard contacts to add to ") + device.name +
                    QStringLiteral(".");
    panel.multipleSelection = true;
    panel.nameFilters = {"*.jpg",  "*.jpeg", "*.png", "*.heic", "*.heif", "*.gif", "*.tif", "*.tiff", "*.bmp",
                         "*.webp", "*.mov",  "*.mp4", "*.m4v",  "*.avi",  "*.mkv", "*.vcf", "*.vcard"};
    const std::vector<std::filesystem::path> files = Dialogs::shared().runOpenPanel(panel);
    if (files.empty())
        return QtFuture::makeReadyFuture();
    const auto n = qsizetype(files.size());
    return runOnSimulators(
        {device},
        [files](const SimulatorDevice& target) { return DeviceTools::addMedia(files, target.udid); },
        QStringLiteral("Added %1 item%2").arg(n).arg(n == 1 ? QString() : QStringLiteral("s")));
}

} // namespace quorvex
