#include "network/NetworkSystem.h"

#include "network/NetworkModel.h"
#include "network/ProxyController.h"
#include "network/SetupGuide.h"
#include "network/SetupGuideWidgetWindow.h"
#include "network/SocketExtensionControl.h"
#include "network/WorkerThreadExecutor.h"
#include "platform/Dialogs.h"
#include "tools/Environment.h"

#include <QCoreApplication>

namespace quorvex {
namespace {

// Stands for the system settings pane: here an administrator approves the extension on the
// daemon's command line.
void showHowToApprove() {
    Alert alert;
    alert.message = QStringLiteral("Allow the network extension");
    alert.informativeText = QStringLiteral("An administrator approves it in a terminal:\n\n"
                                           "sudo quorvexctl approve\n\n"
                                           "The setup guide moves on as soon as it is allowed.");
    Dialogs::shared().runAlert(alert);
}

} // namespace

NetworkSystem::NetworkSystem(Clock& clock, IllustrationFactory illustrations)
    : m_control(std::make_unique<SocketExtensionControl>())
    , m_executor(std::make_unique<WorkerThreadExecutor>()) {
    ProxyController::Options options;
    options.executablePath = QCoreApplication::applicationFilePath().toStdString();
    options.installPrefix = QUORVEX_INSTALL_PREFIX;
    m_proxy = std::make_unique<ProxyController>(*m_control, *m_executor, clock, std::move(options));
    m_guide = std::make_unique<SetupGuide>(
        *m_proxy, clock, SetupGuideWidgetWindow::factory(std::move(illustrations), &showHowToApprove));
    m_model = std::make_unique<NetworkModel>(*m_proxy, *m_guide, sharedDefaults());
}

NetworkSystem::~NetworkSystem() {
    // The model and the guide go before the controller they talk to; the worker thread last but
    // one, so no answer arrives for a controller that is gone.
    m_model.reset();
    m_guide.reset();
    m_proxy.reset();
    m_executor.reset();
}

NetworkService& NetworkSystem::service() {
    return *m_model;
}

} // namespace quorvex
