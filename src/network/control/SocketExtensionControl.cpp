#include "network/control/SocketExtensionControl.h"

#include "network/control/ControlProtocol.h"
#include "network/control/SocketSend.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quorvex {

namespace {

class Descriptor final {
public:
    explicit Descriptor(int fd)
        : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

bool receiveAll(int fd, char* data, std::size_t size) {
    std::size_t received = 0;
    while (received < size) {
        const ssize_t count = ::recv(fd, data + received, size - received, 0);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        received += static_cast<std::size_t>(count);
    }
    return true;
}

template <typename T> ControlResult<T> unreachable(const std::string& text) {
    return ControlResult<T>::failure(text, ControlErrorKind::Unreachable);
}

} // namespace

SocketExtensionControl::SocketExtensionControl(std::string socketPath, double timeoutSeconds)
    : m_path(socketPath.empty() ? ControlProtocol::defaultSocketPath() : std::move(socketPath))
    , m_timeout(timeoutSeconds) {}

ControlResult<nlohmann::json> SocketExtensionControl::call(const nlohmann::json& request) {
    const std::string notRunning = "The network extension is not running (no answer on " + m_path + ").";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (m_path.size() >= sizeof(address.sun_path))
        return unreachable<nlohmann::json>("The control socket path is too long: " + m_path);
    std::memcpy(address.sun_path, m_path.c_str(), m_path.size() + 1);

    const Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.get() < 0)
        return unreachable<nlohmann::json>(notRunning);
    timeval timeout{};
    timeout.tv_sec = static_cast<time_t>(m_timeout);
    timeout.tv_usec = static_cast<suseconds_t>((m_timeout - static_cast<double>(timeout.tv_sec)) * 1e6);
    ::setsockopt(socket.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(socket.get(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        // The socket is there, this user may not reach it: saying "not running" sent people to
        // start a daemon that was running all along.
        if (errno == EACCES || errno == EPERM)
            return ControlResult<nlohmann::json>::failure(
                "This user may not use the network extension: " + m_path + " is not open to it. " +
                    ControlProtocol::howToBeAllowed,
                ControlErrorKind::Denied);
        return unreachable<nlohmann::json>(notRunning);
    }

    const std::string body = request.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    if (body.size() > ControlProtocol::maximumRequestBytes)
        return ControlResult<nlohmann::json>::failure("The request is too large for the network extension.");
    // A caller the daemon refuses finds the refusal waiting and the socket closed to writing:
    // the answer is read either way.
    const bool sent = sendAll(socket.get(), ControlProtocol::frame(body));

    unsigned char header[4];
    if (!receiveAll(socket.get(), reinterpret_cast<char*>(header), sizeof header))
        return unreachable<nlohmann::json>(sent ? "The network extension did not answer."
                                                : "The network extension closed the connection.");
    const std::uint32_t length = ControlProtocol::frameLength(header);
    if (length > ControlProtocol::maximumFrameBytes)
        return unreachable<nlohmann::json>("The network extension sent an oversized answer.");
    std::string reply(length, '\0');
    if (!receiveAll(socket.get(), reply.data(), length))
        return unreachable<nlohmann::json>("The network extension did not answer.");

    auto parsed = ControlProtocol::parse(reply);
    const nlohmann::json json = parsed ? std::move(*parsed) : nlohmann::json();
    if (!json.is_object() || !json.contains("ok") || !json["ok"].is_boolean())
        return unreachable<nlohmann::json>("The network extension sent an unreadable answer.");
    if (json["ok"].get<bool>())
        return json.value("result", nlohmann::json());
    const auto error = json.find("error");
    const auto kind = json.find("kind");
    return ControlResult<nlohmann::json>::failure(
        error != json.end() && error->is_string() ? error->get<std::string>()
                                                  : "The network extension failed.",
        kind != json.end() && kind->is_string() ? ControlProtocol::kindFromName(kind->get<std::string>())
                                                : ControlErrorKind::Failed);
}

ControlResult<Done> SocketExtensionControl::callForDone(const nlohmann::json& request) {
    const auto reply = call(request);
    if (!reply)
        return ControlResult<Done>::failure(reply.error(), reply.errorKind());
    return Done{};
}

ControlResult<ActivationState> SocketExtensionControl::callForActivation(const nlohmann::json& request) {
    const auto reply = call(request);
    if (!reply)
        return ControlResult<ActivationState>::failure(reply.error(), reply.errorKind());
    if (auto state = ControlProtocol::activationFromJson(reply.value()))
        return *state;
    return unreachable<ActivationState>("The network extension sent an unreadable answer.");
}

ControlResult<ActivationState> SocketExtensionControl::requestActivation() {
    return callForActivation({{"operation", "requestActivation"}});
}

ControlResult<Done> SocketExtensionControl::deactivate() {
    return callForDone({{"operation", "deactivate"}});
}

ControlResult<ActivationState> SocketExtensionControl::activationState() {
    return callForActivation({{"operation", "activationState"}});
}

ControlResult<std::vector<ProxyConfiguration>> SocketExtensionControl::loadConfigurations() {
    using Result = ControlResult<std::vector<ProxyConfiguration>>;
    const auto reply = call({{"operation", "loadConfigurations"}});
    if (!reply)
        return Result::failure(reply.error(), reply.errorKind());
    if (!reply.value().is_array())
        return unreachable<std::vector<ProxyConfiguration>>(
            "The network extension sent an unreadable answer.");
    std::vector<ProxyConfiguration> configurations;
    for (const auto& item : reply.value()) {
        auto configuration = ControlProtocol::configurationFromJson(item);
        if (!configuration)
            return unreachable<std::vector<ProxyConfiguration>>(
                "The network extension sent an unreadable answer.");
        configurations.push_back(std::move(*configuration));
    }
    return configurations;
}

ControlResult<ProxyConfiguration>
SocketExtensionControl::saveConfiguration(const ProxyConfiguration& configuration) {
    const auto reply =
        call({{"operation", "saveConfiguration"}, {"configuration", ControlProtocol::toJson(configuration)}});
    if (!reply)
        return ControlResult<ProxyConfiguration>::failure(reply.error(), reply.errorKind());
    if (auto saved = ControlProtocol::configurationFromJson(reply.value()))
        return *saved;
    return unreachable<ProxyConfiguration>("The network extension sent an unreadable answer.");
}

ControlResult<Done> SocketExtensionControl::removeConfiguration(const std::string& id) {
    return callForDone({{"operation", "removeConfiguration"}, {"id", id}});
}

ControlResult<Done> SocketExtensionControl::startTunnel(const std::string& id) {
    return callForDone({{"operation", "startTunnel"}, {"id", id}});
}

ControlResult<Done> SocketExtensionControl::stopTunnel(const std::string& id) {
    return callForDone({{"operation", "stopTunnel"}, {"id", id}});
}

ControlResult<SessionStatus> SocketExtensionControl::status(const std::string& id) {
    const auto reply = call({{"operation", "status"}, {"id", id}});
    if (!reply)
        return ControlResult<SessionStatus>::failure(reply.error(), reply.errorKind());
    if (!reply.value().is_number_integer() || reply.value().get<int>() < 0 || reply.value().get<int>() > 5)
        return unreachable<SessionStatus>("The network extension sent an unreadable answer.");
    return static_cast<SessionStatus>(reply.value().get<int>());
}

ControlResult<Done> SocketExtensionControl::sendMessage(const std::string& id, const std::string& message) {
    return callForDone({{"operation", "sendMessage"}, {"id", id}, {"message", message}});
}

} // namespace quorvex
