#include "windows/DefaultAction.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QWidget>

namespace quorvex {

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
    // Taken even when the button is off: the key means "do it", never anything else here.
    if (m_button->isEnabled() && m_button->isVisibleTo(m_view))
        m_button->click();
    return true;
}

} // namespace quorvex
