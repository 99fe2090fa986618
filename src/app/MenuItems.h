#pragma once

#include <QAction>
#include <QObject>
#include <QString>

#include <functional>
#include <vector>

namespace quorvex {

struct MenuRow;
using MenuRows = std::vector<MenuRow>;

/// A menu item that runs a closure. The status menu is rebuilt at every opening, so its commands
/// are closures captured at build time (holding copies of the records they need) rather than
/// slots on a long-lived object; the item is its own receiver, so it works without any other
/// object staying alive. GUI thread.
class ActionItem final : public QAction {
    Q_OBJECT
public:
    using Handler = std::function<void()>;
    ActionItem(const QString& title, Handler handler, QObject* parent = nullptr);

    /// Runs the handler (the item's triggered signal lands here).
    void fire();

private:
    Handler m_handler;
};

/// The receiver of a control inside a row view or an alert accessory (a button, a pop-up):
/// `fire` runs the closure. The creator keeps it for as long as the control exists.
class PopupAction final : public QObject {
    Q_OBJECT
public:
    explicit PopupAction(std::function<void()> action, QObject* parent = nullptr);
    void fire();

private:
    std::function<void()> m_action;
};

/// The text of a row's count badge (a decimal count), drawn after the row's title.
struct MenuCount {
    QString text;
    explicit MenuCount(QString text)
        : text(std::move(text)) {}
    bool operator==(const MenuCount&) const = default;
};

/// Fills a submenu the first time it opens and never again: the build closure is dropped after
/// its one run, so later openings of the same submenu show what was built. A new filler is made
/// at every rebuild of the status menu, which is what makes the submenus current again.
class LazySubmenuFiller final {
public:
    using Build = std::function<void(MenuRows&)>;
    explicit LazySubmenuFiller(Build build);

    /// The submenu is about to open: runs the build closure once with `rows`; true when it ran.
    bool menuNeedsUpdate(MenuRows& rows);
    bool hasFilled() const { return !m_build; }

private:
    Build m_build;
};

} // namespace quorvex
