// The forwarding front's command line: every bad input is refused before anything listens, with
// the option named.
#include "Loopback.h"

#include "extension/SystemCommand.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

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

// Out of descriptors, the front re-armed its accept at once: 40,850 failed accepts in 2 s at 100%
// CPU while new clients timed out.
TEST(ForwardCommand, OutOfDescriptorsItPausesInsteadOfSpinning) {
    const test::Fd target = test::listenTcp();
    int output[2];
    ASSERT_EQ(::pipe2(output, O_CLOEXEC), 0);
    const std::string targetText = "127.0.0.1:" + std::to_string(test::portOf(target.get()));
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(output[1], 1);
        ::dup2(output[1], 2);
        const rlimit few{24, 24};
        ::setrlimit(RLIMIT_NOFILE, &few);
        ::execl(QUORVEX_FORWARD, QUORVEX_FORWARD, "--target", targetText.c_str(), "--tcp-only",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(output[1]);
    FILE* lines = ::fdopen(output[0], "r");
    unsigned port = 0;
    char line[256];
    while (std::fgets(line, sizeof line, lines) && std::strncmp(line, "ready", 5) != 0)
        std::sscanf(line, "tcp %*s %u", &port);
    ASSERT_NE(port, 0u);

    // Each relayed flow takes two descriptors; forty clients run the front out of them.
    std::vector<test::Fd> clients;
    for (int index = 0; index < 40; ++index)
        clients.push_back(test::connectTcp(static_cast<std::uint16_t>(port)));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const long before = cpuTicks(child);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const long used = cpuTicks(child) - before;
    ::kill(child, SIGTERM);
    ::waitpid(child, nullptr, 0);
    std::string log;
    while (std::fgets(line, sizeof line, lines))
        log += line;
    std::fclose(lines);
    EXPECT_LT(used, ::sysconf(_SC_CLK_TCK) / 5) << "more than a fifth of a core while out of descriptors";
    std::size_t count = 0;
    for (auto at = log.find("Accepting failed"); at != std::string::npos;
         at = log.find("Accepting failed", at + 1))
        ++count;
    EXPECT_EQ(count, 1u) << log;
}

} // namespace
} // namespace quorvex
