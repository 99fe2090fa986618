// quorvex-netprobe HOST PORT: connects over TCP, sends one line, waits for it to come back, and
// prints what happened with the time it took: "ok MS", "reset MS", "refused MS" or "error MS".
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

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quorvex-netprobe HOST PORT\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(std::atoi(argv[2])));
    if (::inet_pton(AF_INET, argv[1], &address.sin_addr) != 1)
        return report("error", start, 2);
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
