#include "app/ScreenshotSettings.h"

#include "platform/Dialogs.h"
#include "tools/Environment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace quorvex {

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
        return QFile::encodeName(stored).toStdString();
    QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (desktop.isEmpty())
        desktop = QDir::home().filePath(QStringLiteral("Desktop"));
    return QFile::encodeName(desktop).toStdString();
}

QString ScreenshotSettings::folderDisplayName() {
    const QString path = QFile::decodeName(QByteArray::fromStdString(folder().string()));
    const QString name = QFileInfo(QDir::cleanPath(path)).fileName();
    return name.isEmpty() ? path : name;
}

void ScreenshotSettings::chooseFolder() {
    OpenPanel panel;
    panel.message = QStringLiteral("Choose where screenshots are saved");
    panel.prompt = QStringLiteral("Save Here");
    panel.chooseFolders = true;
    const auto chosen = Dialogs::shared().runOpenPanel(panel);
    if (chosen.empty())
        return;
    sharedDefaults().setValue(kFolderKey,
                              QFile::decodeName(QByteArray::fromStdString(chosen.front().string())));
}

} // namespace quorvex
