#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace quorvex {

class ToolCancellation;

/// How long a tool may run before it is killed, by kind of command:
///  - queries (list, get_app_container, listapps, sqlite3 reads...): `kDefaultToolTimeout`;
///  - work whose length grows with what the user handed over (installs, media, container and
///    file copies to a device): `kNoToolTimeout`, because a cut-off midway leaves a half-done
///    result; such calls run off the GUI thread and the user is told that the work goes on.
inline constexpr std::chrono::milliseconds kDefaultToolTimeout{60'000};
inline constexpr std::chrono::milliseconds kNoToolTimeout = std::chrono::milliseconds::max();

/// Standard output kept by default: past it the tool is killed and the call fails, so a tool
/// that runs away cannot take the program's memory with it.
inline constexpr qsizetype kDefaultToolOutputLimit = qsizetype(64) * 1024 * 1024;

/// The per-call limits of `runToolResult`.
struct ToolLimits {
    std::chrono::milliseconds timeout = kDefaultToolTimeout; // kNoToolTimeout: none
    qsizetype outputLimit = kDefaultToolOutputLimit;
    /// Watched besides the timeout; nullptr: the one a ToolCancellation::Scope installed on the
    /// calling thread, if any.
    ToolCancellation* cancellation = nullptr;
};

/// What became of one tool run, with each way of failing told apart.
struct ToolResult {
    enum class Outcome {
        succeeded,
        launchFailed,
        exitedWithStatus,
        killedBySignal,
        timedOut,
        outputTooLarge,
        cancelled
    };

    Outcome outcome = Outcome::launchFailed;
    QByteArray output;   // standard output; kept only when the tool succeeded
    int exitStatus = 0;  // for exitedWithStatus
    int signal = 0;      // for killedBySignal
    int launchError = 0; // errno of a failed launch
    std::chrono::milliseconds duration{0};

    bool succeeded() const { return outcome == Outcome::succeeded; }
    /// A short English text for logs ("exit status 2", "killed by signal 9", "timed out").
    QString describe() const;
};

/// Runs an executable with an argument list (never through a shell). Standard error goes to
/// /dev/null; standard input is inherited. A tool still running (or whose descendants still hold
/// its output open) at the timeout, or whose output passes the limit, is killed with its whole
/// process group; so is one whose cancellation is cancelled, and a cancelled one never starts. Logs the
/// arguments, the outcome and the duration at debug level in the "quorvex.tools" category. Safe to call from
/// any thread at the same time.
ToolResult runToolResult(const std::string& executable, const std::vector<std::string>& arguments,
                         const ToolLimits& limits = {});

/// The one-line form for callers that only need success: standard output when the tool exits
/// with status 0, else std::nullopt.
std::optional<QByteArray> runTool(const std::string& executable, const std::vector<std::string>& arguments,
                                  std::chrono::milliseconds timeout = kDefaultToolTimeout,
                                  qsizetype outputLimit = kDefaultToolOutputLimit);

/// The same, for arguments held as Qt strings (encoded as UTF-8).
std::optional<QByteArray> runTool(const std::string& executable, const QStringList& arguments,
                                  std::chrono::milliseconds timeout = kDefaultToolTimeout,
                                  qsizetype outputLimit = kDefaultToolOutputLimit);

} // namespace quorvex
