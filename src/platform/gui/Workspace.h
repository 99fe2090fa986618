#pragma once

#include <filesystem>

namespace quorvex {

/// Hands files and folders to the desktop: opening an item with its default application, and
/// showing an item in the file manager. GUI thread.
class Workspace {
public:
    virtual ~Workspace() = default;

    /// Opens a file or folder with the desktop's default handler for it. False when the desktop
    /// refused (no handler, or none could be started).
    virtual bool openPath(const std::filesystem::path& path) = 0;

    /// Shows the item selected in the file manager without opening it, so an app bundle is not
    /// launched. Where no file manager answers, opens the folder that holds the item instead.
    /// Returns before the file manager has answered.
    virtual void revealInFileManager(const std::filesystem::path& path) = 0;

    /// The desktop's workspace, created on first use and never released.
    static Workspace& system();
};

} // namespace quorvex
