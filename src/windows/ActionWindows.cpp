#include "windows/ActionWindows.h"

#include "simulator/SimulatorApp.h"
#include "windows/ContentSizedWindow.h"
#include "windows/DeepLinkView.h"
#include "windows/PushView.h"

namespace quorvex {

ActionWindows::ActionWindows(ActionWindowKind kind, SimulatorApps& apps, SimulatorActions& actions,
                             TargetUDID targetUDID, ActionScaffold::Now now, QObject* parent)
    : QObject(parent)
    , m_kind(kind)
    , m_apps(apps)
    , m_actions(actions)
    , m_targetUDID(std::move(targetUDID))
    , m_now(std::move(now)) {}

ActionWindows::~ActionWindows() = default;

QString ActionWindows::title(ActionWindowKind kind) {
    return kind == ActionWindowKind::push ? QStringLiteral("Send Push Notification")
                                          : QStringLiteral("Open URL");
}

void ActionWindows::open(const SimulatorApp& app) {
    m_state.setAppID(app.id);
    const std::optional<QString> target = m_targetUDID ? m_targetUDID() : std::nullopt;
    const SimulatorInstall* chosen = nullptr;
    if (target)
        chosen = app.install(*target);
    if (!chosen && !app.installs.empty())
        chosen = &app.installs.front();
    m_state.setUdid(chosen ? std::optional(chosen->udid) : std::nullopt);

    if (!m_window) {
        QWidget* content = m_kind == ActionWindowKind::push
                               ? static_cast<QWidget*>(new PushView(m_state, m_apps, m_actions, m_now))
                               : static_cast<QWidget*>(new DeepLinkView(m_state, m_apps, m_actions, m_now));
        m_window = ContentSizedWindow::make(title(m_kind), content);
        m_window->setObjectName(m_kind == ActionWindowKind::push ? QStringLiteral("pushWindow")
                                                                 : QStringLiteral("openURLWindow"));
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

} // namespace quorvex
