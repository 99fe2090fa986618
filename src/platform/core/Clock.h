#pragma once

#include <functional>
#include <memory>

namespace quorvex {

/// A pending call made by Clock::schedule. Destroying it cancels the call if it has not run yet.
class ScheduledCall {
public:
    virtual ~ScheduledCall() = default;
};

/// Monotonic time and one-shot timers on the GUI thread. Timing logic takes a Clock so tests can
/// drive it with a fake one and never wait for a real timer.
class Clock {
public:
    virtual ~Clock() = default;

    /// Seconds on a monotonic clock; only differences are meaningful.
    virtual double now() const = 0;

    /// Runs `call` once, `seconds` from now, on the thread that owns the clock (the GUI thread).
    virtual std::unique_ptr<ScheduledCall> schedule(double seconds, std::function<void()> call) = 0;
};

} // namespace quorvex
