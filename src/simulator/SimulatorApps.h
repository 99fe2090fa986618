#pragma once

#include "simulator/SimulatorApp.h"

#include <QFuture>
#include <QHash>
#include <QObject>
#include <QPixmap>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <vector>

namespace quorvex {

class Clock;
class ScheduledCall;

/// The program's picture of the booted simulators and the user apps installed on them, asked
/// of `simctl` every 10 seconds and published to the menus, the panel and the windows.
///
/// Lives on the GUI thread. Each refresh runs `scan()` on the object's own thread pool and
/// comes back by a queued call; `appsChanged` and `devicesChanged` fire only when that list
/// really changed. Refreshes may overlap (the loop and an on-demand one after an install), so
/// each carries the number of its start: a result never replaces one from a later-started scan,
/// or a loop scan begun before an install could hide the new app until the next round. The
/// loop waits 10 s on the Clock after each refresh has published. The destructor waits for the
/// scans still running and drops their results.
class SimulatorApps final : public QObject {
    Q_OBJECT
public:
    struct ScanResult {
        std::vector<SimulatorApp> apps;
        std::vector<SimulatorDevice> devices;
    };
    using Scanner = std::function<ScanResult()>;

    static constexpr double kRefreshInterval = 10.0;

    /// The process-wide instance on the system clock, created on first use with its refresh
    /// loop running. Never released.
    static SimulatorApps& shared();

    /// An instance with no loop running (tests; the shared one starts its loop). `scanner`
    /// replaces scan() for tests that must order overlapping scans.
    explicit SimulatorApps(Clock& clock, Scanner scanner = &SimulatorApps::scan, QObject* parent = nullptr);
    ~SimulatorApps() override;

    /// Refreshes now and then every kRefreshInterval seconds after the previous refresh ended.
    void startRefreshLoop();

    /// User apps, sorted by name (case-insensitive, in the user's locale).
    const std::vector<SimulatorApp>& apps() const { return m_apps; }
    /// Booted simulators, sorted by name in code-point order.
    const std::vector<SimulatorDevice>& devices() const { return m_devices; }

    /// Scans once and publishes. The future finishes on the GUI thread once the lists are
    /// published, or once a later-started scan has published in their place.
    QFuture<void> refresh();

    /// The app's 16 x 16 rounded icon (or the "app.dashed" symbol), cached by ID and icon path
    /// for the life of the object. GUI thread.
    QPixmap icon(const SimulatorApp& app);

    /// Runs `simctl list` and `simctl listapps` and builds both lists. Any thread; touches no
    /// object state. Failures give empty lists, or a simulator without apps.
    static ScanResult scan();

    /// The icon file of the app bundle at `bundle`: its primary icon files from Info.plist (the
    /// last one first, @3x, @2x, then plain), else its largest "AppIcon*.png".
    static std::optional<std::filesystem::path> iconPath(const std::filesystem::path& bundle);

    /// When the simulator booted: the modification time of its data/var/run/syslog.pid.
    static std::optional<QDateTime> bootedAt(const QString& udid);

signals:
    void appsChanged();
    void devicesChanged();

private:
    QFuture<void> startScan(bool loopRound);
    void publish(quint64 generation, ScanResult result);

    Clock& m_clock;
    Scanner m_scanner;
    std::vector<SimulatorApp> m_apps;
    std::vector<SimulatorDevice> m_devices;
    QHash<QString, QPixmap> m_iconCache;
    quint64 m_started = 0;   // number of the last scan started
    quint64 m_published = 0; // number of the scan whose result is shown
    bool m_loopRunning = false;
    std::unique_ptr<ScheduledCall> m_nextRound;
    QThreadPool m_pool; // last: destroyed first, so no scan outlives the object
};

} // namespace quorvex
