#include "tools/ToolCancellation.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace quorvex {

namespace {
thread_local ToolCancellation* t_current = nullptr;
} // namespace

ToolCancellation::ToolCancellation()
    : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ToolCancellation::~ToolCancellation() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void ToolCancellation::cancel() {
    m_cancelled.store(true);
    const std::uint64_t one = 1;
    // A failed write leaves the descriptor as it was: readable already, or gone with the object.
    if (m_fd >= 0 && ::write(m_fd, &one, sizeof one) < 0)
        return;
}

void ToolCancellation::cancelForGood() {
    m_forGood.store(true);
    cancel();
}

void ToolCancellation::reset() {
    if (m_forGood.load())
        return;
    m_cancelled.store(false);
    std::uint64_t count = 0;
    // Nothing to read (EAGAIN) means it was not cancelled; either way the counter is zero now.
    if (m_fd >= 0 && ::read(m_fd, &count, sizeof count) < 0)
        return;
}

ToolCancellation::Scope::Scope(ToolCancellation* cancellation)
    : m_previous(t_current) {
    t_current = cancellation;
}

ToolCancellation::Scope::~Scope() {
    t_current = m_previous;
}

ToolCancellation* ToolCancellation::current() {
    return t_current;
}

} // namespace quorvex
