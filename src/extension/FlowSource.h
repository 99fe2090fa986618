#pragma once

#include <optional>
#include <string>

namespace quorvex {

/// Where the provider's flows come from: the system's interception, switched on while the tunnel
/// runs. Each new flow goes to the provider's decision.
class FlowSource {
public:
    virtual ~FlowSource() = default;
    /// Starts intercepting; an error text when it cannot (nothing is left installed then).
    virtual std::optional<std::string> start() = 0;
    /// Stops intercepting and removes everything start installed.
    virtual void stop() = 0;
};

} // namespace quorvex
