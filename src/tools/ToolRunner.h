#pragma once

#include <QByteArray>
#include <QStringList>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace quorvex {

inline constexpr std::chrono::milliseconds kDefaultToolTimeout{60'000};

/// Runs an executable with an argument list (never through a shell) and returns its standard
/// output when it exits with status 0. A failed launch, a non-zero exit, a signal or a timeout
/// give std::nullopt. Standard error goes to /dev/null; standard input is inherited. A tool that
/// is still running (or whose descendants still hold its output open) at the timeout is killed
/// with its whole process group. Safe to call from any thread at the same time.
std::optional<QByteArray> runTool(const std::string& executable, const std::vector<std::string>& arguments,
                                  std::chrono::milliseconds timeout = kDefaultToolTimeout);

/// The same, for arguments held as Qt strings (encoded as UTF-8).
std::optional<QByteArray> runTool(const std::string& executable, const QStringList& arguments,
                                  std::chrono::milliseconds timeout = kDefaultToolTimeout);

} // namespace quorvex
