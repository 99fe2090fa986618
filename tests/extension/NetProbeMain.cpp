// quorvex-netprobe [--udp | --tls NAME | --http NAME] HOST PORT: connects over TCP, sends one
// line, waits for it to come back, and prints what happened with the time it took: "ok MS",
// "reset MS", "refused MS", "closed MS" or "error MS". HOST is an IPv4 or IPv6 address.
// --tls NAME sends a TLS ClientHello naming the server NAME instead of the line, --http NAME an
// HTTP request for the host NAME; the echo of it is awaited the same way. --late MS sends the line
// only MS milliseconds after connecting (as a client that waits for the server to speak first).
// With --udp it sends one datagram from an unbound socket and waits 2 s for the echo, which must
// come from HOST:PORT: "ok MS", "timeout MS", "stranger MS" (an answer from elsewhere).
// With --many N it opens N TCP connections in two waves half a second apart and echoes a line on
// each, keeping every connection open until all have answered or 3 s have passed, and prints
// "many OK FAILED FASTEST_MS": how many echoed, how many failed or did not answer, and the
// quickest echo's time from its own connect.
// The end-to-end tests run copies of it as a simulator app and as an ordinary process.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Endpoint {
    sockaddr_storage address{};
    socklen_t length = 0;
    int family() const { return address.ss_family; }
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&address); }
};

std::optional<Endpoint> endpoint(const char* host, const char* port) {
    Endpoint made;
    const auto number = htons(static_cast<std::uint16_t>(std::atoi(port)));
    auto* v4 = reinterpret_cast<sockaddr_in*>(&made.address);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&made.address);
    if (::inet_pton(AF_INET, host, &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = number;
        made.length = sizeof *v4;
    } else if (::inet_pton(AF_INET6, host, &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = number;
        made.length = sizeof *v6;
    } else {
        return std::nullopt;
    }
    return made;
}

int report(const char* what, Clock::time_point start, int status) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    std::printf("%s %lld\n", what, static_cast<long long>(elapsed));
    return status;
}

const char* failure(int error) {
    return error == ECONNRESET ? "reset" : error == ECONNREFUSED ? "refused" : "error";
}

void put16(std::string& bytes, std::size_t value) {
    bytes.push_back(static_cast<char>(value >> 8));
    bytes.push_back(static_cast<char>(value));
}

// A TLS 1.2 ClientHello with one cipher suite and the server_name extension, as a client's first
// flight: a record header, a handshake header, then the hello.
std::string clientHello(const std::string& name) {
    std::string serverName;
    put16(serverName, name.size() + 3); // the list
    serverName.push_back(0);            // host_name
    put16(serverName, name.size());
    serverName += name;
    std::string extensions;
    put16(extensions, 0); // server_name
    put16(extensions, serverName.size());
    extensions += serverName;
    std::string hello("\x03\x03", 2);
    hello += std::string(32, '\x5a'); // random
    hello.push_back(0);               // no session id
    put16(hello, 2);
    hello += std::string("\x13\x01", 2); // TLS_AES_128_GCM_SHA256
    hello += std::string("\x01\x00", 2); // null compression
    put16(hello, extensions.size());
    hello += extensions;
    std::string handshake("\x01", 1);
    handshake.push_back(static_cast<char>(hello.size() >> 16));
    put16(handshake, hello.size());
    handshake += hello;
    std::string record("\x16\x03\x01", 3);
    put16(record, handshake.size());
    return record + handshake;
}

int udpProbe(const Endpoint& target, Clock::time_point start) {
    const int fd = ::socket(target.family(), SOCK_DGRAM, 0);
    timeval timeout{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    const char line[] = "hello\n";
    if (::sendto(fd, line, sizeof line - 1, 0, target.get(), target.length) < 0)
        return report(failure(errno), start, 1);
    char buffer[64];
    Endpoint from;
    from.length = sizeof from.address;
    const ssize_t count =
        ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from.address), &from.length);
    if (count < 0)
        return report(errno == EAGAIN || errno == EWOULDBLOCK ? "timeout" : failure(errno), start, 1);
    if (from.length != target.length || std::memcmp(&from.address, &target.address, target.length) != 0)
        return report("stranger", start, 1);
    ::close(fd);
    const bool same =
        count == static_cast<ssize_t>(sizeof line - 1) && std::memcmp(buffer, line, sizeof line - 1) == 0;
    return report(same ? "ok" : "error", start, 0);
}

int tcpProbe(const Endpoint& target, const std::string& message, Clock::time_point start, int lateMs = 0) {
    const int fd = ::socket(target.family(), SOCK_STREAM, 0);
    timeval timeout{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    if (::connect(fd, target.get(), target.length) != 0)
        return report(failure(errno), start, 1);
    if (lateMs > 0)
        ::usleep(static_cast<useconds_t>(lateMs) * 1000);
    if (::send(fd, message.data(), message.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(message.size()))
        return report(failure(errno), start, 1);
    std::string echoed;
    char buffer[4096];
    while (echoed.size() < message.size()) {
        const ssize_t count = ::recv(fd, buffer, sizeof buffer, 0);
        if (count == 0)
            return report("closed", start, 1);
        if (count < 0)
            return report(failure(errno), start, 1);
        echoed.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(fd);
    return report(echoed == message ? "ok" : "error", start, 0);
}

int manyProbe(const Endpoint& target, int count, Clock::time_point start) {
    struct Connection {
        int fd = -1;
        std::size_t received = 0;
        bool sent = false;
        Clock::time_point started;
    };
    std::vector<Connection> connections(static_cast<std::size_t>(count));
    const auto open = [&](std::size_t from, std::size_t to) {
        for (std::size_t index = from; index < to; ++index) {
            auto& connection = connections[index];
            connection.fd = ::socket(target.family(), SOCK_STREAM | SOCK_NONBLOCK, 0);
            connection.started = Clock::now();
            ::connect(connection.fd, target.get(), target.length);
        }
    };
    // The first wave takes what the other side has; the second comes when it has nothing left.
    open(0, connections.size() / 2);
    bool secondWave = false;
    const char line[] = "hello\n";
    int ok = 0;
    int failed = 0;
    long long fastest = -1;
    int waiting = count;
    while (waiting > 0 && Clock::now() - start < std::chrono::seconds(3)) {
        if (!secondWave && Clock::now() - start > std::chrono::milliseconds(500)) {
            open(connections.size() / 2, connections.size());
            secondWave = true;
        }
        std::vector<pollfd> ready;
        for (const auto& connection : connections) {
            const bool answered = connection.received >= sizeof line - 1;
            ready.push_back(
                {answered ? -1 : connection.fd, static_cast<short>(connection.sent ? POLLIN : POLLOUT), 0});
        }
        if (::poll(ready.data(), ready.size(), 100) <= 0)
            continue;
        for (std::size_t index = 0; index < connections.size(); ++index) {
            auto& connection = connections[index];
            if (connection.fd < 0 || ready[index].revents == 0)
                continue;
            bool done = false;
            bool good = false;
            if (!connection.sent) {
                int error = 0;
                socklen_t size = sizeof error;
                ::getsockopt(connection.fd, SOL_SOCKET, SO_ERROR, &error, &size);
                connection.sent = error == 0 && ::send(connection.fd, line, sizeof line - 1, MSG_NOSIGNAL) ==
                                                    sizeof line - 1;
                done = !connection.sent;
            } else {
                char buffer[64];
                const ssize_t got = ::recv(connection.fd, buffer, sizeof buffer, 0);
                if (got > 0)
                    connection.received += static_cast<std::size_t>(got);
                done = got <= 0 || connection.received >= sizeof line - 1;
                good = got > 0 && connection.received >= sizeof line - 1;
            }
            if (!done)
                continue;
            if (good) {
                ++ok;
                const auto elapsed =
                    std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - connection.started)
                        .count();
                if (fastest < 0 || elapsed < fastest)
                    fastest = elapsed;
                connection.received = sizeof line - 1; // stays open, holding what it holds
            } else {
                ++failed;
                ::close(connection.fd);
                connection.fd = -1;
            }
            --waiting;
        }
    }
    std::printf("many %d %d %lld\n", ok, failed + waiting, fastest);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const auto start = Clock::now();
    std::vector<std::string> words(argv + 1, argv + argc);
    std::string mode;
    std::string argument;
    if (!words.empty() && words.front().rfind("--", 0) == 0) {
        mode = words.front();
        words.erase(words.begin());
        if (mode != "--udp" && !words.empty()) {
            argument = words.front();
            words.erase(words.begin());
        }
    }
    const auto target = words.size() == 2 ? endpoint(words[0].c_str(), words[1].c_str()) : std::nullopt;
    if (!target) {
        std::fprintf(
            stderr,
            "usage: quorvex-netprobe [--udp | --tls NAME | --http NAME | --late MS | --many N] HOST PORT\n");
        return 2;
    }
    if (mode == "--udp")
        return udpProbe(*target, start);
    if (mode == "--many")
        return manyProbe(*target, std::atoi(argument.c_str()), start);
    if (mode == "--tls")
        return tcpProbe(*target, clientHello(argument), start);
    if (mode == "--late")
        return tcpProbe(*target, "hello\n", start, std::atoi(argument.c_str()));
    if (mode == "--http")
        return tcpProbe(*target, "GET / HTTP/1.1\r\nHost: " + argument + "\r\nAccept: */*\r\n\r\n", start);
    return tcpProbe(*target, "hello\n", start);
}
