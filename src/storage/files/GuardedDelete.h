#pragma once

#include <filesystem>
#include <new>
#include <system_error>

namespace quorvex {

/// The deletion guard and the guarded delete through which every deletion of the program goes
/// (Cleanup forwards to it; the storage engine calls it directly). Widgets-free, any thread.
class GuardedDelete final {
public:
    /// False when nothing exists at `path` (a dangling link exists); else true when the
    /// standardised path, with its parent resolved through links and its own last component
    /// appended unresolved, lies strictly inside the resolved ~/Library.
    static bool isInsideUserLibrary(const std::filesystem::path& path);

    /// Nothing exists: does nothing. Outside ~/Library: removes nothing and throws
    /// FileError::writeNoPermission. Otherwise removes the item and everything below it and throws
    /// the first FileError met (it goes on with the rest). The removal works through folder
    /// descriptors from the resolved parent, opened without following any link, so a folder
    /// swapped for a link after the check cannot redirect it; it never follows a link (a link is
    /// removed as itself) and never crosses a mount (a target that is a mount point is refused
    /// with EXDEV; a mount point below it is left alone and reported with EXDEV).
    static void removeItem(const std::filesystem::path& path);
    /// The same, reporting the failure instead of throwing it.
    static std::error_code removeItem(const std::filesystem::path& path, std::nothrow_t) noexcept;

    /// The same removal for what the storage cleaner may delete: guarded by
    /// isAllowedCleanupTarget (~/Library, ~/.cocoapods/repos, Xcode bundles in the Applications
    /// folders) instead of ~/Library alone. Refusal: EACCES, nothing removed.
    static std::error_code removeCleanupTarget(const std::filesystem::path& path) noexcept;
};

} // namespace quorvex
