#pragma once

#include "platform/core/Clock.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quorvex {

/// One direction of a shaped link. A relay hands it every piece of payload; the shaper reserves
/// link time for it at the direction's rate and runs two callbacks on the relay queue: "sent"
/// when the piece has left the link (the relay may read more) and "deliver" when it reaches the
/// far end after the one-way delay (the relay writes it).
///
/// Timing: `linkFreeAt` only moves forward, so pieces queue behind each other at the cap rate. Deliveries of
/// one direction happen in the order they were scheduled and never before the previous one: when a phase
/// lowers the delay, later pieces wait for earlier ones instead of overtaking them (that would reorder a TCP
/// stream, or let its end overtake its data). Callbacks wait in two ordered queues, each with one timer for
/// its head, so equal times also keep their order.
///
/// A stall, and a cap of 0 or below, hold the direction shut: pieces wait, in order, until another
/// phase is entered, however long that takes (a rule whose only phase stalls carries nothing for
/// good), and then go at the new phase's cap, so a stall's end is no burst. Caps are computed in floating
/// point, so no cap overflows.
///
/// Lives on the relay queue with its clock; destroying it cancels its timers and drops the
/// callbacks that have not run.
class LinkShaper final {
public:
    explicit LinkShaper(Clock& clock);
    ~LinkShaper();
    LinkShaper(const LinkShaper&) = delete;
    LinkShaper& operator=(const LinkShaper&) = delete;

    /// Reserves link time for `bytes` (0 allowed) and runs `sent`, then `deliver`, on the queue
    /// later (never from inside this call). Either callback may be empty.
    void schedule(std::int64_t bytes, std::function<void()> sent, std::function<void()> deliver);

    /// Sets the rate and delay of a new phase: `kbps` absent means no cap; `stalled` shuts the
    /// direction for the whole phase. Pieces held by a shut direction are scheduled again under
    /// the new conditions, in their order.
    void apply(std::optional<std::int64_t> kbps, std::int64_t delayMs, bool stalled = false);

    /// The read size and chunk size of the direction: the bytes of 50 ms at the cap, clamped to
    /// 512...65536; 65536 with no cap.
    std::size_t chunkSize() const;

    std::optional<double> bytesPerSecond() const { return m_bytesPerSecond; }
    double delay() const { return m_delay; }
    double linkFreeAt() const { return m_linkFreeAt; }
    bool isShut() const { return m_shut; }
    /// Seconds of link time already reserved ahead of now.
    double backlog() const;

    /// The object whose lifetime carries the shaper (its Link). A callback may drop the last
    /// reference to it; the shaper holds it while callbacks run so it never destroys itself
    /// mid-call.
    void setOwner(std::weak_ptr<void> owner) { m_owner = std::move(owner); }

    /// A piece scheduled at most this long after the link became free starts where the link
    /// became free, so the relay's turnaround between pieces does not eat into the rate.
    static constexpr double schedulingJitter = 0.002;

    static constexpr std::size_t minimumChunk = 512;
    static constexpr std::size_t maximumChunk = 65536;

private:
    struct Due {
        double at;
        std::function<void()> call;
    };
    struct Held {
        std::int64_t bytes;
        std::function<void()> sent;
        std::function<void()> deliver;
    };
    struct TimedQueue {
        std::deque<Due> entries;
        std::unique_ptr<ScheduledCall> timer;
    };

    void push(TimedQueue& queue, double at, std::function<void()> call);
    void arm(TimedQueue& queue);
    void fire(TimedQueue& queue);

    Clock& m_clock;
    std::weak_ptr<void> m_owner;
    std::optional<double> m_bytesPerSecond;
    double m_delay = 0;
    double m_linkFreeAt = 0;
    double m_lastDeliveryAt = 0;
    bool m_shut = false;
    std::vector<Held> m_held;
    TimedQueue m_sent;
    TimedQueue m_deliveries;
};

} // namespace quorvex
