#pragma once

#include <chrono>
#include <sys/types.h>

namespace quorvex::test {

/// Waits until process `pid` catches `signal` (its handler is installed, as the kernel reports
/// in /proc/<pid>/status, SigCgt). False when the process ends first or `limit` passes: the
/// limit only stops a broken program from hanging the test, it paces nothing.
bool waitForCaughtSignal(pid_t pid, int signal, std::chrono::milliseconds limit = std::chrono::seconds(30));

} // namespace quorvex::test
