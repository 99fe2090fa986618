#pragma once

#include "simulator/AppDataLocation.h"
#include "simulator/SimulatorApp.h"

#include <QWidget>

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

class QMenu;

namespace quorvex {

class ActionWindowsService;
class DeviceHubPanel;
class MenuFlows;
class Workspace;

/// The card of an app's actions in the side panel: the deep-link and push windows, a data
/// snapshot, and a menu that opens the app's data folders on the target simulator. GUI thread.
class AppActionsSection final : public QWidget {
    Q_OBJECT
public:
    /// `menuFlows` is the status menu's, absent while there is none; saving a snapshot then does
    /// nothing.
    AppActionsSection(DeviceHubPanel& panel, const SimulatorApp& app, ActionWindowsService& windows,
                      MenuFlows* menuFlows, Workspace& workspace, QWidget* parent = nullptr);

    const SimulatorApp& app() const { return m_app; }
    void setApp(const SimulatorApp& app) { m_app = app; }
    /// The "Open" menu of the "App Data" row; filled each time it is about to show.
    QMenu* dataMenu() const { return m_dataMenu; }

    /// One entry of the "Open" menu.
    struct DataEntry {
        QString title;
        bool enabled = false;
        bool operator==(const DataEntry&) const = default;
    };
    /// The entries for the app's data locations: indented ones after an em space, and greyed out
    /// while the location has no path or nothing exists there yet.
    static std::vector<DataEntry>
    dataEntries(const std::vector<AppDataLocation>& locations,
                const std::function<bool(const std::filesystem::path&)>& exists);

private:
    /// The app's install on the panel's target simulator.
    std::optional<SimulatorInstall> install() const;
    void saveSnapshot();
    void fillDataMenu();

    DeviceHubPanel& m_panel;
    SimulatorApp m_app;
    ActionWindowsService& m_windows;
    MenuFlows* m_menuFlows;
    Workspace& m_workspace;
    QMenu* m_dataMenu;
};

} // namespace quorvex
