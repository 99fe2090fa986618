#include "panel/controller/DeviceHubPanel.h"

#include "panel/controller/DeviceHubTracker.h"
#include "panel/controller/PanelLog.h"
#include "panel/controller/PanelPlacement.h"
#include "platform/core/Clock.h"
#include "platform/gui/WindowSystem.h"
#include "tools/Environment.h"
#include "tools/ToolCancellation.h"

#include <QFuture>
#include <QPointer>
#include <QSettings>
#include <QtConcurrent/QtConcurrentRun>

namespace quorvex {

DeviceHubPanel::DeviceHubPanel(Dependencies dependencies, QObject* parent)
    : QObject(parent)
    , m_deps(std::move(dependencies)) {
    m_pool.setMaxThreadCount(1);
    // Absent, or anything but a Bool, means on.
    const QVariant enabled = m_deps.defaults.value(kEnabledKey);
    m_isEnabled = enabled.typeId() == QMetaType::Bool ? enabled.toBool() : true;
    m_isCollapsed = m_deps.defaults.value(kCollapsedKey).toBool();
    if (!m_deps.apps)
        m_deps.apps = [] { return std::vector<SimulatorApp>(); };
}

DeviceHubPanel::~DeviceHubPanel() {
    // At quit a probe still running is ended, not waited for.
    m_pool.clear();
    m_tools.cancelForGood();
    m_pool.waitForDone();
}

void DeviceHubPanel::setEnabled(bool enabled) {
    const bool changed = enabled != m_isEnabled;
    m_isEnabled = enabled;
    m_deps.defaults.setValue(kEnabledKey, enabled);
    if (changed)
        emit stateChanged();
    update();
}

void DeviceHubPanel::setCollapsed(bool collapsed) {
    const bool changed = collapsed != m_isCollapsed;
    m_isCollapsed = collapsed;
    m_deps.defaults.setValue(kCollapsedKey, collapsed);
    if (changed)
        emit stateChanged();
    update();
}

void DeviceHubPanel::setDeviceOverride(const std::optional<QString>& udid) {
    if (udid == m_deviceOverride)
        return;
    m_deviceOverride = udid;
    emit stateChanged();
}

std::optional<QString> DeviceHubPanel::targetUDID() const {
    if (m_deviceOverride) {
        for (const SimulatorDevice& device : m_deps.tracker.bootedSimulators()) {
            if (device.udid == *m_deviceOverride)
                return m_deviceOverride;
        }
        for (const PhysicalDevice& device : m_deps.tracker.connectedDevices()) {
            if (device.id == *m_deviceOverride)
                return m_deviceOverride;
        }
    }
    return m_deps.tracker.targetUDID();
}

std::optional<SimulatorDevice> DeviceHubPanel::simulator() const {
    const std::optional<QString> udid = targetUDID();
    if (!udid)
        return std::nullopt;
    for (const SimulatorDevice& device : m_deps.tracker.bootedSimulators()) {
        if (device.udid == *udid)
            return device;
    }
    return std::nullopt;
}

std::optional<PhysicalDevice> DeviceHubPanel::physicalDevice() const {
    const std::optional<QString> udid = targetUDID();
    if (!udid)
        return std::nullopt;
    for (const PhysicalDevice& device : m_deps.tracker.connectedDevices()) {
        if (device.id == *udid)
            return device;
    }
    return std::nullopt;
}

std::vector<SimulatorApp> DeviceHubPanel::apps() const {
    const std::optional<QString> udid = targetUDID();
    std::vector<SimulatorApp> result;
    if (!udid)
        return result;
    for (const SimulatorApp& app : m_deps.apps()) {
        if (std::find(app.devices.begin(), app.devices.end(), *udid) != app.devices.end())
            result.push_back(app);
    }
    return result;
}

std::optional<SimulatorApp> DeviceHubPanel::app() const {
    const std::optional<QString> udid = targetUDID();
    const std::vector<SimulatorApp> candidates = apps();
    if (udid) {
        const auto choice = m_appChoice.find(*udid);
        if (choice != m_appChoice.end()) {
            for (const SimulatorApp& app : candidates) {
                if (app.id == choice->second)
                    return app;
            }
        }
    }
    if (candidates.empty())
        return std::nullopt;
    for (const SimulatorApp& app : candidates) {
        if (m_runningAppIDs.count(app.id))
            return app;
    }
    return candidates.front();
}

void DeviceHubPanel::setApp(const std::optional<SimulatorApp>& app) {
    const std::optional<QString> udid = targetUDID();
    if (!udid)
        return;
    if (app)
        setAppChoice(*udid, app->id);
    else if (m_appChoice.erase(*udid))
        emit stateChanged();
}

void DeviceHubPanel::setAppChoice(const QString& udid, const QString& bundleID) {
    auto& entry = m_appChoice[udid];
    if (entry == bundleID)
        return;
    entry = bundleID;
    emit stateChanged();
}

std::optional<SimulatorInstall> DeviceHubPanel::install() const {
    const std::optional<SimulatorApp> current = app();
    const std::optional<QString> udid = targetUDID();
    if (!current || !udid)
        return std::nullopt;
    for (const SimulatorInstall& install : current->installs) {
        if (install.udid == *udid)
            return install;
    }
    return std::nullopt;
}

bool DeviceHubPanel::shouldShow() const {
    return m_isEnabled && m_deps.tracker.windowFrame() && m_deps.tracker.windowNumber() && !isRunningTests();
}

void DeviceHubPanel::start() {
    if (m_started)
        return;
    m_started = true;
    m_deps.tracker.start();
    if (m_deps.windows.hiddenWindowsReason())
        return; // it could never be placed: no repairs, no probes
    connect(&m_deps.tracker, &DeviceHubTracker::stateChanged, this, [this] {
        m_failedRepairs = 0; // a new situation: repairs may work again
        update();
    });
    connect(&m_deps.tracker, &DeviceHubTracker::stateChanged, this, &DeviceHubPanel::stateChanged);
    update();
    runProbeLoop();
    scheduleHeal();
}

// Each repair call re-arms the next one and parks itself while it runs: a call may not destroy
// itself.
void DeviceHubPanel::scheduleHeal() {
    m_healTimer = m_deps.clock.schedule(kHealInterval, [this] {
        m_retiredHeal = std::move(m_healTimer);
        scheduleHeal();
        healTick();
    });
}

void DeviceHubPanel::applyFocusRule() {
    const std::optional<QString> focus = m_deps.tracker.focusedUDID();
    if (focus != m_lastFocus) {
        m_lastFocus = focus;
        setDeviceOverride(std::nullopt);
    }
}

void DeviceHubPanel::update() {
    applyFocusRule();
    const std::optional<QRectF> host = m_deps.tracker.windowFrame();
    const std::optional<quint64> hostNumber = m_deps.tracker.windowNumber();
    if (shouldShow() && host && hostNumber) {
        if (!m_window) {
            m_window = m_deps.makeWindow();
            m_deps.tracker.addPassiveWindow(m_window->number());
        }
        const QRectF target = PanelPlacement::panelFrame(*host, m_isCollapsed, m_deps.windows.screens());
        const bool overlapping = target.intersects(*host);
        if (!m_window->isVisible()) {
            if (const std::optional<QRectF> start = PanelPlacement::behindHostFrame(target, *host)) {
                m_window->setFrame(*start);
                m_window->setAlpha(1);
                m_window->order(WindowSystem::Order::Below, *hostNumber);
            } else {
                m_window->setFrame(target);
                m_window->setAlpha(0);
                m_window->order(WindowSystem::Order::Above, *hostNumber);
            }
            m_isSliding = true;
            QPointer<DeviceHubPanel> self(this);
            m_window->animate(target, 1.0, kAnimationDuration, PanelWindow::Easing::easeOut, [self] {
                if (!self)
                    return;
                self->m_isSliding = false;
                self->update();
            });
            return;
        }
        if (m_isSliding)
            return;
        if (m_window->frame() != target)
            m_window->setFrame(target);
        m_window->order(overlapping ? WindowSystem::Order::Above : WindowSystem::Order::Below, *hostNumber);
        return;
    }
    if (!m_isEnabled && host && m_window && m_window->isVisible()) {
        slideOut(*host);
        return;
    }
    if (m_isSliding)
        return;
    if (m_window)
        m_window->orderOut();
}

void DeviceHubPanel::slideOut(const QRectF& host) {
    if (m_isSliding)
        return;
    const std::optional<QRectF> end = PanelPlacement::behindHostFrame(m_window->frame(), host);
    m_isSliding = true;
    QPointer<DeviceHubPanel> self(this);
    auto done = [self] {
        if (!self)
            return;
        self->m_window->orderOut();
        self->m_window->setAlpha(1);
        self->m_isSliding = false;
        self->update();
    };
    if (end)
        m_window->animate(*end, std::nullopt, kAnimationDuration, PanelWindow::Easing::easeIn, done);
    else
        m_window->animate(std::nullopt, 0.0, kAnimationDuration, PanelWindow::Easing::easeIn, done);
}

void DeviceHubPanel::healTick() {
    if (!shouldShow() || m_isSliding)
        return;
    if (!m_window || !m_window->isVisible()) {
        update();
        return;
    }
    const std::optional<QRectF> host = m_deps.tracker.windowFrame();
    const std::optional<quint64> hostNumber = m_deps.tracker.windowNumber();
    if ((host && m_window->frame().intersects(*host)) ||
        (hostNumber && PanelPlacement::isDirectlyBehindHost(m_deps.windows.windowList(), m_window->number(),
                                                            *hostNumber))) {
        m_failedRepairs = 0;
        return;
    }
    // A desktop that ignores the restack would be asked twice a second for ever.
    if (m_failedRepairs >= kMaxRepairs)
        return;
    if (++m_failedRepairs == kMaxRepairs)
        qCInfo(panelLog) << "the desktop does not put the side panel under the host window; repairs stop";
    update();
}

bool DeviceHubPanel::probing() const {
    return shouldShow() && m_deps.tracker.isFrontmost() && targetUDID().has_value();
}

void DeviceHubPanel::runProbeLoop() {
    QPointer<DeviceHubPanel> self(this);
    pollRunningApps([self] {
        if (!self)
            return;
        self->m_retiredProbe = std::move(self->m_nextProbe);
        self->m_nextProbe = self->m_deps.clock.schedule(kProbeInterval, [self] {
            if (self)
                self->runProbeLoop();
        });
    });
}

void DeviceHubPanel::pollRunningApps(std::function<void()> done) {
    const auto finish = [this, done](const QString& udid, std::set<QString> found) {
        // A probe answers for the device it asked; a target that moved on meanwhile keeps its set.
        if (targetUDID() == udid && found != m_runningAppIDs) {
            m_runningAppIDs = std::move(found);
            emit stateChanged();
        }
        if (done)
            done();
    };
    if (!probing()) {
        if (done)
            done();
        return;
    }
    const QString udid = *targetUDID();
    if (physicalDevice()) {
        finish(udid, {});
        return;
    }
    auto list = m_deps.listLaunchctl;
    QtConcurrent::run(&m_pool, [list, udid, &tools = m_tools] {
        ToolCancellation::Scope scope(&tools);
        return list ? list(udid) : std::optional<QByteArray>();
    }).then(this, [finish, udid](const std::optional<QByteArray>& output) {
        finish(udid, parseLaunchctlAppIDs(output ? QString::fromUtf8(*output) : QString()));
    });
}

std::set<QString> DeviceHubPanel::parseLaunchctlAppIDs(const QString& text) {
    static const QString prefix = QStringLiteral("UIKitApplication:");
    std::set<QString> result;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() < 3)
            continue;
        QString pid = fields[0];
        while (!pid.isEmpty() && (pid.front() == QLatin1Char(' ') || pid.front() == QLatin1Char('\t')))
            pid.remove(0, 1);
        while (!pid.isEmpty() && (pid.back() == QLatin1Char(' ') || pid.back() == QLatin1Char('\t')))
            pid.chop(1);
        QString digits = pid;
        if (digits.startsWith(QLatin1Char('+')) || digits.startsWith(QLatin1Char('-')))
            digits.remove(0, 1);
        if (digits.isEmpty() ||
            !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
            continue;
        const QString& label = fields[2];
        if (!label.startsWith(prefix))
            continue;
        QString bundleID = label.mid(prefix.size());
        const qsizetype bracket = bundleID.indexOf(QLatin1Char('['));
        if (bracket >= 0)
            bundleID.truncate(bracket);
        if (!bundleID.isEmpty())
            result.insert(bundleID);
    }
    return result;
}

} // namespace quorvex
