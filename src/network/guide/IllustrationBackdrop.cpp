#include "network/guide/IllustrationBackdrop.h"

#include "ui/Palette.h"

#include <QEvent>
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

void IllustrationBackdrop::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        m_picture = {};
    QWidget::changeEvent(event);
}

void IllustrationBackdrop::paintEvent(QPaintEvent*) {
    // The drawing on top repaints every frame and this backdrop under it with it: the gradient is
    // made once per size and blitted after.
    const qreal dpr = devicePixelRatioF();
    if (m_picture.isNull() || m_picture.deviceIndependentSize() != QSizeF(size()) ||
        !qFuzzyCompare(m_picture.devicePixelRatio(), dpr)) {
        m_picture = QPixmap(size() * dpr);
        m_picture.setDevicePixelRatio(dpr);
        m_picture.fill(Qt::transparent);
        QPainter painter(&m_picture);
        painter.setRenderHint(QPainter::Antialiasing);
        paintBackdrop(painter);
    }
    QPainter(this).drawPixmap(0, 0, m_picture);
}

void IllustrationBackdrop::paintBackdrop(QPainter& painter) const {
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
