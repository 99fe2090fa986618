#include "app/RowMenu.h"

#include "app/MenuRowStyle.h"

#include <QStyleOptionMenuItem>

namespace quorvex {

RowMenu::RowMenu(QWidget* parent)
    : RowMenu(QString(), parent) {}

RowMenu::RowMenu(const QString& title, QWidget* parent)
    : QMenu(title, parent) {
    auto* style = new MenuRowStyle;
    style->setParent(this);
    setStyle(style);
}

void RowMenu::initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const {
    QMenu::initStyleOption(option, action);
    // The style reads the subtitle and badge from the action it is given here.
    option->styleObject = const_cast<QAction*>(action);
}

} // namespace quorvex
