#include "extension/ExtensionState.h"

#include <sys/socket.h>

#include <algorithm>

namespace quorvex {

ExtensionState::ExtensionState(Clock& clock)
    : m_clock(clock)
    , m_logger("com.zelmora.Quorvex", "proxy")
    , m_random(std::random_device{}()) {}

void ExtensionState::applyPlan(const ThrottlePlan& plan) {
    m_plan = plan;
    std::map<std::string, std::shared_ptr<Link>> table;
    for (const auto& rule : plan.rules) {
        const std::string key = rule.key();
        std::shared_ptr<Link> link;
        if (auto fresh = table.find(key); fresh != table.end())
            link = fresh->second;
        else if (auto old = m_links.find(key); old != m_links.end())
            link = old->second;
        else
            link = Link::create(m_clock, m_registry, m_logger);
        if (link->phases != rule.phases) {
            link->phases = rule.phases;
            ++link->generation;
            link->enterPhase(0, link->generation);
        }
        table[key] = link;
    }
    for (const auto& [key, link] : m_links) {
        if (table.count(key))
            continue;
        ++link->generation;
        link->closeAllRelays();
    }
    m_links = std::move(table);
}

void ExtensionState::addHeld(std::ptrdiff_t delta) {
    if (delta < 0 && static_cast<std::size_t>(-delta) > m_heldBytes)
        m_heldBytes = 0;
    else
        m_heldBytes = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(m_heldBytes) + delta);
    m_peakHeldBytes = std::max(m_peakHeldBytes, m_heldBytes);
    if (delta >= 0 || !underBudget() || m_budgetWaiters.empty())
        return;
    auto waiters = std::move(m_budgetWaiters);
    m_budgetWaiters.clear();
    for (auto& resume : waiters)
        resume();
}

bool ExtensionState::markOutbound(int nativeSocket) const {
    if (m_outboundMark == 0)
        return true;
    const int mark = m_outboundMark;
    return ::setsockopt(nativeSocket, SOL_SOCKET, SO_MARK, &mark, sizeof mark) == 0;
}

std::shared_ptr<Link> ExtensionState::link(const std::string& key) const {
    const auto it = m_links.find(key);
    return it == m_links.end() ? nullptr : it->second;
}

} // namespace quorvex
