#pragma once

#include "platform/core/Clock.h"

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>

#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <type_traits>

namespace quorvex {

/// The extension's one serial queue, "com.zelmora.Quorvex.relay": an Asio io_context run by a
/// single thread. All shaping state (plan, links, shapers, relays) lives on it and is touched
/// only from it, so nothing in the engine locks. Sockets are created on its context, so their
/// completions arrive on the queue too. Destroying the queue stops the thread and joins it;
/// work still queued is dropped. Throws std::system_error when its reactor cannot be made.
class RelayQueue final {
public:
    static constexpr const char* label = "com.zelmora.Quorvex.relay";

    RelayQueue();
    ~RelayQueue();
    RelayQueue(const RelayQueue&) = delete;
    RelayQueue& operator=(const RelayQueue&) = delete;

    asio::io_context& context() { return m_context; }

    /// The monotonic clock whose timers fire on this queue.
    Clock& clock() { return *m_clock; }

    /// Runs `work` later on the queue.
    void post(std::function<void()> work);

    /// Runs `work` on the queue and waits for its result. Must not be called from the queue.
    template <typename Work> auto sync(Work&& work) -> std::invoke_result_t<Work> {
        using Result = std::invoke_result_t<Work>;
        std::packaged_task<Result()> task(std::forward<Work>(work));
        auto result = task.get_future();
        post([&task] { task(); });
        return result.get();
    }

    /// True on the queue's own thread.
    bool isCurrent() const { return std::this_thread::get_id() == m_thread.get_id(); }

private:
    asio::io_context m_context;
    // Never armed: making a timer makes the context's reactor (its epoll, eventfd and timerfd)
    // now, rather than with the first relay's socket, when descriptors may be short.
    asio::steady_timer m_reactor{m_context};
    asio::executor_work_guard<asio::io_context::executor_type> m_work;
    std::unique_ptr<Clock> m_clock;
    std::thread m_thread;
};

} // namespace quorvex
