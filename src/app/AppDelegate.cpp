#include "app/AppDelegate.h"

#include "actions/Permissions.h"
#include "actions/SimulatorActions.h"
#include "app/AppLog.h"
#include "app/StatusMenuController.h"
#include "app/Updates.h"
#include "platform/core/Clock.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/HotKey.h"
#include "simulator/SimulatorApps.h"
#include "storage/files/Cleanup.h"
#include "tools/Environment.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTextDocumentFragment>

#include <cstdio>

namespace quorvex {
namespace {

void showAboutPanel() {
    const AboutPanelOptions options = Updates::aboutPanelOptions();
    Alert alert;
    alert.message = QCoreApplication::applicationName();
    alert.informativeText = QStringLiteral("Version %1\n\n%2")
                                .arg(QCoreApplication::applicationVersion(),
                                     QTextDocumentFragment::fromHtml(options.creditsHtml()).toPlainText());
    Dialogs::shared().runAlert(alert);
}

} // namespace

AppDelegate::AppDelegate(NetworkService& network, Clock& clock, std::function<void()> quit)
    : m_network(network)
    , m_clock(clock)
    , m_quit(std::move(quit)) {}

AppDelegate::~AppDelegate() = default;

bool AppDelegate::isResetSetupRun(const QStringList& arguments) {
    return arguments.contains(QStringLiteral("--reset-setup"));
}

void AppDelegate::runResetSetup(NetworkService& network, FILE* out, std::function<void(int)> exit) {
    network.resetSetup([out, exit = std::move(exit)](std::optional<QString> error) {
        if (error) {
            qCWarning(appLog) << "setup reset failed:" << *error;
            std::fprintf(out, "Reset failed: %s\n", error->toUtf8().constData());
        } else
            std::fputs("Setup reset. Launch the app again to see the setup guide.\n", out);
        std::fflush(out);
        exit(error ? 1 : 0);
    });
}

void AppDelegate::applicationDidFinishLaunching(const Services& services) {
    if (isRunningTests())
        return;
    QPointer<AppDelegate> self(this);
    StatusMenuController::Models models{
        SimulatorApps::shared(),
        SimulatorActions::shared(),
        Permissions::shared(),
        Cleanup::shared(),
        Updates::shared(),
        services,
        m_clock,
        &showAboutPanel,
        [self] {
            if (self)
                self->requestTermination();
        },
    };
    m_statusMenu = std::make_unique<StatusMenuController>(std::move(models), true);
    HotKey::repeatHotKey([] { SimulatorActions::shared().repeatLast(); });
    services.deviceHub.installShortcuts();
    services.deviceHub.connectPanel(*m_statusMenu, services.actionWindows, services.deviceFlows);
    services.deviceHub.startPanel();
    Updates::shared().start();
}

AppDelegate::TerminateReply AppDelegate::applicationShouldTerminate() {
    if (m_terminating)
        return TerminateReply::later;
    // Busy counts as well as active: a change being committed may be the one that starts
    // shaping, and quitting under it would leave traffic shaped with no program running.
    if (!m_network.isActive() && !m_network.isBusy())
        return TerminateReply::now;
    m_terminating = true;
    m_deadline = m_clock.schedule(kQuitTimeout, [this] { finishTermination(); });
    m_networkWatch =
        connect(&m_network, &NetworkService::stateChanged, this, &AppDelegate::continueTermination);
    continueTermination();
    return TerminateReply::later;
}

void AppDelegate::requestTermination() {
    if (m_finished)
        return;
    if (applicationShouldTerminate() == TerminateReply::now) {
        m_finished = true;
        m_quit();
    }
}

void AppDelegate::continueTermination() {
    if (!m_terminating || m_stopRequested || m_finished || m_network.isBusy())
        return;
    m_stopRequested = true;
    QPointer<AppDelegate> self(this);
    m_network.stopProxyForQuit([self] {
        if (self)
            self->finishTermination();
    });
}

void AppDelegate::finishTermination() {
    if (m_finished)
        return;
    m_finished = true;
    disconnect(m_networkWatch);
    // At the bound with the change still in flight: ask for the stop all the same, without
    // waiting for it any longer.
    if (!m_stopRequested) {
        m_stopRequested = true;
        m_network.stopProxyForQuit({});
    }
    m_quit();
}

void AppDelegate::finishBeforeExit() {
    if (m_finished)
        return;
    QEventLoop loop;
    const std::function<void()> quit = std::move(m_quit);
    m_quit = [&loop] { loop.quit(); };
    if (applicationShouldTerminate() == TerminateReply::now)
        m_finished = true;
    if (!m_finished)
        loop.exec();
    m_quit = quit;
}

} // namespace quorvex
