#pragma once

#include "extension/SocketStream.h"
#include "extension/TCPFlow.h"

#include <memory>

namespace quorvex {

/// A TCP flow over a connection the forwarding front accepted: the app's socket, and the target it
/// stands for.
class SocketTCPFlow final : public TCPFlow {
public:
    /// `configured`: the socket has no delay and keepalive on already (an accepted socket gets
    /// them from its listener).
    SocketTCPFlow(asio::ip::tcp::socket socket, asio::ip::tcp::endpoint target, bool configured = false);
    ~SocketTCPFlow() override;

    void open(std::function<void(std::error_code)> completion) override;
    void readData(std::function<void(std::vector<std::uint8_t>, std::error_code)> completion) override;
    void write(std::vector<std::uint8_t> data, std::function<void(std::error_code)> completion) override;
    std::size_t queuedWriteBytes() const override { return m_stream->queuedBytes(); }
    void closeRead(std::error_code error) override;
    void closeWrite(std::error_code error) override;
    asio::ip::tcp::endpoint remoteEndpoint() const override { return m_target; }

    static constexpr std::size_t readSize = 65536;

private:
    void closeWhenBothSidesAreClosed();

    std::shared_ptr<SocketStream> m_stream;
    asio::ip::tcp::endpoint m_target;
    bool m_readClosed = false;
    bool m_writeClosed = false;
    bool m_reset = false;
};

} // namespace quorvex
