#include "extension/StateFolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace quorvex {

namespace {

[[noreturn]] void fail(int error, const std::string& text) {
    throw std::system_error(error, std::generic_category(), text);
}

} // namespace

StateFolder::StateFolder(std::filesystem::path path)
    : m_path(std::move(path)) {
    const std::string where = m_path.string();
    std::error_code ignored;
    if (m_path.has_parent_path())
        std::filesystem::create_directories(m_path.parent_path(), ignored);
    // mkdir never follows a link in the last component: a link there stays and is refused below.
    if (::mkdir(where.c_str(), 0700) != 0 && errno != EEXIST)
        fail(errno, "cannot make the state folder " + where);
    m_folder = ::open(where.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (m_folder < 0) {
        const int error = errno;
        fail(error, error == ELOOP || error == ENOTDIR ? "the state folder " + where + " is not a folder"
                                                       : "cannot open the state folder " + where);
    }
    struct stat status {};
    if (::fstat(m_folder, &status) != 0) {
        const int error = errno;
        ::close(m_folder);
        fail(error, "cannot read the state folder " + where);
    }
    if (status.st_uid != ::geteuid()) {
        ::close(m_folder);
        fail(EPERM, "the state folder " + where + " belongs to another user");
    }
    ::fchmod(m_folder, 0700);
    m_lock = ::openat(m_folder, lockName, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (m_lock < 0 || ::flock(m_lock, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (m_lock >= 0)
            ::close(m_lock);
        ::close(m_folder);
        fail(error, error == EWOULDBLOCK ? "another network extension daemon uses the state folder " + where
                                         : "cannot lock the state folder " + where);
    }
}

StateFolder::~StateFolder() {
    ::close(m_lock);
    ::close(m_folder);
}

std::optional<std::string> StateFolder::read(const std::string& name) const {
    const int fd = ::openat(m_folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0 || bytes.size() + static_cast<std::size_t>(count) > maximumFileBytes) {
            ::close(fd);
            return count == 0 ? std::optional<std::string>(std::move(bytes)) : std::nullopt;
        }
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
}

bool StateFolder::write(const std::string& name, std::string_view bytes) const {
    const std::string temporary = name + ".new";
    const int fd =
        ::openat(m_folder, temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        written += static_cast<std::size_t>(count);
    }
    const bool complete = written == bytes.size() && ::fsync(fd) == 0;
    ::close(fd);
    if (!complete || ::renameat(m_folder, temporary.c_str(), m_folder, name.c_str()) != 0) {
        ::unlinkat(m_folder, temporary.c_str(), 0);
        return false;
    }
    return true;
}

} // namespace quorvex
