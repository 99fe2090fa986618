#pragma once

#include "devices/core/DeviceFlowsService.h"
#include "panel/sections/DeviceSectionServices.h"

#include <QFuture>
#include <QPromise>
#include <QSemaphore>
#include <QStringList>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>

namespace quorvex::test {

/// The device support as the panel's device sections see it. Opens and app lists answer from
/// tables, on whatever thread asks; a device in `slowDevices` answers its app list only after
/// release(). Flows record their calls and stay running until finishFlow(), like a real copy.
class FakeDeviceSection final : public DeviceSectionServices, public DeviceFlowsService {
public:
    ~FakeDeviceSection() override { releaseAll(); }

    /// Lets every held read go, so no worker is left waiting when a test ends early.
    void releaseAll() {
        std::lock_guard lock(m_lock);
        for (auto& [id, gate] : m_gates)
            gate->release(100);
        m_openGate.release(100);
    }

    // Device commands (any thread).
    bool openURL(const QString& url, const QString& deviceID) override {
        if (m_holdOpens)
            m_openGate.acquire();
        std::lock_guard lock(m_lock);
        m_opened << deviceID + " " + url;
        return opens;
    }
    std::vector<DeviceApp> listApps(const QString& deviceID) override {
        QSemaphore* gate = nullptr;
        {
            std::lock_guard lock(m_lock);
            if (const auto found = m_gates.find(deviceID); found != m_gates.end())
                gate = found->second.get();
        }
        if (gate)
            gate->acquire();
        std::lock_guard lock(m_lock);
        const auto found = deviceApps.find(deviceID);
        return found == deviceApps.end() ? std::vector<DeviceApp>{} : found->second;
    }
    /// Holds every open until releaseOpens().
    void holdOpens() { m_holdOpens = true; }
    void releaseOpens() { m_openGate.release(); }
    /// Holds the app lists of `deviceID` until release().
    void holdApps(const QString& deviceID) {
        std::lock_guard lock(m_lock);
        m_gates[deviceID] = std::make_unique<QSemaphore>();
    }
    void release(const QString& deviceID) {
        std::lock_guard lock(m_lock);
        m_gates.at(deviceID)->release();
    }
    QStringList opened() {
        std::lock_guard lock(m_lock);
        return m_opened;
    }

    std::vector<DeviceSnapshot> snapshots(const QString& bundleID) override {
        const auto found = savedSnapshots.find(bundleID);
        return found == savedSnapshots.end() ? std::vector<DeviceSnapshot>{} : found->second;
    }
    DeviceFlowsService& flows() override { return *this; }

    // Flows (GUI thread).
    std::vector<PhysicalDevice> devices() const override { return {}; }
    std::vector<DeviceApp> apps(const QString&) const override { return {}; }
    void showPushWindow(const PhysicalDevice& device) override { calls << "push " + device.id; }
    void screenshot(const PhysicalDevice&, bool) override {}
    std::optional<QString> promptSnapshotName(const DeviceApp& app, const PhysicalDevice& device) override {
        calls << "prompt " + app.id + " " + device.id;
        return snapshotName;
    }
    QFuture<void> saveSnapshotFlow(const PhysicalDevice& device, const DeviceApp& app,
                                   const QString& name) override {
        calls << "save " + device.id + " " + app.id + " " + name;
        return running();
    }
    QFuture<void> downloadAppDataFlow(const PhysicalDevice& device, const DeviceApp& app) override {
        calls << "download " + device.id + " " + app.id;
        return running();
    }
    bool confirmRestoreSnapshot(const DeviceSnapshot& snapshot, const DeviceApp& app,
                                const PhysicalDevice& device) override {
        calls << "confirm " + snapshot.name + " " + app.id + " " + device.id;
        return confirmsRestore;
    }
    QFuture<void> restoreSnapshotFlow(const DeviceSnapshot& snapshot, const DeviceApp& app,
                                      const PhysicalDevice& device) override {
        calls << "restore " + snapshot.name + " " + app.id + " " + device.id;
        return running();
    }
    void cancelCopy() override { calls << "cancel copy"; }
    QFuture<void> deleteSnapshotFlow(const DeviceSnapshot& snapshot, const DeviceApp& app,
                                     const PhysicalDevice& device) override {
        calls << "delete " + snapshot.name + " " + app.id + " " + device.id;
        if (deletes) {
            auto& list = savedSnapshots[app.id];
            std::erase_if(list, [&](const DeviceSnapshot& each) { return each.id == snapshot.id; });
        }
        return holdDeletes ? running() : QtFuture::makeReadyFuture();
    }
    /// Ends the flow started first among those still running.
    void finishFlow() {
        m_running.front()->finish();
        m_running.erase(m_running.begin());
    }

    bool opens = true;
    std::map<QString, std::vector<DeviceApp>> deviceApps;
    std::map<QString, std::vector<DeviceSnapshot>> savedSnapshots;
    std::optional<QString> snapshotName;
    bool confirmsRestore = true;
    bool deletes = true;
    bool holdDeletes = false; // a delete runs until finishFlow()
    QStringList calls;

private:
    QFuture<void> running() {
        auto promise = std::make_unique<QPromise<void>>();
        promise->start();
        QFuture<void> future = promise->future();
        m_running.push_back(std::move(promise));
        return future;
    }

    std::atomic<bool> m_holdOpens = false;
    QSemaphore m_openGate;
    std::mutex m_lock;
    QStringList m_opened;
    std::map<QString, std::unique_ptr<QSemaphore>> m_gates;
    std::vector<std::unique_ptr<QPromise<void>>> m_running;
};

} // namespace quorvex::test
