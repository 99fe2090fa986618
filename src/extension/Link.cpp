#include "extension/Link.h"

#include "extension/RelayRegistry.h"

#include <cmath>

namespace quorvex {

std::shared_ptr<Link> Link::create(Clock& clock, RelayRegistry& registry, const Logger& logger) {
    auto link = std::make_shared<Link>(clock, registry, logger);
    link->downlink.setOwner(link);
    link->uplink.setOwner(link);
    return link;
}

Link::Link(Clock& clock, RelayRegistry& registry, const Logger& logger)
    : downlink(clock)
    , uplink(clock)
    , m_clock(clock)
    , m_registry(registry)
    , m_logger(logger) {}

void Link::enterPhase(std::size_t index, std::int64_t expectedGeneration) {
    if (expectedGeneration != generation || phases.empty())
        return;
    const auto& phase = phases[index % phases.size()];
    const bool cycles = phases.size() >= 2;
    // NaN and anything below the minimum count as the minimum; a single phase keeps its own value.
    const double length =
        cycles && !(phase.seconds >= minimumPhaseSeconds) ? minimumPhaseSeconds : phase.seconds;
    conditions = phase.conditions;
    downlink.apply(conditions.downKbps, conditions.downDelayMs, conditions.stalled);
    uplink.apply(conditions.upKbps, conditions.upDelayMs, conditions.stalled);
    cutNow = isCut();

    if (isCut())
        closeAllRelays();

    m_logger.debug("Phase %{public}s for %f s", phase.label, phase.seconds);

    m_phaseTimer.reset();
    if (cycles && std::isfinite(length)) {
        std::weak_ptr<Link> weak = weak_from_this();
        const std::size_t next = (index + 1) % phases.size();
        const std::int64_t chain = generation;
        m_phaseTimer = m_clock.schedule(length, [weak, next, chain] {
            if (auto link = weak.lock())
                link->enterPhase(next, chain);
        });
    }
}

bool Link::isUnlimited() const {
    for (const auto& phase : phases)
        if (!phase.conditions.isUnshaped())
            return false;
    return true;
}

void Link::closeAllRelays() {
    const auto relays =
        m_registry.collect([this](const Closable& relay) { return relay.link().get() == this; });
    for (const auto& relay : relays)
        relay->close();
}

} // namespace quorvex
