#include "extension/TransparentProxyProvider.h"

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
    m_queue.sync([&] { m_state.applyPlan(*decoded); });
    m_started = true;
    return std::nullopt;
}

void TransparentProxyProvider::stop() {
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
    m_queue.sync([&] { m_state.applyPlan(*decoded); });
    return std::nullopt;
}

} // namespace quorvex
