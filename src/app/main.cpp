// Program entry. A "--reset-setup" run resets the network setup and exits without ever touching
// the display; a run under a test host starts nothing; a normal run lives in the system tray.
#include "actions/SimulatorActions.h"
#include "app/AppDelegate.h"
#include "app/AppLog.h"
#include "app/Services.h"
#include "app/SingleInstance.h"
#include "app/StartupOptions.h"
#include "app/StatusMenuController.h"
#include "app/TerminationSignals.h"
#include "app/TrayWaiter.h"
#include "devices/core/PhysicalDevices.h"
#include "devices/flows/DeviceFlows.h"
#include "network/guide/NetworkSystem.h"
#include "network/guide/SetupIllustrations.h"
#include "panel/controller/DeviceHubPanel.h"
#include "panel/sections/DeviceHub.h"
#include "panel/sections/PanelDrop.h"
#include "platform/core/Clock.h"
#include "platform/data/FreedesktopTrash.h"
#include "platform/data/LogLevel.h"
#include "platform/data/SystemClock.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/HotKey.h"
#include "platform/gui/WindowSystem.h"
#include "platform/gui/Workspace.h"
#include "simulator/SimulatorApps.h"
#include "storage/cleaner/CleanupFlows.h"
#include "storage/cleaner/CleanupHUD.h"
#include "storage/cleaner/StorageCleanerWindow.h"
#include "storage/engine/CategoryScan.h"
#include "storage/engine/SpaceSaved.h"
#include "storage/files/Cleanup.h"
#include "tools/Environment.h"
#include "windows/ActionWindowsController.h"
#include "windows/ScreenshotSettings.h"
#include "windows/ScreenshotThumbnail.h"

#include <QSettings>

#include <QApplication>
#include <QProcessEnvironment>
#include <QSessionManager>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <optional>

namespace {

void setNames() {
    QCoreApplication::setApplicationName(QStringLiteral("Quorvex"));
    QCoreApplication::setOrganizationName(QStringLiteral("Zelmora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVEX_VERSION));
    // The installed desktop entry's name: the desktop matches the program's windows to it and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.zelmora.Quorvex"));
}

// The composition root: the one place that picks the implementation of each neighbouring
// service.
std::unique_ptr<quorvex::NetworkSystem> makeNetwork() {
    return std::make_unique<quorvex::NetworkSystem>(quorvex::systemClock(),
                                                    quorvex::setupIllustrations(quorvex::systemClock()));
}

// The storage cleaner over the real scanners, the user's Trash, the program's busy flag and the
// shared progress panel.
std::unique_ptr<quorvex::StorageCleanerWindow> makeCleanerWindow() {
    using namespace quorvex;
    static FreedesktopTrash trash;
    return std::make_unique<StorageCleanerWindow>(StorageCleanerWindow::Dependencies{
        [](CleanupCategory::Kind kind) {
            return CategoryScan::scan(kind, [] { return QDateTime::currentDateTime(); });
        },
        trash, Cleanup::shared(), CleanupHUD::shared(), SpaceSaved::shared(), !isRunningTests()});
}

struct ProgramServices {
    std::unique_ptr<quorvex::WindowSystem> windowSystem;
    std::unique_ptr<quorvex::DeviceHubService> deviceHub;
    // Declared after the hub, so it is destroyed first: it acts on the hub's panel.
    std::unique_ptr<quorvex::PanelDrop> panelDrop;
    std::unique_ptr<quorvex::ActionWindowsService> actionWindows;
    std::unique_ptr<quorvex::DeviceFlowsService> deviceFlows;
    std::unique_ptr<quorvex::CleanupFlowsService> cleanupFlows;
    std::unique_ptr<quorvex::CleanerWindowService> cleanerWindow;

    // Built only for a normal run: the device hub starts the simulator inventory.
    static ProgramServices make(quorvex::NetworkService& network) {
        using namespace quorvex;
        auto windowSystem = WindowSystem::create();
        auto deviceHub = std::make_unique<DeviceHub>(
            DeviceHub::Dependencies{*windowSystem, systemClock(), sharedDefaults(), SimulatorApps::shared(),
                                    PhysicalDevices::shared(), network, HotKey::sharedRegistry(),
                                    Clipboard::system(), [] { SimulatorActions::shared().repeatLast(); }});
        const DeviceHubService* hub = deviceHub.get();
        // Drops on the side panel act on the panel's own device and app.
        auto panelDrop = std::make_unique<PanelDrop>(deviceHub->panel(), systemClock(),
                                                     SimulatorApps::shared(), SimulatorActions::shared());
        deviceHub->setDropHandler(
            [drop = panelDrop.get()](const QByteArray& uriList) { drop->handleUriList(uriList); });
        auto actionWindows = std::make_unique<ActionWindowsController>(
            SimulatorApps::shared(), SimulatorActions::shared(), [hub] { return hub->targetUDID(); },
            systemClock(), Clipboard::system(), ScreenshotThumbnail::shared());
        // The menu's device screenshots go through the same flow as the simulators'.
        auto deviceFlows = std::make_unique<DeviceFlows>(PhysicalDevices::shared(),
                                                         actionWindows->screenshots(), Workspace::system());
        // What device copies killed with the previous run left is settled before any new one.
        deviceFlows->recoverInterruptedCopies();
        return {
            std::move(windowSystem), std::move(deviceHub),
            std::move(panelDrop),    std::move(actionWindows),
            std::move(deviceFlows),  std::make_unique<CleanupFlows>(SimulatorApps::shared()),
            makeCleanerWindow(),
        };
    }

    quorvex::Services view(quorvex::NetworkService& network) const {
        return {network, *deviceHub, *actionWindows, *deviceFlows, *cleanupFlows, *cleanerWindow};
    }
};

} // namespace

int main(int argc, char* argv[]) {
    using namespace quorvex;
    applyLogLevelFromEnvironment();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    if (AppDelegate::isResetSetupRun(arguments)) {
        // No window exists, or ever will: a core application needs no display.
        QCoreApplication app(argc, argv);
        setNames();
        const auto network = makeNetwork();
        AppDelegate::runResetSetup(network->service(), stdout,
                                   [](int status) { QCoreApplication::exit(status); });
        return app.exec();
    }

    // Answered before QApplication exists: its constructor aborts when there is no display.
    setNames();
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const StartupOptions options(arguments, environment);
    if (const std::optional<int> status = options.answerBeforeGui(stdout, stderr))
        return *status;

    QApplication app(argc, argv);
    // First, so a SIGTERM during the rest of the start-up quits cleanly instead of killing us.
    TerminationSignals termination;
    setNames();
    QApplication::setQuitOnLastWindowClosed(false);

    // A normal run is the session's one instance; a second one opens the first one's menu.
    SingleInstance instance(StartupOptions::instanceSocketPath(environment));
    if (!isRunningTests() && !instance.claim()) {
        std::fputs("Quorvex is already running; its menu was opened.\n", stdout);
        return 0;
    }
    if (!isRunningTests() && !QSystemTrayIcon::isSystemTrayAvailable()) {
        if (options.exitWithoutTray()) {
            std::fputs("Quorvex needs a system tray, and none is running in this session.\n", stderr);
            return 1;
        }
        std::fputs("Quorvex: no system tray is running yet; the status item appears as soon as one starts "
                   "(--exit-without-tray exits instead).\n",
                   stderr);
        std::fflush(stderr);
    }

    // Declared before the delegate, so they outlive the menu that refers to them. Under a test
    // host nothing may start, so nothing is built either.
    const auto network = makeNetwork();
    std::optional<ProgramServices> services;
    if (!isRunningTests())
        services = ProgramServices::make(network->service());
    AppDelegate delegate(network->service(), systemClock(), [] { QCoreApplication::quit(); });
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &delegate,
                     &AppDelegate::requestTermination);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &delegate,
                     [&delegate](QSessionManager&) { delegate.requestTermination(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::finishBeforeExit);
    QObject::connect(&instance, &SingleInstance::openMenuRequested, &delegate, [&delegate] {
        if (StatusMenuController* menu = delegate.statusMenu())
            menu->openMenu();
    });
    TrayWaiter tray(systemClock(), &QSystemTrayIcon::isSystemTrayAvailable, [&] {
        qCInfo(appLog) << "system tray available, showing the status item";
        if (services)
            delegate.applicationDidFinishLaunching(services->view(network->service()));
    });
    QTimer::singleShot(0, &delegate, [&] {
        if (services)
            tray.start();
    });
    return app.exec();
}
