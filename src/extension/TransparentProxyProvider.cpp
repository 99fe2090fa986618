#include "extension/TransparentProxyProvider.h"

#include "extension/ProcessClassifier.h"

namespace quorvex {

TransparentProxyProvider::TransparentProxyProvider(RelayQueue& queue, ExtensionState& state)
    : m_queue(queue)
    , m_state(state) {}

std::optional<std::string> TransparentProxyProvider::start(const std::optional<std::string>& plan) {
    if (!plan)
        return "The proxy configuration carries no plan.";
    std::string error;
    auto decoded = ThrottlePlan::decode(*plan, &error);
    if (!decoded) {
        m_state.logger().error("Start refused, the plan cannot be read: %{public}s", error);
        return "The plan cannot be read: " + error;
    }
    applyPlan(*decoded);
    if (m_source)
        m_source->blockedHostsChanged(decoded->blockedHosts.value_or(std::vector<std::string>{}));
    if (m_source && !m_started) {
        if (auto failure = m_source->start()) {
            m_state.logger().error("Failed to apply proxy settings: %{public}s", *failure);
            return failure;
        }
    }
    m_started = true;
    return std::nullopt;
}

void TransparentProxyProvider::stop() {
    if (m_source && m_started)
        m_source->stop();
    m_started = false;
    m_queue.sync([&] {
        for (const auto& relay : m_state.registry().collect([](const Closable&) { return true; }))
            relay->close();
    });
}

std::optional<std::string> TransparentProxyProvider::message(const std::string& data) {
    std::string error;
    auto decoded = ThrottlePlan::decode(data, &error);
    if (!decoded)
        return "The plan cannot be read: " + error;
    applyPlan(*decoded);
    if (m_source)
        m_source->blockedHostsChanged(decoded->blockedHosts.value_or(std::vector<std::string>{}));
    return std::nullopt;
}

void TransparentProxyProvider::applyPlan(const ThrottlePlan& plan) {
    auto look = std::make_shared<FirstLook>();
    m_queue.sync([&] {
        m_state.applyPlan(plan);
        look->blockedHosts = m_state.plan().blockedHosts;
        for (const auto& [key, link] : m_state.links())
            look->rules[key] = {link->isUnlimited(), link};
    });
    const std::lock_guard lock(m_firstLookMutex);
    m_firstLook = std::move(look);
}

TransparentProxyProvider::Action
TransparentProxyProvider::firstLook(const std::optional<std::string>& simulatorPath,
                                    const std::string& remoteHost) const {
    if (!simulatorPath)
        return Action::Pass;
    std::shared_ptr<const FirstLook> look;
    {
        const std::lock_guard lock(m_firstLookMutex);
        look = m_firstLook;
    }
    if (!remoteHost.empty() && ThrottlePlan::isBlocked(remoteHost, look->blockedHosts)) {
        m_state.logger().debug("Blocked %{public}s for %{public}s", remoteHost, *simulatorPath);
        return Action::Refuse;
    }
    // The rule of the app's bundle folder, else the one for all apps, as the link lookup goes.
    auto rule = look->rules.end();
    if (const auto key = ProcessClassifier::appKey(*simulatorPath))
        rule = look->rules.find(*key);
    if (rule == look->rules.end())
        rule = look->rules.find("*");
    if (rule == look->rules.end() || rule->second.unlimited)
        return Action::Pass;
    return rule->second.link->cutNow ? Action::Close : Action::Relay;
}

UndecidedFlows TransparentProxyProvider::undecidedFlows() const {
    auto flows = m_source ? m_source->undecidedFlows() : UndecidedFlows{};
    flows.refused += m_queue.sync([this] { return m_state.unrelayedFlows(); });
    return flows;
}

std::string TransparentProxyProvider::hostOf(const asio::ip::address& address) {
    if (address.is_v6() && address.to_v6().is_v4_mapped())
        return asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6()).to_string();
    return address.to_string();
}

TransparentProxyProvider::Decision
TransparentProxyProvider::choose(const std::optional<std::string>& simulatorPath,
                                 const std::optional<std::string>& remoteHost) {
    if (!simulatorPath)
        return {};
    if (remoteHost && !remoteHost->empty() &&
        ThrottlePlan::isBlocked(*remoteHost, m_state.plan().blockedHosts)) {
        m_state.logger().debug("Blocked %{public}s for %{public}s", *remoteHost, *simulatorPath);
        return {Action::Refuse, nullptr};
    }
    std::shared_ptr<Link> link;
    if (const auto key = ProcessClassifier::appKey(*simulatorPath))
        link = m_state.link(*key);
    if (!link)
        link = m_state.link("*");
    if (!link || link->isUnlimited())
        return {};
    if (link->isCut())
        return {Action::Close, nullptr};
    return {Action::Relay, std::move(link)};
}

TransparentProxyProvider::Decision
TransparentProxyProvider::decide(const std::optional<std::string>& simulatorPath,
                                 const std::optional<std::string>& remoteHost, Transport transport,
                                 const std::string& remote) {
    auto decision = choose(simulatorPath, remoteHost);
    if (decision.action != Action::Relay)
        return decision;
    if (transport == Transport::TCP)
        m_state.logger().debug("TCP %{public}s → %{public}s", *simulatorPath, remote);
    else
        m_state.logger().debug("UDP %{public}s", *simulatorPath);
    return decision;
}

} // namespace quorvex
