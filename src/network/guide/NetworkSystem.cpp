#include "network/guide/NetworkSystem.h"

#include "network/control/SocketExtensionControl.h"
#include "network/guide/SetupGuideWidgetWindow.h"
#include "network/guide/SetupHelp.h"
#include "network/model/NetworkModel.h"
#include "network/model/ProxyController.h"
#include "network/model/SetupGuide.h"
#include "network/model/WorkerThreadExecutor.h"
#include "tools/Environment.h"

#include <QCoreApplication>

namespace quorvex {

NetworkSystem::NetworkSystem(Clock& clock, IllustrationFactory illustrations)
    : m_control(std::make_unique<SocketExtensionControl>())
    , m_executor(std::make_unique<WorkerThreadExecutor>()) {
    ProxyController::Options options;
    options.executablePath = QCoreApplication::applicationFilePath().toStdString();
    options.installPrefix = QUORVEX_INSTALL_PREFIX;
    m_proxy = std::make_unique<ProxyController>(*m_control, *m_executor, clock, std::move(options));
    m_guide = std::make_unique<SetupGuide>(
        *m_proxy, clock, SetupGuideWidgetWindow::factory(std::move(illustrations), &SetupHelp::show));
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
