#include "panel/widgets/ValueMenu.h"

#include "ui/Fonts.h"
#include "ui/Symbols.h"

#include <QMenu>

namespace quorvex {

ValueMenu::ValueMenu(const QString& value, QWidget* parent)
    : QToolButton(parent)
    , m_menu(new QMenu(this)) {
    setFont(Fonts::system(13));
    setAutoRaise(true);
    setPopupMode(QToolButton::InstantPopup);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setLayoutDirection(Qt::RightToLeft);         // the chevron after the value
    m_menu->setLayoutDirection(Qt::LeftToRight); // the items' icons stay on their leading side
    setIcon(QIcon(Symbols::pixmap(QStringLiteral("chevron.up.chevron.down"), QSize(9, 9),
                                  palette().color(QPalette::PlaceholderText))));
    setIconSize(QSize(9, 9));
    setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0; }"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setMenu(m_menu);
    setValue(value);
}

void ValueMenu::setValue(const QString& value) {
    setText(value);
    setMinimumWidth(sizeHint().width());
}

} // namespace quorvex
