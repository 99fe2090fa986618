#pragma once

#include "extension/ControlService.h"

#include <asio/io_context.hpp>
#include <asio/local/stream_protocol.hpp>
#include <asio/steady_timer.hpp>

#include <memory>
#include <string>

namespace quorvex {

/// The control socket: a Unix stream socket carrying ControlProtocol frames to a ControlService.
/// Every connection's peer is taken from the kernel (SO_PEERCRED) when it is accepted; the service
/// decides what that caller may do. A connection may carry many requests, one at a time; one that
/// sends an oversized frame or stays silent past the idle limit is closed. When accepting fails
/// (out of descriptors), accepting pauses briefly instead of spinning.
///
/// Runs on the io_context it is given; create, start and stop it there (or before it runs).
class ControlServer final {
public:
    ControlServer(asio::io_context& context, ControlService& service, std::string path);
    ~ControlServer();

    /// Binds the socket (replacing a stale socket file, never another kind of file) and starts
    /// accepting. Throws std::system_error when the path cannot be bound.
    void start();
    void stop();

    static constexpr double idleSeconds = 30;
    static constexpr double acceptBackOffSeconds = 0.1;

private:
    class Session;
    void accept();

    asio::io_context& m_context;
    ControlService& m_service;
    std::string m_path;
    asio::local::stream_protocol::acceptor m_acceptor;
    asio::steady_timer m_backOff;
    bool m_loggedAcceptError = false;
    std::shared_ptr<bool> m_alive;
};

} // namespace quorvex
