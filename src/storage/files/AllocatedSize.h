#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace quorvex {

/// Disk space taken by the regular files at or under `path`: the sum of their allocated blocks
/// (st_blocks * 512), not their lengths. A regular file gives its own blocks. A folder is walked
/// without following any symbolic link below it; links, folders, FIFOs, sockets and devices count
/// nothing, a file reached by two paths (hard links) counts once per path, and what cannot be
/// read is passed over. A path that is missing, or is itself a symbolic link, gives 0. Never
/// fails, keeps no state, and may run on any thread at the same time as other calls.
///
/// `threads` limits the walk: 1 reads on the calling thread only, 0 (the default) also lends
/// folders to the shared size pool, one helper per core. The caller always takes part, so a busy
/// pool slows a walk down but never stalls it.
std::int64_t allocatedSize(const std::filesystem::path& path, int threads = 0);

/// What one walk learns of a tree: its allocated size as above, and the newest modification time
/// (nanoseconds since the epoch) of the item itself, its folders and its regular files; nothing
/// for a missing item, a link or another kind of entry.
struct TreeSummary {
    std::int64_t bytes = 0;
    std::optional<std::int64_t> newestModification;
};
TreeSummary summarizeTree(const std::filesystem::path& path, int threads = 0);

} // namespace quorvex
