#include "app/MenuItems.h"

#include "app/MenuRow.h"

namespace quorvex {

ActionItem::ActionItem(const QString& title, Handler handler, QObject* parent)
    : QAction(title, parent)
    , m_handler(std::move(handler)) {
    connect(this, &QAction::triggered, this, &ActionItem::fire);
}

void ActionItem::fire() {
    if (m_handler)
        m_handler();
}

PopupAction::PopupAction(std::function<void()> action, QObject* parent)
    : QObject(parent)
    , m_action(std::move(action)) {}

void PopupAction::fire() {
    if (m_action)
        m_action();
}

LazySubmenuFiller::LazySubmenuFiller(Build build)
    : m_build(std::move(build)) {}

bool LazySubmenuFiller::menuNeedsUpdate(MenuRows& rows) {
    if (!m_build)
        return false;
    // Take the closure before running it: whatever it captured is released after this one fill.
    Build build = std::move(m_build);
    m_build = nullptr;
    build(rows);
    return true;
}

} // namespace quorvex
