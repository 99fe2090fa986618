// quorvex-extbench: figures of the network extension, each beside a reference in the same run.
//   memory --forward PATH   peak memory of the front under 2,000 idle shaped flows and under 8
//                           targets that never read (1 Gbps, 1000 ms plan), beside its idle size
//   classify                arrival-to-decision latency of a flow with 500 live processes, beside
//                           the socket lookup alone
//   serve PORT              a server for the pass-through figures of bench/extension.sh
//   connect HOST PORT N     median and p99 of connect + one echo, N times
//   download HOST PORT MIB  MB/s of one download
//   tunnel SOCKET on PLAN | tunnel SOCKET off   start or stop the daemon's tunnel
#include "extension/ProcessClassifier.h"
#include "extension/SocketOwnerLookup.h"
#include "network/control/SocketExtensionControl.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
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
    for (;;) {
        const int fd = accept4(server, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        // A ping is answered here, at once: a thread per connection cost milliseconds of
        // scheduling on a busy machine, which hid what the daemon adds to a connect.
        char request = 0;
        if (recv(fd, &request, 1, 0) != 1 || request != 'd') {
            if (request == 'p')
                send(fd, "p", 1, MSG_NOSIGNAL);
            close(fd);
            continue;
        }
        std::thread([fd] {
            std::uint32_t mib = 0;
            if (recv(fd, &mib, sizeof mib, MSG_WAITALL) == sizeof mib) {
                std::vector<char> data(1 << 20, 'd');
                for (std::uint32_t index = 0; index < mib; ++index)
                    if (send(fd, data.data(), data.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(data.size()))
                        break;
            }
            close(fd);
        }).detach();
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
    ProxyConfiguration configuration;
    configuration.plan = plan;
    const auto saved = control.saveConfiguration(configuration);
    if (!saved)
        throw std::runtime_error(saved.error());
    if (const auto started = control.startTunnel(saved.value().id); !started)
        throw std::runtime_error(started.error());
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
        else if (arguments.size() == 4 && arguments[0] == "download")
            download(arguments[1], static_cast<std::uint16_t>(std::stoi(arguments[2])),
                     static_cast<std::uint32_t>(std::stoul(arguments[3])));
        else {
            std::fprintf(stderr, "usage: quorvex-extbench memory --forward PATH | classify | serve PORT |\n"
                                 "       connect HOST PORT N | download HOST PORT MIB | tunnel SOCKET on "
                                 "PLAN | tunnel SOCKET off\n");
            return 2;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quorvex-extbench: %s\n", error.what());
        return 1;
    }
    return 0;
}
