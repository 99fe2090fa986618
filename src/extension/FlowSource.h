#pragma once

#include <optional>
#include <string>
#include <vector>

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
    /// The plan now in force blocks these hosts (names or addresses, as the plan has them).
    virtual void blockedHostsChanged(const std::vector<std::string>& hosts) { (void)hosts; }
};

} // namespace quorvex
