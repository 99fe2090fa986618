#include "ui/FocusRing.h"

#include <QPainter>
#include <QPainterPath>
#include <QWidget>

namespace quorvex {

void FocusRing::paint(QPainter& painter, const QWidget& widget, const QRectF& shape, double radius) {
    if (widget.hasFocus())
        paint(painter, widget.palette(), shape, radius);
}

void FocusRing::paint(QPainter& painter, const QPalette& palette, const QRectF& shape, double radius) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(palette.color(QPalette::Active, QPalette::Highlight), width);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const double inset = width / 2.0;
    QPainterPath ring;
    ring.addRoundedRect(shape.adjusted(inset, inset, -inset, -inset), qMax(0.0, radius - inset),
                        qMax(0.0, radius - inset));
    painter.drawPath(ring);
    painter.restore();
}

QString FocusRing::styleSheetRule(const QString& selector, double radius) {
    return QStringLiteral("%1:focus { border: %2px solid palette(highlight); border-radius: %3px; }")
        .arg(selector)
        .arg(width)
        .arg(radius);
}

} // namespace quorvex
