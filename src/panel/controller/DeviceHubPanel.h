#pragma once

#include "devices/core/PhysicalDevice.h"
#include "panel/controller/PanelTarget.h"
#include "panel/controller/PanelWindow.h"
#include "simulator/SimulatorApp.h"
#include "tools/ToolCancellation.h"

#include <QByteArray>
#include <QObject>
#include <QThreadPool>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

class QSettings;

namespace quorvex {

class Clock;
class DeviceHubTracker;
class ScheduledCall;
class WindowSystem;

/// The side panel's controller: its settings (shown, collapsed), the device picked by hand, the
/// app picked per device and the apps running on the target; from them, which device and app
/// every panel tool acts on. It owns the panel window, keeps it beside the host window followed
/// by the tracker (sliding it in and out from under the host), repairs its stacking every
/// kHealInterval (giving up after kMaxRepairs repairs without effect, until the host window
/// changes) and probes the running apps every kProbeInterval. GUI thread.
///
/// A probe runs on the object's own pool; its result is tagged with the device it was asked for
/// and dropped when the target changed meanwhile. Destroying the object (at quit) kills a probe's
/// tool rather than waiting for it. Connected devices are never probed (simctl
/// cannot reach them): they get the empty set at once.
class DeviceHubPanel final : public QObject, public PanelTarget {
    Q_OBJECT
public:
    static constexpr double kAnimationDuration = 0.25;
    static constexpr double kHealInterval = 0.5;
    /// Repairs in a row that may fail before the repair waits for the host window to change.
    static constexpr int kMaxRepairs = 3;
    static constexpr double kProbeInterval = 3.0;
    static inline const QString kEnabledKey = QStringLiteral("deviceHubPanel.enabled");
    static inline const QString kCollapsedKey = QStringLiteral("deviceHubPanel.collapsed");

    struct Dependencies {
        DeviceHubTracker& tracker;
        WindowSystem& windows;
        Clock& clock;
        QSettings& defaults;
        /// The user apps of the booted simulators, in inventory order.
        std::function<std::vector<SimulatorApp>()> apps;
        /// Creates the panel window on first show.
        std::function<std::unique_ptr<PanelWindow>()> makeWindow;
        /// `launchctl list` inside a simulator; none on failure. Runs off the GUI thread.
        std::function<std::optional<QByteArray>(const QString& udid)> listLaunchctl;
    };

    explicit DeviceHubPanel(Dependencies dependencies, QObject* parent = nullptr);
    ~DeviceHubPanel() override;

    bool isEnabled() const { return m_isEnabled; }
    void setEnabled(bool enabled);
    bool isCollapsed() const { return m_isCollapsed; }
    void setCollapsed(bool collapsed);
    std::optional<QString> deviceOverride() const { return m_deviceOverride; }
    void setDeviceOverride(const std::optional<QString>& udid);
    const std::set<QString>& runningAppIDs() const { return m_runningAppIDs; }

    std::optional<QString> targetUDID() const;
    std::optional<SimulatorDevice> simulator() const override;
    std::optional<PhysicalDevice> physicalDevice() const override;
    std::vector<SimulatorApp> apps() const;
    std::optional<SimulatorApp> app() const override;
    /// Records the choice for the current target; none removes it.
    void setApp(const std::optional<SimulatorApp>& app);
    /// Records the choice for one device.
    void setAppChoice(const QString& udid, const QString& bundleID);
    std::optional<SimulatorInstall> install() const;
    bool shouldShow() const;

    void start();
    void update();
    void healTick();
    /// One probe of the running apps; `done` runs once it was applied or skipped.
    void pollRunningApps(std::function<void()> done = {});

    PanelWindow* window() const { return m_window.get(); }
    bool isSliding() const { return m_isSliding; }

    /// Bundle IDs of the running apps in `launchctl list` output.
    static std::set<QString> parseLaunchctlAppIDs(const QString& text);

signals:
    void stateChanged();

private:
    void applyFocusRule();
    void slideOut(const QRectF& host);
    void runProbeLoop();
    void scheduleHeal();
    bool probing() const;

    Dependencies m_deps;
    bool m_isEnabled = true;
    bool m_isCollapsed = false;
    std::optional<QString> m_deviceOverride;
    std::map<QString, QString> m_appChoice;
    std::set<QString> m_runningAppIDs;
    std::unique_ptr<PanelWindow> m_window;
    std::optional<QString> m_lastFocus;
    bool m_isSliding = false;
    int m_failedRepairs = 0;
    bool m_started = false;
    std::unique_ptr<ScheduledCall> m_healTimer;
    std::unique_ptr<ScheduledCall> m_nextProbe;
    std::unique_ptr<ScheduledCall> m_retiredHeal;
    std::unique_ptr<ScheduledCall> m_retiredProbe;
    ToolCancellation m_tools;
    QThreadPool m_pool; // last: destroyed first, so no probe outlives the object
};

} // namespace quorvex
