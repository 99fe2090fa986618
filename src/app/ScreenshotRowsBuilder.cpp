#include "app/ScreenshotRowsBuilder.h"

#include "panel/sections/DeviceHubService.h"
#include "platform/gui/Workspace.h"
#include "ui/Palette.h"
#include "windows/ScreenshotSettings.h"

#include <QKeySequence>
#include <QStringList>

namespace quorvex {

QString ScreenshotRowsBuilder::summary() const {
    QStringList parts;
    if (ScreenshotSettings::frame())
        parts << QStringLiteral("Device frame");
    parts << QStringLiteral("saved to ") + ScreenshotSettings::folderDisplayName();
    if (ScreenshotSettings::copyToClipboard())
        parts << QStringLiteral("copied");
    QString summary = parts.join(QStringLiteral(" · "));
    if (!summary.isEmpty())
        summary[0] = summary[0].toUpper();
    return summary;
}

MenuRow ScreenshotRowsBuilder::copyScreenshotItem(ActionItem::Handler handler) const {
    MenuRow row = MenuRow::action(QStringLiteral("Copy Screenshot"), QStringLiteral("doc.on.clipboard.fill"),
                                  Palette::blue(), std::move(handler));
    const QString keys = QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_C).toString(QKeySequence::NativeText);
    row.withSubtitle(QStringLiteral("To the clipboard · %1 in ").arg(keys) + m_deviceHub.hostName());
    return row;
}

void ScreenshotRowsBuilder::fillOptions(MenuRows& rows) const {
    struct Option {
        const QString& key;
        const char* title;
        const char* subtitle;
    };
    const Option options[] = {
        {ScreenshotSettings::kFrameKey, "Device Frame", "Around the screen, like the real device"},
        {ScreenshotSettings::kCleanStatusBarKey, "Clean Status Bar", "9:41, full battery and signal"},
        {ScreenshotSettings::kCopyKey, "Copy to Clipboard", nullptr},
    };
    for (const Option& option : options) {
        // The switch writes the opposite of what the row shows, not of what is stored by then.
        const bool on = ScreenshotSettings::isOn(option.key);
        const QString key = option.key;
        MenuRow row = MenuRow::action(QString::fromUtf8(option.title), QString(), std::nullopt,
                                      [key, on] { ScreenshotSettings::setOn(key, !on); });
        if (option.subtitle)
            row.withSubtitle(QString::fromUtf8(option.subtitle));
        row.checked = on;
        rows.push_back(std::move(row));
    }
    rows.push_back(MenuRow::separator());
    rows.push_back(MenuRow::action(
        QStringLiteral("Screenshot Folder: ") + ScreenshotSettings::folderDisplayName() + QStringLiteral("…"),
        QStringLiteral("folder"), std::nullopt, [] { ScreenshotSettings::chooseFolder(); }));
    rows.push_back(MenuRow::action(QStringLiteral("Show Screenshots in File Manager"),
                                   QStringLiteral("arrow.up.forward.app"), std::nullopt,
                                   [] { Workspace::system().openPath(ScreenshotSettings::folder()); }));
}

} // namespace quorvex
