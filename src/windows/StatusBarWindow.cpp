#include "windows/StatusBarWindow.h"

#include "simulator/Toast.h"
#include "tools/ToolCancellation.h"
#include "windows/ContentSizedWindow.h"
#include "windows/StatusBarView.h"
#include "windows/WindowsLog.h"

#include <QPointer>

namespace quorvex {

StatusBarWindow::StatusBarWindow(Override overrideStatusBar, Clear clearStatusBar, Clock& clock,
                                 QObject* parent)
    : QObject(parent)
    , m_override(std::move(overrideStatusBar))
    , m_clear(std::move(clearStatusBar))
    , m_clock(clock)
    , m_cancellation(std::make_shared<ToolCancellation>()) {
    m_queue.setMaxThreadCount(1);
}

StatusBarWindow::~StatusBarWindow() {
    m_cancellation->cancelForGood();
    m_queue.waitForDone();
}

void StatusBarWindow::show(const std::vector<SimulatorDevice>& devices,
                           const std::optional<SimulatorDevice>& target) {
    m_state.setDevices(devices);
    m_state.setTarget(target ? std::optional(target->udid) : std::nullopt);
    if (!m_window) {
        auto* view = new StatusBarView(*this);
        m_window = ContentSizedWindow::make(QStringLiteral("Status Bar"), view);
        m_window->setObjectName(QStringLiteral("statusBarWindow"));
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

bool StatusBarWindow::canApply() const {
    return !m_state.targetDevices().empty() && m_state.settings().normalizedTime().has_value();
}

void StatusBarWindow::apply() {
    const DeviceTools::StatusBar settings = m_state.settings();
    Override run = m_override;
    runOnTargets(
        m_state.targetDevices(), [run, settings](const QString& udid) { return run(settings, udid); },
        QStringLiteral("Status bar set"));
}

void StatusBarWindow::reset() {
    runOnTargets(m_state.targetDevices(), m_clear, QStringLiteral("Status bar reset"));
}

void StatusBarWindow::cleanPreset() {
    m_state.setSettings(DeviceTools::StatusBar{});
}

void StatusBarWindow::runOnTargets(std::vector<SimulatorDevice> devices,
                                   std::function<bool(const QString& udid)> action, const QString& title) {
    QPointer<StatusBarWindow> self(this);
    m_queue.start([self, devices = std::move(devices), action = std::move(action), title,
                   cancellation = m_cancellation] {
        const ToolCancellation::Scope scope(cancellation.get());
        if (cancellation->isCancelled())
            return;
        QStringList failed;
        for (const SimulatorDevice& device : devices)
            if (!action(device.udid)) {
                qCWarning(windowsLog) << title << "failed on" << device.udid;
                failed << device.name;
            }
        if (!self)
            return;
        // Posted in queue order, so the reports keep the order of the clicks.
        QMetaObject::invokeMethod(
            self.data(),
            [self, devices, failed, title] {
                reportResult(title, devices, failed);
                if (self)
                    emit self->runFinished();
            },
            Qt::QueuedConnection);
    });
}

void StatusBarWindow::reportResult(const QString& title, const std::vector<SimulatorDevice>& actedOn,
                                   const QStringList& failedNames) {
    if (failedNames.isEmpty()) {
        const QString detail = actedOn.size() == 1
                                   ? actedOn.front().name
                                   : QString::number(actedOn.size()) + QStringLiteral(" simulators");
        Toast::show(title, detail, QStringLiteral("checkmark"), false);
        return;
    }
    Toast::show(QStringLiteral("Didn’t work on ") + failedNames.join(QStringLiteral(", ")), std::nullopt,
                QStringLiteral("exclamationmark.triangle"), true);
}

} // namespace quorvex
