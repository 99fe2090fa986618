#include "panel/widgets/PanelButtonStyle.h"

#include "panel/widgets/PanelFocus.h"
#include "ui/FocusRing.h"
#include "ui/Fonts.h"

#include <QPainter>
#include <QPainterPath>

namespace quorvex {

PanelButtonStyle::PanelButtonStyle(const QString& text, bool prominent, QWidget* parent)
    : QAbstractButton(parent)
    , m_prominent(prominent) {
    setText(text);
    setFont(Fonts::caption(prominent ? QFont::DemiBold : QFont::Normal));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    PanelFocus::keys(this);
}

void PanelButtonStyle::setProminent(bool prominent) {
    if (prominent == m_prominent)
        return;
    m_prominent = prominent;
    setFont(Fonts::caption(prominent ? QFont::DemiBold : QFont::Normal));
    updateGeometry();
    update();
}

double PanelButtonStyle::opacity(bool pressed, bool enabled) {
    if (pressed)
        return 0.75;
    return enabled ? 1.0 : 0.5;
}

QSize PanelButtonStyle::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + 20, metrics.height() + 8};
}

void PanelButtonStyle::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(opacity(isDown(), isEnabled()));
    QColor fill = m_prominent ? palette().color(QPalette::Highlight) : palette().color(QPalette::WindowText);
    if (!m_prominent)
        fill.setAlphaF(0.08f);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 6, 6);
    painter.fillPath(shape, fill);
    painter.setPen(m_prominent ? QColor(Qt::white) : palette().color(QPalette::WindowText));
    painter.drawText(rect(), Qt::AlignCenter, text());
    painter.setOpacity(1.0);
    if (m_prominent) {
        // The accent fill would hide a ring in the accent colour.
        QPalette onAccent = palette();
        onAccent.setColor(QPalette::Active, QPalette::Highlight, Qt::white);
        if (hasFocus())
            FocusRing::paint(painter, onAccent, QRectF(rect()).adjusted(1, 1, -1, -1), 5);
    } else {
        FocusRing::paint(painter, *this, QRectF(rect()), 6);
    }
}

} // namespace quorvex
