#include "windows/ScreenshotSettings.h"

#include "platform/gui/Dialogs.h"
#include "tools/Environment.h"
#include "tools/PathText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>

#include <system_error>

namespace quorvex {

namespace {

// Far more than any folder holds for one second; only a folder that refuses every name runs out.
constexpr int kMaxCandidates = 10'000;

} // namespace

bool ScreenshotSettings::isOn(const QString& key) {
    const QVariant value = sharedDefaults().value(key);
    // Only a stored Boolean counts: a text "false" left by hand must not switch a feature off.
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    return true;
}

void ScreenshotSettings::setOn(const QString& key, bool on) {
    sharedDefaults().setValue(key, on);
}

bool ScreenshotSettings::frame() {
    return isOn(kFrameKey);
}

bool ScreenshotSettings::cleanStatusBar() {
    return isOn(kCleanStatusBarKey);
}

bool ScreenshotSettings::copyToClipboard() {
    return isOn(kCopyKey);
}

std::filesystem::path ScreenshotSettings::folder() {
    const QString stored = sharedDefaults().value(kFolderKey).toString();
    if (!stored.isEmpty())
        return textPath(stored);
    return homeDirectoryURL() / "Desktop";
}

QString ScreenshotSettings::folderDisplayName() {
    const QString path = pathText(folder());
    const QString name = QFileInfo(QDir::cleanPath(path)).fileName();
    return name.isEmpty() ? path : name;
}

void ScreenshotSettings::chooseFolder() {
    OpenPanel panel;
    panel.message = QStringLiteral("Choose where screenshots are saved");
    panel.prompt = QStringLiteral("Save Here");
    panel.chooseFolders = true;
    panel.directory = folder();
    const auto chosen = Dialogs::shared().runOpenPanel(panel);
    if (chosen.empty())
        return;
    sharedDefaults().setValue(kFolderKey, pathText(chosen.front()));
}

QString ScreenshotSettings::safeDeviceName(const QString& deviceName) {
    QString safe = deviceName;
    for (QChar& c : safe)
        if (c == u'/' || c == u':' || c == u'\\')
            c = u'-';
    qsizetype first = 0;
    while (first < safe.size() && (safe[first] == u' ' || safe[first] == u'\t'))
        ++first;
    return first == safe.size() ? QStringLiteral("Device") : safe;
}

QString ScreenshotSettings::timestamp(const QDateTime& date) {
    return QLocale::c().toString(date, QStringLiteral("dd.MM.yyyy 'at' HH.mm.ss"));
}

QString ScreenshotSettings::fileName(const QString& deviceName, const QDateTime& date, int n) {
    QString name = QStringLiteral("Screenshot ") + safeDeviceName(deviceName) + u' ' + timestamp(date);
    if (n >= 2)
        name += u' ' + QString::number(n);
    return name + QStringLiteral(".png");
}

std::filesystem::path ScreenshotSettings::fileURL(const QString& deviceName, const QDateTime& date,
                                                  const std::filesystem::path& folder) {
    for (int n = 1;; ++n) {
        const std::filesystem::path candidate = folder / textPath(fileName(deviceName, date, n));
        std::error_code error;
        // A dangling link counts as taken: writing through it would land somewhere else.
        if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, error)) ||
            n >= kMaxCandidates)
            return candidate;
    }
}

std::optional<std::filesystem::path> ScreenshotSettings::writeNewFile(const QByteArray& data,
                                                                      const QString& deviceName,
                                                                      const QDateTime& date,
                                                                      const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder, error))
        return std::nullopt;
    for (int n = 1; n <= kMaxCandidates; ++n) {
        const std::filesystem::path candidate = folder / textPath(fileName(deviceName, date, n));
        QFile file(pathText(candidate));
        // NewOnly is O_CREAT | O_EXCL: of two writers racing for one name exactly one wins.
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (std::filesystem::exists(std::filesystem::symlink_status(candidate, error)))
                continue;
            return std::nullopt;
        }
        if (file.write(data) != data.size() || !file.flush()) {
            file.close();
            file.remove();
            return std::nullopt;
        }
        return candidate;
    }
    return std::nullopt;
}

} // namespace quorvex
