#include "extension/SocketTCPFlow.h"

#include "extension/TCPRelay.h"

#include <asio/post.hpp>

namespace quorvex {

SocketTCPFlow::SocketTCPFlow(asio::ip::tcp::socket socket, asio::ip::tcp::endpoint target, bool configured)
    : m_stream(SocketStream::create(std::move(socket)))
    , m_target(std::move(target)) {
    if (configured)
        return;
    std::error_code ignored;
    m_stream->socket().set_option(asio::ip::tcp::no_delay(true), ignored);
    TCPRelay::keepAlive(m_stream->socket().native_handle());
}

SocketTCPFlow::~SocketTCPFlow() {
    // A flow dropped without being closed (a relay that never opened it) must not leave the app
    // hanging on an open connection.
    if (!m_readClosed || !m_writeClosed)
        m_stream->abort();
}

void SocketTCPFlow::open(std::function<void(std::error_code)> completion) {
    // The connection was accepted already; what the app sent meanwhile waits in the kernel.
    asio::post(m_stream->socket().get_executor(), [completion = std::move(completion)] { completion({}); });
}

void SocketTCPFlow::readData(std::function<void(std::vector<std::uint8_t>, std::error_code)> completion) {
    m_stream->read(readSize, [completion = std::move(completion)](std::vector<std::uint8_t> data,
                                                                  bool finished, std::error_code error) {
        (void)finished; // no data and no error is the end of stream
        completion(std::move(data), error);
    });
}

void SocketTCPFlow::write(std::vector<std::uint8_t> data, std::function<void(std::error_code)> completion) {
    m_stream->write(std::move(data), std::move(completion));
}

void SocketTCPFlow::closeRead(std::error_code error) {
    if (error) {
        m_reset = true;
        m_stream->abort();
    } else if (!m_readClosed) {
        m_stream->shutdownReceive();
    }
    m_readClosed = true;
    closeWhenBothSidesAreClosed();
}

void SocketTCPFlow::closeWrite(std::error_code error) {
    if (error) {
        m_reset = true;
        m_stream->abort();
    } else if (!m_writeClosed) {
        m_stream->shutdownSend();
    }
    m_writeClosed = true;
    closeWhenBothSidesAreClosed();
}

void SocketTCPFlow::closeWhenBothSidesAreClosed() {
    if (m_readClosed && m_writeClosed && !m_reset)
        m_stream->close();
}

} // namespace quorvex
