#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QAbstractButton;
class QWidget;

namespace quorvex {

/// How the side panel is used from the keyboard. The panel is a window of tools with no default
/// button, so every key acts on the focused control and goes no further; Tab follows the controls
/// as they are laid out, whatever order the sections made them in; and a section that makes its
/// rows anew keeps the focus on the control the user was on. GUI thread.
class PanelFocus final : public QObject {
    Q_OBJECT
public:
    /// Return and Enter run a focused `button`, as Space does; on a button whose press opens a
    /// menu they open it. Down opens the menu of a button that has one (`openMenu`, or the tool
    /// button's own menu), also of a button whose click acts and whose hold opens it.
    static void keys(QAbstractButton* button, std::function<void()> openMenu = {});

    /// Draws the focus ring (radius `radius`) over a stock control's own drawing.
    static void ring(QWidget* control, double radius);

    /// Puts the Tab order of `widget`'s window in the order its layouts show the controls: rows
    /// made later (a card unfolded, a section opened) are reached where they appear.
    static void orderTabs(QWidget* widget);

    /// Enables or disables a card (or one button) that refuses input while it applies a change.
    /// Disabling sends
    /// the focus on to another control; enabling gives it back to the control it left, unless
    /// the user has moved it since.
    static void setEnabled(QWidget* area, bool enabled);

    /// Keeps the focus in `area` across a rebuild of its rows: if a control inside it had the
    /// focus when the keeper was made, the control of the same name (and rank among its
    /// namesakes) gets it back when the keeper goes, or else the first control of the area.
    class Keeper final {
    public:
        explicit Keeper(QWidget* area);
        ~Keeper();
        Keeper(const Keeper&) = delete;
        Keeper& operator=(const Keeper&) = delete;

    private:
        QPointer<QWidget> m_area;
        QPointer<QWidget> m_focused;
        QString m_name;
        qsizetype m_rank = -1; // among the controls of that name; below 0: the focus was elsewhere
    };

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    PanelFocus(QWidget* control, std::function<void()> openMenu, double ringRadius);

    std::function<void()> m_openMenu;
    double m_ringRadius; // below 0: no ring drawn here
    bool m_keys;
};

} // namespace quorvex
