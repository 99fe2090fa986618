#pragma once

#include "windows/ActionWindows.h"
#include "windows/ActionWindowsService.h"
#include "windows/DeviceScreenshot.h"
#include "windows/StatusBarWindow.h"

#include <QObject>

namespace quorvex {

class Clipboard;
class Clock;
class ScreenshotThumbnail;
class SimulatorActions;
class SimulatorApps;

/// The action windows behind the menu: the open-URL and push windows, the status-bar window and
/// simulator screenshots. Each window is made on first use and kept for the controller's life.
/// GUI thread.
class ActionWindowsController final : public QObject, public ActionWindowsService {
    Q_OBJECT
public:
    ActionWindowsController(SimulatorApps& apps, SimulatorActions& actions,
                            ActionWindows::TargetUDID targetUDID, Clock& clock, Clipboard& clipboard,
                            ScreenshotThumbnail& thumbnail, QObject* parent = nullptr);

    void openDeepLinkWindow(const SimulatorApp& app) override;
    void openPushWindow(const SimulatorApp& app) override;
    void showStatusBarWindow(const std::vector<SimulatorDevice>& devices,
                             const SimulatorDevice& target) override;
    /// Starts a screenshot of the simulator with the settings of the moment, named after it.
    void screenshot(const QString& udid, bool copy) override;

    ActionWindows& deepLinkWindow() { return m_deepLink; }
    ActionWindows& pushWindow() { return m_push; }
    StatusBarWindow& statusBarWindow() { return m_statusBar; }
    /// The screenshot flow, shared with the connected devices' menu.
    DeviceScreenshot& screenshots() { return m_screenshots; }

private:
    SimulatorApps& m_apps;
    ActionWindows m_deepLink;
    ActionWindows m_push;
    StatusBarWindow m_statusBar;
    DeviceScreenshot m_screenshots;
};

} // namespace quorvex
