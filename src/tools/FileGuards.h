#pragma once

#include <filesystem>

namespace quorvex {

/// Absolute path with symbolic links resolved. An item that does not exist yet resolves through
/// its deepest existing ancestor, with the missing components appended. Never fails.
std::filesystem::path resolvedPath(const std::filesystem::path& path);

/// True when the program may delete this item: strictly inside ~/Library, ~/.cocoapods/repos or
/// below it, or an Xcode bundle lying directly in one of the two Applications folders. Links
/// above the item are resolved; the item's own last component is not, so a link is judged where
/// it sits. The environment cannot widen it; tests move the Applications folders through the
/// seam in tools/FileGuardsSeam.h.
bool isAllowedCleanupTarget(const std::filesystem::path& path);

/// True when the item's own attributes can be read (a dangling link exists).
bool itemExists(const std::filesystem::path& path);

/// True when the item itself is a symbolic link.
bool isSymbolicLink(const std::filesystem::path& path);

/// The path in "standardised" form: absolute, "." and ".." removed lexically, no trailing "/".
std::filesystem::path standardizedPath(const std::filesystem::path& path);

/// Parent folder resolved through links, with the item's own last component appended unresolved.
std::filesystem::path parentResolvedPath(const std::filesystem::path& path);

} // namespace quorvex
