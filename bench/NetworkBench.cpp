// quorvex-netbench: measures the forwarding front (quorvex-forward) on loopback, side by side with
// a direct connection and socat in the same run: pass-through throughput, rate accuracy, added
// latency, datagram loss, integrity across phase cycles, and the front's peak memory under a slow
// reader and a datagram flood. Every figure is printed with the goal it is held against.
#include <openssl/evp.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <future>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

// Sockets ----------------------------------------------------------------------------------------

sockaddr_in loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

uint16_t portOf(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

int listenTcp() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    auto address = loopback(0);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 64) != 0)
        throw std::runtime_error("listen failed");
    return fd;
}

int bindUdp() {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    auto address = loopback(0);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("bind failed");
    int big = 8 << 20;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
    return fd;
}

int connectTcp(uint16_t port) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        auto address = loopback(port);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            int one = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            return fd;
        }
        close(fd);
        std::this_thread::sleep_for(10ms);
    }
    throw std::runtime_error("connect failed");
}

int acceptTcp(int listener) {
    int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

void sendAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t written = send(fd, data, size, MSG_NOSIGNAL);
        if (written <= 0)
            throw std::runtime_error("send failed");
        data += written;
        size -= static_cast<size_t>(written);
    }
}

std::vector<uint8_t> pattern(size_t size, uint32_t seed) {
    std::vector<uint8_t> data(size);
    uint32_t state = seed;
    for (auto& byte : data) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<uint8_t>(state >> 24);
    }
    return data;
}

std::string sha256(const uint8_t* data, size_t size) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(data, size, digest, &length, EVP_sha256(), nullptr);
    std::string text;
    char hex[3];
    for (unsigned i = 0; i < length; ++i) {
        std::snprintf(hex, sizeof hex, "%02x", digest[i]);
        text += hex;
    }
    return text;
}

// Hashes everything read from `fd` until end of stream; reports how the stream ended.
struct StreamResult {
    size_t bytes = 0;
    std::string digest;
    bool clean = false;
    Clock::time_point first; // the first read, and the bytes it gave
    size_t firstBytes = 0;
    Clock::time_point last;

    // Payload rate after the first read: what arrived afterwards over the time it took, so the
    // first piece's own transfer (before any byte could be seen) is counted on neither side.
    double kbps() const {
        return static_cast<double>(bytes - firstBytes) * 8 / 1000 /
               std::chrono::duration<double>(last - first).count();
    }
};

StreamResult readAll(int fd, std::function<void(size_t)> pace = {}, bool hash = true) {
    StreamResult result;
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
    std::vector<uint8_t> buffer(1 << 18);
    for (;;) {
        ssize_t count = recv(fd, buffer.data(), buffer.size(), 0);
        if (count <= 0) {
            result.clean = count == 0;
            break;
        }
        if (hash)
            EVP_DigestUpdate(context, buffer.data(), static_cast<size_t>(count));
        result.bytes += static_cast<size_t>(count);
        result.last = Clock::now();
        if (result.firstBytes == 0) {
            result.first = result.last;
            result.firstBytes = result.bytes;
        }
        if (pace)
            pace(result.bytes);
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context, digest, &length);
    EVP_MD_CTX_free(context);
    char hex[3];
    for (unsigned i = 0; i < length; ++i) {
        std::snprintf(hex, sizeof hex, "%02x", digest[i]);
        result.digest += hex;
    }
    return result;
}

// Child processes --------------------------------------------------------------------------------

struct Child {
    pid_t pid = -1;
    FILE* output = nullptr;
    uint16_t tcpPort = 0;
    uint16_t udpPort = 0;
};

std::string forwardPath;

Child spawn(const std::vector<std::string>& arguments, bool readPorts) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], 1);
        std::vector<char*> argv;
        for (const auto& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    Child child{pid, fdopen(pipeFds[0], "r")};
    if (readPorts) {
        char line[256];
        while (fgets(line, sizeof line, child.output)) {
            char kind[8];
            char host[64];
            unsigned port = 0;
            if (std::sscanf(line, "%7s %63s %u", kind, host, &port) == 3) {
                if (std::strcmp(kind, "tcp") == 0)
                    child.tcpPort = static_cast<uint16_t>(port);
                if (std::strcmp(kind, "udp") == 0)
                    child.udpPort = static_cast<uint16_t>(port);
            }
            if (std::strncmp(line, "ready", 5) == 0)
                break;
        }
    }
    return child;
}

Child forward(uint16_t target, const std::vector<std::string>& extra) {
    std::vector<std::string> arguments = {forwardPath, "--target", "127.0.0.1:" + std::to_string(target)};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    Child child = spawn(arguments, true);
    if (!child.tcpPort && !child.udpPort)
        throw std::runtime_error("quorvex-forward did not start");
    return child;
}

long residentPeakKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

long residentNowKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

void stop(Child& child) {
    if (child.pid <= 0)
        return;
    kill(child.pid, SIGTERM);
    int status = 0;
    waitpid(child.pid, &status, 0);
    if (child.output)
        fclose(child.output);
    child = {};
}

// socat relaying to `target`. Its readiness probe reaches the target too: a target whose accepts
// the caller makes itself gives its listener as `drain`, and the probe's connection is dropped.
Child socat(uint16_t target, int drain = -1) {
    // A port of its own: bind one, free it and hand it to socat.
    int probe = listenTcp();
    uint16_t port = portOf(probe);
    close(probe);
    Child child =
        spawn({"socat", "-b65536", "TCP-LISTEN:" + std::to_string(port) + ",bind=127.0.0.1,reuseaddr,fork",
               "TCP:127.0.0.1:" + std::to_string(target)},
              false);
    child.tcpPort = port;
    close(connectTcp(port)); // waits until it listens
    if (drain >= 0)
        close(acceptTcp(drain));
    return child;
}

std::string plan(const std::string& conditions) {
    return R"({"rules":[{"profileID":"bench","phases":[{"label":"bench","seconds":0,"conditions":)" +
           conditions + R"(}]}],"blockedHosts":[]})";
}

std::string capsPlan(long kbps) {
    return plan(R"({"downKbps":)" + std::to_string(kbps) + R"(,"upKbps":)" + std::to_string(kbps) +
                R"(,"downDelayMs":0,"upDelayMs":0,"packetLoss":0,"stalled":false})");
}

std::string delayPlan(long up, long down) {
    return plan(R"({"downDelayMs":)" + std::to_string(down) + R"(,"upDelayMs":)" + std::to_string(up) +
                R"(,"packetLoss":0,"stalled":false})");
}

const char* verdict(bool met) {
    return met ? "meets goal" : "MISSES goal";
}

// Pass-through throughput -------------------------------------------------------------------------

// Sends `bytes` through `port` to the sink behind it; MB/s from the first send to the sink's end.
double throughput(int sinkListener, uint16_t port, size_t bytes) {
    auto sink = std::async(std::launch::async, [&] {
        int fd = acceptTcp(sinkListener);
        StreamResult result = readAll(fd, {}, false);
        close(fd);
        return result;
    });
    static const std::vector<uint8_t> block = pattern(1 << 20, 5);
    int fd = connectTcp(port);
    const auto start = Clock::now();
    for (size_t sent = 0; sent < bytes; sent += block.size())
        sendAll(fd, block.data(), std::min(block.size(), bytes - sent));
    shutdown(fd, SHUT_WR);
    StreamResult result = sink.get();
    close(fd);
    return static_cast<double>(result.bytes) / seconds(result.last - start) / 1e6;
}

void benchThroughput() {
    std::printf("\n== Pass-through throughput, no cap (1 GiB one way, best of 3)\n");
    int sink = listenTcp();
    const uint16_t target = portOf(sink);
    Child relay = forward(target, {"--profile", "unlimited", "--tcp-only"});
    Child reference = socat(target, sink);
    const size_t bytes = size_t(1) << 30;
    double best[3] = {0, 0, 0};
    const uint16_t ports[3] = {target, reference.tcpPort, relay.tcpPort};
    for (int round = 0; round < 3; ++round)
        for (int path = 0; path < 3; ++path)
            best[path] = std::max(best[path], throughput(sink, ports[path], bytes));
    std::printf("  direct connection   %8.0f MB/s\n", best[0]);
    std::printf("  socat               %8.0f MB/s\n", best[1]);
    std::printf("  quorvex-forward     %8.0f MB/s   (%.2fx socat)  %s: at least as fast as socat\n", best[2],
                best[2] / best[1], verdict(best[2] >= best[1]));
    stop(reference);
    stop(relay);
    close(sink);
}

// Rate accuracy ----------------------------------------------------------------------------------

struct Goodput {
    double up;
    double down;
};

// Uploads and downloads at once through a front capped at `kbps` both ways, each for about
// `duration` seconds of link time; goodput in Kbps of payload.
Goodput goodput(long kbps, double duration) {
    int server = listenTcp();
    Child relay = forward(portOf(server), {"--plan", capsPlan(kbps), "--tcp-only"});
    const size_t bytes = std::max<size_t>(4096, static_cast<size_t>(kbps * 125.0 * duration));
    const auto payload = pattern(bytes, 11);

    // Two connections: the first uploads, the second downloads. The server tells them apart by
    // their first byte.
    auto serverSide = std::async(std::launch::async, [&] {
        std::vector<std::future<double>> results;
        for (int i = 0; i < 2; ++i) {
            int fd = acceptTcp(server);
            uint8_t kind = 0;
            recv(fd, &kind, 1, MSG_WAITALL);
            results.push_back(std::async(std::launch::async, [fd, kind, &payload] {
                double rate = 0;
                if (kind == 'U') {
                    rate = readAll(fd).kbps();
                } else {
                    sendAll(fd, payload.data(), payload.size());
                    shutdown(fd, SHUT_WR);
                    char ignored;
                    recv(fd, &ignored, 1, 0);
                }
                close(fd);
                return rate;
            }));
        }
        return results;
    });

    int up = connectTcp(relay.tcpPort);
    int down = connectTcp(relay.tcpPort);
    const uint8_t upKind = 'U';
    const uint8_t downKind = 'D';
    auto upload = std::async(std::launch::async, [&] {
        sendAll(up, &upKind, 1);
        sendAll(up, payload.data(), payload.size());
        shutdown(up, SHUT_WR);
        char ignored;
        recv(up, &ignored, 1, 0);
    });
    sendAll(down, &downKind, 1);
    const double downRate = readAll(down).kbps();
    shutdown(down, SHUT_WR); // lets the server's download side finish
    upload.get();
    auto results = serverSide.get();
    const double upRate = results[0].get() + results[1].get();
    close(up);
    close(down);
    stop(relay);
    close(server);
    return {upRate, downRate};
}

void benchRates() {
    std::printf("\n== Rate accuracy: payload goodput both ways at once against the cap (about 3 s each)\n");
    std::printf("  %10s %12s %8s %12s %8s\n", "cap Kbps", "up Kbps", "error", "down Kbps", "error");
    for (long kbps : {20L, 100L, 1000L, 10000L, 20000L, 50000L, 100000L, 200000L}) {
        const Goodput rate = goodput(kbps, 3.0);
        const double upError = rate.up / static_cast<double>(kbps) - 1;
        const double downError = rate.down / static_cast<double>(kbps) - 1;
        const bool held = std::abs(upError) <= 0.03 && std::abs(downError) <= 0.03;
        std::printf("  %10ld %12.1f %+7.1f%% %12.1f %+7.1f%%  %s\n", kbps, rate.up, upError * 100, rate.down,
                    downError * 100,
                    kbps <= 50000 ? verdict(held) : (held ? "within 3%" : "beyond the 3% goal's range"));
    }
}

// Added latency ----------------------------------------------------------------------------------

double medianPingMs(uint16_t port, int pings) {
    int fd = connectTcp(port);
    std::vector<double> times;
    uint8_t byte = 'p';
    for (int i = 0; i < pings + 2; ++i) {
        const auto start = Clock::now();
        sendAll(fd, &byte, 1);
        if (recv(fd, &byte, 1, MSG_WAITALL) != 1)
            throw std::runtime_error("ping failed");
        if (i >= 2) // the first round trips also pay for the connection's opening
            times.push_back(seconds(Clock::now() - start) * 1000);
    }
    close(fd);
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void benchLatency() {
    std::printf(
        "\n== Added latency: 1-byte ping-pong, median round trip (goal: d_up + d_down within 1 ms + 1%%)\n");
    int echo = listenTcp();
    std::atomic<bool> running{true};
    std::thread echoThread([&] {
        while (running) {
            pollfd entry{echo, POLLIN, 0};
            if (poll(&entry, 1, 100) != 1)
                continue;
            int fd = acceptTcp(echo);
            std::thread([fd] {
                uint8_t byte;
                while (recv(fd, &byte, 1, 0) == 1)
                    sendAll(fd, &byte, 1);
                close(fd);
            }).detach();
        }
    });
    const double direct = medianPingMs(portOf(echo), 200);
    Child reference = socat(portOf(echo));
    const double viaSocat = medianPingMs(reference.tcpPort, 200);
    stop(reference);
    std::printf("  direct %.3f ms, socat %.3f ms\n", direct, viaSocat);
    std::printf("  %8s %8s %12s %12s %10s\n", "d_up ms", "d_down ms", "median ms", "added ms", "expected");
    const std::pair<long, long> delays[] = {{0, 0}, {1, 1}, {10, 10}, {50, 65}, {100, 100}, {400, 440}};
    for (const auto& [up, down] : delays) {
        Child relay = forward(portOf(echo), {"--plan", delayPlan(up, down), "--tcp-only"});
        const int pings = up + down >= 500 ? 8 : up + down >= 100 ? 20 : 50;
        const double median = medianPingMs(relay.tcpPort, pings);
        stop(relay);
        const double added = median - direct;
        const double expected = static_cast<double>(up + down);
        const bool met = std::abs(added - expected) <= 1.0 + 0.01 * expected;
        std::printf("  %8ld %8ld %12.3f %12.3f %10.0f  %s\n", up, down, median, added, expected,
                    verdict(met));
    }
    running = false;
    echoThread.join();
    close(echo);
}

// Loss -------------------------------------------------------------------------------------------

void benchLoss() {
    std::printf("\n== Loss: 10,000 datagrams one way at packetLoss 0.5 (goal: 0.5 +- 0.03 arrive)\n");
    int sink = bindUdp();
    Child relay = forward(
        portOf(sink), {"--plan", plan(R"({"downDelayMs":0,"upDelayMs":0,"packetLoss":0.5,"stalled":false})"),
                       "--udp-only"});
    int client = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    auto front = loopback(relay.udpPort);
    std::atomic<long> arrived{0};
    std::atomic<bool> running{true};
    std::thread counter([&] {
        char buffer[2048];
        while (running) {
            pollfd entry{sink, POLLIN, 0};
            if (poll(&entry, 1, 50) == 1 && recv(sink, buffer, sizeof buffer, 0) >= 0)
                ++arrived;
        }
    });
    const int total = 10000;
    char payload[64] = {};
    for (int i = 0; i < total; ++i) {
        sendto(client, payload, sizeof payload, 0, reinterpret_cast<sockaddr*>(&front), sizeof front);
        if (i % 100 == 99)
            std::this_thread::sleep_for(2ms); // paced, so no socket buffer on the way overflows
    }
    std::this_thread::sleep_for(500ms);
    running = false;
    counter.join();
    const double fraction = static_cast<double>(arrived) / total;
    std::printf("  arrived %ld of %d = %.4f  %s\n", arrived.load(), total, fraction,
                verdict(std::abs(fraction - 0.5) <= 0.03));
    close(client);
    stop(relay);
    close(sink);
}

// Integrity and memory ---------------------------------------------------------------------------

void benchIntegrity(const std::string& profile, double scale) {
    const size_t bytes = size_t(64) << 20;
    static const auto upData = pattern(bytes, 21);
    static const auto downData = pattern(bytes, 22);
    static const std::string upDigest = sha256(upData.data(), upData.size());
    static const std::string downDigest = sha256(downData.data(), downData.size());

    int server = listenTcp();
    Child relay =
        forward(portOf(server), {"--profile", profile, "--phase-scale", std::to_string(scale), "--tcp-only"});
    const auto start = Clock::now();
    auto serverSide = std::async(std::launch::async, [&] {
        int fd = acceptTcp(server);
        auto sender = std::async(std::launch::async, [fd] {
            sendAll(fd, downData.data(), downData.size());
            shutdown(fd, SHUT_WR); // half-close: the server is done sending but keeps reading
        });
        StreamResult got = readAll(fd);
        sender.get();
        close(fd);
        return got;
    });
    int client = connectTcp(relay.tcpPort);
    auto clientSender = std::async(std::launch::async, [client] {
        sendAll(client, upData.data(), upData.size());
        shutdown(client, SHUT_WR);
    });
    StreamResult atClient = readAll(client);
    clientSender.get();
    StreamResult atServer = serverSide.get();
    const double elapsed = seconds(Clock::now() - start);
    const long peak = residentPeakKiB(relay.pid);
    close(client);
    stop(relay);
    close(server);
    const bool intact =
        atClient.digest == downDigest && atServer.digest == upDigest && atClient.clean && atServer.clean;
    std::printf("  %-12s phases x%.2f: up %s, down %s, both ends clean: %s, %.1f s, peak RSS %.1f MiB  %s\n",
                profile.c_str(), scale, atServer.digest == upDigest ? "same SHA-256" : "DIFFERENT SHA-256",
                atClient.digest == downDigest ? "same SHA-256" : "DIFFERENT SHA-256",
                atClient.clean && atServer.clean ? "yes" : "NO", elapsed, peak / 1024.0, verdict(intact));
}

void benchSlowReader() {
    int server = listenTcp();
    Child relay = forward(portOf(server), {"--profile", "wifi", "--tcp-only"});
    const long idle = residentNowKiB(relay.pid);
    const size_t bytes = size_t(64) << 20;
    static const auto data = pattern(bytes, 31);
    auto serverSide = std::async(std::launch::async, [&] {
        int fd = acceptTcp(server);
        sendAll(fd, data.data(), data.size());
        shutdown(fd, SHUT_WR);
        char ignored;
        recv(fd, &ignored, 1, 0);
        close(fd);
    });
    int client = connectTcp(relay.tcpPort);
    // About 1.3 MB/s for the first 8 MiB, a quarter of the Wi-Fi cap, then as fast as it goes.
    const auto start = Clock::now();
    StreamResult got = readAll(client, [&](size_t total) {
        if (total < (size_t(8) << 20)) {
            const double due = static_cast<double>(total) / 1.3e6;
            const double now = seconds(Clock::now() - start);
            if (due > now)
                std::this_thread::sleep_for(std::chrono::duration<double>(due - now));
        }
    });
    shutdown(client, SHUT_WR);
    serverSide.get();
    const long peak = residentPeakKiB(relay.pid);
    close(client);
    stop(relay);
    close(server);
    std::printf("  slow reader at the Wi-Fi cap (64 MiB, reader at 1.3 MB/s for 8 MiB): peak RSS %.1f MiB "
                "(idle %.1f MiB), %s\n",
                peak / 1024.0, idle / 1024.0,
                got.bytes == bytes && got.clean ? "all bytes arrived" : "BYTES LOST");
}

void benchFlood() {
    int server = bindUdp();
    Child relay = forward(portOf(server), {"--plan", capsPlan(50), "--udp-only", "--udp-idle", "30"});
    const long idle = residentNowKiB(relay.pid);
    int client = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    auto front = loopback(relay.udpPort);
    // The client's first datagram opens the relay's connection; the server then floods it.
    sendto(client, "hi", 2, 0, reinterpret_cast<sockaddr*>(&front), sizeof front);
    char buffer[2048];
    sockaddr_in relayAddress{};
    socklen_t length = sizeof relayAddress;
    recvfrom(server, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&relayAddress), &length);
    std::atomic<long> atClient{0};
    std::atomic<bool> running{true};
    std::thread counter([&] {
        while (running) {
            pollfd entry{client, POLLIN, 0};
            if (poll(&entry, 1, 50) == 1 && recv(client, buffer, sizeof buffer, 0) >= 0)
                ++atClient;
        }
    });
    std::vector<char> payload(1000, 'f');
    const auto start = Clock::now();
    long sent = 0;
    // Both ways at once for 4 s: the server floods downstream, the client upstream.
    while (Clock::now() - start < 4s) {
        for (int i = 0; i < 50; ++i) {
            sendto(server, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&relayAddress),
                   sizeof relayAddress);
            sendto(client, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&front),
                   sizeof front);
            sent += 1;
        }
        std::this_thread::sleep_for(1ms);
    }
    const double elapsed = seconds(Clock::now() - start);
    std::this_thread::sleep_for(300ms);
    running = false;
    counter.join();
    const long peak = residentPeakKiB(relay.pid);
    close(client);
    stop(relay);
    close(server);
    std::printf("  UDP flood at 50 Kbps both ways (%ld x 1000-byte datagrams each way in %.1f s, %.1f MB/s): "
                "peak RSS %.1f MiB (idle %.1f MiB); %ld reached the app (%.1f Kbps)\n",
                sent, elapsed, static_cast<double>(sent) * 1000 / elapsed / 1e6, peak / 1024.0, idle / 1024.0,
                atClient.load(), static_cast<double>(atClient.load()) * 8 / elapsed);
}

} // namespace

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::vector<std::string> only;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--forward" && i + 1 < argc)
            forwardPath = argv[++i];
        else
            only.push_back(argument);
    }
    if (forwardPath.empty()) {
        std::fprintf(
            stderr,
            "usage: quorvex-netbench --forward PATH [throughput|rates|latency|loss|integrity|memory]...\n");
        return 2;
    }
    auto wanted = [&](const char* name) {
        return only.empty() || std::find(only.begin(), only.end(), name) != only.end();
    };
    std::printf("Loopback only. %u cores online, shared with other work while this runs.\n",
                std::thread::hardware_concurrency());
    try {
        if (wanted("throughput"))
            benchThroughput();
        if (wanted("rates"))
            benchRates();
        if (wanted("latency"))
            benchLatency();
        if (wanted("loss"))
            benchLoss();
        if (wanted("integrity")) {
            std::printf(
                "\n== Integrity: 64 MiB each way at once with half-close, through shortened phase cycles\n");
            benchIntegrity("spotty-wifi", 0.1);
            benchIntegrity("train", 0.1);
        }
        if (wanted("memory")) {
            std::printf("\n== Memory of the front (peak resident set, VmHWM)\n");
            benchSlowReader();
            benchFlood();
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quorvex-netbench: %s\n", error.what());
        return 1;
    }
    return 0;
}
