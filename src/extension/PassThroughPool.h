#pragma once

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quorvex {

class SplicePump;

/// Carries flows that need no shaping: each gets its own connection to its target and a
/// SplicePump between the two, on one of a few event loops (one per core, at most eight), so
/// unshaped flows neither wait on the relay queue nor on each other. A connection must be made
/// within `connectSeconds`, or the app's connection is reset.
///
/// Every loop's reactor (its epoll, eventfd and timerfd) is made in the constructor, which throws
/// std::system_error when descriptors run out: a loop that made it lazily threw on its own thread
/// the first time a flow reached it, which ended the process. A flow whose handling fails (no
/// descriptor for its connection or pipes) is reset and the loop goes on.
class PassThroughPool final {
public:
    static constexpr double connectSeconds = 10;

    /// `mark` is the socket mark of the connections made (0 for none). Throws std::system_error
    /// when the loops' reactors cannot be made.
    explicit PassThroughPool(int mark = 0, unsigned loops = 0);
    ~PassThroughPool();
    PassThroughPool(const PassThroughPool&) = delete;
    PassThroughPool& operator=(const PassThroughPool&) = delete;

    /// Takes over the app's connected socket (its native handle, any thread) and carries it to
    /// `target`.
    void pass(int appSocket, const asio::ip::tcp::endpoint& target);
    /// Resets every flow it carries.
    void closeAll();
    /// Runs `work` on one of the loops (any thread may ask): short work whose system calls the
    /// relay queue and the accepting thread need not carry.
    void run(std::function<void()> work);
    std::size_t loopCount() const { return m_loops.size(); }

private:
    static void run(asio::io_context& context);

    struct Loop {
        asio::io_context context;
        asio::executor_work_guard<asio::io_context::executor_type> work{asio::make_work_guard(context)};
        // Never armed: making a timer makes the context's reactor, here rather than on first use.
        asio::steady_timer reactor{context};
        std::thread thread;
        std::mutex mutex;
        std::vector<std::weak_ptr<SplicePump>> pumps;
    };

    /// Connects to `target` and starts the pump; on the loop. Resets the app's socket when it throws.
    void carry(Loop& loop, int appSocket, const asio::ip::tcp::endpoint& target);

    int m_mark;
    std::vector<std::unique_ptr<Loop>> m_loops;
    std::atomic<std::size_t> m_next{0};
    // Set while opening connections fails (said once, not once per flow while out of descriptors).
    std::atomic<bool> m_openFailing{false};
};

} // namespace quorvex
