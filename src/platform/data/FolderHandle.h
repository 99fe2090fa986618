#pragma once

#include <cstdint>
#include <utility>

namespace quorvex {

/// An owned file descriptor of an open folder, closed when the handle goes.
class FolderHandle final {
public:
    FolderHandle() = default;
    explicit FolderHandle(int fd)
        : m_fd(fd) {}
    FolderHandle(FolderHandle&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1)) {}
    FolderHandle& operator=(FolderHandle&& other) noexcept;
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;
    ~FolderHandle();

    int fd() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }

    /// Opens the folder at `path`, relative to the open folder `at` (or AT_FDCWD), refusing every
    /// symbolic link on the way, the last component included (openat2 with RESOLVE_NO_SYMLINKS;
    /// a component-by-component walk with O_NOFOLLOW on kernels without openat2). With `beneath`
    /// the path may not leave `at` either. An empty handle on failure, with errno set.
    static FolderHandle openWithoutLinks(int at, const char* path, bool beneath);

    /// The mount the open file `fd` lies on, as /proc/self/mountinfo numbers it: a bind mount of
    /// the same file system has the same device as its surroundings but a mount of its own.
    /// 0 when the kernel cannot tell.
    static std::uint64_t mountIdOf(int fd);

private:
    int m_fd = -1;
};

} // namespace quorvex
