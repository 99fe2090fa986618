#pragma once

#include "app/Services.h"
#include "network/plan/NetworkProfile.h"

#include <QStringList>

#include <functional>
#include <vector>

namespace quorvex::test {

/// A network model the test sets by hand; stops and resets wait until the test finishes them.
class FakeNetwork final : public NetworkService {
    Q_OBJECT
public:
    bool active = false;
    bool busy = false;
    QString summaryText;
    std::map<QString, AppNetwork> choices;
    std::vector<HostRule> rules;
    std::optional<QString> error;
    bool approval = false;
    bool proxyAllowance = false;
    SetupObstacle obstacle = SetupObstacle::None;

    int stopRequests = 0;
    std::vector<std::function<void()>> pendingStops;
    QStringList addedHosts;
    QStringList tours;

    /// Changes the state and tells the observers, as the real model does.
    void change(const std::function<void(FakeNetwork&)>& edit) {
        edit(*this);
        emit stateChanged();
    }
    void finishStops() {
        auto stops = std::move(pendingStops);
        pendingStops.clear();
        for (auto& done : stops)
            if (done)
                done();
    }

    bool isActive() const override { return active; }
    QString summary() const override { return summaryText; }
    std::map<QString, AppNetwork> choice() const override { return choices; }
    std::vector<HostRule> hostRules() const override { return rules; }
    bool isBusy() const override { return busy; }
    std::optional<QString> lastError() const override { return error; }
    bool awaitingApproval() const override { return approval; }
    bool awaitingProxyAllowance() const override { return proxyAllowance; }
    SetupObstacle setupObstacle() const override { return obstacle; }
    void toggleHostRule(const QString&) override {}
    void removeHostRule(const QString&) override {}
    bool addHostRule(const QString& text) override {
        addedHosts << text;
        return true;
    }
    void stopProxyForQuit(std::function<void()> done) override {
        ++stopRequests;
        pendingStops.push_back(std::move(done));
    }
    void resetSetup(std::function<void(std::optional<QString>)> done) override { done(std::nullopt); }
    void showSetupGuideTour(const NetworkProfile& profile) override {
        tours << QString::fromStdString(profile.id);
    }
    NetworkProfile profile(const SimulatorApp& app) const override {
        const auto chosen = choices.find(app.id);
        return chosen == choices.end() ? *NetworkProfile::builtIn("unlimited")
                                       : *NetworkProfile::builtIn(chosen->second.profileID.toStdString());
    }
    void setProfile(const NetworkProfile& profile, const SimulatorApp& app) override {
        profileChanges << app.id + " " + QString::fromStdString(profile.id);
    }
    QStringList profileChanges;
};

class FakeDeviceHub final : public DeviceHubService {
public:
    std::optional<SimulatorDevice> target;
    std::optional<QString> focused;
    QString host = QStringLiteral("Simulator");
    bool panelEnabled = true;
    std::vector<bool> panelChanges;
    QStringList panelCalls; // the side-panel commands in order

    std::optional<SimulatorDevice> targetDevice() const override { return target; }
    std::optional<QString> focusedUDID() const override { return focused; }
    QString hostName() const override { return host; }
    void openHost() override { panelCalls << "open host"; }
    bool readsTitles = false;
    int accessibilityRequests = 0;
    bool canReadTitles() const override { return readsTitles; }
    void requestAccessibility() override { ++accessibilityRequests; }
    bool isPanelEnabled() const override { return panelEnabled; }
    std::optional<QString> panelUnavailable;
    std::optional<QString> panelUnavailableReason() const override { return panelUnavailable; }
    void setPanelEnabled(bool enabled) override {
        panelChanges.push_back(enabled);
        panelCalls << (enabled ? "enabled" : "disabled");
    }
    std::optional<QString> targetUDID() const override {
        return target ? std::optional<QString>(target->udid) : focused;
    }
    void setDeviceOverride(const std::optional<QString>& udid) override {
        panelCalls << "override " + udid.value_or("none");
    }
    void setAppChoice(const QString& udid, const QString& bundleID) override {
        panelCalls << "app " + udid + " " + bundleID;
    }
    void setPanelCollapsed(bool collapsed) override { panelCalls << (collapsed ? "collapsed" : "expanded"); }
    void installShortcuts() override {}
    void startPanel() override {}
    std::vector<WindowShortcut> windowShortcuts() const override { return shortcuts; }

    std::vector<WindowShortcut> shortcuts;
};

class RecordingActionWindows final : public ActionWindowsService {
public:
    QStringList calls;
    void openDeepLinkWindow(const SimulatorApp& app) override { calls << "url " + app.id; }
    void openPushWindow(const SimulatorApp& app) override { calls << "push " + app.id; }
    void showStatusBarWindow(const std::vector<SimulatorDevice>&, const SimulatorDevice& target) override {
        calls << "status bar " + target.udid;
    }
    void screenshot(const QString& udid, bool copy) override {
        calls << (copy ? "copy " : "screenshot ") + udid;
    }
};

class FakeDeviceFlows final : public DeviceFlowsService {
public:
    std::vector<PhysicalDevice> connected;
    std::vector<PhysicalDevice> devices() const override { return connected; }
    std::map<QString, std::vector<DeviceApp>> deviceApps;
    std::vector<DeviceApp> apps(const QString& deviceID) const override {
        const auto found = deviceApps.find(deviceID);
        return found == deviceApps.end() ? std::vector<DeviceApp>{} : found->second;
    }
    QStringList calls;
    void showPushWindow(const PhysicalDevice& device) override { calls << "push " + device.id; }
    void screenshot(const PhysicalDevice& device, bool copy) override {
        calls << (copy ? "copy " : "screenshot ") + device.id;
    }
    std::optional<QString> snapshotName; // the prompt's answer
    bool confirmsRestore = false;
    std::optional<QString> promptSnapshotName(const DeviceApp& app, const PhysicalDevice& device) override {
        calls << "prompt " + app.id + " " + device.id;
        return snapshotName;
    }
    QFuture<void> saveSnapshotFlow(const PhysicalDevice& device, const DeviceApp& app,
                                   const QString& name) override {
        calls << "save " + device.id + " " + app.id + " " + name;
        return QtFuture::makeReadyFuture();
    }
    QFuture<void> downloadAppDataFlow(const PhysicalDevice& device, const DeviceApp& app) override {
        calls << "download " + device.id + " " + app.id;
        return QtFuture::makeReadyFuture();
    }
    bool confirmRestoreSnapshot(const DeviceSnapshot& snapshot, const DeviceApp&,
                                const PhysicalDevice&) override {
        calls << "confirm restore " + snapshot.name;
        return confirmsRestore;
    }
    QFuture<void> restoreSnapshotFlow(const DeviceSnapshot& snapshot, const DeviceApp& app,
                                      const PhysicalDevice& device) override {
        calls << "restore " + snapshot.name + " " + app.id + " " + device.id;
        return QtFuture::makeReadyFuture();
    }
    void cancelCopy() override { calls << "cancel copy"; }
    std::optional<QString> runningCopy() const override { return std::nullopt; }
    QFuture<void> deleteSnapshotFlow(const DeviceSnapshot& snapshot, const DeviceApp&,
                                     const PhysicalDevice&) override {
        calls << "delete " + snapshot.name;
        return QtFuture::makeReadyFuture();
    }
};

class FakeCleanupFlows final : public CleanupFlowsService {
public:
    std::vector<QString> folders;
    std::optional<bool> hasBuildData(const QString&) override { return !folders.empty(); }
    QString describe(Target, const std::optional<SimulatorApp>&) const override {
        return QStringLiteral("described");
    }
    void clean(Target, const std::optional<SimulatorApp>&) override {}
    void eraseAppData(const SimulatorApp&) override {}
};

class FakeCleanerWindow final : public CleanerWindowService {
public:
    int shows = 0;
    void show(const std::optional<QString>&, const std::optional<SimulatorApp>&) override { ++shows; }
};

/// One of each, handed out as the program's set.
struct FakeNeighbours {
    FakeNetwork network;
    FakeDeviceHub deviceHub;
    RecordingActionWindows actionWindows;
    FakeDeviceFlows deviceFlows;
    FakeCleanupFlows cleanupFlows;
    FakeCleanerWindow cleanerWindow;

    Services services() {
        return {network, deviceHub, actionWindows, deviceFlows, cleanupFlows, cleanerWindow};
    }
};

} // namespace quorvex::test
