#pragma once

#include "extension/ExtensionState.h"
#include "extension/FlowSource.h"
#include "extension/ProxyTunnel.h"
#include "extension/RelayQueue.h"

#include <asio/ip/address.hpp>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace quorvex {

/// The extension's provider: holds the plan on the relay queue and answers the tunnel's start,
/// stop and provider messages. A start needs a plan that decodes, and a message is answered only
/// after its plan has been applied (or with the reason it was not), so the app never records a
/// change as applied that the extension dropped.
class TransparentProxyProvider final : public ProxyTunnel {
public:
    /// What becomes of a new flow.
    enum class Action {
        Pass,   // not a simulator app, no rule, or an unlimited rule: untouched
        Refuse, // a simulator app to a blocked host
        Close,  // the rule's current phase cuts the link
        Relay,  // through the rule's link
    };
    struct Decision {
        Action action = Action::Pass;
        std::shared_ptr<Link> link; // for Relay
    };
    enum class Transport { TCP, UDP };

    TransparentProxyProvider(RelayQueue& queue, ExtensionState& state);

    std::optional<std::string> start(const std::optional<std::string>& plan) override;
    void stop() override;
    std::optional<std::string> message(const std::string& data) override;
    UndecidedFlows undecidedFlows() const override;

    bool isStarted() const { return m_started; }

    /// The interception switched on by start and off by stop; none keeps flows where they are.
    void setFlowSource(FlowSource* source) { m_source = source; }

    /// Decides a new flow from the simulator app's executable path (none for any other process)
    /// and the remote host (a name, or an address's text; none when unknown, which is never
    /// blocked). `remote` is the endpoint's text for the log. Call on the relay queue.
    Decision decide(const std::optional<std::string>& simulatorPath,
                    const std::optional<std::string>& remoteHost, Transport transport,
                    const std::string& remote);

    /// The host text of a peer address: dotted IPv4 for an IPv4-mapped IPv6 address, so blocked
    /// IPv4 entries meet peers seen on dual-stack sockets.
    static std::string hostOf(const asio::ip::address& address);

    /// The decision as far as it can be taken away from the relay queue, so any thread may ask
    /// without a trip to it: from what the last plan set (whether a rule shapes anything at all
    /// changes only with a plan) and whether the rule's link is cut now. The relay queue's
    /// decision, a moment later, stands; this one may lag a plan being applied.
    Action firstLook(const std::optional<std::string>& simulatorPath, const std::string& remoteHost) const;

private:
    // What firstLook reads: the plan's blocked hosts, and for each rule key whether it shapes
    // nothing. Made with every plan applied, on the relay queue.
    struct FirstLook {
        std::optional<std::vector<std::string>> blockedHosts;
        struct Rule {
            bool unlimited = false;
            std::shared_ptr<const Link> link;
        };
        std::map<std::string, Rule> rules;
    };
    void applyPlan(const ThrottlePlan& plan);
    // decide without the flow's log line.
    Decision choose(const std::optional<std::string>& simulatorPath,
                    const std::optional<std::string>& remoteHost);

    mutable std::mutex m_firstLookMutex;
    std::shared_ptr<const FirstLook> m_firstLook = std::make_shared<FirstLook>();
    RelayQueue& m_queue;
    ExtensionState& m_state;
    FlowSource* m_source = nullptr;
    bool m_started = false;
};

} // namespace quorvex
