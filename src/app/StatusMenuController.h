#pragma once

#include "actions/AppSnapshot.h"
#include "app/AppSubmenuBuilder.h"
#include "app/ClearDataSubmenuBuilder.h"
#include "app/MenuIcons.h"
#include "app/MenuRow.h"
#include "app/Services.h"
#include "app/SimulatorSubmenuBuilder.h"
#include "app/StatusMenuFlows.h"
#include "app/ToolsSubmenuBuilder.h"

#include "app/RowMenu.h"
#include <QFuture>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

#include <cstdint>
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
/// (`buildMenu`, testable without a display) and renders it. The submenus come from builder
/// classes, each given only what it reads; the controller keeps the top level and the flows
/// their rows start, which it offers to the side panel as `MenuFlows`. The per-app and per-simulator
/// submenus are lazy: their fillers are made anew at each build, kept in `lazyFillers` until the
/// next one, and run at most once. Between openings only the status icon and its tool tip
/// follow the network model.
///
/// The status item is a QSystemTrayIcon whose menu we pop up ourselves on activation, never
/// through setContextMenu: desktops that export tray menus over D-Bus drop custom row views and
/// build the menu when they like, not when it opens. GUI thread only.
class StatusMenuController final : public QObject, public StatusMenuFlows {
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
    /// Whether the session's tray host takes icons by name (a StatusNotifierItem watcher runs).
    static bool trayDrawsIconsByName();

    /// Builds the whole menu from the current models; the previous lazy fillers are dropped.
    MenuRows buildMenu();
    /// Builds and renders the menu into `menu()`.
    void rebuildMenu();
    QMenu& menu() { return m_menu; }
    const std::vector<std::shared_ptr<LazySubmenuFiller>>& lazyFillers() const { return m_lazyFillers; }

    /// The apps the menu lists: those on booted simulators, then the apps remembered by network
    /// choices that no simulator runs, by name.
    std::vector<SimulatorApp> menuApps() const;
    /// An app's row; its submenu is filled when first opened.
    MenuRow appRow(const SimulatorApp& app);

    /// The status icon and tool tip for the network model's current state.
    void updateStatusIcon();
    QString toolTip() const { return m_toolTip; }
    bool showsActiveIcon() const { return m_activeIcon; }
    QSystemTrayIcon* statusItem() const { return m_statusItem; }

    // The flows the menu's rows and the side panel start. Each finishes on the GUI thread; the
    // returned future ends after its toast, or at once when nothing was started.
    QFuture<void> runOnSimulators(const std::vector<SimulatorDevice>& devices,
                                  std::function<bool(const SimulatorDevice&)> action,
                                  const QString& title) override;
    QFuture<void> launchApp(const SimulatorApp& app, const std::vector<SimulatorDevice>& devices) override;
    QFuture<void> terminateApp(const SimulatorApp& app, const std::vector<SimulatorDevice>& devices) override;
    QFuture<void> uninstall(const SimulatorApp& app, const std::vector<SimulatorDevice>& devices) override;
    MenuRow networkProfileItem(const NetworkProfile& profile, const NetworkProfile& current,
                               const SimulatorApp& app);
    void showArchives(const SimulatorApp& app) override;
    QFuture<void> confirmUninstall(const SimulatorApp& app) override;
    QFuture<void> confirmDeleteKeychainItems(const SimulatorApp& app, const SimulatorInstall& install,
                                             std::int64_t count) override;
    QFuture<void> confirmSaveSnapshot(const SimulatorApp& app, const SimulatorInstall& install) override;
    QFuture<void> confirmSnapshotRestore(const AppSnapshot& snapshot, const SimulatorApp& app,
                                         const SimulatorInstall& install) override;
    QFuture<void> confirmSnapshotDelete(const AppSnapshot& snapshot) override;
    QFuture<void> addSampleMedia(const SimulatorDevice& device) override;
    QFuture<void> chooseMediaToAdd(const SimulatorDevice& device) override;

    /// Builds, renders and pops the menu up at `position` (the pointer when absent).
    void openMenu(std::optional<QPoint> position = std::nullopt);

private:
    MenuRow lazyRow(const QString& title, LazySubmenuFiller::Build build);
    StatusMenuFlows::Handle handle();
    AppSubmenuBuilder appSubmenuBuilder();
    SimulatorSubmenuBuilder simulatorSubmenuBuilder();
    ToolsSubmenuBuilder toolsSubmenuBuilder();
    ClearDataSubmenuBuilder::Context clearDataContext();

    Models m_models;
    RowMenu m_menu;
    QPointer<QSystemTrayIcon> m_statusItem;
    std::vector<std::shared_ptr<LazySubmenuFiller>> m_lazyFillers;
    QString m_toolTip;
    bool m_activeIcon = false;
    bool m_iconSet = false;
    MenuIcons::PanelShade m_shade = MenuIcons::PanelShade::light;
    // The tray host draws icons by name (StatusNotifierItem), not the pixels we give it.
    bool m_trayDrawsByName = false;
};

} // namespace quorvex
