#pragma once

#include "platform/core/Clock.h"

#include <functional>
#include <memory>

namespace quorvex {

/// Waits for a system tray to appear: asks `available` now and then every `interval` seconds
/// until it answers yes, then runs `ready` once. Desktops start their panel after the session's
/// autostart programs, so a tray that is missing at launch often appears a moment later.
class TrayWaiter final {
public:
    TrayWaiter(Clock& clock, std::function<bool()> available, std::function<void()> ready,
               double interval = 2.0);

    /// Checks once now; true when the tray was there (and `ready` ran).
    bool start();
    bool isWaiting() const { return m_pending != nullptr; }

private:
    void check();

    Clock& m_clock;
    std::function<bool()> m_available;
    std::function<void()> m_ready;
    double m_interval;
    std::unique_ptr<ScheduledCall> m_pending;
};

} // namespace quorvex
