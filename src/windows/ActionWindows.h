#pragma once

#include "windows/ActionScaffold.h"
#include "windows/ActionWindowState.h"

#include <QObject>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

namespace quorvex {

/// One of the two action windows (send a push, open a URL) with its model. The window is made
/// on the first open and kept, hidden when closed, for the controller's life; the state keeps
/// what the user typed across openings. GUI thread.
class ActionWindows final : public QObject {
    Q_OBJECT
public:
    /// The UDID the tools act on (the window tracker's target), if any.
    using TargetUDID = std::function<std::optional<QString>()>;

    ActionWindows(ActionWindowKind kind, SimulatorApps& apps, SimulatorActions& actions,
                  TargetUDID targetUDID, ActionScaffold::Now now = {}, QObject* parent = nullptr);
    ~ActionWindows() override;

    /// Selects the app and its install on the tracker's target (else its first install), makes
    /// the window on first use and brings it to the front. URL, payload and preset name stay.
    void open(const SimulatorApp& app);

    ActionWindowKind kind() const { return m_kind; }
    ActionWindowState& state() { return m_state; }
    QWidget* window() const { return m_window.get(); }
    static QString title(ActionWindowKind kind);

private:
    ActionWindowKind m_kind;
    SimulatorApps& m_apps;
    SimulatorActions& m_actions;
    TargetUDID m_targetUDID;
    ActionScaffold::Now m_now;
    ActionWindowState m_state;
    std::unique_ptr<QWidget> m_window;
};

} // namespace quorvex
