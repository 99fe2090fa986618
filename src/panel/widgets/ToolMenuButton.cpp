#include "panel/widgets/ToolMenuButton.h"

#include "panel/widgets/HoverHint.h"
#include "panel/widgets/PanelFocus.h"
#include "panel/widgets/ToolButton.h"

#include "ui/FocusRing.h"

#include <QPainter>

namespace quorvex {

ToolMenuButton::ToolMenuButton(const QString& symbol, const QString& help, Qt::Alignment hintAlignment,
                               Clock& clock, ToolButtonPopupMode mode, QWidget* parent)
    : QToolButton(parent)
    , m_symbol(symbol)
    , m_hint(new HoverHint(this, help, hintAlignment, HoverHint::Placement::below, clock)) {
    setFixedSize(34, 34);
    setPopupMode(mode);
    setAutoRaise(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(help);
    PanelFocus::keys(this);
}

void ToolMenuButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isDown()) {
        QColor circle = palette().color(QPalette::WindowText);
        circle.setAlphaF(0.08f);
        painter.setPen(Qt::NoPen);
        painter.setBrush(circle);
        painter.drawEllipse(rect());
    }
    const QPixmap icon = ToolButton::toolIcon(m_symbol, false, palette());
    const QSizeF size = icon.deviceIndependentSize();
    painter.drawPixmap(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), icon);
    FocusRing::paint(painter, *this, QRectF(rect()), width() / 2.0);
}

} // namespace quorvex
