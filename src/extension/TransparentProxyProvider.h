#pragma once

#include "extension/ExtensionState.h"
#include "extension/ProxyTunnel.h"
#include "extension/RelayQueue.h"

#include <optional>
#include <string>

namespace quorvex {

/// The extension's provider: holds the plan on the relay queue and answers the tunnel's start,
/// stop and provider messages. A start needs a plan that decodes, and a message is answered only
/// after its plan has been applied (or with the reason it was not), so the app never records a
/// change as applied that the extension dropped.
class TransparentProxyProvider final : public ProxyTunnel {
public:
    TransparentProxyProvider(RelayQueue& queue, ExtensionState& state);

    std::optional<std::string> start(const std::optional<std::string>& plan) override;
    void stop() override;
    std::optional<std::string> message(const std::string& data) override;

    bool isStarted() const { return m_started; }

private:
    RelayQueue& m_queue;
    ExtensionState& m_state;
    bool m_started = false;
};

} // namespace quorvex
