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
/// tables, on whatever thread asks; a device held with holdApps() answers its app list only
/// after release(). The commands keep the tables alive, as the real ones hold nothing of their
/// services. Flows record their calls and stay running until finishFlow(), like a real copy.
class FakeDeviceSection final : public DeviceSectionServices, public DeviceFlowsService {
    // What the commands read and write, shared with every command handed out.
    struct Device {
        std::mutex lock;
        bool opens = true;
        std::map<QString, std::vector<DeviceApp>> apps;
        std::atomic<bool> holdOpens = false;
        QSemaphore openGate;
        QStringList opened;
        std::map<QString, std::unique_ptr<QSemaphore>> gates;
    };
    std::shared_ptr<Device> m_device = std::make_shared<Device>();

public:
    ~FakeDeviceSection() override { releaseAll(); }

    /// Lets every held read go, so no worker is left waiting when a test ends early.
    void releaseAll() {
        std::lock_guard lock(m_device->lock);
        for (auto& [id, gate] : m_device->gates)
            gate->release(100);
        m_device->openGate.release(100);
    }

    // Device commands (any thread).
    OpenURL urlOpener() override {
        return [device = m_device](const QString& url, const QString& deviceID) {
            if (device->holdOpens)
                device->openGate.acquire();
            std::lock_guard lock(device->lock);
            device->opened << deviceID + " " + url;
            return device->opens;
        };
    }
    ListApps appLister() override {
        return [device = m_device](const QString& deviceID) {
            QSemaphore* gate = nullptr;
            {
                std::lock_guard lock(device->lock);
                if (const auto found = device->gates.find(deviceID); found != device->gates.end())
                    gate = found->second.get();
            }
            if (gate)
                gate->acquire();
            std::lock_guard lock(device->lock);
            const auto found = device->apps.find(deviceID);
            return found == device->apps.end() ? std::vector<DeviceApp>{} : found->second;
        };
    }
    /// Holds every open until releaseOpens().
    void holdOpens() { m_device->holdOpens = true; }
    void releaseOpens() { m_device->openGate.release(); }
    /// Holds the app lists of `deviceID` until release().
    void holdApps(const QString& deviceID) {
        std::lock_guard lock(m_device->lock);
        m_device->gates[deviceID] = std::make_unique<QSemaphore>();
    }
    void release(const QString& deviceID) {
        std::lock_guard lock(m_device->lock);
        m_device->gates.at(deviceID)->release();
    }
    QStringList opened() {
        std::lock_guard lock(m_device->lock);
        return m_device->opened;
    }

    std::vector<DeviceSnapshot> snapshots(const QString& bundleID) override {
        ++snapshotLists;
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
    std::optional<QString> runningCopy() const override { return std::nullopt; }
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

    bool& opens = m_device->opens; // set before the commands run
    std::map<QString, std::vector<DeviceApp>>& deviceApps = m_device->apps;
    std::map<QString, std::vector<DeviceSnapshot>> savedSnapshots;
    std::optional<QString> snapshotName;
    bool confirmsRestore = true;
    bool deletes = true;
    bool holdDeletes = false; // a delete runs until finishFlow()
    QStringList calls;
    int snapshotLists = 0; // how often the saved snapshots were listed

private:
    QFuture<void> running() {
        auto promise = std::make_unique<QPromise<void>>();
        promise->start();
        QFuture<void> future = promise->future();
        m_running.push_back(std::move(promise));
        return future;
    }

    std::vector<std::unique_ptr<QPromise<void>>> m_running;
};

} // namespace quorvex::test
