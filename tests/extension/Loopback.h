#pragma once

// Small blocking loopback sockets for relay tests: every wait is on real I/O and bounded.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace quorvex::test {

/// A file descriptor closed on destruction.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd)
        : m_fd(fd) {}
    Fd(Fd&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        reset();
        m_fd = std::exchange(other.m_fd, -1);
        return *this;
    }
    ~Fd() { reset(); }
    int get() const { return m_fd; }
    void reset() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

inline sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

inline std::uint16_t portOf(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

/// A listening TCP socket on 127.0.0.1 with a free port.
inline Fd listenTcp() {
    Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const auto address = loopback(0);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd.get(), 16) != 0)
        throw std::runtime_error("cannot listen");
    return fd;
}

/// A UDP socket bound to 127.0.0.1 with a free port.
inline Fd bindUdp() {
    Fd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const auto address = loopback(0);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot bind");
    return fd;
}

inline bool waitReadable(int fd, std::chrono::milliseconds timeout) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, static_cast<int>(timeout.count())) == 1;
}

inline Fd acceptTcp(int listener, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    if (!waitReadable(listener, timeout))
        throw std::runtime_error("nothing to accept");
    return Fd(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
}

inline Fd connectTcp(std::uint16_t port) {
    Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const auto address = loopback(port);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot connect");
    return fd;
}

inline void sendAll(int fd, const std::vector<std::uint8_t>& data) {
    std::size_t offset = 0;
    while (offset < data.size()) {
        const ssize_t written = ::send(fd, data.data() + offset, data.size() - offset, MSG_NOSIGNAL);
        if (written <= 0)
            throw std::runtime_error("send failed");
        offset += static_cast<std::size_t>(written);
    }
}

/// How a read of a stream ended.
enum class StreamEnd { Clean, Reset, Timeout };

struct Received {
    std::vector<std::uint8_t> data;
    StreamEnd end = StreamEnd::Timeout;
};

/// Reads until end of stream, a reset, `limit` bytes, or `timeout` without data.
inline Received receiveAll(int fd, std::size_t limit = SIZE_MAX,
                           std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    Received result;
    std::vector<std::uint8_t> buffer(65536);
    while (result.data.size() < limit) {
        if (!waitReadable(fd, timeout))
            return result;
        const ssize_t count =
            ::recv(fd, buffer.data(), std::min(buffer.size(), limit - result.data.size()), 0);
        if (count == 0) {
            result.end = StreamEnd::Clean;
            return result;
        }
        if (count < 0) {
            result.end = errno == ECONNRESET ? StreamEnd::Reset : StreamEnd::Timeout;
            return result;
        }
        result.data.insert(result.data.end(), buffer.begin(), buffer.begin() + count);
    }
    return result;
}

inline std::vector<std::uint8_t> pattern(std::size_t size, std::uint32_t seed = 1) {
    std::vector<std::uint8_t> data(size);
    std::uint32_t state = seed;
    for (auto& byte : data) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return data;
}

} // namespace quorvex::test
