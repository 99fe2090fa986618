#pragma once

#include "devices/core/PhysicalDevice.h"
#include "simulator/SimulatorApp.h"

#include <QObject>
#include <QRectF>

#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace quorvex {

class Clock;
class ScheduledCall;
class WindowSystem;

/// Follows the app that shows the devices (the "host": Device Hub or Simulator): whether it is
/// frontmost, where its main window is, and which device its focused window shows. From that it
/// derives the device every tool acts on (`targetUDID`).
///
/// Event-driven: every `WindowSystem::changed` re-reads the frontmost app and polls once; a slow
/// safety poll (kFrontmostPoll while a host is frontmost, kBackgroundPoll otherwise) does the same
/// and so catches what the system did not announce, a change of frontmost app included. Titles are read at
/// most every kTitleInterval; a change that arrives sooner is picked up by a poll scheduled for the end of
/// that interval. `stateChanged` fires once per poll, and only when an observable value really changed. GUI
/// thread.
class DeviceHubTracker final : public QObject {
    Q_OBJECT
public:
    enum class Host { deviceHub, simulator };

    static constexpr double kFrontmostPoll = 2.0;
    static constexpr double kBackgroundPoll = 5.0;
    static constexpr double kTitleInterval = 0.5;

    /// Where the known devices come from: the booted simulators in inventory order, and the
    /// connected devices in list order.
    struct DeviceSources {
        std::function<std::vector<SimulatorDevice>()> booted;
        std::function<std::vector<PhysicalDevice>()> connected;
    };

    /// One window of the host, as the window list gives it (origin top left, y down).
    struct CandidateWindow {
        QRectF bounds;
        quint64 number = 0;
    };

    using PathOpener = std::function<void(const std::filesystem::path&)>;

    DeviceHubTracker(WindowSystem& windows, Clock& clock, DeviceSources devices, PathOpener openPath = {},
                     QObject* parent = nullptr);
    ~DeviceHubTracker() override;

    static QString bundleID(Host host);

    /// Starts following the host; later calls do nothing.
    void start();
    /// Re-reads the frontmost app and polls once.
    void refresh();
    /// One tick of tracking.
    void poll();

    std::optional<Host> host() const { return m_host; }
    bool isFrontmost() const { return m_isFrontmost; }
    /// The host window's frame with its origin at the bottom left of the first screen, y up.
    std::optional<QRectF> windowFrame() const { return m_windowFrame; }
    std::optional<quint64> windowNumber() const { return m_windowNumber; }
    std::optional<QString> focusedUDID() const { return m_focusedUDID; }
    bool canReadTitles() const { return m_canReadTitles; }
    bool isStarted() const { return m_started; }
    /// The current safety-poll interval; none before start().
    std::optional<double> pollInterval() const { return m_interval; }

    /// The booted simulators, then the connected devices as simulator records.
    std::vector<SimulatorDevice> knownDevices() const;
    std::vector<SimulatorDevice> bootedSimulators() const { return m_devices.booted(); }
    std::vector<PhysicalDevice> connectedDevices() const { return m_devices.connected(); }
    std::optional<QString> targetUDID() const;
    std::optional<SimulatorDevice> targetDevice() const;

    /// "Device Hub" when the desktop knows that app, else "Simulator"; decided at creation.
    QString hostName() const { return m_hostName; }
    void requestAccessibility();
    void openHost();

    /// Our own window that may become active without the host counting as left.
    void addPassiveWindow(quint64 number) { m_passiveWindows.insert(number); }

    // --- rules, public for their tables of cases ---

    /// The host's main window: windows larger than 150 (Simulator) or 200 (Device Hub) points in
    /// both directions; Simulator takes the frontmost, Device Hub the largest (frontmost on a tie).
    static std::optional<CandidateWindow> pickWindow(const std::vector<CandidateWindow>& windows,
                                                     bool simulator);
    /// The device whose name the title contains, the longest name winning (the earlier one among
    /// different names of equal length). Several devices with that very name cannot be told
    /// apart: `current` is kept when it is one of them, else nothing matches.
    static std::optional<SimulatorDevice> matchDevice(const QString& title,
                                                      const std::vector<SimulatorDevice>& devices,
                                                      const std::optional<QString>& current = std::nullopt);
    /// The simulator with the latest boot time (none counts as the distant past), then the name
    /// that sorts last; the first of equal keys.
    static std::optional<SimulatorDevice> latestBootedSimulator(const std::vector<SimulatorDevice>& devices);
    /// The focused device when it is known, else the simulator booted last.
    static std::optional<QString> targetUDID(const std::optional<QString>& focused,
                                             const std::vector<SimulatorDevice>& known,
                                             const std::vector<SimulatorDevice>& booted);

signals:
    /// Some observable value changed.
    void stateChanged();

private:
    struct Snapshot;
    Snapshot snapshot() const;
    void notifyIfChanged(const Snapshot& before);
    void pollOnce();
    void schedulePoll();
    std::optional<qint64> ownerPID(qint64 appPID, const QString& appName);
    std::optional<qint64> topmostWindowOwner(const QString& appName) const;
    void readHostWindow(qint64 pid, bool simulator);

    WindowSystem& m_windows;
    Clock& m_clock;
    DeviceSources m_devices;
    PathOpener m_openPath;
    QString m_hostName;

    std::optional<Host> m_host;
    bool m_isFrontmost = false;
    std::optional<QRectF> m_windowFrame;
    std::optional<quint64> m_windowNumber;
    std::optional<QString> m_focusedUDID;
    bool m_canReadTitles = false;
    bool m_started = false;
    std::optional<qint64> m_cachedPID;
    double m_lastTitleRead = -std::numeric_limits<double>::infinity();
    std::optional<double> m_interval;
    std::unique_ptr<ScheduledCall> m_timer;
    std::unique_ptr<ScheduledCall> m_titleRetry;
    // A call may not destroy itself while it runs; it is parked here until the next one runs.
    std::unique_ptr<ScheduledCall> m_retired;
    std::unique_ptr<ScheduledCall> m_retiredRetry;
    std::set<quint64> m_passiveWindows;
};

} // namespace quorvex
