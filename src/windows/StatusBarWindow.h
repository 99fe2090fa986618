#pragma once

#include "platform/data/SystemClock.h"
#include "simulator/DeviceTools.h"
#include "windows/StatusBarState.h"

#include <QObject>
#include <QStringList>
#include <QThreadPool>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quorvex {

class ToolCancellation;

/// The "Status Bar" window: a form and preview of a status-bar override, applied to one running
/// simulator or all of them, and a reset of all overrides. GUI thread.
///
/// The tool runs of Apply and Reset go to one serial queue per window, in click order, so a
/// Reset clicked after an Apply always runs after it and the simulators end in the state of the
/// last click; each click reports its own outcome in a toast, in the same order. The queue's
/// thread gets copies of the settings and the list, never the state. The destructor kills the
/// tool run in progress and skips the queued ones, so quitting never waits on simctl; their
/// reports are dropped.
class StatusBarWindow final : public QObject {
    Q_OBJECT
public:
    using Override = std::function<bool(const DeviceTools::StatusBar& statusBar, const QString& udid)>;
    using Clear = std::function<bool(const QString& udid)>;

    /// The clock drives the preview's animations.
    explicit StatusBarWindow(Override overrideStatusBar = &DeviceTools::overrideStatusBar,
                             Clear clearStatusBar = &DeviceTools::clearStatusBar,
                             Clock& clock = systemClock(), QObject* parent = nullptr);
    ~StatusBarWindow() override;

    /// Lists the simulators, preselects `target` (none: all), makes the window on first use and
    /// brings it to the front.
    void show(const std::vector<SimulatorDevice>& devices, const std::optional<SimulatorDevice>& target);
    void apply();
    void reset();
    /// Fills the form with the clean values (9:41, full signal, full battery); sends nothing.
    void cleanPreset();

    StatusBarState& state() { return m_state; }
    Clock& clock() { return m_clock; }
    QWidget* window() const { return m_window.get(); }
    /// Apply is possible: a simulator to act on and a valid time.
    bool canApply() const;

    /// The outcome toast of one run: the title with the one simulator's name or "<n> simulators"
    /// as detail, or "Didn’t work on <names>" when some failed.
    static void reportResult(const QString& title, const std::vector<SimulatorDevice>& actedOn,
                             const QStringList& failedNames);

signals:
    /// One run (Apply or Reset) has reported.
    void runFinished();

private:
    void runOnTargets(std::vector<SimulatorDevice> devices, std::function<bool(const QString& udid)> action,
                      const QString& title);

    Override m_override;
    Clear m_clear;
    Clock& m_clock;
    StatusBarState m_state;
    std::unique_ptr<QWidget> m_window;
    std::shared_ptr<ToolCancellation> m_cancellation;
    QThreadPool m_queue;
};

} // namespace quorvex
