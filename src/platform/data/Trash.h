#pragma once

#include <filesystem>
#include <system_error>

namespace quorvex {

/// The user's Trash, where a clean in trash mode puts files so they can be put back.
///
/// Contract: moveToTrash takes an absolute path whose folders hold no symbolic link (the caller
/// resolves and guards it) and moves that very item (a link as the link itself, never its
/// target) into the Trash by a rename on the same file system, with the record a file manager
/// needs to put it back. It never copies: an item on another file system than the Trash fails with
/// EXDEV and stays where it is. On failure nothing was moved and no record is left. Any thread.
class Trash {
public:
    virtual ~Trash() = default;

    /// False when this computer has no usable Trash (then a clean can only delete).
    virtual bool isAvailable() const = 0;

    /// Moves the item to the Trash; an empty code on success.
    virtual std::error_code moveToTrash(const std::filesystem::path& path) = 0;
};

} // namespace quorvex
