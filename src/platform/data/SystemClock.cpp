#include "platform/data/SystemClock.h"

#include <QTimer>

#include <chrono>
#include <cmath>

namespace quorvex {
namespace {

class TimerCall final : public ScheduledCall {
public:
    TimerCall(double seconds, std::function<void()> call) {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [call = std::move(call)] { call(); });
        m_timer.start(static_cast<int>(std::ceil(std::max(0.0, seconds) * 1000.0)));
    }

private:
    QTimer m_timer;
};

class SystemClock final : public Clock {
public:
    double now() const override {
        using namespace std::chrono;
        return duration<double>(steady_clock::now().time_since_epoch()).count();
    }

    std::unique_ptr<ScheduledCall> schedule(double seconds, std::function<void()> call) override {
        return std::make_unique<TimerCall>(seconds, std::move(call));
    }
};

} // namespace

Clock& systemClock() {
    static SystemClock clock;
    return clock;
}

} // namespace quorvex
