#include "platform/data/FolderHandle.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/openat2.h>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quorvex {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Without openat2: one openat per component, each refusing a link. ".." is refused outright
// when the walk must stay beneath `at`.
int openByComponents(int at, const char* path, bool beneath) {
    std::string rest(path);
    int current = -1;
    size_t start = 0;
    if (!rest.empty() && rest.front() == '/') {
        if (beneath) {
            errno = EXDEV;
            return -1;
        }
        current = ::open("/", kFolderFlags);
        start = 1;
    } else {
        current = ::openat(at, ".", kFolderFlags);
    }
    while (current >= 0 && start < rest.size()) {
        size_t end = rest.find('/', start);
        if (end == std::string::npos)
            end = rest.size();
        const std::string component = rest.substr(start, end - start);
        start = end + 1;
        if (component.empty() || component == ".")
            continue;
        if (beneath && component == "..") {
            ::close(current);
            errno = EXDEV;
            return -1;
        }
        const int next = ::openat(current, component.c_str(), kFolderFlags);
        const int saved = errno;
        ::close(current);
        errno = saved;
        current = next;
    }
    return current;
}

} // namespace

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

FolderHandle::~FolderHandle() {
    if (m_fd >= 0)
        ::close(m_fd);
}

FolderHandle FolderHandle::openWithoutLinks(int at, const char* path, bool beneath) {
    open_how how{};
    how.flags = kFolderFlags;
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS | (beneath ? RESOLVE_BENEATH : 0);
    long fd = -1;
    do
        fd = ::syscall(SYS_openat2, at, path, &how, sizeof how);
    while (fd < 0 && (errno == EINTR || errno == EAGAIN));
    if (fd < 0 && errno == ENOSYS)
        fd = openByComponents(at, path, beneath);
    return FolderHandle(static_cast<int>(fd));
}

std::uint64_t FolderHandle::mountIdOf(int fd) {
    struct statx info {};
    if (::statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_MNT_ID, &info) != 0 ||
        !(info.stx_mask & STATX_MNT_ID))
        return 0;
    return info.stx_mnt_id;
}

} // namespace quorvex
