// quorvex-extbench: figures of the network extension, each beside a reference in the same run.
//   memory --forward PATH   peak memory of the front under 2,000 idle shaped flows and under 8
//                           targets that never read (1 Gbps, 1000 ms plan), beside its idle size
//   classify                arrival-to-decision latency of a flow with 500 live processes, beside
//                           the socket lookup alone
//   control DAEMON          the daemon's memory and a root call's answer time under 1,000
//                           header-only control connections from a refused user and 1,000 from
//                           an allowed one, beside the idle daemon (root only)
//   serve PORT              a server for the pass-through figures of bench/extension.sh
//   connect HOST PORT N     median and p99 of connect + one echo, N times
//   burst HOST PORT N       seconds until N connections opened at once have all echoed
//   download HOST PORT MIB  MB/s of one download
//   tunnel SOCKET on PLAN | tunnel SOCKET off   start or stop the daemon's tunnel
#include "extension/ProcessClassifier.h"
#include "extension/SocketOwnerLookup.h"
#include "network/control/ControlProtocol.h"
#include "network/control/SocketExtensionControl.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace quorvex;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

double milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

sockaddr_in address(const std::string& host, std::uint16_t port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    if (inet_pton(AF_INET, host.c_str(), &result.sin_addr) != 1)
        throw std::runtime_error("bad address " + host);
    return result;
}

int listenOn(std::uint16_t port, const char* host = "127.0.0.1") {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const auto where = address(host, port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0 || listen(fd, 4096) != 0)
        throw std::runtime_error("cannot listen");
    return fd;
}

std::uint16_t portOf(int fd) {
    sockaddr_in where{};
    socklen_t length = sizeof where;
    getsockname(fd, reinterpret_cast<sockaddr*>(&where), &length);
    return ntohs(where.sin_port);
}

int connectTo(const std::string& host, std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const auto where = address(host, port);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0) {
        close(fd);
        throw std::runtime_error("cannot connect to " + host + ":" + std::to_string(port));
    }
    return fd;
}

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1,
                           static_cast<std::size_t>(fraction * static_cast<double>(values.size())))];
}

long statusKiB(pid_t pid, const char* field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::strlen(field)));
    return -1;
}

struct Child {
    pid_t pid = -1;
    std::uint16_t port = 0;
};

Child startFront(const std::string& path, std::uint16_t target, const std::string& plan) {
    int pipes[2];
    if (pipe2(pipes, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipes[1], 1);
        const std::string targetText = "127.0.0.1:" + std::to_string(target);
        execl(path.c_str(), path.c_str(), "--target", targetText.c_str(), "--plan", plan.c_str(),
              "--tcp-only", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipes[1]);
    FILE* output = fdopen(pipes[0], "r");
    Child child{pid, 0};
    char line[256];
    while (fgets(line, sizeof line, output)) {
        unsigned port = 0;
        if (std::sscanf(line, "tcp %*s %u", &port) == 1)
            child.port = static_cast<std::uint16_t>(port);
        if (std::strncmp(line, "ready", 5) == 0)
            break;
    }
    if (!child.port)
        throw std::runtime_error("the front did not start");
    return child;
}

void stopChild(Child& child) {
    kill(child.pid, SIGTERM);
    waitpid(child.pid, nullptr, 0);
}

std::string plan(long kbps, long delayMs) {
    const std::string caps =
        kbps > 0 ? R"("downKbps":)" + std::to_string(kbps) + R"(,"upKbps":)" + std::to_string(kbps) + ","
                 : "";
    return R"({"rules":[{"profileID":"bench","phases":[{"label":"bench","seconds":0,"conditions":{)" + caps +
           R"("downDelayMs":)" + std::to_string(delayMs) + R"(,"upDelayMs":)" + std::to_string(delayMs) +
           R"(,"packetLoss":0,"stalled":false}}]}],"blockedHosts":[]})";
}

void memory(const std::string& front) {
    std::printf("== Memory of the front (VmHWM), goal: under 64 MiB for both\n");
    {
        const int server = listenOn(0);
        Child relay = startFront(front, portOf(server), plan(0, 5));
        const long idle = statusKiB(relay.pid, "VmRSS:");
        std::vector<int> clients;
        std::vector<int> accepted;
        for (int index = 0; index < 2000; ++index) {
            clients.push_back(connectTo("127.0.0.1", relay.port));
            send(clients.back(), "x", 1, MSG_NOSIGNAL);
            pollfd entry{server, POLLIN, 0};
            if (poll(&entry, 1, 5000) == 1)
                accepted.push_back(accept4(server, nullptr, nullptr, SOCK_CLOEXEC));
        }
        char byte;
        for (const int fd : accepted)
            recv(fd, &byte, 1, 0); // every relay has moved a byte
        std::this_thread::sleep_for(500ms);
        const long peak = statusKiB(relay.pid, "VmHWM:");
        std::printf("  2,000 idle shaped flows (%zu relayed): peak %.1f MiB, idle front %.1f MiB  %s\n",
                    accepted.size(), static_cast<double>(peak) / 1024, static_cast<double>(idle) / 1024,
                    peak < 64 * 1024 ? "met" : "NOT MET");
        for (const int fd : clients)
            close(fd);
        for (const int fd : accepted)
            close(fd);
        stopChild(relay);
        close(server);
    }
    {
        const int server = listenOn(0);
        Child relay = startFront(front, portOf(server), plan(1000000, 1000));
        const long idle = statusKiB(relay.pid, "VmRSS:");
        std::vector<int> clients;
        std::vector<int> accepted;
        for (int index = 0; index < 8; ++index) {
            clients.push_back(connectTo("127.0.0.1", relay.port));
            fcntl(clients.back(), F_SETFL, O_NONBLOCK);
        }
        std::vector<char> data(1 << 20, 'q');
        const auto start = Clock::now();
        std::size_t sent = 0;
        while (Clock::now() - start < 4s) {
            pollfd entry{server, POLLIN, 0};
            while (poll(&entry, 1, 0) == 1)
                accepted.push_back(accept4(server, nullptr, nullptr, SOCK_CLOEXEC)); // never read
            bool progress = false;
            for (const int fd : clients) {
                const ssize_t count = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
                if (count > 0) {
                    sent += static_cast<std::size_t>(count);
                    progress = true;
                }
            }
            if (!progress)
                std::this_thread::sleep_for(5ms);
        }
        const long peak = statusKiB(relay.pid, "VmHWM:");
        std::printf("  8 targets that never read, 1 Gbps / 1000 ms plan (%.0f MiB offered): peak %.1f MiB, "
                    "idle front %.1f MiB  %s\n",
                    static_cast<double>(sent) / (1 << 20), static_cast<double>(peak) / 1024,
                    static_cast<double>(idle) / 1024, peak < 64 * 1024 ? "met" : "NOT MET");
        for (const int fd : clients)
            close(fd);
        for (const int fd : accepted)
            close(fd);
        stopChild(relay);
        close(server);
    }
}

void classify() {
    std::printf("== Classification with 500 live processes (2,000 new flows)\n");
    std::vector<pid_t> sleepers;
    for (int index = 0; index < 500; ++index) {
        const pid_t pid = fork();
        if (pid == 0) {
            // Ordinary processes of their own executable: a fork would share ours, and the filter
            // would take all 500 for simulator apps.
            execl("/bin/sleep", "sleep", "3600", static_cast<char*>(nullptr));
            _exit(127);
        }
        sleepers.push_back(pid);
    }
    std::this_thread::sleep_for(200ms);
    const int server = listenOn(0);
    // As the daemon asks: only simulator processes are searched. This process is made the one
    // simulator process by the path filter, so the decision keeps its table of all 500 and finds
    // the owner every time.
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    SocketOwnerLookup owners("/proc", [&](const std::string& path) { return path == self; });
    std::vector<double> lookups;
    std::vector<double> decisions;
    const auto loopback = asio::ip::make_address("127.0.0.1");
    for (int index = 0; index < 2000; ++index) {
        const int client = connectTo("127.0.0.1", portOf(server));
        const int peer = accept4(server, nullptr, nullptr, SOCK_CLOEXEC);
        sockaddr_in local{};
        socklen_t length = sizeof local;
        getsockname(client, reinterpret_cast<sockaddr*>(&local), &length);
        const auto begin = Clock::now();
        const auto inode = SocketOwnerLookup::socketInode(SocketOwnerLookup::Protocol::TCP, loopback,
                                                          ntohs(local.sin_port), loopback, portOf(server));
        const auto looked = Clock::now();
        // A new classifier each time: the first flow of a process, with nothing cached.
        ProcessClassifier classifier;
        const auto token = inode ? owners.ownerOfInode(*inode) : std::nullopt;
        const auto path = classifier.simulatorAppPath(token);
        const auto decided = Clock::now();
        if (!token || token->pid != getpid() || path)
            throw std::runtime_error("classification went wrong");
        lookups.push_back(milliseconds(looked - begin));
        decisions.push_back(milliseconds(decided - begin));
        close(client);
        close(peer);
    }
    for (const pid_t pid : sleepers) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    close(server);
    std::printf("  arrival to decision (sock_diag, /proc table, owner's fds): p50 %.3f ms, p99 %.3f ms\n",
                percentile(decisions, 0.5), percentile(decisions, 0.99));
    std::printf("  reference, the sock_diag lookup alone:             p50 %.3f ms, p99 %.3f ms\n",
                percentile(lookups, 0.5), percentile(lookups, 0.99));
}

void serve(std::uint16_t port) {
    const int server = listenOn(port, "0.0.0.0");
    std::printf("ready\n");
    std::fflush(stdout);
    // Held connections ('h') wait here for their client to close first: a server that closed first
    // would leave its ports in TIME_WAIT, and the next burst's connects would meet them.
    const int events = epoll_create1(EPOLL_CLOEXEC);
    epoll_event listening{EPOLLIN, {.fd = server}};
    epoll_ctl(events, EPOLL_CTL_ADD, server, &listening);
    epoll_event ready[256];
    for (;;) {
        const int count = epoll_wait(events, ready, 256, -1);
        for (int index = 0; index < count; ++index) {
            if (ready[index].data.fd != server) {
                char byte;
                if (recv(ready[index].data.fd, &byte, 1, MSG_DONTWAIT) <= 0) {
                    epoll_ctl(events, EPOLL_CTL_DEL, ready[index].data.fd, nullptr);
                    close(ready[index].data.fd);
                }
                continue;
            }
            const int fd = accept4(server, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            // A ping is answered here, at once: a thread per connection cost milliseconds of
            // scheduling on a busy machine, which hid what the daemon adds to a connect.
            char request = 0;
            if (recv(fd, &request, 1, 0) != 1 || request != 'd') {
                if (request == 'p' || request == 'h')
                    send(fd, &request, 1, MSG_NOSIGNAL);
                if (request == 'h') {
                    epoll_event held{EPOLLIN, {.fd = fd}};
                    epoll_ctl(events, EPOLL_CTL_ADD, fd, &held);
                } else {
                    close(fd);
                }
                continue;
            }
            std::thread([fd] {
                std::uint32_t mib = 0;
                if (recv(fd, &mib, sizeof mib, MSG_WAITALL) == sizeof mib) {
                    std::vector<char> data(1 << 20, 'd');
                    for (std::uint32_t chunk = 0; chunk < mib; ++chunk)
                        if (send(fd, data.data(), data.size(), MSG_NOSIGNAL) !=
                            static_cast<ssize_t>(data.size()))
                            break;
                }
                close(fd);
            }).detach();
        }
    }
}

void connectLatency(const std::string& host, std::uint16_t port, int count) {
    std::vector<double> times;
    for (int index = 0; index < count; ++index) {
        const auto begin = Clock::now();
        const int fd = connectTo(host, port);
        char byte;
        send(fd, "p", 1, MSG_NOSIGNAL);
        recv(fd, &byte, 1, 0);
        times.push_back(milliseconds(Clock::now() - begin));
        close(fd);
    }
    std::printf("%.3f %.3f\n", percentile(times, 0.5), percentile(times, 0.99));
}

void download(const std::string& host, std::uint16_t port, std::uint32_t mib) {
    const auto begin = Clock::now();
    const int fd = connectTo(host, port);
    send(fd, "d", 1, MSG_NOSIGNAL);
    send(fd, &mib, sizeof mib, MSG_NOSIGNAL);
    std::vector<char> buffer(1 << 20);
    std::size_t total = 0;
    for (;;) {
        const ssize_t count = recv(fd, buffer.data(), buffer.size(), 0);
        if (count <= 0)
            break;
        total += static_cast<std::size_t>(count);
    }
    close(fd);
    const double seconds = milliseconds(Clock::now() - begin) / 1000;
    std::printf("%.0f\n", static_cast<double>(total) / seconds / 1e6);
}

// Opens `count` connections at once, keeping each open, and prints the seconds until every one
// has connected and echoed a ping: what a burst of flows costs whoever classifies and carries them.
void burst(const std::string& host, std::uint16_t port, int count) {
    const auto where = address(host, port);
    std::vector<int> sockets;
    std::vector<bool> sent(static_cast<std::size_t>(count), false);
    const auto begin = Clock::now();
    for (int index = 0; index < count; ++index) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        connect(fd, reinterpret_cast<const sockaddr*>(&where), sizeof where);
        sockets.push_back(fd);
    }
    int left = count;
    while (left > 0) {
        if (Clock::now() - begin > 120s)
            throw std::runtime_error(std::to_string(left) + " connections never echoed");
        std::vector<pollfd> ready;
        for (std::size_t index = 0; index < sockets.size(); ++index)
            ready.push_back({sockets[index], static_cast<short>(sent[index] ? POLLIN : POLLOUT), 0});
        if (poll(ready.data(), ready.size(), 1000) <= 0)
            continue;
        for (std::size_t index = 0; index < sockets.size(); ++index) {
            if (sockets[index] < 0 || ready[index].revents == 0)
                continue;
            if (!sent[index]) {
                int error = 0;
                socklen_t size = sizeof error;
                getsockopt(sockets[index], SOL_SOCKET, SO_ERROR, &error, &size);
                if (error != 0)
                    throw std::runtime_error(std::string("a connection failed: ") + std::strerror(error));
                send(sockets[index], "h", 1, MSG_NOSIGNAL);
                sent[index] = true;
                continue;
            }
            char byte = 0;
            if (recv(sockets[index], &byte, 1, 0) != 1 || byte != 'h')
                throw std::runtime_error("a connection did not echo");
            sockets[index] = -sockets[index] - 1; // answered; kept open until the end
            --left;
        }
    }
    const double seconds = milliseconds(Clock::now() - begin) / 1000;
    // Reset, not closed: thousands of ports in TIME_WAIT would slow the next burst's connects.
    const linger now{1, 0};
    for (const int fd : sockets) {
        setsockopt(fd < 0 ? -fd - 1 : fd, SOL_SOCKET, SO_LINGER, &now, sizeof now);
        close(fd < 0 ? -fd - 1 : fd);
    }
    std::printf("%.3f\n", seconds);
}

// A child running as `uid` that opens `count` connections to the control socket, sends each a
// header announcing the largest request and nothing after it, and holds them until told to go.
struct Holder {
    pid_t pid = -1;
    int ready = -1; // a byte comes when every connection is open
    int release = -1;
};

Holder holdConnections(uid_t uid, const std::string& path, int count) {
    int ready[2];
    int release[2];
    if (pipe2(ready, O_CLOEXEC) != 0 || pipe2(release, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    const std::string header = [] {
        const std::uint32_t length = ControlProtocol::maximumRequestBytes;
        return std::string{static_cast<char>(length >> 24), static_cast<char>(length >> 16),
                           static_cast<char>(length >> 8), static_cast<char>(length)};
    }();
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    std::snprintf(where.sun_path, sizeof where.sun_path, "%s", path.c_str());
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(uid) != 0 || setuid(uid) != 0)
            _exit(2);
        for (int index = 0; index < count; ++index) {
            const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            if (fd < 0 || connect(fd, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0)
                _exit(3);
            [[maybe_unused]] const ssize_t sent = send(fd, header.data(), header.size(), MSG_NOSIGNAL);
        }
        [[maybe_unused]] const ssize_t said = write(ready[1], "r", 1);
        char byte;
        [[maybe_unused]] const ssize_t heard = read(release[0], &byte, 1);
        _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    return {pid, ready[0], release[1]};
}

// The slowest of a few root calls, in milliseconds; -1 when one failed.
double rootCall(const std::string& path) {
    SocketExtensionControl control(path, 10);
    double slowest = 0;
    for (int call = 0; call < 5; ++call) {
        const auto begin = Clock::now();
        if (!control.call({{"operation", "overview"}}))
            return -1;
        slowest = std::max(slowest, milliseconds(Clock::now() - begin));
    }
    return slowest;
}

void control(const std::string& daemon) {
    constexpr uid_t refused = 65534;
    constexpr uid_t allowed = 65533;
    constexpr int count = 1000;
    std::printf(
        "== Control socket under %d header-only connections from a refused user and %d from an allowed one\n",
        count, count);
    char folderName[] = "/tmp/quorvex-extbench-XXXXXX";
    if (!mkdtemp(folderName))
        throw std::runtime_error("mkdtemp");
    const std::filesystem::path folder(folderName);
    std::filesystem::permissions(folder, std::filesystem::perms(0755));
    const std::string path = (folder / "control.sock").string();
    const std::string state = (folder / "state").string();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        execl(daemon.c_str(), daemon.c_str(), "--no-intercept", "--socket", path.c_str(), "--state-dir",
              state.c_str(), "--allow-user", std::to_string(allowed).c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int attempt = 0; attempt < 100 && !SocketExtensionControl(path, 1).activationState(); ++attempt)
        std::this_thread::sleep_for(20ms);
    const double idleCall = rootCall(path);
    const long idle = statusKiB(pid, "VmRSS:");

    std::vector<Holder> holders = {holdConnections(refused, path, count),
                                   holdConnections(allowed, path, count)};
    for (const auto& holder : holders) {
        char byte;
        if (read(holder.ready, &byte, 1) != 1)
            throw std::runtime_error("a holder could not open its connections");
    }
    std::this_thread::sleep_for(500ms);
    const double loadedCall = rootCall(path);
    const long loaded = statusKiB(pid, "VmRSS:");
    const long peak = statusKiB(pid, "VmHWM:");
    for (auto& holder : holders) {
        [[maybe_unused]] const ssize_t said = write(holder.release, "g", 1);
        waitpid(holder.pid, nullptr, 0);
        close(holder.ready);
        close(holder.release);
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    std::filesystem::remove_all(folder);

    std::printf("  idle daemon: %.1f MB, a root call within %.2f ms\n", static_cast<double>(idle) / 1024,
                idleCall);
    std::printf(
        "  under the connections: %.1f MB (peak %.1f MB, goal under 64 MB: %s), a root call within %.2f ms "
        "(goal under 1 s: %s)\n",
        static_cast<double>(loaded) / 1024, static_cast<double>(peak) / 1024,
        peak < 64 * 1024 ? "met" : "NOT MET", loadedCall,
        loadedCall >= 0 && loadedCall < 1000 ? "met" : "NOT MET");
}

// Starts the daemon's tunnel with `plan` (on) or stops every tunnel (off).
int tunnel(const std::string& socket, bool on, const std::string& plan) {
    SocketExtensionControl control(socket);
    if (!on) {
        const auto configurations = control.loadConfigurations();
        if (!configurations)
            throw std::runtime_error(configurations.error());
        for (const auto& configuration : configurations.value())
            control.stopTunnel(configuration.id);
        return 0;
    }
    if (const auto activation = control.requestActivation(); !activation || !activation.value().enabled)
        throw std::runtime_error("the extension is not enabled (start the daemon with --auto-approve)");
    // One configuration, as the app keeps: a running tunnel gets the plan as a message.
    const auto saved = control.loadConfigurations();
    if (!saved)
        throw std::runtime_error(saved.error());
    ProxyConfiguration configuration = saved.value().empty() ? ProxyConfiguration{} : saved.value().front();
    configuration.plan = plan;
    const auto stored = control.saveConfiguration(configuration);
    if (!stored)
        throw std::runtime_error(stored.error());
    const auto id = stored.value().id;
    if (const auto status = control.status(id); status && isRunning(status.value())) {
        if (const auto sent = control.sendMessage(id, plan); !sent)
            throw std::runtime_error(sent.error());
    } else if (const auto started = control.startTunnel(id); !started) {
        throw std::runtime_error(started.error());
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    rlimit files{65536, 65536};
    setrlimit(RLIMIT_NOFILE, &files);
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    try {
        if (arguments.size() == 3 && arguments[0] == "memory" && arguments[1] == "--forward")
            memory(arguments[2]);
        else if (arguments.size() == 3 && arguments[0] == "tunnel" && arguments[2] == "off")
            return tunnel(arguments[1], false, {});
        else if (arguments.size() == 4 && arguments[0] == "tunnel" && arguments[2] == "on")
            return tunnel(arguments[1], true, arguments[3]);
        else if (arguments.size() == 1 && arguments[0] == "classify")
            classify();
        else if (arguments.size() == 2 && arguments[0] == "serve")
            serve(static_cast<std::uint16_t>(std::stoi(arguments[1])));
        else if (arguments.size() == 4 && arguments[0] == "connect")
            connectLatency(arguments[1], static_cast<std::uint16_t>(std::stoi(arguments[2])),
                           std::stoi(arguments[3]));
        else if (arguments.size() == 2 && arguments[0] == "control")
            control(arguments[1]);
        else if (arguments.size() == 4 && arguments[0] == "burst")
            burst(arguments[1], static_cast<std::uint16_t>(std::stoi(arguments[2])), std::stoi(arguments[3]));
        else if (arguments.size() == 4 && arguments[0] == "download")
            download(arguments[1], static_cast<std::uint16_t>(std::stoi(arguments[2])),
                     static_cast<std::uint32_t>(std::stoul(arguments[3])));
        else {
            std::fprintf(
                stderr,
                "usage: quorvex-extbench memory --forward PATH | classify | control DAEMON | serve PORT |\n"
                "       connect HOST PORT N | burst HOST PORT N | download HOST PORT MIB | tunnel SOCKET on "
                "PLAN | tunnel SOCKET off\n");
            return 2;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quorvex-extbench: %s\n", error.what());
        return 1;
    }
    return 0;
}
