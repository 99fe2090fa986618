#include "extension/LinkShaper.h"

#include <algorithm>
#include <cmath>

namespace quorvex {

LinkShaper::LinkShaper(Clock& clock)
    : m_clock(clock) {}

LinkShaper::~LinkShaper() = default;

void LinkShaper::schedule(std::int64_t bytes, std::function<void()> sent, std::function<void()> deliver) {
    if (m_shut) {
        m_held.push_back({bytes, std::move(sent), std::move(deliver)});
        return;
    }
    const double now = m_clock.now();
    // A piece that follows the previous one within the queue's own scheduling jitter continues
    // the busy link where it left off: otherwise every timer wake-up and read turnaround would be
    // lost link time, and a fed link would run several percent below its cap.
    const double continued = now - m_linkFreeAt <= schedulingJitter ? m_linkFreeAt : now;
    const double start = std::max(continued, m_linkFreeAt);
    const double transfer =
        m_bytesPerSecond ? static_cast<double>(std::max<std::int64_t>(bytes, 0)) / *m_bytesPerSecond : 0.0;
    m_linkFreeAt = start + transfer;
    m_lastDeliveryAt = std::max(m_linkFreeAt + m_delay, m_lastDeliveryAt);
    if (sent)
        push(m_sent, m_linkFreeAt, std::move(sent));
    if (deliver)
        push(m_deliveries, m_lastDeliveryAt, std::move(deliver));
}

void LinkShaper::apply(std::optional<std::int64_t> kbps, std::int64_t delayMs, bool stalled) {
    const bool shutCap = kbps && *kbps <= 0;
    m_shut = stalled || shutCap;
    // Floating point throughout: an integer product would overflow for huge caps.
    m_bytesPerSecond =
        kbps && !shutCap ? std::optional<double>(static_cast<double>(*kbps) * 1000.0 * 0.125) : std::nullopt;
    m_delay = static_cast<double>(delayMs) / 1000.0;
    if (m_shut || m_held.empty())
        return;
    std::vector<Held> held = std::move(m_held);
    m_held.clear();
    for (Held& piece : held)
        schedule(piece.bytes, std::move(piece.sent), std::move(piece.deliver));
}

std::size_t LinkShaper::chunkSize() const {
    if (!m_bytesPerSecond)
        return maximumChunk;
    const double share = std::floor(*m_bytesPerSecond / 20.0);
    return static_cast<std::size_t>(
        std::clamp(share, static_cast<double>(minimumChunk), static_cast<double>(maximumChunk)));
}

double LinkShaper::backlog() const {
    return std::max(0.0, m_linkFreeAt - m_clock.now());
}

void LinkShaper::push(TimedQueue& queue, double at, std::function<void()> call) {
    queue.entries.push_back({at, std::move(call)});
    arm(queue);
}

void LinkShaper::arm(TimedQueue& queue) {
    if (queue.timer || queue.entries.empty())
        return;
    const double wait = queue.entries.front().at - m_clock.now();
    queue.timer = m_clock.schedule(wait, [this, &queue] { fire(queue); });
}

void LinkShaper::fire(TimedQueue& queue) {
    // The handle of the call now running goes first, so callbacks may arm the next one.
    auto running = std::move(queue.timer);
    const auto keepAlive = m_owner.lock();
    const double now = m_clock.now();
    // Times in a queue never decrease, so everything due is at the front. A small tolerance keeps
    // rounding in `at - now` from re-arming a timer for a nanosecond.
    while (!queue.entries.empty() && queue.entries.front().at <= now + 1e-9) {
        auto call = std::move(queue.entries.front().call);
        queue.entries.pop_front();
        call();
    }
    arm(queue);
}

} // namespace quorvex
