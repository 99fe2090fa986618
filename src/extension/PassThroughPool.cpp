#include "extension/PassThroughPool.h"

#include "extension/SplicePump.h"

#include <asio/post.hpp>
#include <asio/steady_timer.hpp>

#include "platform/core/Logger.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <future>

namespace quorvex {

namespace {

void reset(asio::ip::tcp::socket& socket) {
    std::error_code ignored;
    socket.set_option(asio::socket_base::linger(true, 0), ignored);
    socket.close(ignored);
}

// For a descriptor no socket object took over yet.
void reset(int fd) {
    const linger now{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &now, sizeof now);
    ::close(fd);
}

const Logger& logger() {
    static const Logger instance("com.zelmora.Quorvex", "passthrough");
    return instance;
}

} // namespace

PassThroughPool::PassThroughPool(int mark, unsigned loops)
    : m_mark(mark) {
    if (loops == 0)
        loops = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    // All reactors first: if one cannot be made, no thread has started yet.
    for (unsigned index = 0; index < loops; ++index)
        m_loops.push_back(std::make_unique<Loop>());
    for (auto& loop : m_loops)
        loop->thread = std::thread([context = &loop->context] { run(*context); });
}

void PassThroughPool::run(asio::io_context& context) {
    // A handler that throws leaves run(); the loop carries other flows, so it goes on.
    for (;;) {
        try {
            context.run();
            return;
        } catch (const std::exception& error) {
            logger().error("Pass-through loop: %{public}s", error.what());
        }
    }
}

PassThroughPool::~PassThroughPool() {
    closeAll();
    for (auto& loop : m_loops) {
        loop->work.reset();
        loop->context.stop();
        loop->thread.join();
    }
}

void PassThroughPool::pass(int appSocket, const asio::ip::tcp::endpoint& target) {
    Loop& loop = *m_loops[m_next++ % m_loops.size()];
    asio::post(loop.context, [this, &loop, appSocket, target] {
        try {
            carry(loop, appSocket, target);
        } catch (const std::exception& error) {
            logger().error("Passing a flow to %{public}s failed: %{public}s", target.address().to_string(),
                           error.what());
        }
    });
}

void PassThroughPool::run(std::function<void()> work) {
    asio::post(m_loops[m_next++ % m_loops.size()]->context, std::move(work));
}

void PassThroughPool::carry(Loop& loop, int appSocket, const asio::ip::tcp::endpoint& target) {
    const int mark = m_mark;
    std::shared_ptr<asio::ip::tcp::socket> app;
    try {
        app = std::make_shared<asio::ip::tcp::socket>(loop.context, target.protocol(), appSocket);
    } catch (...) {
        reset(appSocket);
        throw;
    }
    try {
        auto network = std::make_shared<asio::ip::tcp::socket>(loop.context);
        std::error_code error;
        network->open(target.protocol(), error);
        if (!error && mark != 0 &&
            ::setsockopt(network->native_handle(), SOL_SOCKET, SO_MARK, &mark, sizeof mark) != 0)
            error = std::error_code(errno, std::system_category());
        if (error) {
            if (!m_openFailing.exchange(true))
                logger().error("Cannot open a connection to %{public}s: %{public}s",
                               target.address().to_string(), error.message());
            return reset(*app);
        }
        m_openFailing = false;
        auto deadline = std::make_shared<asio::steady_timer>(
            loop.context, std::chrono::milliseconds(static_cast<long long>(connectSeconds * 1000)));
        deadline->async_wait([network](std::error_code waitError) {
            if (!waitError) {
                std::error_code ignored;
                network->cancel(ignored);
            }
        });
        network->async_connect(target, [&loop, app, network, deadline](std::error_code connectError) {
            deadline->cancel();
            if (connectError)
                return reset(*app);
            std::error_code ignored;
            network->set_option(asio::ip::tcp::no_delay(true), ignored);
            app->set_option(asio::ip::tcp::no_delay(true), ignored);
            try {
                auto pump = SplicePump::start(std::move(*app), std::move(*network));
                const std::lock_guard lock(loop.mutex);
                std::erase_if(loop.pumps, [](const auto& weak) { return weak.expired(); });
                loop.pumps.push_back(pump);
            } catch (const std::exception& failure) {
                logger().error("Passing a flow failed: %{public}s", failure.what());
                if (app->is_open())
                    reset(*app);
                if (network->is_open())
                    reset(*network);
            }
        });
    } catch (...) {
        reset(*app);
        throw;
    }
}

void PassThroughPool::closeAll() {
    for (auto& loop : m_loops) {
        std::packaged_task<void()> task([&loop] {
            std::vector<std::weak_ptr<SplicePump>> pumps;
            {
                const std::lock_guard lock(loop->mutex);
                pumps.swap(loop->pumps);
            }
            for (const auto& weak : pumps)
                if (auto pump = weak.lock())
                    pump->close();
        });
        auto done = task.get_future();
        asio::post(loop->context, [&task] { task(); });
        done.get();
    }
}

} // namespace quorvex
