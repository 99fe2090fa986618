#pragma once

#include <filesystem>

// The test seam of the deletion guard. Only tests/support includes this: the program itself has
// no way to widen the guard, neither through this nor through its environment.
namespace quorvex::detail {

/// The Applications folders in which the guard accepts an Xcode bundle; an empty path means the
/// real one (/Applications, ~/Applications).
struct ApplicationsFolders {
    std::filesystem::path system;
    std::filesystem::path user;
};

/// The folders in force. GUI thread or single-threaded test setup only.
ApplicationsFolders& applicationsFolders();

} // namespace quorvex::detail
