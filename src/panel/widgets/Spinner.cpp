#include "panel/widgets/Spinner.h"

#include "panel/widgets/PanelAccessibility.h"

#include <QAccessible>
#include <QPainter>
#include <QTimer>

namespace quorvex {
namespace {

constexpr int kSpokes = 12;

} // namespace

Spinner::Spinner(QWidget* parent)
    : QWidget(parent)
    , m_timer(new QTimer(this)) {
    PanelAccessibility::install();
    setFixedSize(sizeHint());
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // Pure decoration: its pace needs no clock of the program's.
    m_timer->setInterval(80);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % kSpokes;
        update();
    });
}

void Spinner::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_timer->start();
    QAccessible::State busy;
    busy.busy = true;
    QAccessibleStateChangeEvent changed(this, busy);
    QAccessible::updateAccessibility(&changed);
}

void Spinner::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_timer->stop();
}

void Spinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    const double radius = std::min(width(), height()) / 2.0;
    QColor colour = palette().color(QPalette::WindowText);
    for (int i = 0; i < kSpokes; ++i) {
        // The spoke at the current step is darkest; the ones behind it fade out.
        const int age = (m_step - i + kSpokes) % kSpokes;
        colour.setAlphaF(float(1.0 - 0.75 * age / double(kSpokes - 1)));
        painter.setPen(QPen(colour, 1.5, Qt::SolidLine, Qt::RoundCap));
        painter.save();
        painter.rotate(i * 360.0 / kSpokes);
        painter.drawLine(QPointF(0, -radius * 0.45), QPointF(0, -radius + 0.75));
        painter.restore();
    }
}

} // namespace quorvex
