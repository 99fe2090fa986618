#pragma once

#include <sys/types.h>

#include <compare>
#include <filesystem>
#include <optional>
#include <string>

namespace quorvex {

/// Names one process for good: its pid and its start time (clock ticks after boot), so a pid the
/// kernel hands to a new process is never taken for the old one.
struct ProcessToken {
    pid_t pid = 0;
    unsigned long long startTime = 0;

    auto operator<=>(const ProcessToken&) const = default;

    /// The token of a live process; none when it is gone. `procRoot` is /proc outside tests.
    static std::optional<ProcessToken> of(pid_t pid, const std::filesystem::path& procRoot = "/proc");

    /// The executable path of the process, only while it is still the process of this token.
    std::optional<std::string> executablePath(const std::filesystem::path& procRoot = "/proc") const;

    /// The start time field of a /proc/<pid>/stat line; none when the line is malformed.
    static std::optional<unsigned long long> startTimeFromStat(const std::string& stat);
};

} // namespace quorvex
