#include "extension/SystemCommand.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

extern char** environ;

namespace quorvex {

std::string SystemCommand::locate(const std::string& name) {
    for (const char* folder : {"/usr/sbin", "/sbin", "/usr/bin", "/bin"}) {
        const auto path = std::filesystem::path(folder) / name;
        if (::access(path.c_str(), X_OK) == 0)
            return path.string();
    }
    return name;
}

SystemCommand::Result SystemCommand::run(const std::vector<std::string>& arguments, std::string_view input) {
    Result result;
    if (arguments.empty())
        return result;
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0)
        return result;
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    std::vector<char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(in[1]);
        ::close(out[0]);
        result.output = "cannot run " + arguments[0];
        return result;
    }
    // Feed the input and drain the output together, so neither side can fill a pipe and stall.
    std::size_t written = 0;
    int inFd = in[1];
    if (input.empty()) {
        ::close(inFd);
        inFd = -1;
    }
    char buffer[4096];
    for (;;) {
        pollfd fds[2] = {{out[0], POLLIN, 0}, {inFd, POLLOUT, 0}};
        if (::poll(fds, inFd >= 0 ? 2 : 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (inFd >= 0 && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t count = ::write(inFd, input.data() + written, input.size() - written);
            if (count > 0)
                written += static_cast<std::size_t>(count);
            if (count <= 0 || written == input.size()) {
                ::close(inFd);
                inFd = -1;
            }
        }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t count = ::read(out[0], buffer, sizeof buffer);
            if (count <= 0)
                break;
            if (result.output.size() < 65536)
                result.output.append(buffer, static_cast<std::size_t>(count));
        }
    }
    if (inFd >= 0)
        ::close(inFd);
    ::close(out[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace quorvex
