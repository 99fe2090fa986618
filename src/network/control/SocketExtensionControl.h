#pragma once

#include "network/control/ExtensionControl.h"

#include <nlohmann/json.hpp>

#include <string>

namespace quorvex {

/// ExtensionControl over the daemon's Unix control socket (ControlProtocol). Each call opens a
/// connection, sends one request and reads one reply; a daemon that is not running, or that does
/// not answer within the timeout, gives an Unreachable error. Thread-safe: calls share no state.
class SocketExtensionControl final : public ExtensionControl {
public:
    explicit SocketExtensionControl(std::string socketPath = {}, double timeoutSeconds = 10);

    const std::string& socketPath() const { return m_path; }

    ControlResult<ActivationState> requestActivation() override;
    ControlResult<Done> deactivate() override;
    ControlResult<ActivationState> activationState() override;
    ControlResult<std::vector<ProxyConfiguration>> loadConfigurations() override;
    ControlResult<ProxyConfiguration> saveConfiguration(const ProxyConfiguration& configuration) override;
    ControlResult<Done> removeConfiguration(const std::string& id) override;
    ControlResult<Done> startTunnel(const std::string& id) override;
    ControlResult<Done> stopTunnel(const std::string& id) override;
    ControlResult<SessionStatus> status(const std::string& id) override;
    ControlResult<Done> sendMessage(const std::string& id, const std::string& message) override;

    /// Sends any request and answers the reply's "result" (the administrator's command uses this
    /// for its own operations).
    ControlResult<nlohmann::json> call(const nlohmann::json& request);

private:
    ControlResult<Done> callForDone(const nlohmann::json& request);
    ControlResult<ActivationState> callForActivation(const nlohmann::json& request);

    std::string m_path;
    double m_timeout;
};

} // namespace quorvex
