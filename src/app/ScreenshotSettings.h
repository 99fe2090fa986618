#pragma once

#include <QString>

#include <filesystem>

namespace quorvex {

/// The user's screenshot choices in the shared settings: three switches that read as on unless a
/// Boolean false is stored, and the folder screenshots go to (the Desktop unless chosen).
class ScreenshotSettings final {
public:
    ScreenshotSettings() = delete;

    static inline const QString kFrameKey = QStringLiteral("screenshot.frame");
    static inline const QString kCleanStatusBarKey = QStringLiteral("screenshot.cleanStatusBar");
    static inline const QString kCopyKey = QStringLiteral("screenshot.copy");
    static inline const QString kFolderKey = QStringLiteral("screenshot.folder");

    static bool frame();
    static bool cleanStatusBar();
    static bool copyToClipboard();
    /// Reads one switch: absent or not a Boolean reads as on.
    static bool isOn(const QString& key);
    static void setOn(const QString& key, bool on);

    static std::filesystem::path folder();
    /// The folder's name as the file manager shows it.
    static QString folderDisplayName();
    /// Asks for a folder ("Save Here") and stores it; a cancel changes nothing.
    static void chooseFolder();
};

} // namespace quorvex
