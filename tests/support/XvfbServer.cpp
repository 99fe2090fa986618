#include "support/XvfbServer.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace quorvex::test {

XvfbServer::XvfbServer(const std::string& screen) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return;
    // The child's copy of the write end is dup'ed to a fixed number without close-on-exec.
    constexpr int kChildFd = 3;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], kChildFd);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args = {"Xvfb",      "-displayfd", std::to_string(kChildFd),
                                     "-screen",   "0",          screen,
                                     "-nolisten", "tcp",        "-noreset"};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int spawned = ::posix_spawnp(&m_pid, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        m_pid = -1;
        ::close(fds[0]);
        return;
    }

    // Xvfb writes the display number once it accepts connections; end of file means it died.
    std::string number;
    pollfd readable{fds[0], POLLIN, 0};
    while (::poll(&readable, 1, 20000) > 0) {
        char c = 0;
        const ssize_t n = ::read(fds[0], &c, 1);
        if (n <= 0 || c == '\n')
            break;
        number += c;
    }
    ::close(fds[0]);
    if (!number.empty())
        m_display = ":" + number;
}

XvfbServer::~XvfbServer() {
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGTERM);
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
}

} // namespace quorvex::test
