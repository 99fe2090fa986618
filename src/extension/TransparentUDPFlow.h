#pragma once

#include "extension/UDPFlow.h"

#include <asio/io_context.hpp>
#include <asio/ip/udp.hpp>

#include <atomic>
#include <deque>

namespace quorvex {

/// One intercepted UDP flow: the datagrams one app socket sends to one original destination.
/// The interceptor's listener receives them and hands them in (`arrive`, on the relay queue);
/// what the relay writes back leaves from `replySocket`, a transparent socket bound to the
/// original destination, so the app sees its answers come from where it sent. Owns the socket.
///
/// Lives on the relay queue except for `isClosed`, which the interceptor reads to forget it.
class TransparentUDPFlow final : public UDPFlow {
public:
    TransparentUDPFlow(asio::io_context& queue, int replySocket, asio::ip::udp::endpoint app,
                       asio::ip::udp::endpoint destination);
    ~TransparentUDPFlow() override;
    TransparentUDPFlow(const TransparentUDPFlow&) = delete;
    TransparentUDPFlow& operator=(const TransparentUDPFlow&) = delete;

    void open(std::function<void(std::error_code)> completion) override;
    void readDatagrams(std::function<void(std::vector<Datagram>, std::error_code)> completion) override;
    void writeDatagrams(std::vector<Datagram> datagrams,
                        std::function<void(std::error_code)> completion) override;
    void closeRead(std::error_code error) override;
    void closeWrite(std::error_code error) override;

    /// A datagram the app sent; dropped past a socket buffer's worth waiting or once read closed.
    void arrive(std::vector<std::uint8_t> payload);
    /// Ends the flow (idle, or interception stopped): the relay's next read sees the end.
    void end();
    /// True once the relay closed both directions. Any thread.
    bool isClosed() const { return m_closed; }

    static constexpr std::size_t inboundLimit = 1024 * 1024;

private:
    void serve();

    asio::io_context& m_queue;
    int m_replySocket;
    asio::ip::udp::endpoint m_app;
    asio::ip::udp::endpoint m_destination;
    std::deque<Datagram> m_inbound;
    std::size_t m_inboundBytes = 0;
    std::function<void(std::vector<Datagram>, std::error_code)> m_pendingRead;
    bool m_readClosed = false;
    bool m_writeClosed = false;
    bool m_ended = false;
    std::atomic<bool> m_closed{false};
};

} // namespace quorvex
