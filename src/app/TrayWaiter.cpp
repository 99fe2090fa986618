#include "app/TrayWaiter.h"

namespace quorvex {

TrayWaiter::TrayWaiter(Clock& clock, std::function<bool()> available, std::function<void()> ready,
                       double interval)
    : m_clock(clock)
    , m_available(std::move(available))
    , m_ready(std::move(ready))
    , m_interval(interval) {}

bool TrayWaiter::start() {
    check();
    return !isWaiting();
}

void TrayWaiter::check() {
    m_pending.reset();
    if (m_available()) {
        m_ready();
        return;
    }
    m_pending = m_clock.schedule(m_interval, [this] { check(); });
}

} // namespace quorvex
