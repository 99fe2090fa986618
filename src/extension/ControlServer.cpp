#include "extension/ControlServer.h"

#include "network/control/ControlProtocol.h"
#include "platform/core/Logger.h"

#include <asio/read.hpp>
#include <asio/write.hpp>

#include <sys/socket.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

namespace quorvex {

namespace {

const Logger& controlLogger() {
    static const Logger logger("com.zelmora.Quorvex", "control");
    return logger;
}

std::chrono::milliseconds milliseconds(double seconds) {
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
}

} // namespace

class ControlServer::Session final : public std::enable_shared_from_this<Session> {
public:
    Session(asio::local::stream_protocol::socket socket, ControlService& service)
        : m_socket(std::move(socket))
        , m_service(service)
        , m_idle(m_socket.get_executor()) {
        ucred credentials{};
        socklen_t size = sizeof credentials;
        if (::getsockopt(m_socket.native_handle(), SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0) {
            m_caller = {credentials.pid, credentials.uid, credentials.gid};
            m_known = true;
        }
    }

    void start() {
        if (!m_known) {
            // Without the kernel's word on the peer nothing is answered.
            std::error_code ignored;
            m_socket.close(ignored);
            return;
        }
        readHeader();
    }

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
                             const std::uint32_t length = ControlProtocol::frameLength(self->m_header);
                             if (length > ControlProtocol::maximumFrameBytes)
                                 return self->reply(ControlProtocol::failure("The request is too large."),
                                                    true);
                             self->m_body.assign(length, '\0');
                             self->readBody();
                         });
    }

    void readBody() {
        asio::async_read(
            m_socket, asio::buffer(m_body), [self = shared_from_this()](std::error_code error, std::size_t) {
                if (error) {
                    self->m_idle.cancel();
                    return;
                }
                const auto request = nlohmann::json::parse(self->m_body, nullptr, false);
                std::string().swap(self->m_body);
                if (request.is_discarded())
                    return self->reply(ControlProtocol::failure("The request is not JSON."), false);
                self->reply(self->m_service.handle(request, self->m_caller), false);
            });
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
    bool m_known = false;
    unsigned char m_header[4] = {};
    std::string m_body;
    std::string m_reply;
};

ControlServer::ControlServer(asio::io_context& context, ControlService& service, std::string path)
    : m_context(context)
    , m_service(service)
    , m_path(std::move(path))
    , m_acceptor(context)
    , m_backOff(context)
    , m_alive(std::make_shared<bool>(true)) {}

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
        std::filesystem::remove(path, error);
    }
    const asio::local::stream_protocol::endpoint endpoint(m_path);
    m_acceptor.open(endpoint.protocol());
    m_acceptor.bind(endpoint);
    // Anyone may connect; SO_PEERCRED decides what a caller may do.
    ::chmod(m_path.c_str(), 0666);
    m_acceptor.listen();
    accept();
}

void ControlServer::stop() {
    std::error_code ignored;
    m_backOff.cancel();
    if (m_acceptor.is_open()) {
        m_acceptor.close(ignored);
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
        std::make_shared<Session>(std::move(socket), m_service)->start();
        accept();
    });
}

} // namespace quorvex
