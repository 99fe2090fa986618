#include "windows/ActionWindowsController.h"

#include "simulator/SimulatorApps.h"

namespace quorvex {

ActionWindowsController::ActionWindowsController(SimulatorApps& apps, SimulatorActions& actions,
                                                 ActionWindows::TargetUDID targetUDID, Clock& clock,
                                                 Clipboard& clipboard, ScreenshotThumbnail& thumbnail,
                                                 QObject* parent)
    : QObject(parent)
    , m_apps(apps)
    , m_deepLink(ActionWindowKind::deepLink, apps, actions, targetUDID)
    , m_push(ActionWindowKind::push, apps, actions, targetUDID)
    , m_screenshots(clock, clipboard, DeviceScreenshot::systemTools(thumbnail)) {}

void ActionWindowsController::openDeepLinkWindow(const SimulatorApp& app) {
    m_deepLink.open(app);
}

void ActionWindowsController::openPushWindow(const SimulatorApp& app) {
    m_push.open(app);
}

void ActionWindowsController::showStatusBarWindow(const std::vector<SimulatorDevice>& devices,
                                                  const SimulatorDevice& target) {
    m_statusBar.show(devices, target);
}

void ActionWindowsController::screenshot(const QString& udid, bool copy) {
    QString name = udid;
    for (const SimulatorDevice& device : m_apps.devices())
        if (device.udid == udid)
            name = device.name;
    m_screenshots.screenshot(udid, name, std::nullopt, copy);
}

} // namespace quorvex
