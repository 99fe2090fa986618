#pragma once

#include <QWidget>

class QWidgetAction;

namespace quorvex {

/// The base of the row views that sit in menus through a QWidgetAction. A QMenu neither tracks
/// the pointer over such a row nor draws its highlight, so the row does both: it is highlighted
/// while the pointer is over it or while it has the keyboard focus (the menu gives its current
/// widget row the focus when the arrow keys reach it), tells its menu that it is the active row,
/// and runs `activate()` on a click or on Return, Enter or Space.
class MenuRowView : public QWidget {
    Q_OBJECT
public:
    explicit MenuRowView(QWidget* parent = nullptr);

    /// The pointer is over the row, or the row has the keyboard focus.
    bool isHighlighted() const { return m_hovered || m_focused; }

signals:
    void highlightChanged(bool highlighted);

protected:
    /// Whether the row reacts at all (a row that copies nothing is never highlighted).
    virtual bool isInteractive() const { return true; }
    virtual void activate() {}
    virtual void highlightUpdated() {}
    /// The highlight behind the row: the bounds inset by `horizontalInset` and `verticalInset`.
    void paintHighlight(const QColor& color, qreal horizontalInset, qreal verticalInset);

    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setState(bool hovered, bool focused);
    QWidgetAction* enclosingAction() const;

    bool m_hovered = false;
    bool m_focused = false;
};

} // namespace quorvex
