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

// A segment of a picker: one of a set of checkable buttons of which one is on.
bool isSegment(const QAbstractButton* button) {
    return button->isCheckable() &&
           (button->autoExclusive() || (button->group() && button->group()->exclusive()));
}

// Buttons that act when pressed; a check box, a radio button or a picker's segment only holds a
// choice, so Return on one still means "do it".
QAbstractButton* focusedActionButton(QWidget* view) {
    auto* button = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
    if (!button || !view->isAncestorOf(button) || qobject_cast<QCheckBox*>(button) ||
        qobject_cast<QRadioButton*>(button) || isSegment(button))
        return nullptr;
    return button;
}

} // namespace

DefaultAction::DefaultAction(QWidget* view, QAbstractButton* button)
    : QObject(view)
    , m_view(view)
    , m_button(button) {
    view->installEventFilter(this);
}

void DefaultAction::install(QWidget* view, QAbstractButton* button) {
    new DefaultAction(view, button);
}

bool DefaultAction::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_view || event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const auto modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) || modifiers != Qt::NoModifier)
        return false;
    // A plain widget's push button lets Return go by unless it is an auto-default one, so the key
    // arrives here from the focused button; it is that button's, not the default's.
    if (QAbstractButton* focused = focusedActionButton(m_view)) {
        if (focused->isEnabled())
            focused->click();
        return true;
    }
    // Taken even when the button is off: the key means "do it", never anything else here.
    if (m_button->isEnabled() && m_button->isVisibleTo(m_view))
        m_button->click();
    return true;
}

} // namespace quorvex
