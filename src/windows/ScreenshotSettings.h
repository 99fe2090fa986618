#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <filesystem>
#include <optional>

namespace quorvex {

/// The user's screenshot choices in the shared settings (three switches that read as on unless a
/// Boolean false is stored, and the folder screenshots go to, the Desktop unless chosen) and the
/// rule that names screenshot files: "Screenshot <device> <dd.MM.yyyy at HH.mm.ss>.png", with
/// " 2", " 3", ... before the extension while a name is taken. Nothing is cached: every
/// screenshot reads the current values. The reads may run on any thread that may use the
/// settings; chooseFolder runs on the GUI thread.
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

    /// The stored folder (its existence is not tested), else the home folder's "Desktop".
    static std::filesystem::path folder();
    /// The folder's name as the file manager shows it.
    static QString folderDisplayName();
    /// Asks for a folder ("Save Here") and stores it; a cancel changes nothing.
    static void chooseFolder();

    /// The first free name for a screenshot of `deviceName` taken at `date` in `folder`. Nothing
    /// is created, so the name may be taken by the time it is written: writeNewFile reserves it.
    static std::filesystem::path fileURL(const QString& deviceName, const QDateTime& date,
                                         const std::filesystem::path& folder);
    /// Writes `data` under the first name of the same sequence that does not exist at the moment
    /// of writing: each candidate is created exclusively, so two screenshots taken in the same
    /// second (or a file made meanwhile by someone else) never overwrite each other. Creates the
    /// folder first. Returns the path written, or nothing when the folder or file cannot be made.
    static std::optional<std::filesystem::path> writeNewFile(const QByteArray& data,
                                                             const QString& deviceName, const QDateTime& date,
                                                             const std::filesystem::path& folder);

    /// "/", ":" and "\" become "-"; a name that is blank after that reads "Device". Leading and
    /// trailing spaces are kept.
    static QString safeDeviceName(const QString& deviceName);
    /// "dd.MM.yyyy at HH.mm.ss" in the date's own time zone, always with Western digits.
    static QString timestamp(const QDateTime& date);
    /// The n-th candidate name: n = 1 gives the bare name, n >= 2 appends " n".
    static QString fileName(const QString& deviceName, const QDateTime& date, int n);
};

} // namespace quorvex
