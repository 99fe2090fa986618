#pragma once

#include "extension/LinkShaper.h"
#include "network/plan/NetworkProfile.h"
#include "platform/core/Clock.h"
#include "platform/core/Logger.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace quorvex {

class RelayRegistry;

/// The shaped connection between the apps of one plan rule and the network: a shaper per
/// direction, and the rule's phases played in a loop. Each phase sets both shapers; after its
/// `seconds` the next one takes over.
///
/// Lives on the relay queue and is shared: the link table holds it while its rule stays in the
/// plan, relays hold it while they live. The phase timer is owned by the link (so a gone link has
/// no timer) and reaches it weakly. `generation` ends a timer chain: a timer of an older
/// generation does nothing.
class Link final : public std::enable_shared_from_this<Link> {
public:
    static std::shared_ptr<Link> create(Clock& clock, RelayRegistry& registry, const Logger& logger);

    LinkShaper downlink; // network to app
    LinkShaper uplink;   // app to network
    std::vector<NetworkProfile::Phase> phases;
    LinkConditions conditions;
    std::int64_t generation = 0;

    /// Makes phase `index` (modulo the number of phases) current if `expectedGeneration` still
    /// matches; with two or more phases, arms the timer for the next one.
    void enterPhase(std::size_t index, std::int64_t expectedGeneration);

    /// True when there are no phases, or no phase shapes anything.
    bool isUnlimited() const;

    /// True while the current phase cuts the link (loss of 1 or more).
    bool isCut() const { return conditions.packetLoss >= 1.0; }
    /// The same, for threads other than the relay queue: set with every phase entered.
    std::atomic<bool> cutNow{false};

    /// Closes every live relay made for this very link.
    void closeAllRelays();

    /// How long a phase of a multi-phase rule lasts: its `seconds`, but never less than this, so
    /// phases of 0 s or less cannot re-arm the timer at once forever.
    static constexpr double minimumPhaseSeconds = 0.1;

    Link(Clock& clock, RelayRegistry& registry, const Logger& logger);

private:
    Clock& m_clock;
    RelayRegistry& m_registry;
    const Logger& m_logger;
    std::unique_ptr<ScheduledCall> m_phaseTimer;
};

} // namespace quorvex
