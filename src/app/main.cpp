// Program entry. A "--reset-setup" run resets the network setup and exits without ever touching
// the display; a run under a test host starts nothing; a normal run lives in the system tray.
#include "app/AppDelegate.h"
#include "app/NeighbourServices.h"
#include "app/TerminationSignals.h"
#include "platform/Clock.h"
#include "platform/SystemClock.h"

#include <QApplication>
#include <QSessionManager>
#include <QTimer>

#include <cstdio>

namespace {

void setNames() {
    QCoreApplication::setApplicationName(QStringLiteral("Quorvex"));
    QCoreApplication::setOrganizationName(QStringLiteral("Zelmora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVEX_VERSION));
}

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
        AppDelegate::runResetSetup(NeighbourServices::sharedNetwork(), stdout,
                                   [](int status) { QCoreApplication::exit(status); });
        return app.exec();
    }

    QApplication app(argc, argv);
    setNames();
    QApplication::setQuitOnLastWindowClosed(false);

    AppDelegate delegate(NeighbourServices::sharedNetwork(), systemClock(), [] { QCoreApplication::quit(); });
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &delegate,
                     &AppDelegate::requestTermination);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &delegate,
                     [&delegate](QSessionManager&) { delegate.requestTermination(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::finishBeforeExit);
    QTimer::singleShot(0, &delegate,
                       [&delegate] { delegate.applicationDidFinishLaunching(NeighbourServices::shared()); });
    return app.exec();
}
