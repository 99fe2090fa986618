#include "tools/ToolRunner.h"

#include "tools/ToolCancellation.h"
#include "tools/ToolsLog.h"
#include "tools/UniqueFd.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quorvex {
namespace {

using Clock = std::chrono::steady_clock;

// No deadline is "forever": poll's -1.
int remainingMs(std::optional<Clock::time_point> deadline) {
    if (!deadline)
        return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

// Kills the tool's process group and reaps the tool.
void killAndReap(pid_t pid) {
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// Waits for `fd` to become readable within the deadline, or for the cancellation. Answers the
// outcome that ends the run (timedOut, cancelled), or succeeded when `fd` is readable.
ToolResult::Outcome waitFor(int fd, std::optional<Clock::time_point> deadline,
                            const ToolCancellation* cancel) {
    for (;;) {
        pollfd pfds[2] = {{fd, POLLIN, 0}, {cancel ? cancel->descriptor() : -1, POLLIN, 0}};
        const int ready = ::poll(pfds, cancel ? 2 : 1, remainingMs(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (cancel && (pfds[1].revents & POLLIN))
            return ToolResult::Outcome::cancelled;
        if (ready <= 0)
            return ToolResult::Outcome::timedOut;
        return ToolResult::Outcome::succeeded;
    }
}

ToolResult runOnce(const std::string& executable, const std::vector<std::string>& arguments,
                   const ToolLimits& limits) {
    ToolResult result;
    const ToolCancellation* cancel = limits.cancellation ? limits.cancellation : ToolCancellation::current();
    if (cancel && cancel->isCancelled()) {
        result.outcome = ToolResult::Outcome::cancelled;
        return result;
    }
    // Every descriptor is close-on-exec, so a pipe of this call never leaks into a child that
    // another thread spawns at the same moment (that child would hold our pipe open and make
    // this call wait for it to exit).
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        result.launchError = errno;
        return result;
    }
    UniqueFd readEnd(fds[0]);
    UniqueFd writeEnd(fds[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    // The tool leads its own process group so a timeout can end it together with its children.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(executable.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int spawnError =
        ::posix_spawn(&pid, executable.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    writeEnd.reset();
    if (spawnError != 0) {
        result.launchError = spawnError;
        return result;
    }

    std::optional<Clock::time_point> deadline;
    if (limits.timeout != kNoToolTimeout)
        deadline = Clock::now() + limits.timeout;
    QByteArray output;
    char buffer[65536];
    for (;;) {
        if (const auto ended = waitFor(readEnd.get(), deadline, cancel);
            ended != ToolResult::Outcome::succeeded) {
            killAndReap(pid);
            result.outcome = ended;
            return result;
        }
        const ssize_t n = ::read(readEnd.get(), buffer, sizeof buffer);
        if (n > 0) {
            if (output.size() + n > limits.outputLimit) {
                killAndReap(pid);
                result.outcome = ToolResult::Outcome::outputTooLarge;
                return result;
            }
            output.append(buffer, n);
        } else if (n == 0) {
            break;
        } else if (errno != EINTR && errno != EAGAIN) {
            break;
        }
    }

    // Output is closed; the tool may still linger. Wait for it within the same deadline.
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidFd >= 0) {
        UniqueFd pidHandle(pidFd);
        if (const auto ended = waitFor(pidHandle.get(), deadline, cancel);
            ended != ToolResult::Outcome::succeeded) {
            killAndReap(pid);
            result.outcome = ended;
            return result;
        }
    }
    int status = 0;
    pid_t waited;
    while ((waited = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    if (waited != pid) {
        result.outcome = ToolResult::Outcome::launchFailed;
        result.launchError = errno;
    } else if (WIFSIGNALED(status)) {
        result.outcome = ToolResult::Outcome::killedBySignal;
        result.signal = WTERMSIG(status);
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        result.outcome = ToolResult::Outcome::exitedWithStatus;
        result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    } else {
        result.outcome = ToolResult::Outcome::succeeded;
        result.output = std::move(output);
    }
    return result;
}

} // namespace

QString ToolResult::describe() const {
    switch (outcome) {
    case Outcome::succeeded:
        return QStringLiteral("succeeded");
    case Outcome::launchFailed:
        return QStringLiteral("could not start (%1)").arg(QString::fromLocal8Bit(std::strerror(launchError)));
    case Outcome::exitedWithStatus:
        return QStringLiteral("exit status %1").arg(exitStatus);
    case Outcome::killedBySignal:
        return QStringLiteral("killed by signal %1").arg(signal);
    case Outcome::timedOut:
        return QStringLiteral("timed out");
    case Outcome::outputTooLarge:
        return QStringLiteral("output too large");
    case Outcome::cancelled:
        return QStringLiteral("cancelled");
    }
    return {};
}

ToolResult runToolResult(const std::string& executable, const std::vector<std::string>& arguments,
                         const ToolLimits& limits) {
    const auto start = Clock::now();
    ToolResult result = runOnce(executable, arguments, limits);
    result.duration = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    if (toolsLog().isDebugEnabled()) {
        QStringList shown{QString::fromStdString(executable)};
        for (const std::string& argument : arguments)
            shown << QString::fromStdString(argument);
        const QString bound = limits.timeout == kNoToolTimeout
                                  ? QStringLiteral("none")
                                  : QStringLiteral("%1 ms").arg(limits.timeout.count());
        qCDebug(toolsLog).noquote() << QStringLiteral("%1 -> %2 in %3 ms (timeout %4)")
                                           .arg(shown.join(QLatin1Char(' ')), result.describe())
                                           .arg(result.duration.count())
                                           .arg(bound);
    }
    return result;
}

std::optional<QByteArray> runTool(const std::string& executable, const std::vector<std::string>& arguments,
                                  std::chrono::milliseconds timeout, qsizetype outputLimit) {
    ToolResult result = runToolResult(executable, arguments, ToolLimits{timeout, outputLimit});
    if (!result.succeeded())
        return std::nullopt;
    return std::move(result.output);
}

std::optional<QByteArray> runTool(const std::string& executable, const QStringList& arguments,
                                  std::chrono::milliseconds timeout, qsizetype outputLimit) {
    std::vector<std::string> converted;
    converted.reserve(static_cast<size_t>(arguments.size()));
    for (const QString& argument : arguments)
        converted.push_back(argument.toStdString());
    return runTool(executable, converted, timeout, outputLimit);
}

} // namespace quorvex
