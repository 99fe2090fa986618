#pragma once

#include <sys/types.h>

#include <vector>

namespace quorvex {

/// The kernel's word on every exec (the process connector), so that a process seen before it
/// exec'd another program is looked at again before its first flow is decided: the kernel sends
/// the event during the exec, before the new program runs. The connector speaks only in the
/// initial network namespace; from another one, the socket is made there, through the namespace
/// of the kernel's thread daemon (kthreadd, which lives in the initial one).
///
/// Needs root (CAP_NET_ADMIN, and CAP_SYS_ADMIN from another namespace); without it, or on a
/// kernel without the connector, `isAvailable()` is false. Not thread-safe.
class ProcessEvents final {
public:
    ProcessEvents();
    ~ProcessEvents();
    ProcessEvents(const ProcessEvents&) = delete;
    ProcessEvents& operator=(const ProcessEvents&) = delete;

    bool isAvailable() const { return m_socket >= 0; }

    /// The processes (thread group ids) that exec'd since the last call. `lost` becomes true when
    /// the kernel dropped events for want of room: any process may have exec'd then.
    std::vector<pid_t> execs(bool& lost);

private:
    int m_socket = -1;
};

} // namespace quorvex
