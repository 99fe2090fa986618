#pragma once

#include "network/guide/IllustrationSpec.h"

#include <memory>

namespace quorvex {

class Clock;
class NetworkModel;
class NetworkService;
class ProxyController;
class SetupGuide;
class SocketExtensionControl;
class WorkerThreadExecutor;

/// The program's network side in one piece, built by the composition root: the extension
/// daemon's control socket, the worker thread its calls run on, the proxy controller, the setup
/// guide with its real window, and the network model the menu uses.
class NetworkSystem final {
public:
    /// `illustrations` draws the setup guide's pages.
    NetworkSystem(Clock& clock, IllustrationFactory illustrations);
    ~NetworkSystem();

    NetworkService& service();
    SetupGuide& guide() { return *m_guide; }

private:
    std::unique_ptr<SocketExtensionControl> m_control;
    std::unique_ptr<WorkerThreadExecutor> m_executor;
    std::unique_ptr<ProxyController> m_proxy;
    std::unique_ptr<SetupGuide> m_guide;
    std::unique_ptr<NetworkModel> m_model;
};

} // namespace quorvex
