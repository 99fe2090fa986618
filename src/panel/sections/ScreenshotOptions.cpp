#include "panel/sections/ScreenshotOptions.h"

#include "panel/sections/PanelServices.h"
#include "platform/gui/Workspace.h"
#include "windows/ScreenshotSettings.h"

namespace quorvex {

ScreenshotOptions::ScreenshotOptions(PanelServices& services, QWidget* parent)
    : QMenu(parent)
    , m_services(services) {
    setObjectName(QStringLiteral("screenshotOptions"));
    connect(this, &QMenu::aboutToShow, this, &ScreenshotOptions::rebuild);
    rebuild();
}

void ScreenshotOptions::rebuild() {
    clear();
    PanelServices* services = &m_services;
    addAction(QStringLiteral("Take Screenshot"), this, [services] {
        if (services->takeScreenshot)
            services->takeScreenshot(false);
    });
    addAction(QStringLiteral("Copy Screenshot"), this, [services] {
        if (services->takeScreenshot)
            services->takeScreenshot(true);
    });
    addSeparator();
    const std::pair<QString, QString> switches[] = {
        {QStringLiteral("Device Frame"), ScreenshotSettings::kFrameKey},
        {QStringLiteral("Clean Status Bar"), ScreenshotSettings::kCleanStatusBarKey},
        {QStringLiteral("Copy to Clipboard"), ScreenshotSettings::kCopyKey},
    };
    for (const auto& [title, key] : switches) {
        QAction* toggle = addAction(title);
        toggle->setCheckable(true);
        toggle->setChecked(ScreenshotSettings::isOn(key));
        // Always a Boolean from here on, so a stored value of another type is replaced.
        connect(toggle, &QAction::toggled, this,
                [setting = key](bool on) { ScreenshotSettings::setOn(setting, on); });
    }
    addSeparator();
    addAction(QStringLiteral("Screenshot Folder: %1…").arg(ScreenshotSettings::folderDisplayName()), this,
              [] { ScreenshotSettings::chooseFolder(); });
    // The folder is not made here; the first screenshot saved there makes it.
    addAction(QStringLiteral("Show Screenshots in File Manager"), this,
              [services] { services->workspace.openPath(ScreenshotSettings::folder()); });
}

} // namespace quorvex
