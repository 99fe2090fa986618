#include "support/CaughtSignal.h"

#include <fstream>
#include <optional>
#include <string>
#include <thread>

namespace quorvex::test {
namespace {

// The SigCgt mask of the process; nothing when it is gone.
std::optional<unsigned long long> caughtSignals(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("SigCgt:", 0) == 0)
            return std::stoull(line.substr(7), nullptr, 16);
    return std::nullopt;
}

} // namespace

bool waitForCaughtSignal(pid_t pid, int signal, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    const unsigned long long bit = 1ULL << (signal - 1);
    while (std::chrono::steady_clock::now() < deadline) {
        const auto mask = caughtSignals(pid);
        if (!mask)
            return false;
        if (*mask & bit)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

} // namespace quorvex::test
