#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quorvex {

/// Flows whose source could not be told, or that could not be relayed, for want of descriptors
/// or memory, since the daemon started: `held` waited for another try, `refused` were refused
/// (a flow is never passed as an ordinary process's because its source could not be told).
struct UndecidedFlows {
    std::size_t held = 0;
    std::size_t refused = 0;
    bool operator==(const UndecidedFlows&) const = default;
};

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
    virtual UndecidedFlows undecidedFlows() const { return {}; }
};

} // namespace quorvex
