#include "extension/HeldRuleset.h"

#include "extension/SystemCommand.h"
#include "network/control/SocketSend.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

extern char** environ;

namespace quorvex {

namespace {

// Reads what the child says until its listing of the table ends (a "}" alone on a line), it
// reports an error, or the time is up. True when the listing came.
bool awaitListing(int fd, std::string& output) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<int>(HeldRuleset::loadSeconds * 1000));
    bool failed = false;
    for (;;) {
        if (output.find("\n}\n") != std::string::npos || output.rfind("}\n", 0) == 0)
            return !failed;
        if (!failed && output.find("Error") != std::string::npos) {
            failed = true; // let the rest of the message in, briefly
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int wait = failed ? 200 : static_cast<int>(std::max<long long>(left.count(), 0));
        pollfd ready{fd, POLLIN, 0};
        if (wait <= 0 || ::poll(&ready, 1, wait) <= 0)
            return false;
        char buffer[4096];
        const ssize_t count = ::recv(fd, buffer, sizeof buffer, 0);
        if (count <= 0)
            return false;
        output.append(buffer, static_cast<std::size_t>(count));
        if (output.size() > 65536)
            return false;
    }
}

} // namespace

HeldRuleset::~HeldRuleset() {
    release();
}

std::optional<std::string> HeldRuleset::load(const std::string& family, const std::string& name,
                                             const std::string& script) {
    release();
    std::string owned = script;
    const auto open = owned.find('{');
    if (open == std::string::npos)
        return "the ruleset defines no table";
    owned.insert(open + 1, "\n  flags owner;\n");
    const std::string nft = SystemCommand::locate("nft");
    // Checked first, whole, for a complete message; the holder reads one command per line.
    const auto checked = SystemCommand::run({nft, "-c", "-f", "-"}, owned);
    if (!checked.ok())
        return checked.output.empty() ? nft + " failed" : checked.output;
    std::string line = owned;
    std::replace(line.begin(), line.end(), '\n', ';');

    int input[2];
    int output[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, input) != 0)
        return "cannot start nft: no socket";
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, output) != 0) {
        ::close(input[0]);
        ::close(input[1]);
        return "cannot start nft: no socket";
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[1], 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_adddup2(&actions, output[1], 2);
    // The holder lives as long as the tunnel: it must keep none of our sockets open.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    const char* argv[] = {nft.c_str(), "-i", nullptr};
    pid_t child = -1;
    const int spawned =
        ::posix_spawn(&child, nft.c_str(), &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[1]);
    ::close(output[1]);
    if (spawned != 0) {
        ::close(input[0]);
        ::close(output[0]);
        return "cannot run " + nft;
    }
    m_child = child;
    m_input = input[0];
    m_output = output[0];

    std::string said;
    if (!sendAll(m_input, line + "\nlist table " + family + " " + name + "\n") ||
        !awaitListing(m_output, said)) {
        release();
        return said.empty() ? "nft did not make the table" : said;
    }
    return std::nullopt;
}

void HeldRuleset::release() {
    if (m_child <= 0)
        return;
    ::close(m_input);
    // The holder ends on its own once its input closes; one that does not is ended.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    int status = 0;
    while (::waitpid(m_child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(m_child, SIGKILL);
            ::waitpid(m_child, &status, 0);
            break;
        }
        pollfd ready{m_output, POLLIN, 0};
        if (::poll(&ready, 1, 20) > 0) {
            char buffer[4096];
            if (::recv(m_output, buffer, sizeof buffer, 0) <= 0)
                ::usleep(1000);
        }
    }
    ::close(m_output);
    m_child = -1;
    m_input = -1;
    m_output = -1;
}

bool HeldRuleset::heldByAnyone(const std::string& family, const std::string& name) {
    const auto listed = SystemCommand::run({SystemCommand::locate("nft"), "list", "table", family, name});
    return listed.ok() && listed.output.find("flags owner") != std::string::npos;
}

} // namespace quorvex
