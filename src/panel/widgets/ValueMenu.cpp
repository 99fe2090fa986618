#include "panel/widgets/ValueMenu.h"

#include "panel/widgets/PanelAccessibility.h"
#include "panel/widgets/PanelFocus.h"
#include "ui/FocusRing.h"
#include "ui/Fonts.h"
#include "ui/Symbols.h"

#include <QAccessible>
#include <QMenu>
#include <QPainter>

namespace quorvex {

ValueMenu::ValueMenu(const QString& value, QWidget* parent)
    : QToolButton(parent)
    , m_menu(new QMenu(this)) {
    PanelAccessibility::install();
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
    setFocusPolicy(Qt::TabFocus);
    PanelFocus::keys(this);
    setValue(value);
}

void ValueMenu::setValue(const QString& value) {
    if (value == text() && minimumWidth() > 0)
        return;
    setText(value);
    setMinimumWidth(sizeHint().width());
    QAccessibleValueChangeEvent changed(this, value);
    QAccessible::updateAccessibility(&changed);
}

void ValueMenu::paintEvent(QPaintEvent* event) {
    QToolButton::paintEvent(event);
    QPainter painter(this);
    FocusRing::paint(painter, *this, QRectF(rect()), 6);
}

} // namespace quorvex
