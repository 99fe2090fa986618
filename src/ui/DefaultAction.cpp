#include "ui/DefaultAction.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QKeyEvent>
#include <QRadioButton>
#include <QWidget>

namespace quorvex {

namespace {

bool isReturn(const QKeyEvent* key) {
    const auto modifiers = key->modifiers() & ~Qt::KeypadModifier;
    return (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier;
}

// A segment of a picker: one of a set of checkable buttons of which one is on.
bool isSegment(const QAbstractButton* button) {
    return button->isCheckable() &&
           (button->autoExclusive() || (button->group() && button->group()->exclusive()));
}

// Buttons that act when pressed; a check box, a radio button or a picker's segment only holds a
// choice, so Return on one still means "do it".
QAbstractButton* actionButton(QObject* object) {
    auto* button = qobject_cast<QAbstractButton*>(object);
    if (!button || qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button) ||
        isSegment(button))
        return nullptr;
    return button;
}

} // namespace

DefaultAction::DefaultAction(QWidget* view, QAbstractButton* button)
    : QObject(view)
    , m_view(view)
    , m_button(button) {
    // A key goes first to the focused widget, then up its parents while none takes it: the
    // application's filter sees it at the widget it was sent to, the view's once it came up.
    qApp->installEventFilter(this);
}

void DefaultAction::install(QWidget* view, QAbstractButton* button) {
    new DefaultAction(view, button);
}

bool DefaultAction::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !isReturn(static_cast<QKeyEvent*>(event)))
        return false;
    // A plain widget's push button lets Return go by unless it is an auto-default one; the key
    // is that button's, never the default's.
    if (QAbstractButton* focused = actionButton(watched); focused && m_view->isAncestorOf(focused)) {
        if (focused->isEnabled())
            focused->click();
        return true;
    }
    if (watched != m_view)
        return false;
    // Taken even when the button is off: the key means "do it", never anything else here.
    if (m_button->isEnabled() && m_button->isVisibleTo(m_view))
        m_button->click();
    return true;
}

} // namespace quorvex
