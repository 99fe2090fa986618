#include "panel/widgets/GlassSeparator.h"

#include <QPainter>

namespace quorvex {

GlassSeparator::GlassSeparator(QWidget* parent)
    : QWidget(parent) {
    setFixedSize(5, 16);
}

void GlassSeparator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor line = palette().color(QPalette::WindowText);
    line.setAlphaF(0.15f);
    painter.fillRect(QRect(2, 0, 1, 16), line);
}

} // namespace quorvex
