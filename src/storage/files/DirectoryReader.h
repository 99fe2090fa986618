#pragma once

#include <cstddef>

namespace quorvex {

/// Reads the entries of an open folder straight from getdents64, one large buffer at a time,
/// without the allocation and locking that readdir adds. "." and ".." are never returned. The
/// reader does not own the descriptor.
class DirectoryReader final {
public:
    struct Entry {
        const char* name;
        unsigned char type; // DT_REG, DT_DIR, DT_LNK, ... or DT_UNKNOWN
    };

    explicit DirectoryReader(int folder)
        : m_folder(folder) {}

    /// The next entry; false at the end of the folder or on a read error (see error()).
    bool next(Entry& entry);
    /// The errno of a failed read, 0 when the folder was read to its end.
    int error() const { return m_error; }

private:
    int m_folder;
    int m_error = 0;
    long m_size = 0;
    long m_offset = 0;
    alignas(8) char m_buffer[32 * 1024];
};

} // namespace quorvex
