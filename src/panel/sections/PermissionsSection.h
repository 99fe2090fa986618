#pragma once

#include "actions/PermissionAction.h"
#include "actions/PermissionService.h"
#include "simulator/SimulatorApp.h"

#include <QColor>
#include <QPointer>
#include <QWidget>

#include <map>
#include <optional>
#include <vector>

class QPropertyAnimation;
class QToolButton;
class QVBoxLayout;

namespace quorvex {

class Clock;
class Permissions;
class SettingsRow;
class ValueMenu;

/// The side panel's card for one app's privacy permissions on every booted simulator that has
/// it: a row per service with grant, revoke and reset buttons, the action last taken drawn
/// filled in its colour, the three actions for all services in a menu, and five common services
/// until the user asks for all. The work and the remembered actions belong to Permissions; the
/// card refuses input while it works. GUI thread.
class PermissionsSection final : public QWidget {
    Q_OBJECT
public:
    /// How one action button looks: the filled symbol in the action's colour when it is the
    /// service's last action, else the outlined symbol in the secondary colour (no colour here).
    struct ActionIcon {
        QString symbol;
        std::optional<QColor> colour;
        bool operator==(const ActionIcon&) const = default;
    };

    PermissionsSection(const SimulatorApp& app, Permissions& permissions, Clock& clock,
                       QWidget* parent = nullptr);

    const SimulatorApp& app() const { return m_app; }
    void setApp(const SimulatorApp& app);
    bool showsAll() const { return m_showsAll; }
    void setShowsAll(bool showsAll);

    static ActionIcon actionIcon(PermissionAction action, std::optional<PermissionAction> last);
    /// The services listed: all thirteen in declaration order, or the five common ones.
    static std::vector<PermissionService> shownServices(bool showsAll);
    /// "Grant Camera": the hover hint of an action button.
    static QString hint(PermissionAction action, PermissionService service);

    ValueMenu* allMenu() const { return m_allMenu; }
    /// The button of an action in a listed service's row; null for a service not listed.
    QToolButton* actionButton(PermissionService service, PermissionAction action) const;
    SettingsRow* toggleRow() const { return m_toggle; }
    /// The titles of the listed service rows, top to bottom.
    QStringList serviceTitles() const;

private:
    void rebuildRows();
    void toggleShowsAll();
    void refreshIcons();

    SimulatorApp m_app;
    Permissions& m_permissions;
    Clock& m_clock;
    bool m_showsAll = false;
    ValueMenu* m_allMenu;
    QWidget* m_list;
    QVBoxLayout* m_listLayout;
    std::vector<SettingsRow*> m_rows;
    SettingsRow* m_toggle = nullptr;
    QPointer<QPropertyAnimation> m_fold;
    std::map<std::pair<PermissionService, PermissionAction>, QToolButton*> m_buttons;
};

} // namespace quorvex
