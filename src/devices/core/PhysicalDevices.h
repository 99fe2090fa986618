#pragma once

#include "devices/core/DeviceApp.h"
#include "devices/core/PhysicalDevice.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace quorvex {

class Clock;
class ScheduledCall;

/// The connected iPhones and iPads, their capabilities and their apps with a reachable data
/// container, kept current by polling devicectl. The side panel and the status menu render from
/// it; every device action takes its PhysicalDevice from `devices()`.
///
/// Lifetime and threads: the model lives on the GUI thread and is only read and written there.
/// Each devicectl command runs on the global thread pool and its result comes back through a
/// QFutureWatcher owned by the model, so a model that is destroyed mid-cycle simply never sees the
/// answer (the tool still runs to its end on the pool). One cycle lists the devices, then fetches
/// capabilities and apps once for each device not seen before, one command at a time, prunes what
/// belongs to devices that left, publishes, and schedules the next cycle 8 s after its own end on
/// the Clock. Nothing cancels the loop; it ends with the model.
class PhysicalDevices final : public QObject {
    Q_OBJECT
public:
    static constexpr double kPollInterval = 8.0;

    explicit PhysicalDevices(Clock& clock, QObject* parent = nullptr);
    ~PhysicalDevices() override;

    /// The program's model on the system clock, created on first use.
    static PhysicalDevices& shared();

    const std::vector<PhysicalDevice>& devices() const { return m_devices; }
    const std::map<QString, std::vector<DeviceApp>>& apps() const { return m_apps; }
    const std::map<QString, std::set<QString>>& capabilities() const { return m_capabilities; }

    /// Starts the loop once; does nothing under a test host (isRunningTests) or when started.
    void start();
    /// Starts the loop once, whatever the test-host check says: for tests that drive the loop.
    void startPolling();
    bool isPolling() const { return m_polling; }

    /// Runs `devicectl list devices`; absent when the tool fails.
    static std::optional<QByteArray> listDevices();
    /// The connected physical iOS and iPadOS devices of `list devices` output, in its order.
    static std::vector<PhysicalDevice> parseDevices(const QByteArray& json);
    /// The feature identifiers of a device; empty when the tool fails.
    static std::set<QString> fetchCapabilities(const QString& deviceID);
    static std::set<QString> parseCapabilities(const QByteArray& json);

signals:
    void devicesChanged();
    void appsChanged();
    void capabilitiesChanged();
    /// The end of every cycle, changed or not (before the next one is scheduled).
    void cycleFinished();

private:
    void runCycle();
    void fetchForDevice(std::vector<PhysicalDevice> cycle, size_t index);
    void finishCycle(std::vector<PhysicalDevice> cycle);
    template <typename Result> void offThread(std::function<Result()> work, std::function<void(Result)> done);

    Clock& m_clock;
    bool m_polling = false;
    std::unique_ptr<ScheduledCall> m_nextCycle;
    std::vector<PhysicalDevice> m_devices;
    std::map<QString, std::vector<DeviceApp>> m_apps;
    std::map<QString, std::set<QString>> m_capabilities;
};

} // namespace quorvex
