#include "storage/files/DirectoryReader.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quorvex {
namespace {

// The kernel's record layout for getdents64 (linux_dirent64).
struct KernelDirent {
    std::uint64_t ino;
    std::int64_t offset;
    unsigned short length;
    unsigned char type;
    char name[1];
};

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

} // namespace

bool DirectoryReader::next(Entry& entry) {
    for (;;) {
        if (m_offset >= m_size) {
            long read = 0;
            do
                read = ::syscall(SYS_getdents64, m_folder, m_buffer, sizeof m_buffer);
            while (read < 0 && errno == EINTR);
            if (read <= 0) {
                m_error = read < 0 ? errno : 0;
                m_size = m_offset = 0;
                return false;
            }
            m_size = read;
            m_offset = 0;
        }
        const auto* record = reinterpret_cast<const KernelDirent*>(m_buffer + m_offset);
        m_offset += record->length;
        if (isDotOrDotDot(record->name))
            continue;
        entry.name = record->name;
        entry.type = record->type;
        return true;
    }
}

} // namespace quorvex
