#include "app/MenuRowView.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QWidgetAction>

namespace quorvex {

MenuRowView::MenuRowView(QWidget* parent)
    : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    setMouseTracking(true);
}

QWidgetAction* MenuRowView::enclosingAction() const {
    auto* menu = qobject_cast<QMenu*>(parentWidget());
    if (!menu)
        return nullptr;
    for (QAction* action : menu->actions()) {
        auto* widgetAction = qobject_cast<QWidgetAction*>(action);
        if (widgetAction && widgetAction->defaultWidget() == this)
            return widgetAction;
    }
    return nullptr;
}

void MenuRowView::setState(bool hovered, bool keyboard) {
    const bool before = isHighlighted();
    const bool keyboardBefore = m_keyboard;
    m_hovered = hovered;
    m_keyboard = keyboard;
    if (before == isHighlighted() && keyboardBefore == m_keyboard)
        return;
    highlightUpdated();
    update();
    if (before != isHighlighted())
        emit highlightChanged(isHighlighted());
}

void MenuRowView::takeKeyboard() {
    setState(m_hovered, hasFocus());
}

void MenuRowView::paintHighlight(const QColor& color, qreal horizontalInset, qreal verticalInset) {
    if (!isHighlighted() || !isInteractive())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(
        QRectF(rect()).adjusted(horizontalInset, verticalInset, -horizontalInset, -verticalInset), 5, 5);
    painter.fillPath(path, color);
}

void MenuRowView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The pointer over a label is over the row: labels would keep the moves that bring the
    // highlight back, and a click on them belongs to the row anyway. A label with a tool tip of
    // its own (an elided line) keeps the pointer, or the tip would never show.
    for (QLabel* label : findChildren<QLabel*>())
        if (label->toolTip().isEmpty())
            label->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void MenuRowView::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    if (!isInteractive())
        return;
    // The pointer took over: make this the menu's active row and give it the keyboard, so the row
    // that was clicked or reached by the arrows before loses its highlight (one row at a time).
    takePointer();
}

void MenuRowView::takePointer() {
    if (QWidgetAction* action = enclosingAction())
        static_cast<QMenu*>(parentWidget())->setActiveAction(action);
    m_hovered = true;
    setFocus(Qt::MouseFocusReason);
    setState(true, false);
}

void MenuRowView::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    // Leaving the row ends its highlight. The focus stays, so a key pressed now still goes
    // through this row to its menu, as it would from a plain item.
    setState(false, false);
}

void MenuRowView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    setState(m_hovered, isInteractive() && event->reason() != Qt::MouseFocusReason);
}

void MenuRowView::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    // The arrows moved on to another row while the pointer rests here: the highlight goes with
    // them, so the menu never shows two highlighted rows. Moving the pointer brings it back.
    setState(false, false);
}

void MenuRowView::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    if (!m_hovered && isInteractive() && rect().contains(event->position().toPoint()))
        takePointer();
}

void MenuRowView::mouseReleaseEvent(QMouseEvent* event) {
    if (isInteractive() && rect().contains(event->position().toPoint())) {
        activate();
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void MenuRowView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        // Only the row the user sees highlighted answers; after the pointer left, the menu does.
        if (isInteractive() && isHighlighted()) {
            activate();
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    // Arrows and Escape belong to the menu.
    event->ignore();
}

} // namespace quorvex
