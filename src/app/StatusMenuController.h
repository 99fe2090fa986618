#pragma once

#include "actions/AppSnapshot.h"
#include "app/MenuRow.h"
#include "app/Services.h"
#include "devices/DeviceSnapshot.h"
#include "simulator/AppDetails.h"

#include <QFuture>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quorvex {

class Cleanup;
struct NetworkProfile;
class Clock;
class Permissions;
class SimulatorActions;
class SimulatorApps;
class Updates;

/// The status item and its menu, the program's main face. The menu is never kept current while
/// it is closed: each opening builds the whole menu again from the models as a tree of rows
/// (`buildMenu`, testable without a display) and renders it. The per-app and per-simulator
/// submenus are lazy: their fillers are made anew at each build, kept in `lazyFillers` until the
/// next one, and run at most once. Between openings only the status icon and its tool tip
/// follow the network model.
///
/// The status item is a QSystemTrayIcon whose menu we pop up ourselves on activation, never
/// through setContextMenu: desktops that export tray menus over D-Bus drop custom row views and
/// build the menu when they like, not when it opens. GUI thread only.
class StatusMenuController final : public QObject {
    Q_OBJECT
public:
    /// Everything the menu reads and reaches.
    struct Models {
        SimulatorApps& simulatorApps;
        SimulatorActions& actions;
        Permissions& permissions;
        Cleanup& cleanup;
        Updates& updates;
        Services services;
        Clock& clock;
        std::function<void()> about; // the About panel
        std::function<void()> quit;  // the one quit path of the application delegate
    };

    /// `showStatusItem`: put the item into the system tray (false in tests).
    StatusMenuController(Models models, bool showStatusItem);
    ~StatusMenuController() override;

    /// The live controller, if any.
    static StatusMenuController* shared();

    /// Builds the whole menu from the current models; the previous lazy fillers are dropped.
    MenuRows buildMenu();
    /// Builds and renders the menu into `menu()`.
    void rebuildMenu();
    QMenu& menu() { return m_menu; }
    const std::vector<std::shared_ptr<LazySubmenuFiller>>& lazyFillers() const { return m_lazyFillers; }

    /// The apps the menu lists: those on booted simulators, then the apps remembered by network
    /// choices that no simulator runs, by name.
    std::vector<SimulatorApp> menuApps() const;
    MenuRow appRow(const SimulatorApp& app);

    /// The status icon and tool tip for the network model's current state.
    void updateStatusIcon();
    QString toolTip() const { return m_toolTip; }
    bool showsActiveIcon() const { return m_activeIcon; }
    QSystemTrayIcon* statusItem() const { return m_statusItem; }

    // Fillers of the submenus. The menu-content work fills them out; these hold what the
    // simulator core and the simulator actions reach today.
    void fillSimulators(MenuRows& rows);
    void fillBlockedHosts(MenuRows& rows);
    void fillClearData(MenuRows& rows, const std::optional<SimulatorApp>& app);
    void fillConnectedDevices(MenuRows& rows, const std::vector<PhysicalDevice>& devices);
    void fillHostApp(MenuRows& rows);
    void appendExtensionState(MenuRows& rows);
    void fillAppSubmenu(MenuRows& rows, const SimulatorApp& app, bool running);

    // The pieces of the per-app submenu.
    void fillNetworkSubmenu(MenuRows& rows, const SimulatorApp& app);
    void fillPermissionsSubmenu(MenuRows& rows, const SimulatorApp& app);
    void fillAppDataSubmenu(MenuRows& rows, const SimulatorApp& app);
    void fillSnapshotsSubmenu(MenuRows& rows, const SimulatorApp& app);
    void fillKeychainSubmenu(MenuRows& rows, const SimulatorApp& app);
    void addLaunchItems(MenuRows& rows, const SimulatorApp& app);
    void addAppInfoItems(MenuRows& rows, const SimulatorApp& app);
    void fillEntitlementsSubmenu(MenuRows& rows, const std::vector<AppDetails::Entitlement>& entitlements);
    /// Points the side panel at the app on the target simulator (else its first) and opens it.
    void showInSidePanel(const SimulatorApp& app);

    // The app's commands. Each flow finishes on the GUI thread; the returned future ends after
    // its toast.
    QFuture<void> launchApp(const SimulatorApp& app, const std::vector<SimulatorDevice>& devices);
    QFuture<void> terminateApp(const SimulatorApp& app, const std::vector<SimulatorDevice>& devices);
    /// Uninstalls off the GUI thread, waits for the inventory to be scanned again, names the
    /// simulators it failed on and clears the busy flag the confirmation set.
    QFuture<void> uninstall(const SimulatorApp& app, const std::vector<SimulatorDevice>& devices);
    MenuRow networkProfileItem(const NetworkProfile& profile, const NetworkProfile& current,
                               const SimulatorApp& app);
    void showArchives(const SimulatorApp& app);

    // Snapshots of simulator apps. Save and restore hold the busy flag from the confirmation to
    // their toast; a delete refuses while it is set and runs off the GUI thread.
    void addSaveSnapshotRows(MenuRows& rows, const SimulatorApp& app);
    QFuture<void> confirmSaveSnapshot(const SimulatorApp& app, const SimulatorInstall& install);
    QFuture<void> saveSnapshot(const SimulatorApp& app, const SimulatorInstall& install, const QString& name);
    void fillSnapshotSubmenu(MenuRows& rows, const SimulatorApp& app, const AppSnapshot& snapshot);
    QFuture<void> restoreSnapshot(const AppSnapshot& snapshot, const SimulatorApp& app,
                                  const SimulatorInstall& install);
    QFuture<void> confirmSnapshotRestore(const AppSnapshot& snapshot, const SimulatorApp& app,
                                         const SimulatorInstall& install);
    QFuture<void> confirmSnapshotDelete(const AppSnapshot& snapshot);
    /// The apps of a connected device with their saved snapshots.
    void fillDeviceAppData(MenuRows& rows, const PhysicalDevice& device);
    void fillDeviceAppSubmenu(MenuRows& rows, const PhysicalDevice& device, const DeviceApp& app,
                              const std::vector<DeviceSnapshot>& snapshots);
    void fillSimulatorSubmenu(MenuRows& rows, const SimulatorDevice& device,
                              const std::vector<SimulatorDevice>& devices);

    /// Runs `action` for each device off the GUI thread and reports in one toast: `title` (with
    /// the device's name, or the number of simulators) when all succeeded, else the names of the
    /// simulators it failed on. Finishes on the GUI thread; the returned future ends after the
    /// toast.
    QFuture<void> runOnSimulators(const std::vector<SimulatorDevice>& devices,
                                  std::function<bool(const SimulatorDevice&)> action, const QString& title);
    /// Generates the sample media once and adds it to the simulator; reported in a toast.
    QFuture<void> addSampleMedia(const SimulatorDevice& device);
    /// Asks for photos, videos or contacts and adds them to the simulator; finished at once when
    /// the user cancelled.
    QFuture<void> chooseMediaToAdd(const SimulatorDevice& device);
    /// Flips the simulator's slow animations; reported in a toast.
    QFuture<void> toggleSlowAnimations(const SimulatorDevice& device);
    /// Asks for a language and region, applies them and relaunches the simulator's running user
    /// apps; finished at once when the user cancelled.
    QFuture<void> chooseLanguageAndRegion(const SimulatorDevice& device);

    // Screenshot rows, shared by the simulator and connected-device submenus.
    /// Where a screenshot goes: "Device frame · saved to Desktop · copied".
    QString screenshotSummary() const;
    MenuRow copyScreenshotItem(ActionItem::Handler handler) const;
    void fillScreenshotOptions(MenuRows& rows);
    void takeScreenshot(const SimulatorDevice& device, bool copy);

    // Commands of the blocked-host rows, the side-panel switch and the host app.
    void fillHostRuleSubmenu(MenuRows& rows, const QString& host, bool enabled);
    void addBlockedHost();
    void toggleSidePanel();
    void openHostApp();
    void openExtensionSettings();

    /// Builds, renders and pops the menu up at `position` (the pointer when absent).
    void openMenu(std::optional<QPoint> position = std::nullopt);

private:
    MenuRow lazyRow(const QString& title, LazySubmenuFiller::Build build);

    Models m_models;
    QMenu m_menu;
    QPointer<QSystemTrayIcon> m_statusItem;
    std::vector<std::shared_ptr<LazySubmenuFiller>> m_lazyFillers;
    QString m_toolTip;
    bool m_activeIcon = false;
    bool m_iconSet = false;
};

} // namespace quorvex
