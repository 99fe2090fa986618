#pragma once

#include "simulator/SimulatorApp.h"

#include <QWidget>

#include <optional>
#include <set>
#include <vector>

class QAbstractButton;
class QLabel;
class QMenu;

namespace quorvex {

class DeviceHubPanel;
class SimulatorApps;

/// The fixed header above the app's cards: the current app's icon, its name (a menu that
/// switches apps when the target simulator has more than one) and one status line. Redrawn
/// whenever the panel or the inventory changes. GUI thread.
class AppHeader final : public QWidget {
    Q_OBJECT
public:
    AppHeader(DeviceHubPanel& panel, SimulatorApps& simulators, QWidget* parent = nullptr);

    /// The menu under the app's name; empty while there is no choice.
    QMenu* appMenu() const { return m_menu; }

    /// The app's name, or "No App".
    static QString titleText(const std::optional<SimulatorApp>& app);
    /// Whether the name opens a menu of the target's apps: only when there is a choice.
    static bool offersMenu(size_t appCount) { return appCount >= 2; }
    /// The menu's entries, in the panel's order; a running app says so.
    static QStringList menuTitles(const std::vector<SimulatorApp>& apps, const std::set<QString>& running);
    /// "Running", else "Version " and the version, else the bundle ID.
    static QString statusLine(const SimulatorApp& app, const std::set<QString>& running);

private:
    void refresh();

    DeviceHubPanel& m_panel;
    SimulatorApps& m_simulators;
    QLabel* m_icon;
    QLabel* m_title;
    QAbstractButton* m_titleMenu;
    QMenu* m_menu;
    QLabel* m_status;
};

} // namespace quorvex
