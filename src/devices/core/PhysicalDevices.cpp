#include "devices/core/PhysicalDevices.h"

#include "devices/core/Devicectl.h"
#include "platform/core/Clock.h"
#include "platform/data/SystemClock.h"
#include "tools/Environment.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

namespace quorvex {

PhysicalDevices::PhysicalDevices(Clock& clock, QObject* parent)
    : QObject(parent)
    , m_clock(clock) {}

PhysicalDevices::~PhysicalDevices() = default;

PhysicalDevices& PhysicalDevices::shared() {
    static auto* model = new PhysicalDevices(systemClock());
    return *model;
}

void PhysicalDevices::start() {
    if (isRunningTests())
        return;
    startPolling();
}

void PhysicalDevices::startPolling() {
    if (m_polling)
        return;
    m_polling = true;
    runCycle();
}

template <typename Result>
void PhysicalDevices::offThread(std::function<Result()> work, std::function<void(Result)> done) {
    // The watcher belongs to the model: destroyed with it, it never delivers to a dead model.
    auto* watcher = new QFutureWatcher<Result>(this);
    connect(watcher, &QFutureWatcher<Result>::finished, this, [watcher, done = std::move(done)] {
        watcher->deleteLater();
        done(watcher->result());
    });
    watcher->setFuture(QtConcurrent::run(std::move(work)));
}

void PhysicalDevices::runCycle() {
    m_nextCycle.reset();
    offThread<std::vector<PhysicalDevice>>(
        [] {
            const auto output = listDevices();
            return output ? parseDevices(*output) : std::vector<PhysicalDevice>{};
        },
        [this](std::vector<PhysicalDevice> cycle) { fetchForDevice(std::move(cycle), 0); });
}

// One device at a time, so at most one command of the loop runs at once.
void PhysicalDevices::fetchForDevice(std::vector<PhysicalDevice> cycle, size_t index) {
    if (index == cycle.size()) {
        finishCycle(std::move(cycle));
        return;
    }
    const QString id = cycle[index].id;
    if (!m_capabilities.contains(id)) {
        offThread<std::set<QString>>(
            [id] { return fetchCapabilities(id); },
            [this, cycle = std::move(cycle), index](std::set<QString> result) mutable {
                m_capabilities[cycle[index].id] = std::move(result);
                emit capabilitiesChanged();
                fetchForDevice(std::move(cycle), index);
            });
        return;
    }
    cycle[index].capabilities = m_capabilities[id];
    if (!m_apps.contains(id)) {
        offThread<std::vector<DeviceApp>>(
            [id] { return DeviceApp::listApps(id, true); },
            [this, cycle = std::move(cycle), index](std::vector<DeviceApp> result) mutable {
                m_apps[cycle[index].id] = std::move(result);
                emit appsChanged();
                fetchForDevice(std::move(cycle), index + 1);
            });
        return;
    }
    fetchForDevice(std::move(cycle), index + 1);
}

void PhysicalDevices::finishCycle(std::vector<PhysicalDevice> cycle) {
    std::set<QString> listed;
    for (const PhysicalDevice& device : cycle)
        listed.insert(device.id);
    // A device that left (or a failed list) drops its cached entries, so they are fetched afresh
    // when it comes back.
    const auto unlisted = [&listed](const auto& entry) { return !listed.contains(entry.first); };
    if (std::erase_if(m_apps, unlisted) > 0)
        emit appsChanged();
    if (std::erase_if(m_capabilities, unlisted) > 0)
        emit capabilitiesChanged();
    if (cycle != m_devices) {
        m_devices = std::move(cycle);
        emit devicesChanged();
    }
    emit cycleFinished();
    // The pause runs from the end of this cycle, so a slow tool never makes cycles overlap.
    m_nextCycle = m_clock.schedule(kPollInterval, [this] { runCycle(); });
}

std::optional<QByteArray> PhysicalDevices::listDevices() {
    return devicectl::run({"list", "devices", "--json-output", "-", "-q"});
}

std::vector<PhysicalDevice> PhysicalDevices::parseDevices(const QByteArray& json) {
    const auto entries = devicectl::resultObjects(json, "devices");
    if (!entries)
        return {};
    std::vector<PhysicalDevice> devices;
    for (const auto& entry : *entries) {
        const auto& hardware = devicectl::object(entry, "hardwareProperties");
        const auto& connection = devicectl::object(entry, "connectionProperties");
        const auto& properties = devicectl::object(entry, "deviceProperties");
        if (devicectl::text(hardware, "reality") != QStringLiteral("physical"))
            continue;
        if (devicectl::text(connection, "tunnelState") != QStringLiteral("connected"))
            continue;
        const QString platform = devicectl::text(hardware, "platform").value_or(QString());
        if (platform != QStringLiteral("iOS") && platform != QStringLiteral("iPadOS"))
            continue;
        auto id = devicectl::text(entry, "identifier");
        auto name = devicectl::text(properties, "name");
        if (!id || !name)
            continue;
        devices.push_back({std::move(*id),
                           std::move(*name),
                           devicectl::text(hardware, "marketingName"),
                           devicectl::text(hardware, "productType"),
                           {}});
    }
    return devices;
}

std::set<QString> PhysicalDevices::fetchCapabilities(const QString& deviceID) {
    const auto output = devicectl::run(
        {"device", "info", "details", "--device", deviceID.toStdString(), "--json-output", "-", "-q"});
    return output ? parseCapabilities(*output) : std::set<QString>{};
}

std::set<QString> PhysicalDevices::parseCapabilities(const QByteArray& json) {
    std::set<QString> features;
    if (const auto entries = devicectl::resultObjects(json, "capabilities"))
        for (const auto& entry : *entries)
            if (auto feature = devicectl::text(entry, "featureIdentifier"))
                features.insert(std::move(*feature));
    return features;
}

} // namespace quorvex
