#include "tools/ToolKillSwitch.h"

#include <csignal>

namespace quorvex {
namespace {

thread_local ToolKillSwitch* t_current = nullptr;

} // namespace

ToolKillSwitch::Scope::Scope(ToolKillSwitch& killSwitch)
    : m_previous(t_current) {
    t_current = &killSwitch;
}

ToolKillSwitch::Scope::~Scope() {
    t_current = m_previous;
}

ToolKillSwitch* ToolKillSwitch::current() {
    return t_current;
}

void ToolKillSwitch::killAll() {
    std::lock_guard guard(m_lock);
    m_killed = true;
    for (const pid_t pid : m_running) {
        ::kill(-pid, SIGKILL);
        ::kill(pid, SIGKILL);
    }
}

bool ToolKillSwitch::add(pid_t pid) {
    std::lock_guard guard(m_lock);
    if (m_killed)
        return false;
    m_running.insert(pid);
    return true;
}

void ToolKillSwitch::remove(pid_t pid) {
    std::lock_guard guard(m_lock);
    m_running.erase(pid);
}

} // namespace quorvex
