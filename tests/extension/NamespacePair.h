#pragma once

// Network namespaces for end-to-end tests: a client namespace (where the daemon intercepts)
// joined by veth to a server namespace on 198.18.0.0/15 and fd00:5177::/64, and the echo servers
// the probes talk to.
// Nothing is made in the machine's own namespace; deleting the namespaces removes every rule and
// route made in them.
#include "extension/SystemCommand.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace quorvex::test {

inline const std::string& ipCommand() {
    static const std::string path = SystemCommand::locate("ip");
    return path;
}

// A process started in the background and ended (SIGTERM, then SIGKILL) on destruction.
class Background final {
public:
    explicit Background(const std::vector<std::string>& arguments) {
        std::vector<char*> argv;
        for (const auto& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        if (::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Background() {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGTERM);
        for (int wait = 0; wait < 50; ++wait) {
            if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;
    bool running() const { return m_pid > 0 && ::waitpid(m_pid, nullptr, WNOHANG) == 0; }
    /// Sends `signal` and waits for the process to end (SIGKILL: a crash, as the kernel sees it).
    void end(int signal) {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, signal);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
};

// Two namespaces joined by veth; deleted (with every rule and route made in them) on destruction.
class NamespacePair final {
public:
    /// Namespaces someone else made and deletes.
    struct Existing {
        std::string client;
        std::string server;
    };
    explicit NamespacePair(Existing existing)
        : client(std::move(existing.client))
        , server(std::move(existing.server))
        , m_owned(false) {}
    NamespacePair(const NamespacePair&) = delete;
    NamespacePair& operator=(const NamespacePair&) = delete;

    NamespacePair() {
        const std::string id = std::to_string(::getpid());
        client = "qvx-c-" + id;
        server = "qvx-s-" + id;
        const std::string a = "qvxa" + id;
        const std::string b = "qvxb" + id;
        const std::vector<std::vector<std::string>> steps = {
            {ipCommand(), "netns", "add", client},
            {ipCommand(), "netns", "add", server},
            {ipCommand(), "-n", client, "link", "add", a, "type", "veth", "peer", "name", b, "netns", server},
            {ipCommand(), "-n", client, "addr", "add", "198.18.0.1/15", "dev", a},
            {ipCommand(), "-n", server, "addr", "add", "198.18.0.2/15", "dev", b},
            {ipCommand(), "-n", server, "addr", "add", "198.18.0.3/15", "dev", b},
            // No duplicate address detection: the addresses are usable at once.
            {ipCommand(), "-n", client, "addr", "add", "fd00:5177::1/64", "dev", a, "nodad"},
            {ipCommand(), "-n", server, "addr", "add", "fd00:5177::2/64", "dev", b, "nodad"},
            {ipCommand(), "-n", server, "addr", "add", "fd00:5177::3/64", "dev", b, "nodad"},
            {ipCommand(), "-n", client, "link", "set", a, "up"},
            {ipCommand(), "-n", server, "link", "set", b, "up"},
            {ipCommand(), "-n", client, "link", "set", "lo", "up"},
            {ipCommand(), "-n", server, "link", "set", "lo", "up"},
        };
        for (const auto& step : steps) {
            const auto result = SystemCommand::run(step);
            if (!result.ok()) {
                failure =
                    "cannot make network namespaces (" + step[1] + " " + step[2] + "): " + result.output;
                return;
            }
        }
        // Names for the servers' addresses, seen by whatever `ip netns exec` starts in the client
        // namespace (it mounts the namespace's own files over /etc).
        std::error_code error;
        std::filesystem::create_directories(etcFolder(), error);
        std::ofstream(etcFolder() / "hosts")
            << "127.0.0.1 localhost\n198.18.0.2 echo.test\n198.18.0.3 blocked.test\n";
    }
    ~NamespacePair() {
        if (!m_owned)
            return;
        SystemCommand::run({ipCommand(), "netns", "del", client});
        SystemCommand::run({ipCommand(), "netns", "del", server});
        std::error_code ignored;
        std::filesystem::remove_all(etcFolder(), ignored);
    }
    std::filesystem::path etcFolder() const { return std::filesystem::path("/etc/netns") / client; }
    std::vector<std::string> in(const std::string& space, std::vector<std::string> command) const {
        command.insert(command.begin(), {ipCommand(), "netns", "exec", space});
        return command;
    }

    std::string client;
    std::string server;
    std::string failure;

private:
    bool m_owned = true;
};

/// The echo servers in the server namespace: TCP on port 9000 of every address (198.18.0.2 and .3,
/// fd00:5177::2 and ::3), UDP on port 9000 of each of them (one server per address, so each
/// answers from the address it was sent to), and TCP on the client's own 127.0.0.1:9001.
inline std::vector<std::unique_ptr<Background>> startEchoServers(const NamespacePair& spaces) {
    const std::string socat = SystemCommand::locate("socat");
    std::vector<std::unique_ptr<Background>> servers;
    servers.push_back(std::make_unique<Background>(
        spaces.in(spaces.server, {socat, "TCP-LISTEN:9000,fork,reuseaddr", "EXEC:cat"})));
    servers.push_back(std::make_unique<Background>(
        spaces.in(spaces.server, {socat, "TCP6-LISTEN:9000,fork,reuseaddr,ipv6only=1", "EXEC:cat"})));
    servers.push_back(std::make_unique<Background>(
        spaces.in(spaces.client, {socat, "TCP-LISTEN:9001,bind=127.0.0.1,fork,reuseaddr", "EXEC:cat"})));
    for (const char* address : {"198.18.0.2", "198.18.0.3"})
        servers.push_back(std::make_unique<Background>(spaces.in(
            spaces.server,
            {socat, std::string("UDP4-RECVFROM:9000,bind=") + address + ",fork,reuseaddr", "EXEC:cat"})));
    for (const char* address : {"[fd00:5177::2]", "[fd00:5177::3]"})
        servers.push_back(std::make_unique<Background>(spaces.in(
            spaces.server,
            {socat, std::string("UDP6-RECVFROM:9000,bind=") + address + ",fork,reuseaddr", "EXEC:cat"})));
    return servers;
}

/// What a probe saw (see NetProbeMain.cpp): "ok", "reset", "timeout", ... and the time it took.
struct Probe {
    std::string outcome;
    long long milliseconds = 0;
};

/// Runs the probe `binary` in the client namespace against host:port over TCP or UDP, with the
/// probe's `options` (such as {"--tls", NAME}).
inline Probe runProbe(const NamespacePair& spaces, const std::string& binary, const std::string& host,
                      int port, bool udp = false, const std::vector<std::string>& options = {}) {
    std::vector<std::string> command = {binary};
    if (udp)
        command.push_back("--udp");
    command.insert(command.end(), options.begin(), options.end());
    command.insert(command.end(), {host, std::to_string(port)});
    const auto result = SystemCommand::run(spaces.in(spaces.client, command));
    Probe outcome;
    std::istringstream(result.output) >> outcome.outcome >> outcome.milliseconds;
    return outcome;
}

/// A copy of `probe` installed as the app Demo.app in a simulator's app container under `home`.
inline std::string installSimulatorApp(const std::filesystem::path& home, const std::string& probe) {
    const auto bundle = home / "Library/Developer/CoreSimulator/Devices/5A1E0F7B/data/Containers/Bundle/"
                               "Application/9C2D3E4F/Demo.app";
    std::filesystem::create_directories(bundle);
    const auto app = bundle / "Demo";
    std::filesystem::copy_file(probe, app, std::filesystem::copy_options::overwrite_existing);
    return app.string();
}

} // namespace quorvex::test
