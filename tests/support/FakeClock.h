#pragma once

#include "platform/core/Clock.h"

#include <algorithm>
#include <map>
#include <memory>

namespace quorvex::test {

/// A Clock whose time moves only when a test calls advance(); due calls run in time order.
class FakeClock final : public Clock {
public:
    double now() const override { return m_now; }

    std::unique_ptr<ScheduledCall> schedule(double seconds, std::function<void()> call) override {
        const long id = ++m_nextId;
        m_pending[{m_now + std::max(0.0, seconds), id}] = std::move(call);
        return std::make_unique<Handle>(this, id);
    }

    /// Moves time forward by `seconds`, running every call that falls due on the way (calls
    /// scheduled by those calls included).
    void advance(double seconds) {
        const double target = m_now + seconds;
        for (;;) {
            auto next = m_pending.begin();
            if (next == m_pending.end() || next->first.first > target + 1e-9)
                break;
            m_now = std::max(m_now, next->first.first);
            auto call = std::move(next->second);
            m_pending.erase(next);
            call();
        }
        m_now = target;
    }

    size_t pendingCount() const { return m_pending.size(); }

private:
    class Handle final : public ScheduledCall {
    public:
        Handle(FakeClock* clock, long id)
            : m_clock(clock)
            , m_id(id) {}
        ~Handle() override {
            std::erase_if(m_clock->m_pending,
                          [this](const auto& entry) { return entry.first.second == m_id; });
        }

    private:
        FakeClock* m_clock;
        long m_id;
    };

    double m_now = 1000.0;
    long m_nextId = 0;
    std::map<std::pair<double, long>, std::function<void()>> m_pending;
};

} // namespace quorvex::test
