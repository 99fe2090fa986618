#include "network/IllustrationBackdrop.h"

#include "ui/Palette.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace quorvex {
namespace {

constexpr qreal kCornerRadius = 16;

} // namespace

IllustrationBackdrop::IllustrationBackdrop(QWidget* drawing, QWidget* parent)
    : QWidget(parent)
    , m_drawing(drawing) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_drawing);
    setAccessibleName(m_drawing->accessibleName());
}

void IllustrationBackdrop::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = rect();
    QPainterPath shape;
    shape.addRoundedRect(area, kCornerRadius, kCornerRadius);
    QLinearGradient gradient(area.topLeft(), area.bottomRight());
    QColor from = palette().color(QPalette::Highlight);
    from.setAlphaF(0.16f);
    QColor to = Palette::purple();
    to.setAlphaF(0.1f);
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    painter.fillPath(shape, gradient);
    QColor border = palette().color(QPalette::WindowText);
    border.setAlphaF(0.06f);
    painter.setPen(QPen(border, 1));
    painter.drawRoundedRect(area.adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius - 0.5, kCornerRadius - 0.5);
}

} // namespace quorvex
