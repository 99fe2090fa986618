#include "panel/widgets/GlassGroup.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

namespace quorvex {

GlassGroup::GlassGroup(QWidget* parent)
    : QWidget(parent)
    , m_items(new QHBoxLayout(this)) {
    m_items->setContentsMargins(3, 3, 3, 3);
    m_items->setSpacing(0);
}

void GlassGroup::add(QWidget* widget) {
    m_items->addWidget(widget);
}

void GlassGroup::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF inner = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath capsule;
    capsule.addRoundedRect(inner, inner.height() / 2, inner.height() / 2);
    painter.fillPath(capsule, palette().color(QPalette::Window));
    QColor border = palette().color(QPalette::WindowText);
    border.setAlphaF(0.08f);
    painter.setPen(QPen(border, 1));
    painter.drawPath(capsule);
}

} // namespace quorvex
