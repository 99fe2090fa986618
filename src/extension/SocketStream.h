#pragma once

#include <asio/ip/tcp.hpp>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <system_error>
#include <vector>

namespace quorvex {

/// One connected TCP socket with an ordered write queue and ordered half-close, used for both
/// sides of a relay. Writes go out one at a time in the order given; a half-close or a graceful
/// close waits until every queued write is out, so a finished relay never cuts its last bytes.
/// `abort()` resets the connection at once and drops what is queued.
///
/// Lives on the relay queue. Pending operations hold the stream, so it outlives its owner until
/// its queue has drained and its last completion has run.
class SocketStream final : public std::enable_shared_from_this<SocketStream> {
public:
    using ReadHandler =
        std::function<void(std::vector<std::uint8_t> data, bool finished, std::error_code error)>;
    using WriteHandler = std::function<void(std::error_code error)>;

    static std::shared_ptr<SocketStream> create(asio::ip::tcp::socket socket);

    asio::ip::tcp::socket& socket() { return m_socket; }

    /// Reads up to `maximum` bytes (at most `scratchBytes` at once). End of stream gives no data,
    /// `finished` and no error.
    void read(std::size_t maximum, ReadHandler handler);
    static constexpr std::size_t scratchBytes = 256 * 1024;

    /// Queues `data`; `handler` runs once it has been handed to the kernel, or failed.
    void write(std::vector<std::uint8_t> data, WriteHandler handler);

    /// Sends the end of stream once the queued writes are out.
    void shutdownSend();
    /// Stops receiving; nothing is sent to the peer.
    void shutdownReceive();
    /// Closes once the queued writes (and a pending end of stream) are out.
    void close();
    /// Resets the connection now; queued writes are dropped and their handlers never run.
    void abort();

    /// Bytes queued and not yet handed to the kernel.
    std::size_t queuedBytes() const { return m_queuedBytes; }
    bool isOpen() const { return m_socket.is_open(); }

private:
    explicit SocketStream(asio::ip::tcp::socket socket);
    struct Pending {
        std::shared_ptr<std::vector<std::uint8_t>> data; // shared with the write in flight
        WriteHandler handler;
    };
    void writeNext();
    void settle();

    asio::ip::tcp::socket m_socket;
    std::deque<Pending> m_queue;
    std::size_t m_queuedBytes = 0;
    bool m_writing = false;
    bool m_sendShutdownPending = false;
    bool m_sendShutDown = false;
    bool m_closePending = false;
};

} // namespace quorvex
