#pragma once

#include <mutex>
#include <set>

#include <sys/types.h>

namespace quorvex {

/// Lets the owner of a thread pool end at once the tools its tasks run, instead of waiting for
/// them (up to their timeouts) when it goes away. A task puts its thread under the switch with a
/// `Scope`; every tool `runToolResult` starts on that thread meanwhile is listed, and `killAll()`
/// kills their process groups. A tool started after `killAll()` is killed as it starts, so a task
/// that runs several tools in a row ends quickly too. The switch must outlive the scopes under
/// it. Thread-safe.
class ToolKillSwitch final {
public:
    ToolKillSwitch() = default;
    ToolKillSwitch(const ToolKillSwitch&) = delete;
    ToolKillSwitch& operator=(const ToolKillSwitch&) = delete;

    /// Puts the tools this thread runs under the switch while it lives.
    class Scope final {
    public:
        explicit Scope(ToolKillSwitch& killSwitch);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        ToolKillSwitch* m_previous;
    };

    /// Kills every listed tool with its process group, and every tool started from now on.
    void killAll();

    // For the tool runner.

    /// The switch this thread's tools are under; null when none.
    static ToolKillSwitch* current();
    /// Lists a started tool; false, and nothing listed, once the switch was thrown.
    bool add(pid_t pid);
    /// Takes a tool off the list. Called before the tool is reaped, so that a process id the
    /// system has handed to another process is never killed.
    void remove(pid_t pid);

private:
    std::mutex m_lock;
    std::set<pid_t> m_running;
    bool m_killed = false;
};

} // namespace quorvex
