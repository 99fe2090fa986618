#pragma once

#include "extension/ResourceShortage.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

namespace quorvex {

/// The text of a small file under /proc (a process's stat or status, loadavg), up to 8 KiB; none
/// when it cannot be read (the process is gone). Throws ResourceShortage when it cannot be opened
/// for want of descriptors or memory.
inline std::optional<std::string> readProcFile(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        ResourceShortage::check(error, "cannot open " + path.string());
        return std::nullopt;
    }
    std::string text(8192, '\0');
    std::size_t size = 0;
    for (;;) {
        const ssize_t count = ::read(fd, text.data() + size, text.size() - size);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        size += static_cast<std::size_t>(count);
        if (size == text.size())
            break;
    }
    ::close(fd);
    text.resize(size);
    return text;
}

} // namespace quorvex
