// Program entry. A "--reset-setup" run resets the network setup and exits without ever touching
// the display; a run under a test host starts nothing; a normal run lives in the system tray.
#include "app/AppDelegate.h"
#include "app/Services.h"
#include "app/TerminationSignals.h"
#include "app/provisional/ProvisionalActionWindows.h"
#include "app/provisional/ProvisionalCleanerWindow.h"
#include "app/provisional/ProvisionalDeviceFlows.h"
#include "app/provisional/ProvisionalDeviceHub.h"
#include "app/provisional/ProvisionalNetwork.h"
#include "platform/Clock.h"
#include "platform/SystemClock.h"
#include "simulator/SimulatorApps.h"
#include "storage/CleanupFlows.h"
#include "tools/Environment.h"

#include <QApplication>
#include <QSessionManager>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <optional>

namespace {

void setNames() {
    QCoreApplication::setApplicationName(QStringLiteral("Quorvex"));
    QCoreApplication::setOrganizationName(QStringLiteral("Zelmora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVEX_VERSION));
}

// The composition root: the one place that picks the implementation of each neighbouring
// service. Each provisional line gives way to the real subsystem when it lands.
std::unique_ptr<quorvex::NetworkService> makeNetwork() {
    return std::make_unique<quorvex::ProvisionalNetwork>();
}

struct ProgramServices {
    std::unique_ptr<quorvex::DeviceHubService> deviceHub;
    std::unique_ptr<quorvex::ActionWindowsService> actionWindows;
    std::unique_ptr<quorvex::DeviceFlowsService> deviceFlows;
    std::unique_ptr<quorvex::CleanupFlowsService> cleanupFlows;
    std::unique_ptr<quorvex::CleanerWindowService> cleanerWindow;

    // Built only for a normal run: the device hub starts the simulator inventory.
    static ProgramServices make() {
        using namespace quorvex;
        return {
            std::make_unique<ProvisionalDeviceHub>(SimulatorApps::shared()),
            std::make_unique<ProvisionalActionWindows>(),
            std::make_unique<ProvisionalDeviceFlows>(),
            std::make_unique<CleanupFlows>(SimulatorApps::shared()),
            std::make_unique<ProvisionalCleanerWindow>(),
        };
    }

    quorvex::Services view(quorvex::NetworkService& network) const {
        return {network, *deviceHub, *actionWindows, *deviceFlows, *cleanupFlows, *cleanerWindow};
    }
};

} // namespace

int main(int argc, char* argv[]) {
    using namespace quorvex;
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    if (AppDelegate::isResetSetupRun(arguments)) {
        // No window exists, or ever will: a core application needs no display.
        QCoreApplication app(argc, argv);
        setNames();
        const auto network = makeNetwork();
        AppDelegate::runResetSetup(*network, stdout, [](int status) { QCoreApplication::exit(status); });
        return app.exec();
    }

    QApplication app(argc, argv);
    setNames();
    QApplication::setQuitOnLastWindowClosed(false);

    // Declared before the delegate, so they outlive the menu that refers to them. Under a test
    // host nothing may start, so nothing is built either.
    const auto network = makeNetwork();
    std::optional<ProgramServices> services;
    if (!isRunningTests())
        services = ProgramServices::make();
    AppDelegate delegate(*network, systemClock(), [] { QCoreApplication::quit(); });
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &delegate,
                     &AppDelegate::requestTermination);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &delegate,
                     [&delegate](QSessionManager&) { delegate.requestTermination(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::finishBeforeExit);
    QTimer::singleShot(0, &delegate, [&] {
        if (services)
            delegate.applicationDidFinishLaunching(services->view(*network));
    });
    return app.exec();
}
