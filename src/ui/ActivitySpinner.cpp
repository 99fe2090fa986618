#include "ui/ActivitySpinner.h"

#include <QPainter>
#include <QTimerEvent>

#include <cmath>

namespace quorvex {
namespace {

constexpr int kSpokes = 12;
constexpr int kStepMs = 1000 / kSpokes;

} // namespace

ActivitySpinner::ActivitySpinner(int side, QWidget* parent)
    : QWidget(parent)
    , m_side(side) {
    setFixedSize(side, side);
}

void ActivitySpinner::paint(QPainter& painter, const QRectF& rect, const QColor& color, int step) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(rect.width(), rect.height());
    const qreal width = std::max(1.5, side / 8);
    painter.translate(rect.center());
    for (int spoke = 0; spoke < kSpokes; ++spoke) {
        // The spoke at the current step is darkest; the ones behind it fade out.
        const int age = ((step - spoke) % kSpokes + kSpokes) % kSpokes;
        QColor shade = color;
        shade.setAlphaF(static_cast<float>(color.alphaF() * (1.0 - 0.75 * age / (kSpokes - 1))));
        painter.setPen(QPen(shade, width, Qt::SolidLine, Qt::RoundCap));
        painter.save();
        painter.rotate(360.0 * spoke / kSpokes);
        painter.drawLine(QPointF(0, -side / 2 + width / 2), QPointF(0, -side / 4));
        painter.restore();
    }
    painter.restore();
}

void ActivitySpinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint(painter, QRectF(rect()), palette().color(QPalette::WindowText), m_step);
}

void ActivitySpinner::showEvent(QShowEvent*) {
    m_timer.start(kStepMs, this);
}

void ActivitySpinner::hideEvent(QHideEvent*) {
    m_timer.stop();
}

void ActivitySpinner::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_timer.timerId())
        return QWidget::timerEvent(event);
    m_step = (m_step + 1) % kSpokes;
    update();
}

} // namespace quorvex
