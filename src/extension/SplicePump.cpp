#include "extension/SplicePump.h"

#include <asio/post.hpp>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace quorvex {

std::shared_ptr<SplicePump> SplicePump::start(asio::ip::tcp::socket app, asio::ip::tcp::socket network) {
    auto pump = std::make_shared<SplicePump>(std::move(app), std::move(network));
    if (!pump->openPipe(pump->m_up) || !pump->openPipe(pump->m_down)) {
        pump->close();
        return pump;
    }
    pump->pump(pump->m_up);
    pump->pump(pump->m_down);
    return pump;
}

SplicePump::SplicePump(asio::ip::tcp::socket app, asio::ip::tcp::socket network)
    : m_app(std::move(app))
    , m_network(std::move(network)) {
    m_up.from = &m_app;
    m_up.to = &m_network;
    m_down.from = &m_network;
    m_down.to = &m_app;
    std::error_code ignored;
    m_app.native_non_blocking(true, ignored);
    m_network.native_non_blocking(true, ignored);
}

SplicePump::~SplicePump() {
    for (Direction* direction : {&m_up, &m_down})
        for (int& fd : direction->pipe)
            if (fd >= 0)
                ::close(fd);
}

bool SplicePump::openPipe(Direction& direction) {
    if (::pipe2(direction.pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    // A larger pipe moves more per call; the kernel may refuse past its limit, which is fine.
    ::fcntl(direction.pipe[1], F_SETPIPE_SZ, pipeBytes);
    return true;
}

void SplicePump::close() {
    if (m_closed)
        return;
    m_closed = true;
    std::error_code ignored;
    for (auto* socket : {&m_app, &m_network}) {
        if (!socket->is_open())
            continue;
        socket->set_option(asio::socket_base::linger(true, 0), ignored);
        socket->close(ignored);
    }
}

void SplicePump::finishIfDone() {
    if (!m_up.finished || !m_down.finished || m_closed)
        return;
    m_closed = true;
    std::error_code ignored;
    m_app.close(ignored);
    m_network.close(ignored);
}

void SplicePump::pump(Direction& direction) {
    // A bounded number of moves per turn keeps one busy flow from starving the others on the loop.
    for (int turn = 0; turn < 64; ++turn) {
        if (m_closed || direction.finished)
            return;
        if (direction.inPipe > 0) {
            const ssize_t count = ::splice(direction.pipe[0], nullptr, direction.to->native_handle(), nullptr,
                                           direction.inPipe, SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
            if (count > 0) {
                direction.inPipe -= static_cast<std::size_t>(count);
                direction.moved += static_cast<std::size_t>(count);
                continue;
            }
            if (count < 0 && errno == EINTR)
                continue;
            if (count < 0 && errno == EAGAIN) {
                direction.to->async_wait(asio::socket_base::wait_write,
                                         [self = shared_from_this(), &direction](std::error_code error) {
                                             if (error)
                                                 return self->close();
                                             self->pump(direction);
                                         });
                return;
            }
            return close();
        }
        const ssize_t count = ::splice(direction.from->native_handle(), nullptr, direction.pipe[1], nullptr,
                                       pipeBytes, SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
        if (count > 0) {
            direction.inPipe = static_cast<std::size_t>(count);
            continue;
        }
        if (count == 0) {
            // End of stream from this side: pass it on and keep the other direction going.
            ::shutdown(direction.to->native_handle(), SHUT_WR);
            direction.finished = true;
            return finishIfDone();
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN) {
            direction.from->async_wait(asio::socket_base::wait_read,
                                       [self = shared_from_this(), &direction](std::error_code error) {
                                           if (error)
                                               return self->close();
                                           self->pump(direction);
                                       });
            return;
        }
        return close();
    }
    asio::post(m_app.get_executor(), [self = shared_from_this(), &direction] { self->pump(direction); });
}

} // namespace quorvex
