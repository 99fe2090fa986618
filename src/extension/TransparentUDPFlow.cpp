#include "extension/TransparentUDPFlow.h"

#include <asio/post.hpp>

#include <sys/socket.h>
#include <unistd.h>

namespace quorvex {

TransparentUDPFlow::TransparentUDPFlow(asio::io_context& queue, int replySocket, asio::ip::udp::endpoint app,
                                       asio::ip::udp::endpoint destination)
    : m_queue(queue)
    , m_replySocket(replySocket)
    , m_app(std::move(app))
    , m_destination(std::move(destination)) {}

TransparentUDPFlow::~TransparentUDPFlow() {
    if (m_replySocket >= 0)
        ::close(m_replySocket);
}

void TransparentUDPFlow::open(std::function<void(std::error_code)> completion) {
    asio::post(m_queue, [completion = std::move(completion)] { completion({}); });
}

void TransparentUDPFlow::readDatagrams(
    std::function<void(std::vector<Datagram>, std::error_code)> completion) {
    m_pendingRead = std::move(completion);
    serve();
}

void TransparentUDPFlow::writeDatagrams(std::vector<Datagram> datagrams,
                                        std::function<void(std::error_code)> completion) {
    if (!m_writeClosed && m_replySocket >= 0) {
        for (const Datagram& datagram : datagrams) {
            // A full buffer drops the datagram, as a network would.
            ::sendto(m_replySocket, datagram.payload.data(), datagram.payload.size(), MSG_DONTWAIT,
                     m_app.data(), static_cast<socklen_t>(m_app.size()));
        }
    }
    if (completion)
        asio::post(m_queue, [completion = std::move(completion)] { completion({}); });
}

void TransparentUDPFlow::closeRead(std::error_code) {
    m_readClosed = true;
    m_inbound.clear();
    m_inboundBytes = 0;
    m_pendingRead = nullptr;
    m_closed = m_writeClosed;
}

void TransparentUDPFlow::closeWrite(std::error_code) {
    m_writeClosed = true;
    m_closed = m_readClosed;
}

void TransparentUDPFlow::arrive(std::vector<std::uint8_t> payload) {
    if (m_readClosed || m_inboundBytes + payload.size() > inboundLimit)
        return;
    m_inboundBytes += payload.size();
    m_inbound.push_back({std::move(payload), m_destination});
    serve();
}

void TransparentUDPFlow::end() {
    m_ended = true;
    serve();
}

void TransparentUDPFlow::serve() {
    if (!m_pendingRead || (m_inbound.empty() && !m_ended))
        return;
    std::vector<Datagram> batch(std::make_move_iterator(m_inbound.begin()),
                                std::make_move_iterator(m_inbound.end()));
    m_inbound.clear();
    m_inboundBytes = 0;
    auto completion = std::move(m_pendingRead);
    m_pendingRead = nullptr;
    asio::post(m_queue, [completion = std::move(completion), batch = std::move(batch)]() mutable {
        completion(std::move(batch), {});
    });
}

} // namespace quorvex
