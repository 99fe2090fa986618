#pragma once

#include "devices/DeviceApp.h"
#include "devices/DeviceSnapshot.h"
#include "devices/PhysicalDevice.h"
#include "simulator/SimulatorApp.h"

#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <optional>
#include <vector>

// What the menu-bar frame uses of the subsystems around it: the network model and setup guide,
// the window tracker and side panel, the action windows, the connected-device flows, the cleanup
// flows and the cleaner window. Each is a small interface; until its subsystem lands, a
// provisional implementation in app/provisional/ stands in for it and keeps the menu truthful
// (nothing listed that cannot be acted on, a toast where a feature does not exist yet).

namespace quorvex {

struct NetworkProfile;

/// The network model, the proxy controller and the setup guide. GUI thread.
class NetworkService : public QObject {
    Q_OBJECT
public:
    /// One app's remembered network choice.
    struct AppNetwork {
        SimulatorApp app;
        QString profileID;
    };
    struct HostRule {
        QString host;
        bool enabled = true;
        bool operator==(const HostRule&) const = default;
    };

    using QObject::QObject;

    /// Some app is shaped or some host is blocked.
    virtual bool isActive() const = 0;
    /// One line on the active configuration ("Edge · 2 blocked hosts").
    virtual QString summary() const = 0;
    /// Bundle ID -> remembered choice.
    virtual std::map<QString, AppNetwork> choice() const = 0;
    virtual std::vector<HostRule> hostRules() const = 0;
    /// A network change is being applied to the extension.
    virtual bool isBusy() const = 0;
    virtual std::optional<QString> lastError() const = 0;
    virtual bool awaitingApproval() const = 0;

    /// Asks the extension to stop its tunnel; `done` runs (on the GUI thread) once the stop has
    /// been requested. Never fails.
    virtual void stopProxyForQuit(std::function<void()> done) = 0;
    /// Stops and removes every saved proxy configuration and asks for the extension's
    /// deactivation; `done` gets the error's description on failure.
    virtual void resetSetup(std::function<void(std::optional<QString> error)> done) = 0;
    /// Flips the rule of `host` on or off; no such rule: nothing changes.
    virtual void toggleHostRule(const QString& host) = 0;
    virtual void removeHostRule(const QString& host) = 0;
    /// Adds the host of the typed text as an enabled rule (replacing one of the same host);
    /// false, changing nothing, when the text is no host name.
    virtual bool addHostRule(const QString& text) = 0;
    /// Switches the setup guide to its tour with `profile`, from the start, and shows its window.
    virtual void showSetupGuideTour(const NetworkProfile& profile) = 0;
    /// The profile chosen for the app, or the built-in "unlimited" one when none is stored.
    virtual NetworkProfile profile(const SimulatorApp& app) const = 0;
    /// Stores the app's choice ("unlimited" removes it) and starts applying the configuration.
    virtual void setProfile(const NetworkProfile& profile, const SimulatorApp& app) = 0;

signals:
    /// Any of the values above changed.
    void stateChanged();
};

/// The window tracker, the window shortcuts and the side panel. GUI thread.
class DeviceHubService {
public:
    virtual ~DeviceHubService() = default;
    /// The booted simulator the tools act on.
    virtual std::optional<SimulatorDevice> targetDevice() const = 0;
    /// The simulator shown in the focused host window, when the tracker can tell.
    virtual std::optional<QString> focusedUDID() const = 0;
    /// "Simulator" or "Device Hub".
    virtual QString hostName() const = 0;
    virtual void openHost() = 0;
    /// The tracker may read window titles (it has accessibility access).
    virtual bool canReadTitles() const = 0;
    /// Asks the user for accessibility access.
    virtual void requestAccessibility() = 0;
    virtual bool isPanelEnabled() const = 0;
    virtual void setPanelEnabled(bool enabled) = 0;
    /// The focused device when it is a booted simulator or a connected device, else the
    /// simulator booted last; none when nothing runs.
    virtual std::optional<QString> targetUDID() const = 0;
    /// The device the side panel shows instead of the tracker's target (none: the target).
    virtual void setDeviceOverride(const std::optional<QString>& udid) = 0;
    /// Selects the app the side panel shows for one device.
    virtual void setAppChoice(const QString& udid, const QString& bundleID) = 0;
    virtual void setPanelCollapsed(bool collapsed) = 0;
    /// Launch: the window-scoped shortcuts, then the panel.
    virtual void installShortcuts() = 0;
    virtual void startPanel() = 0;
};

/// The deep-link and push windows, the status-bar window and screenshots. GUI thread.
class ActionWindowsService {
public:
    virtual ~ActionWindowsService() = default;
    virtual void openDeepLinkWindow(const SimulatorApp& app) = 0;
    virtual void openPushWindow(const SimulatorApp& app) = 0;
    virtual void showStatusBarWindow(const std::vector<SimulatorDevice>& devices,
                                     const SimulatorDevice& target) = 0;
    virtual void screenshot(const QString& udid, bool copy) = 0;
};

/// The connected-device flows. GUI thread.
class DeviceFlowsService {
public:
    virtual ~DeviceFlowsService() = default;
    /// The devices the menu lists (each with its actions).
    virtual std::vector<PhysicalDevice> devices() const = 0;
    /// The apps known for a device (those with a reachable data container), by name.
    virtual std::vector<DeviceApp> apps(const QString& deviceID) const = 0;
    virtual void showPushWindow(const PhysicalDevice& device) = 0;
    /// Takes a screenshot of the device with the user's screenshot settings; `copy` puts it on
    /// the clipboard only. Reported in its own toasts.
    virtual void screenshot(const PhysicalDevice& device, bool copy) = 0;

    // A device app's data. The flows test and hold the program-wide busy flag themselves and
    // report with their own toasts.
    /// Asks for a snapshot name; nothing when the user cancelled.
    virtual std::optional<QString> promptSnapshotName(const DeviceApp& app) = 0;
    virtual void saveSnapshotFlow(const PhysicalDevice& device, const DeviceApp& app,
                                  const QString& name) = 0;
    /// Copies the app's data off the device into a new folder and reveals it.
    virtual void downloadAppDataFlow(const PhysicalDevice& device, const DeviceApp& app) = 0;
    /// Asks whether to restore the snapshot over the app's current data.
    virtual bool confirmRestoreSnapshot(const DeviceSnapshot& snapshot, const DeviceApp& app,
                                        const PhysicalDevice& device) = 0;
    virtual void restoreSnapshotFlow(const DeviceSnapshot& snapshot, const DeviceApp& app,
                                     const PhysicalDevice& device) = 0;
    /// Confirms, then deletes the saved snapshot.
    virtual void deleteSnapshotFlow(const DeviceSnapshot& snapshot, const DeviceApp& app,
                                    const PhysicalDevice& device) = 0;
};

/// The cleanup flows of the storage cleaning engine. GUI thread.
class CleanupFlowsService {
public:
    enum class Target { derivedData, packages, documentation, oldLogs, everything };
    virtual ~CleanupFlowsService() = default;
    virtual std::vector<QString> findProjectFolders(const QString& bundleID) const = 0;
    virtual QString describe(Target target, const std::optional<SimulatorApp>& app) const = 0;
    virtual void clean(Target target, const std::optional<SimulatorApp>& app) = 0;
    virtual void eraseAppData(const SimulatorApp& app) = 0;
};

/// The storage cleaner window. GUI thread.
class CleanerWindowService {
public:
    virtual ~CleanerWindowService() = default;
    /// Opens or fronts the window; with an app and no section it shows that app's archives.
    virtual void show(const std::optional<QString>& section, const std::optional<SimulatorApp>& app) = 0;
};

/// The set the program runs with.
struct NeighbourServices {
    NetworkService& network;
    DeviceHubService& deviceHub;
    ActionWindowsService& actionWindows;
    DeviceFlowsService& deviceFlows;
    CleanupFlowsService& cleanupFlows;
    CleanerWindowService& cleanerWindow;

    /// The program's services, created on first use and never released.
    static NeighbourServices& shared();
    /// The network service of `shared()`, which the setup-reset run takes alone (creating the
    /// others would start the simulator inventory).
    static NetworkService& sharedNetwork();
};

} // namespace quorvex
