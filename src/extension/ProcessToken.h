#pragma once

#include <sys/types.h>

#include <compare>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

namespace quorvex {

/// Names one process image for good: its pid and its start time (clock ticks after boot), so a
/// pid the kernel hands to a new process is never taken for the old one, and the identity of its
/// executable (device and inode of /proc/PID/exe), so a process that execs another program is a
/// new token, as it would be a new audit token.
struct ProcessToken {
    pid_t pid = 0;
    unsigned long long startTime = 0;
    std::uint64_t exeDevice = 0;
    std::uint64_t exeInode = 0;

    auto operator<=>(const ProcessToken&) const = default;

    /// The token of a live process; none when it is gone. `procRoot` is /proc outside tests.
    /// Throws ResourceShortage when /proc cannot be read for want of descriptors.
    static std::optional<ProcessToken> of(pid_t pid, const std::filesystem::path& procRoot = "/proc");

    /// The identity (device, inode) of a process's executable; zeros when it has none (a kernel
    /// thread) or is gone.
    static std::pair<std::uint64_t, std::uint64_t>
    executableIdentity(pid_t pid, const std::filesystem::path& procRoot = "/proc");

    /// The executable path of the process, only while it is still the process of this token.
    std::optional<std::string> executablePath(const std::filesystem::path& procRoot = "/proc") const;

    /// The start time field of a /proc/<pid>/stat line; none when the line is malformed.
    static std::optional<unsigned long long> startTimeFromStat(const std::string& stat);
};

} // namespace quorvex
