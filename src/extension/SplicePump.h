#pragma once

#include <asio/ip/tcp.hpp>

#include <cstddef>
#include <memory>

namespace quorvex {

/// Moves the bytes of an unshaped TCP flow between two connected sockets inside the kernel
/// (splice(2) through a pipe per direction), so a flow the provider declines costs about what a
/// direct connection costs. Each side's end of stream is passed on as a half-close; an error on
/// either side resets both. Lives on the sockets' executor; the pending waits hold it.
class SplicePump final : public std::enable_shared_from_this<SplicePump> {
public:
    /// Starts pumping; both sockets must be open on the same single-threaded executor.
    static std::shared_ptr<SplicePump> start(asio::ip::tcp::socket app, asio::ip::tcp::socket network);

    /// Resets both sides at once. Call on the sockets' executor.
    void close();
    bool isClosed() const { return m_closed; }
    /// Bytes moved from the app to the network and back.
    std::size_t upBytes() const { return m_up.moved; }
    std::size_t downBytes() const { return m_down.moved; }

    SplicePump(asio::ip::tcp::socket app, asio::ip::tcp::socket network);
    ~SplicePump();

    static constexpr int pipeBytes = 1 << 20;

private:
    struct Direction {
        asio::ip::tcp::socket* from = nullptr;
        asio::ip::tcp::socket* to = nullptr;
        int pipe[2] = {-1, -1};
        std::size_t inPipe = 0;
        std::size_t moved = 0;
        bool finished = false;
    };

    bool openPipe(Direction& direction);
    void pump(Direction& direction);
    void finishIfDone();

    asio::ip::tcp::socket m_app;
    asio::ip::tcp::socket m_network;
    Direction m_up;
    Direction m_down;
    bool m_closed = false;
};

} // namespace quorvex
