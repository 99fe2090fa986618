#include "extension/RelayQueue.h"

#include "platform/core/Logger.h"

#include <asio/post.hpp>
#include <asio/steady_timer.hpp>

#include <pthread.h>
#include <sys/prctl.h>

#include <chrono>

namespace quorvex {

namespace {

// A one-shot Asio timer; destroying the handle cancels it. Handles are made and destroyed on the
// queue, where the timer's handler also runs, so the flag needs no lock.
class TimerCall final : public ScheduledCall {
public:
    struct State {
        explicit State(asio::io_context& context)
            : timer(context) {}
        asio::steady_timer timer;
        bool cancelled = false;
    };

    explicit TimerCall(std::shared_ptr<State> state)
        : m_state(std::move(state)) {}
    ~TimerCall() override {
        m_state->cancelled = true;
        m_state->timer.cancel();
    }

private:
    std::shared_ptr<State> m_state;
};

// A call posted to run on the next turn; destroying the handle cancels it.
class PostedCall final : public ScheduledCall {
public:
    explicit PostedCall(std::shared_ptr<bool> cancelled)
        : m_cancelled(std::move(cancelled)) {}
    ~PostedCall() override { *m_cancelled = true; }

private:
    std::shared_ptr<bool> m_cancelled;
};

// Monotonic seconds (CLOCK_MONOTONIC, the system's uptime clock) with timers on the queue.
class QueueClock final : public Clock {
public:
    explicit QueueClock(asio::io_context& context)
        : m_context(context) {}

    double now() const override {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    }

    std::unique_ptr<ScheduledCall> schedule(double seconds, std::function<void()> call) override {
        if (!(seconds > 0)) {
            // Due now: the next turn of the queue, without arming a kernel timer (the unshaped
            // relay path runs through here for every piece).
            auto cancelled = std::make_shared<bool>(false);
            asio::post(m_context, [cancelled, call = std::move(call)] {
                if (!*cancelled)
                    call();
            });
            return std::make_unique<PostedCall>(std::move(cancelled));
        }
        auto state = std::make_shared<TimerCall::State>(m_context);
        const auto wait = seconds > 0 ? std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                            std::chrono::duration<double>(std::min(seconds, 1e9)))
                                      : std::chrono::steady_clock::duration::zero();
        state->timer.expires_after(wait);
        state->timer.async_wait([state, call = std::move(call)](const std::error_code& error) {
            if (!error && !state->cancelled)
                call();
        });
        return std::make_unique<TimerCall>(std::move(state));
    }

private:
    asio::io_context& m_context;
};

} // namespace

RelayQueue::RelayQueue()
    : m_work(asio::make_work_guard(m_context))
    , m_clock(std::make_unique<QueueClock>(m_context)) {
    m_thread = std::thread([this] {
        // Thread names hold 15 characters; keep the distinctive end of the label.
        ::pthread_setname_np(::pthread_self(), "Quorvex.relay");
        // The default 50 us of timer slack would be lost link time on every piece at high caps.
        ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        // Every relay lives on this thread: one whose handler threw (out of descriptors, say) must
        // not take the others, and the process, with it.
        for (;;) {
            try {
                m_context.run();
                return;
            } catch (const std::exception& error) {
                Logger("com.zelmora.Quorvex", "relay").error("Relay queue: %{public}s", error.what());
            }
        }
    });
}

RelayQueue::~RelayQueue() {
    m_work.reset();
    m_context.stop();
    if (m_thread.joinable())
        m_thread.join();
}

void RelayQueue::post(std::function<void()> work) {
    asio::post(m_context, std::move(work));
}

} // namespace quorvex
