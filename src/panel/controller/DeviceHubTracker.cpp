#include "panel/controller/DeviceHubTracker.h"

#include "panel/controller/PanelLog.h"
#include "platform/core/Clock.h"
#include "platform/gui/WindowSystem.h"
#include "tools/ToolPaths.h"
#include "tools/ToolRunner.h"

#include <QCoreApplication>

namespace quorvex {
namespace {

const QString kDeviceHubBundleID = QStringLiteral("com.apple.dt.Devices");
const QString kSimulatorBundleID = QStringLiteral("com.apple.iphonesimulator");

} // namespace

struct DeviceHubTracker::Snapshot {
    std::optional<Host> host;
    bool isFrontmost;
    std::optional<QRectF> windowFrame;
    std::optional<quint64> windowNumber;
    std::optional<QString> focusedUDID;
    bool canReadTitles;
    bool operator==(const Snapshot&) const = default;
};

DeviceHubTracker::DeviceHubTracker(WindowSystem& windows, Clock& clock, DeviceSources devices,
                                   PathOpener openPath, QObject* parent)
    : QObject(parent)
    , m_windows(windows)
    , m_clock(clock)
    , m_devices(std::move(devices))
    , m_openPath(std::move(openPath))
    , m_hostName(windows.knowsApplication(kDeviceHubBundleID) ? QStringLiteral("Device Hub")
                                                              : QStringLiteral("Simulator"))
    , m_canReadTitles(windows.canReadWindowTitles()) {
    if (!m_devices.booted)
        m_devices.booted = [] { return std::vector<SimulatorDevice>(); };
    if (!m_devices.connected)
        m_devices.connected = [] { return std::vector<PhysicalDevice>(); };
}

DeviceHubTracker::~DeviceHubTracker() = default;

QString DeviceHubTracker::bundleID(Host host) {
    return host == Host::deviceHub ? kDeviceHubBundleID : kSimulatorBundleID;
}

DeviceHubTracker::Snapshot DeviceHubTracker::snapshot() const {
    return {m_host, m_isFrontmost, m_windowFrame, m_windowNumber, m_focusedUDID, m_canReadTitles};
}

void DeviceHubTracker::notifyIfChanged(const Snapshot& before) {
    if (snapshot() == before)
        return;
    qCDebug(panelLog) << "host" << (m_host ? bundleID(*m_host) : QStringLiteral("none")) << "frontmost"
                      << m_isFrontmost << "window" << m_windowFrame.value_or(QRectF()) << "focused"
                      << m_focusedUDID.value_or(QString());
    emit stateChanged();
}

void DeviceHubTracker::start() {
    if (m_started)
        return;
    m_started = true;
    // Nothing to follow, and nothing polled for nothing.
    if (const std::optional<QString> reason = m_windows.hiddenWindowsReason()) {
        qCInfo(panelLog).noquote() << "Not following Simulator or Device Hub windows:" << *reason;
        return;
    }
    connect(&m_windows, &WindowSystem::changed, this, &DeviceHubTracker::refresh);
    refresh();
}

void DeviceHubTracker::refresh() {
    const Snapshot before = snapshot();
    const std::optional<WindowSystem::Activation> front = m_windows.frontmostApplication();
    // Our own panel taking the focus is not the user leaving the host.
    const bool passive = front && m_passiveWindows.count(front->window) != 0;
    if (!passive) {
        const QString bundle = front ? front->application.bundleID : QString();
        if (bundle == kDeviceHubBundleID || bundle == kSimulatorBundleID) {
            m_host = bundle == kDeviceHubBundleID ? Host::deviceHub : Host::simulator;
            m_isFrontmost = true;
        } else {
            m_isFrontmost = false;
        }
    }
    const double interval = m_isFrontmost ? kFrontmostPoll : kBackgroundPoll;
    pollOnce();
    if (!m_timer || m_interval != interval) {
        m_interval = interval;
        schedulePoll();
    }
    notifyIfChanged(before);
}

// The safety poll re-reads the frontmost app too: a focus change may come without any event the
// window system reports (or on a system that reports none).
void DeviceHubTracker::schedulePoll() {
    m_timer = m_clock.schedule(*m_interval, [this] {
        m_retired = std::move(m_timer); // still running: destroyed at the next tick
        schedulePoll();
        refresh();
    });
}

void DeviceHubTracker::poll() {
    const Snapshot before = snapshot();
    pollOnce();
    notifyIfChanged(before);
}

void DeviceHubTracker::pollOnce() {
    // A host that quits gives way to the other one, or to none.
    std::optional<WindowSystem::Application> app;
    if (m_host) {
        const auto running = m_windows.runningApplications(bundleID(*m_host));
        if (!running.empty())
            app = running.front();
        else
            m_host.reset();
    }
    if (!m_host) {
        for (Host candidate : {Host::deviceHub, Host::simulator}) {
            const auto running = m_windows.runningApplications(bundleID(candidate));
            if (!running.empty()) {
                m_host = candidate;
                app = running.front();
                break;
            }
        }
    }

    const std::optional<qint64> pid = app ? ownerPID(app->pid, app->name) : std::nullopt;
    if (!m_host || !pid) {
        m_windowFrame.reset();
        m_windowNumber.reset();
        return;
    }
    readHostWindow(*pid, *m_host == Host::simulator);

    const double now = m_clock.now();
    if (now - m_lastTitleRead > kTitleInterval) {
        m_lastTitleRead = now;
        m_titleRetry.reset();
        if (!m_canReadTitles)
            m_canReadTitles = m_windows.canReadWindowTitles();
        if (m_canReadTitles) {
            if (const std::optional<QString> title = m_windows.focusedWindowTitle(*pid)) {
                const auto match = matchDevice(*title, knownDevices(), m_focusedUDID);
                if (match && match->udid != m_focusedUDID)
                    m_focusedUDID = match->udid;
            }
        }
    } else if (!m_titleRetry) {
        // Events can come faster than titles are read; read once more when the limit allows.
        const double wait = m_lastTitleRead + kTitleInterval - now + 0.001;
        m_titleRetry = m_clock.schedule(wait, [this] {
            m_retiredRetry = std::move(m_titleRetry);
            poll();
        });
    }
}

std::optional<qint64> DeviceHubTracker::ownerPID(qint64 appPID, const QString& appName) {
    if (appPID >= 1)
        return appPID;
    if (m_cachedPID && m_windows.isProcessRunning(*m_cachedPID))
        return m_cachedPID;
    m_cachedPID = topmostWindowOwner(appName);
    return m_cachedPID;
}

std::optional<qint64> DeviceHubTracker::topmostWindowOwner(const QString& appName) const {
    QStringList names = {QStringLiteral("Device Hub"), QStringLiteral("DeviceHub"),
                         QStringLiteral("Simulator")};
    if (!appName.isEmpty())
        names << appName;
    const qint64 self = QCoreApplication::applicationPid();
    for (const WindowSystem::Window& window : m_windows.windowList()) {
        if (window.ownerPID && *window.ownerPID != self && names.contains(window.ownerName))
            return window.ownerPID;
    }
    return std::nullopt;
}

void DeviceHubTracker::readHostWindow(qint64 pid, bool simulator) {
    std::vector<CandidateWindow> candidates;
    for (const WindowSystem::Window& window : m_windows.windowList()) {
        if (window.ownerPID != pid || window.layer != 0 || !window.bounds || !window.number)
            continue;
        candidates.push_back({*window.bounds, *window.number});
    }
    const std::optional<CandidateWindow> picked = pickWindow(candidates, simulator);
    if (!picked) {
        m_windowFrame.reset();
        m_windowNumber.reset();
        return;
    }
    const auto screens = m_windows.screens();
    const double height = screens.empty() ? 0.0 : screens.front().frame.height();
    const QRectF& b = picked->bounds;
    m_windowFrame = QRectF(b.x(), height - (b.y() + b.height()), b.width(), b.height());
    m_windowNumber = picked->number;
}

std::vector<SimulatorDevice> DeviceHubTracker::knownDevices() const {
    std::vector<SimulatorDevice> result = m_devices.booted();
    for (const PhysicalDevice& device : m_devices.connected())
        result.push_back({device.id, device.name, std::nullopt});
    return result;
}

std::optional<QString> DeviceHubTracker::targetUDID() const {
    return targetUDID(m_focusedUDID, knownDevices(), m_devices.booted());
}

std::optional<SimulatorDevice> DeviceHubTracker::targetDevice() const {
    const std::optional<QString> udid = targetUDID();
    if (!udid)
        return std::nullopt;
    for (const SimulatorDevice& device : m_devices.booted()) {
        if (device.udid == *udid)
            return device;
    }
    return std::nullopt;
}

void DeviceHubTracker::requestAccessibility() {
    const Snapshot before = snapshot();
    m_canReadTitles = m_windows.requestTitleAccess();
    notifyIfChanged(before);
}

void DeviceHubTracker::openHost() {
    const QString bundle =
        m_hostName == QLatin1String("Device Hub") ? kDeviceHubBundleID : kSimulatorBundleID;
    if (m_windows.openApplication(bundle))
        return;
    const std::optional<QByteArray> output =
        runTool(ToolPaths::xcodeSelect(), QStringList{QStringLiteral("-p")});
    if (!output)
        return;
    const QString developer = QString::fromUtf8(*output).trimmed();
    if (developer.isEmpty() || !m_openPath)
        return;
    m_openPath(std::filesystem::path(developer.toStdString()) / "Applications" / "Simulator.app");
}

std::optional<DeviceHubTracker::CandidateWindow>
DeviceHubTracker::pickWindow(const std::vector<CandidateWindow>& windows, bool simulator) {
    const double threshold = simulator ? 150.0 : 200.0;
    std::optional<CandidateWindow> best;
    for (const CandidateWindow& window : windows) {
        if (!(window.bounds.width() > threshold && window.bounds.height() > threshold))
            continue;
        if (simulator)
            return window;
        const double area = window.bounds.width() * window.bounds.height();
        if (!best || area > best->bounds.width() * best->bounds.height())
            best = window;
    }
    return best;
}

std::optional<SimulatorDevice> DeviceHubTracker::matchDevice(const QString& title,
                                                             const std::vector<SimulatorDevice>& devices,
                                                             const std::optional<QString>& current) {
    const SimulatorDevice* best = nullptr;
    for (const SimulatorDevice& device : devices) {
        if (device.name.isEmpty() || !title.contains(device.name, Qt::CaseInsensitive))
            continue;
        if (!best || device.name.size() > best->name.size())
            best = &device;
    }
    if (!best)
        return std::nullopt;
    std::vector<const SimulatorDevice*> sameName;
    for (const SimulatorDevice& device : devices) {
        if (device.name.compare(best->name, Qt::CaseInsensitive) == 0)
            sameName.push_back(&device);
    }
    if (sameName.size() == 1)
        return *best;
    for (const SimulatorDevice* device : sameName) {
        if (current && device->udid == *current)
            return *device;
    }
    return std::nullopt;
}

std::optional<SimulatorDevice>
DeviceHubTracker::latestBootedSimulator(const std::vector<SimulatorDevice>& devices) {
    const SimulatorDevice* best = nullptr;
    const auto key = [](const SimulatorDevice& d) {
        return d.bootedAt ? d.bootedAt->toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
    };
    for (const SimulatorDevice& device : devices) {
        if (!best || key(device) > key(*best) || (key(device) == key(*best) && device.name > best->name))
            best = &device;
    }
    if (!best)
        return std::nullopt;
    return *best;
}

std::optional<QString> DeviceHubTracker::targetUDID(const std::optional<QString>& focused,
                                                    const std::vector<SimulatorDevice>& known,
                                                    const std::vector<SimulatorDevice>& booted) {
    if (focused) {
        for (const SimulatorDevice& device : known) {
            if (device.udid == *focused)
                return focused;
        }
    }
    if (const auto latest = latestBootedSimulator(booted))
        return latest->udid;
    return std::nullopt;
}

} // namespace quorvex
