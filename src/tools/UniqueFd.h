#pragma once

#include <unistd.h>

#include <utility>

namespace quorvex {

/// Owns one file descriptor and closes it when it goes out of scope. Movable, not copyable;
/// -1 means "none".
class UniqueFd final {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd)
        : m_fd(fd) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept
        : m_fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ~UniqueFd() { reset(); }

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    explicit operator bool() const { return valid(); }

    /// Gives up ownership without closing.
    int release() { return std::exchange(m_fd, -1); }
    /// Closes the owned descriptor (if any) and takes `fd`.
    void reset(int fd = -1) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

} // namespace quorvex
