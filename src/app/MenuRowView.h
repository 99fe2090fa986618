#pragma once

#include <QWidget>

class QWidgetAction;

namespace quorvex {

/// The base of the row views that sit in menus through a QWidgetAction. A QMenu neither tracks
/// the pointer over such a row nor draws its highlight, so the row does both: it is highlighted
/// while the pointer is over it or while the keyboard is on it (the menu gives its current widget
/// row the focus when the arrow keys reach it), tells its menu that it is the active row, and
/// runs `activate()` on a click or on Return, Enter or Space while highlighted. The pointer gives
/// the row the focus too, so only one row of a menu is ever highlighted; when the pointer leaves,
/// the highlight goes but the focus stays, so the arrow keys still reach the menu from there.
class MenuRowView : public QWidget {
    Q_OBJECT
public:
    explicit MenuRowView(QWidget* parent = nullptr);

    /// The pointer is over the row, or the keyboard is on it.
    bool isHighlighted() const { return m_hovered || m_keyboard; }
    /// The row has the focus from the keyboard (the menu's arrows, Tab, a key pressed on it),
    /// not from the pointer.
    bool hasKeyboardFocus() const { return m_keyboard; }

signals:
    void highlightChanged(bool highlighted);

protected:
    /// Whether the row reacts at all (a row that copies nothing is never highlighted).
    virtual bool isInteractive() const { return true; }
    virtual void activate() {}
    virtual void highlightUpdated() {}
    /// The highlight behind the row: the bounds inset by `horizontalInset` and `verticalInset`.
    void paintHighlight(const QColor& color, qreal horizontalInset, qreal verticalInset);

    void showEvent(QShowEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    /// A key the row handles itself puts the keyboard on it.
    void takeKeyboard();

private:
    void setState(bool hovered, bool keyboard);
    /// The pointer is on the row: it becomes the menu's active row, with the focus.
    void takePointer();
    QWidgetAction* enclosingAction() const;

    bool m_hovered = false;
    bool m_keyboard = false;
};

} // namespace quorvex
