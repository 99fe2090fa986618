// The forwarding front's command line: every bad input is refused before anything listens, with
// the option named.
#include "Loopback.h"

#include "extension/SystemCommand.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quorvex {
namespace {

TEST(ForwardCommand, RefusesBadInputNamingTheOption) {
    const std::string plan =
        (std::filesystem::temp_directory_path() / "quorvex-forward-big-plan.json").string();
    std::ofstream(plan) << std::string(1024 * 1024 + 1, ' ');
    const struct {
        std::vector<std::string> arguments;
        const char* message;
    } cases[] = {
        {{"--target", "127.0.0.1:9", "--phase-scale", "nan"}, "--phase-scale needs a number above 0"},
        {{"--target", "127.0.0.1:9", "--phase-scale", "inf"}, "--phase-scale needs a number above 0"},
        {{"--target", "127.0.0.1:9", "--phase-scale", "-1"}, "--phase-scale needs a number above 0"},
        {{"--target", "127.0.0.1:port"}, "--target port needs a whole number"},
        {{"--target", "127.0.0.1:70000"}, "--target: bad port"},
        {{"--target", "127.0.0.1:9", "--listen", "127.0.0.1:-5"}, "--listen port needs a whole number"},
        {{"--target", "127.0.0.1:9", "--tcp-only", "--udp-only"}, "exclude each other"},
        {{"--target", "127.0.0.1:9", "--plan", "@" + plan}, "larger than 1 MiB"},
        {{"--target", "127.0.0.1:9", "--udp-idle", "0"}, "--udp-idle needs a number above 0"},
    };
    for (const auto& item : cases) {
        std::vector<std::string> command = {QUORVEX_FORWARD};
        command.insert(command.end(), item.arguments.begin(), item.arguments.end());
        const auto result = SystemCommand::run(command);
        EXPECT_EQ(result.status, 2) << item.message;
        EXPECT_NE(result.output.find(item.message), std::string::npos) << result.output;
        EXPECT_EQ(result.output.find("ready\n"), std::string::npos) << result.output;
    }
    std::filesystem::remove(plan);
}

} // namespace
} // namespace quorvex

namespace quorvex {
namespace {

long cpuTicks(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(file, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int index = 3; index <= 15 && fields >> field; ++index)
        if (index >= 14)
            ticks += std::stol(field); // utime, stime
    return ticks;
}

// The front's output, read as it comes: waiting is polling the pipe the test gave it, bounded.
class ChildOutput final {
public:
    explicit ChildOutput(int fd)
        : m_fd(fd) {}
    ~ChildOutput() { ::close(m_fd); }

    /// Reads until `text` has appeared, the pipe ends or `limit` passes without it.
    bool waitFor(const std::string& text, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (m_log.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !readSome(left))
                return false;
        }
        return true;
    }
    /// Reads what arrives within `window`; false when the pipe ended.
    bool readFor(std::chrono::milliseconds window) {
        const auto until = std::chrono::steady_clock::now() + window;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return true;
            pollfd entry{m_fd, POLLIN, 0};
            if (::poll(&entry, 1, static_cast<int>(left.count())) == 1 && !readSome(left))
                return false;
        }
    }
    const std::string& log() const { return m_log; }
    std::size_t count(const std::string& text) const {
        std::size_t found = 0;
        for (auto at = m_log.find(text); at != std::string::npos; at = m_log.find(text, at + 1))
            ++found;
        return found;
    }

private:
    bool readSome(std::chrono::milliseconds limit) {
        if (!test::waitReadable(m_fd, limit))
            return true;
        char buffer[4096];
        const ssize_t count = ::read(m_fd, buffer, sizeof buffer);
        if (count <= 0)
            return false;
        m_log.append(buffer, static_cast<std::size_t>(count));
        return true;
    }

    int m_fd;
    std::string m_log;
};

// Out of descriptors, the front re-armed its accept at once: 40,850 failed accepts in 2 s at 100%
// CPU while new clients timed out. Later its pass-through loops made their reactors on first use,
// on their own threads, and the first flow to reach one while descriptors were out ended the
// process ("terminate ... eventfd_select_interrupter: Too many open files").
TEST(ForwardCommand, OutOfDescriptorsItPausesSurvivesAndServesAgain) {
    const test::Fd target = test::listenTcp();
    int output[2];
    ASSERT_EQ(::pipe2(output, O_CLOEXEC), 0);
    const std::string targetText = "127.0.0.1:" + std::to_string(test::portOf(target.get()));
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(output[1], 1);
        ::dup2(output[1], 2);
        // Room for the front's loops and a few flows, no more.
        const rlimit few{64, 64};
        ::setrlimit(RLIMIT_NOFILE, &few);
        ::execl(QUORVEX_FORWARD, QUORVEX_FORWARD, "--target", targetText.c_str(), "--tcp-only",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(output[1]);
    ChildOutput out(output[0]);
    struct Ending {
        pid_t child;
        ~Ending() {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
    } ending{child};
    ASSERT_TRUE(out.waitFor("ready\n")) << out.log();
    unsigned port = 0;
    std::sscanf(out.log().c_str(), "tcp %*s %u", &port);
    ASSERT_NE(port, 0u);

    // Each passed flow takes its two sockets and two pipes; sixty clients run the front out.
    std::vector<test::Fd> clients;
    for (int index = 0; index < 60; ++index)
        clients.push_back(test::connectTcp(static_cast<std::uint16_t>(port)));
    ASSERT_TRUE(out.waitFor("Accepting failed")) << out.log();

    // Idle while out: nothing more to say, and next to no CPU.
    const long before = cpuTicks(child);
    EXPECT_TRUE(out.readFor(std::chrono::seconds(1))) << "the front ended:\n" << out.log();
    const long used = cpuTicks(child) - before;
    EXPECT_LT(used, ::sysconf(_SC_CLK_TCK) / 5) << "more than a fifth of a core while out of descriptors";
    EXPECT_EQ(out.count("Accepting failed"), 1u) << out.log();
    ASSERT_EQ(::waitpid(child, nullptr, WNOHANG), 0) << "the front ended:\n" << out.log();

    // Descriptors come back once the flows end; the next client is carried to the target.
    clients.clear();
    std::vector<test::Fd> ended;
    bool served = false;
    for (int attempt = 0; attempt < 20 && !served; ++attempt) {
        while (test::waitReadable(target.get(), std::chrono::milliseconds(0)))
            ended.emplace_back(::accept4(target.get(), nullptr, nullptr, SOCK_CLOEXEC));
        ended.clear(); // the earlier flows' far ends: closing them lets their pumps finish
        const test::Fd client = test::connectTcp(static_cast<std::uint16_t>(port));
        test::sendAll(client.get(), {'p', 'i', 'n', 'g'});
        while (!served && test::waitReadable(target.get(), std::chrono::milliseconds(250))) {
            test::Fd far(::accept4(target.get(), nullptr, nullptr, SOCK_CLOEXEC));
            const auto got = test::receiveAll(far.get(), 4, std::chrono::milliseconds(250));
            if (got.data == std::vector<std::uint8_t>{'p', 'i', 'n', 'g'}) {
                test::sendAll(far.get(), {'p', 'o', 'n', 'g'});
                served = test::receiveAll(client.get(), 4, std::chrono::seconds(5)).data ==
                         std::vector<std::uint8_t>{'p', 'o', 'n', 'g'};
            }
        }
    }
    EXPECT_TRUE(served) << out.log();
    EXPECT_EQ(::waitpid(child, nullptr, WNOHANG), 0) << "the front ended:\n" << out.log();
    EXPECT_EQ(out.log().find("terminate"), std::string::npos) << out.log();
}

} // namespace
} // namespace quorvex
