#pragma once

#include "extension/FlowSource.h"

#include <optional>
#include <string>

namespace quorvex {

/// The provider as the control service drives it: start with a configuration's plan, stop, and
/// provider messages. Errors come back as texts for the app.
class ProxyTunnel {
public:
    virtual ~ProxyTunnel() = default;

    /// Starts the tunnel with the plan's JSON bytes (absent when the configuration has none).
    /// Answers an error text when the tunnel cannot start; a missing or undecodable plan is one.
    virtual std::optional<std::string> start(const std::optional<std::string>& plan) = 0;
    /// Stops the tunnel: every relay is closed when this returns.
    virtual void stop() = 0;
    /// Handles a provider message (a plan's JSON). Answers an error text when it cannot be
    /// decoded; the running plan then stays as it was.
    virtual std::optional<std::string> message(const std::string& data) = 0;
    /// Flows that could not be decided or relayed for want of resources, since the daemon started.
    virtual UndecidedFlows undecidedFlows() const { return {}; }
};

} // namespace quorvex
