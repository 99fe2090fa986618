#include "panel/widgets/PanelDivider.h"

#include <QPainter>

namespace quorvex {

PanelDivider::PanelDivider(double opacity, QWidget* parent)
    : QWidget(parent)
    , m_opacity(opacity) {
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void PanelDivider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor line = palette().color(QPalette::Mid);
    line.setAlphaF(float(m_opacity));
    painter.fillRect(rect(), line);
}

} // namespace quorvex
