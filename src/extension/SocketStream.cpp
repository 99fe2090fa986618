#include "extension/SocketStream.h"

#include <asio/buffer.hpp>
#include <asio/write.hpp>

#include <algorithm>

namespace quorvex {

std::shared_ptr<SocketStream> SocketStream::create(asio::ip::tcp::socket socket) {
    return std::shared_ptr<SocketStream>(new SocketStream(std::move(socket)));
}

SocketStream::SocketStream(asio::ip::tcp::socket socket)
    : m_socket(std::move(socket)) {}

void SocketStream::read(std::size_t maximum, ReadHandler handler) {
    // Wait for readiness first and size the buffer by what has arrived: an idle connection then
    // holds no buffer at all, and a busy one only what it reads.
    m_socket.async_wait(asio::socket_base::wait_read, [self = shared_from_this(), maximum,
                                                       handler = std::move(handler)](
                                                          std::error_code error) mutable {
        if (error)
            return handler({}, false, error);
        std::error_code ignored;
        if (!self->m_socket.non_blocking())
            self->m_socket.non_blocking(true, ignored);
        // Read into the thread's scratch space and keep only what came: asking the kernel how
        // much is there first cost a system call per read.
        thread_local std::vector<std::uint8_t> scratch(scratchBytes);
        const std::size_t count = self->m_socket.read_some(
            asio::buffer(scratch.data(), std::clamp<std::size_t>(maximum, 1, scratch.size())), error);
        if (error == asio::error::would_block || error == asio::error::try_again)
            return self->read(maximum, std::move(handler));
        std::vector<std::uint8_t> data(scratch.begin(), scratch.begin() + static_cast<std::ptrdiff_t>(count));
        if (error == asio::error::eof)
            handler({}, true, {});
        else
            handler(std::move(data), false, error);
    });
}

void SocketStream::write(std::vector<std::uint8_t> data, WriteHandler handler) {
    if (!m_socket.is_open() || m_sendShutdownPending || m_sendShutDown) {
        if (handler)
            handler(asio::error::not_connected);
        return;
    }
    m_queuedBytes += data.size();
    m_queue.push_back({std::make_shared<std::vector<std::uint8_t>>(std::move(data)), std::move(handler)});
    writeNext();
}

void SocketStream::writeNext() {
    if (m_writing || m_queue.empty())
        return;
    m_writing = true;
    auto data = m_queue.front().data;
    asio::async_write(m_socket, asio::buffer(*data),
                      [self = shared_from_this(), data](std::error_code error, std::size_t) {
                          self->m_writing = false;
                          if (self->m_queue.empty())
                              return; // aborted meanwhile
                          Pending done = std::move(self->m_queue.front());
                          self->m_queue.pop_front();
                          self->m_queuedBytes -= done.data->size();
                          if (done.handler)
                              done.handler(error);
                          if (error) {
                              // The connection is broken: every later write fails the same way.
                              auto rest = std::move(self->m_queue);
                              self->m_queue.clear();
                              self->m_queuedBytes = 0;
                              for (Pending& pending : rest)
                                  if (pending.handler)
                                      pending.handler(error);
                          }
                          self->writeNext();
                          self->settle();
                      });
}

void SocketStream::shutdownSend() {
    m_sendShutdownPending = true;
    settle();
}

void SocketStream::shutdownReceive() {
    std::error_code ignored;
    if (m_socket.is_open())
        m_socket.shutdown(asio::ip::tcp::socket::shutdown_receive, ignored);
}

void SocketStream::close() {
    m_closePending = true;
    settle();
}

void SocketStream::settle() {
    if (m_writing || !m_queue.empty() || !m_socket.is_open())
        return;
    std::error_code ignored;
    if (m_sendShutdownPending && !m_sendShutDown) {
        m_sendShutDown = true;
        m_socket.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    }
    if (m_closePending)
        m_socket.close(ignored);
}

void SocketStream::abort() {
    m_queue.clear();
    m_queuedBytes = 0;
    if (!m_socket.is_open())
        return;
    std::error_code ignored;
    // A zero linger turns the close into a reset, so the peer cannot mistake the end for a
    // complete transfer.
    m_socket.set_option(asio::socket_base::linger(true, 0), ignored);
    m_socket.close(ignored);
}

} // namespace quorvex
