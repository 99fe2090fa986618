#include "extension/PassThroughPool.h"

#include "extension/SplicePump.h"

#include <asio/post.hpp>
#include <asio/steady_timer.hpp>

#include <sys/socket.h>

#include <algorithm>
#include <future>

namespace quorvex {

namespace {

void reset(asio::ip::tcp::socket& socket) {
    std::error_code ignored;
    socket.set_option(asio::socket_base::linger(true, 0), ignored);
    socket.close(ignored);
}

} // namespace

PassThroughPool::PassThroughPool(int mark, unsigned loops)
    : m_mark(mark) {
    if (loops == 0)
        loops = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    for (unsigned index = 0; index < loops; ++index) {
        auto loop = std::make_unique<Loop>();
        loop->thread = std::thread([context = &loop->context] { context->run(); });
        m_loops.push_back(std::move(loop));
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
    asio::post(loop.context, [&loop, appSocket, target, mark = m_mark] {
        auto app = std::make_shared<asio::ip::tcp::socket>(loop.context, target.protocol(), appSocket);
        auto network = std::make_shared<asio::ip::tcp::socket>(loop.context);
        std::error_code error;
        network->open(target.protocol(), error);
        if (error || (mark != 0 &&
                      ::setsockopt(network->native_handle(), SOL_SOCKET, SO_MARK, &mark, sizeof mark) != 0))
            return reset(*app);
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
            auto pump = SplicePump::start(std::move(*app), std::move(*network));
            const std::lock_guard lock(loop.mutex);
            std::erase_if(loop.pumps, [](const auto& weak) { return weak.expired(); });
            loop.pumps.push_back(pump);
        });
    });
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
