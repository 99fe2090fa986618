#include "extension/ControlServer.h"

#include "network/control/ControlProtocol.h"
#include "platform/core/Logger.h"

#include <asio/read.hpp>
#include <asio/write.hpp>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <vector>

namespace quorvex {

namespace {

const Logger& controlLogger() {
    static const Logger logger("com.zelmora.Quorvex", "control");
    return logger;
}

std::chrono::milliseconds milliseconds(double seconds) {
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
}

// A refusal costs the daemon nothing it keeps: the frame goes to the socket's buffer, which has
// room for it on a connection nobody has written to yet, and the socket closes.
void refuse(asio::local::stream_protocol::socket& socket, std::string_view text, ControlErrorKind kind) {
    const std::string frame = ControlProtocol::frame(ControlProtocol::failure(text, kind).dump());
    [[maybe_unused]] const ssize_t sent =
        ::send(socket.native_handle(), frame.data(), frame.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    std::error_code ignored;
    socket.close(ignored);
}

// The peer's supplementary groups when it connected; none when the kernel will not say.
std::vector<gid_t> peerGroups(int fd) {
    std::vector<gid_t> groups(64);
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto size = static_cast<socklen_t>(groups.size() * sizeof(gid_t));
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERGROUPS, groups.data(), &size) == 0) {
            groups.resize(size / sizeof(gid_t));
            return groups;
        }
        // ERANGE tells the size needed; the kernel keeps at most NGROUPS_MAX (65536) groups.
        if (errno != ERANGE || size / sizeof(gid_t) > 65536)
            break;
        groups.resize(size / sizeof(gid_t));
    }
    return {};
}

} // namespace

bool ControlServer::answers(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    const int connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const int error = errno;
    ::close(fd);
    // A full backlog (EAGAIN) is a daemon too busy to accept right now, not a dead one.
    return connected == 0 || error == EAGAIN || error == EINPROGRESS;
}

class ControlServer::Session final : public std::enable_shared_from_this<Session> {
public:
    Session(asio::local::stream_protocol::socket socket, ControlService& service, ControlCaller caller,
            std::shared_ptr<Tally> tally)
        : m_socket(std::move(socket))
        , m_service(service)
        , m_idle(m_socket.get_executor())
        , m_caller(std::move(caller))
        , m_tally(std::move(tally)) {
        ++m_tally->perUser[m_caller.uid];
        if (m_caller.uid != 0)
            ++m_tally->others;
    }

    ~Session() {
        if (const auto user = m_tally->perUser.find(m_caller.uid);
            user != m_tally->perUser.end() && --user->second == 0)
            m_tally->perUser.erase(user);
        if (m_caller.uid != 0)
            --m_tally->others;
    }

    void start() { readHeader(); }

private:
    void armIdle() {
        m_idle.expires_after(milliseconds(ControlServer::idleSeconds));
        m_idle.async_wait([weak = weak_from_this()](std::error_code error) {
            if (auto self = weak.lock(); self && !error) {
                std::error_code ignored;
                self->m_socket.close(ignored);
            }
        });
    }

    void readHeader() {
        armIdle();
        asio::async_read(m_socket, asio::buffer(m_header),
                         [self = shared_from_this()](std::error_code error, std::size_t) {
                             if (error) {
                                 self->m_idle.cancel();
                                 return;
                             }
                             self->m_length = ControlProtocol::frameLength(self->m_header);
                             if (self->m_length > ControlProtocol::maximumRequestBytes)
                                 return self->reply(ControlProtocol::failure("The request is too large."),
                                                    true);
                             self->readBody();
                         });
    }

    // The announced length is only a claim: the buffer grows with what has arrived, a chunk at a
    // time, so a caller that announces a large body and sends nothing costs nothing.
    void readBody() {
        const std::size_t received = m_body.size();
        if (received == m_length)
            return handleBody();
        const std::size_t chunk = std::min<std::size_t>(m_length - received, 64 * 1024);
        m_body.resize(received + chunk);
        m_socket.async_read_some(
            asio::buffer(m_body.data() + received, chunk),
            [self = shared_from_this(), received](std::error_code error, std::size_t count) {
                if (error) {
                    self->m_idle.cancel();
                    return;
                }
                self->m_body.resize(received + count);
                self->readBody();
            });
    }

    void handleBody() {
        std::string error;
        const auto request = ControlProtocol::parse(m_body, &error);
        std::string().swap(m_body);
        if (!request)
            return reply(ControlProtocol::failure("The request cannot be read: " + error + "."), false);
        reply(m_service.handle(*request, m_caller), false);
    }

    void reply(const nlohmann::json& answer, bool thenClose) {
        m_reply =
            ControlProtocol::frame(answer.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
        asio::async_write(m_socket, asio::buffer(m_reply),
                          [self = shared_from_this(), thenClose](std::error_code error, std::size_t) {
                              std::string().swap(self->m_reply);
                              if (error || thenClose) {
                                  self->m_idle.cancel();
                                  std::error_code ignored;
                                  self->m_socket.close(ignored);
                                  return;
                              }
                              self->readHeader();
                          });
    }

    asio::local::stream_protocol::socket m_socket;
    ControlService& m_service;
    asio::steady_timer m_idle;
    ControlCaller m_caller;
    std::shared_ptr<Tally> m_tally;
    unsigned char m_header[4] = {};
    std::uint32_t m_length = 0;
    std::string m_body;
    std::string m_reply;
};

ControlServer::ControlServer(asio::io_context& context, ControlService& service, std::string path)
    : ControlServer(context, service, std::move(path), Limits{}) {}

ControlServer::ControlServer(asio::io_context& context, ControlService& service, std::string path,
                             Limits limits)
    : m_context(context)
    , m_service(service)
    , m_path(std::move(path))
    , m_limits(limits)
    , m_acceptor(context)
    , m_backOff(context)
    , m_alive(std::make_shared<bool>(true))
    , m_tally(std::make_shared<Tally>()) {}

ControlServer::~ControlServer() {
    *m_alive = false;
    stop();
}

void ControlServer::start() {
    const std::filesystem::path path(m_path);
    std::error_code error;
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path(), error);
    struct stat status {};
    if (::lstat(m_path.c_str(), &status) == 0) {
        if (!S_ISSOCK(status.st_mode))
            throw std::system_error(std::make_error_code(std::errc::file_exists),
                                    m_path + " is not a socket");
        // Removing a live daemon's socket would leave it running where no one can reach it.
        if (answers(m_path))
            throw std::system_error(std::make_error_code(std::errc::address_in_use),
                                    "another network extension daemon answers on " + m_path);
        std::filesystem::remove(path, error);
    }
    const asio::local::stream_protocol::endpoint endpoint(m_path);
    m_acceptor.open(endpoint.protocol());
    m_acceptor.bind(endpoint);
    // Anyone may connect; the peer's credentials decide what a caller may do.
    ::chmod(m_path.c_str(), 0666);
    if (::lstat(m_path.c_str(), &status) == 0) {
        m_boundDevice = status.st_dev;
        m_boundInode = status.st_ino;
    }
    m_acceptor.listen();
    accept();
}

void ControlServer::stop() {
    std::error_code ignored;
    m_backOff.cancel();
    if (m_acceptor.is_open()) {
        m_acceptor.close(ignored);
        struct stat status {};
        if (::lstat(m_path.c_str(), &status) == 0 && status.st_dev == m_boundDevice &&
            status.st_ino == m_boundInode)
            std::filesystem::remove(m_path, ignored);
    }
}

void ControlServer::accept() {
    m_acceptor.async_accept([this, alive = m_alive](std::error_code error,
                                                    asio::local::stream_protocol::socket socket) {
        if (!*alive || error == asio::error::operation_aborted || !m_acceptor.is_open())
            return;
        if (error) {
            if (!m_loggedAcceptError) {
                controlLogger().error("Accepting a control connection failed: %{public}s", error.message());
                m_loggedAcceptError = true;
            }
            m_backOff.expires_after(milliseconds(acceptBackOffSeconds));
            m_backOff.async_wait([this, alive](std::error_code waitError) {
                if (*alive && !waitError)
                    accept();
            });
            return;
        }
        m_loggedAcceptError = false;
        admit(std::move(socket));
        accept();
    });
}

void ControlServer::admit(asio::local::stream_protocol::socket socket) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(socket.native_handle(), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) {
        // Without the kernel's word on the peer nothing is answered.
        std::error_code ignored;
        socket.close(ignored);
        return;
    }
    ControlCaller caller{credentials.pid, credentials.uid, credentials.gid,
                         peerGroups(socket.native_handle())};
    if (!m_service.mayUse(caller))
        return refuse(socket, ControlService::deniedText(), ControlErrorKind::Denied);
    const auto user = m_tally->perUser.find(caller.uid);
    if ((user != m_tally->perUser.end() && user->second >= m_limits.sessionsPerUser) ||
        (caller.uid != 0 && m_tally->others >= m_limits.sessions))
        return refuse(socket, "The network extension is busy with other connections; try again.",
                      ControlErrorKind::Failed);
    std::make_shared<Session>(std::move(socket), m_service, std::move(caller), m_tally)->start();
}

} // namespace quorvex
