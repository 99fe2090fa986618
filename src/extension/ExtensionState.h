#pragma once

#include "extension/Link.h"
#include "extension/RelayRegistry.h"
#include "network/plan/ThrottlePlan.h"
#include "platform/core/Clock.h"
#include "platform/core/Logger.h"

#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace quorvex {

/// The process-wide shaping state of the extension: the current plan, one Link per rule key and
/// the registry of live relays. Touched only on the relay queue (or, in tests, on the thread that
/// drives a fake clock); nothing here locks.
class ExtensionState final {
public:
    explicit ExtensionState(Clock& clock);

    Clock& clock() { return m_clock; }
    const Logger& logger() const { return m_logger; }
    RelayRegistry& registry() { return m_registry; }
    const ThrottlePlan& plan() const { return m_plan; }
    const std::map<std::string, std::shared_ptr<Link>>& links() const { return m_links; }

    /// Makes `plan` current. A rule keeps its Link, phase position and relays when its phases are
    /// unchanged; changed phases restart at phase 0; a rule that left the plan stops its phase
    /// cycle and closes its relays.
    void applyPlan(const ThrottlePlan& plan);

    /// The Link filed under `key` (a bundle folder name or "*"), if any.
    std::shared_ptr<Link> link(const std::string& key) const;

    /// The socket mark (SO_MARK) of every connection the relays open to the network, so the
    /// interception's rules let them through; 0 for none.
    int outboundMark() const { return m_outboundMark; }
    void setOutboundMark(int mark) { m_outboundMark = mark; }
    /// Sets the outbound mark on a freshly opened socket; false when the kernel refused it.
    bool markOutbound(int nativeSocket) const;

    /// Bytes every relay holds together (on links, cut from reads, waiting to be written). Past
    /// the budget, relays stop reading until it drops again, so many slow or stuck peers cannot
    /// grow the process without bound.
    std::size_t heldBytes() const { return m_heldBytes; }
    std::size_t peakHeldBytes() const { return m_peakHeldBytes; }
    std::size_t heldBudget() const { return m_heldBudget; }
    void setHeldBudget(std::size_t bytes) { m_heldBudget = bytes; }
    bool underBudget() const { return m_heldBytes < m_heldBudget; }
    /// Records a change of what a relay holds; falling under the budget runs the waiters.
    void addHeld(std::ptrdiff_t delta);
    /// Runs `resume` once the held bytes are under the budget again.
    void waitForBudget(std::function<void()> resume) { m_budgetWaiters.push_back(std::move(resume)); }

    static constexpr std::size_t defaultHeldBudget = 48 * 1024 * 1024;

    /// Flows a relay took and could not carry for want of descriptors or memory (refused, never
    /// passed unshaped), since the daemon started.
    std::size_t unrelayedFlows() const { return m_unrelayedFlows; }
    void noteUnrelayedFlow() { ++m_unrelayedFlows; }

    /// A uniform draw in [0, 1) for the datagram drop test.
    double randomUnit() { return std::uniform_real_distribution<double>(0.0, 1.0)(m_random); }
    void seedRandom(std::uint64_t seed) { m_random.seed(seed); }

private:
    Clock& m_clock;
    Logger m_logger;
    RelayRegistry m_registry;
    ThrottlePlan m_plan;
    std::map<std::string, std::shared_ptr<Link>> m_links;
    std::mt19937_64 m_random;
    int m_outboundMark = 0;
    std::size_t m_heldBytes = 0;
    std::size_t m_peakHeldBytes = 0;
    std::size_t m_heldBudget = defaultHeldBudget;
    std::size_t m_unrelayedFlows = 0;
    std::vector<std::function<void()>> m_budgetWaiters;
};

} // namespace quorvex
