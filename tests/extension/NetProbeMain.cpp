// quorvex-netprobe [--udp] HOST PORT: connects over TCP, sends one line, waits for it to come back,
// and prints what happened with the time it took: "ok MS", "reset MS", "refused MS" or "error MS".
// With --udp it sends one datagram from an unbound socket and waits 2 s for the echo, which must
// come from HOST:PORT: "ok MS", "timeout MS", "stranger MS" (an answer from elsewhere).
// The end-to-end tests run copies of it as a simulator app and as an ordinary process.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int report(const char* what, std::chrono::steady_clock::time_point start, int status) {
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count();
    std::printf("%s %lld\n", what, static_cast<long long>(elapsed));
    return status;
}

const char* failure(int error) {
    return error == ECONNRESET ? "reset" : error == ECONNREFUSED ? "refused" : "error";
}

int udpProbe(const sockaddr_in& address, std::chrono::steady_clock::time_point start) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    timeval timeout{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    const char line[] = "hello\n";
    if (::sendto(fd, line, sizeof line - 1, 0, reinterpret_cast<const sockaddr*>(&address), sizeof address) <
        0)
        return report(failure(errno), start, 1);
    char buffer[64];
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t count =
        ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (count < 0)
        return report(errno == EAGAIN || errno == EWOULDBLOCK ? "timeout" : failure(errno), start, 1);
    if (from.sin_addr.s_addr != address.sin_addr.s_addr || from.sin_port != address.sin_port)
        return report("stranger", start, 1);
    ::close(fd);
    const bool same =
        count == static_cast<ssize_t>(sizeof line - 1) && std::memcmp(buffer, line, sizeof line - 1) == 0;
    return report(same ? "ok" : "error", start, 0);
}

} // namespace

int main(int argc, char** argv) {
    const bool udp = argc == 4 && std::strcmp(argv[1], "--udp") == 0;
    if (udp) {
        --argc;
        ++argv;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: quorvex-netprobe [--udp] HOST PORT\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(std::atoi(argv[2])));
    if (::inet_pton(AF_INET, argv[1], &address.sin_addr) != 1)
        return report("error", start, 2);
    if (udp)
        return udpProbe(address, start);
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval timeout{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return report(failure(errno), start, 1);
    const char line[] = "hello\n";
    if (::send(fd, line, sizeof line - 1, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof line - 1))
        return report(failure(errno), start, 1);
    char buffer[64];
    std::size_t received = 0;
    while (received < sizeof line - 1) {
        const ssize_t count = ::recv(fd, buffer + received, sizeof buffer - received, 0);
        if (count == 0)
            return report("closed", start, 1);
        if (count < 0)
            return report(failure(errno), start, 1);
        received += static_cast<std::size_t>(count);
    }
    ::close(fd);
    return report(std::memcmp(buffer, line, sizeof line - 1) == 0 ? "ok" : "error", start, 0);
}
