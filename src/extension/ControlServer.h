#pragma once

#include "extension/ControlService.h"

#include <asio/io_context.hpp>
#include <asio/local/stream_protocol.hpp>
#include <asio/steady_timer.hpp>

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>

namespace quorvex {

/// The control socket: a Unix stream socket carrying ControlProtocol frames to a ControlService.
///
/// Any local user can connect, so nothing is spent on a caller before the kernel has said who it
/// is (SO_PEERCRED and SO_PEERGROUPS, read when the connection is accepted): a caller the service
/// refuses gets one error frame and is closed at once, and so is one past the session limits (per
/// user, and for everyone but root together). An admitted connection may carry many requests, one
/// at a time; a request's body buffer grows only as its bytes arrive, up to the request bound. A
/// connection that sends an oversized frame is answered and closed; one silent past the idle
/// limit is closed. When accepting fails (out of descriptors), accepting pauses briefly instead of
/// spinning.
///
/// Runs on the io_context it is given; create, start and stop it there (or before it runs).
/// Sessions keep themselves alive through their pending operations and end with their socket.
class ControlServer final {
public:
    struct Limits {
        std::size_t sessionsPerUser = 8; // root included
        std::size_t sessions = 32;       // of every caller but root together
    };

    ControlServer(asio::io_context& context, ControlService& service, std::string path);
    ControlServer(asio::io_context& context, ControlService& service, std::string path, Limits limits);
    ~ControlServer();

    /// Binds the socket and starts accepting. A socket file left by a daemon that is gone is
    /// replaced; one a daemon still answers on, and any other kind of file, is not. Throws
    /// std::system_error when the path cannot be bound (EADDRINUSE when a daemon answers there).
    void start();
    /// Stops accepting and removes the socket file, if it is still the one this server bound.
    void stop();

    /// Whether a daemon accepts connections on the socket at `path`.
    static bool answers(const std::string& path);

    static constexpr double idleSeconds = 30;
    static constexpr double acceptBackOffSeconds = 0.1;

private:
    class Session;
    // Open sessions by user; shared with the sessions, which may outlive the server.
    struct Tally {
        std::map<uid_t, std::size_t> perUser;
        std::size_t others = 0;
    };

    void accept();
    void admit(asio::local::stream_protocol::socket socket);

    asio::io_context& m_context;
    ControlService& m_service;
    std::string m_path;
    Limits m_limits;
    asio::local::stream_protocol::acceptor m_acceptor;
    asio::steady_timer m_backOff;
    bool m_loggedAcceptError = false;
    std::shared_ptr<bool> m_alive;
    std::shared_ptr<Tally> m_tally;
    dev_t m_boundDevice = 0;
    ino_t m_boundInode = 0;
};

} // namespace quorvex
