#include "windows/SignalBars.h"

#include "platform/core/Clock.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace quorvex {

namespace {

constexpr double kFrame = 1.0 / 60.0;
// Parts not yet reached are drawn this much of the colour.
constexpr double kDim = 0.25;

// How lit part `index` of `parts` is at `fill`: 0 below its share, 1 from the full share on, in
// between while the spring moves through it.
double lit(double fill, int index, int parts) {
    return std::clamp(fill * parts - index, 0.0, 1.0);
}

} // namespace

SignalBars::SignalBars(Kind kind, Clock& clock, QWidget* parent)
    : QWidget(parent)
    , m_kind(kind)
    , m_clock(clock) {
    setFixedSize(sizeHint());
}

SignalBars::~SignalBars() = default;

QSize SignalBars::sizeHint() const {
    return {18, 14};
}

double SignalBars::shownFill() const {
    if (!m_moving)
        return m_target;
    return m_from + (m_target - m_from) * m_spring.value(m_clock.now() - m_start);
}

void SignalBars::setFill(double fill) {
    fill = std::clamp(fill, 0.0, 1.0);
    if (fill == m_target)
        return;
    // From wherever the spring is now, so a change in mid-flight does not jump.
    m_from = shownFill();
    m_target = fill;
    m_start = m_clock.now();
    m_moving = true;
    if (!m_next)
        m_next = m_clock.schedule(kFrame, [this] { step(); });
    update();
}

void SignalBars::step() {
    m_next.reset();
    if (m_clock.now() - m_start >= m_spring.settlingDuration())
        m_moving = false;
    else
        m_next = m_clock.schedule(kFrame, [this] { step(); });
    update();
}

void SignalBars::setColor(const QColor& color) {
    m_color = color;
    update();
}

void SignalBars::setOpacity(double opacity) {
    m_opacity = opacity;
    update();
}

void SignalBars::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(m_opacity);
    const double fill = shownFill();
    const auto colour = [this](double amount) {
        QColor c = m_color;
        c.setAlphaF(float(m_color.alphaF() * (kDim + (1 - kDim) * amount)));
        return c;
    };
    if (m_kind == Kind::cellular) {
        // Four bars, a quarter of the height apart, standing on the bottom edge.
        const double width = 3, gap = 1.5, bottom = 13;
        for (int i = 0; i < 4; ++i) {
            const double height = 3.0 * (i + 1);
            const QRectF bar(0.5 + i * (width + gap), bottom - height, width, height);
            painter.setPen(Qt::NoPen);
            painter.setBrush(colour(lit(fill, i, 4)));
            painter.drawRoundedRect(bar, 0.8, 0.8);
        }
        return;
    }
    // A dot under two arcs, fanned upwards from it.
    const QPointF centre(9, 12.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour(lit(fill, 0, 3)));
    painter.drawEllipse(centre - QPointF(0, 0.5), 1.6, 1.6);
    for (int arc = 1; arc <= 2; ++arc) {
        const double radius = 4.5 * arc;
        QPen pen(colour(lit(fill, arc, 3)), 2.0, Qt::SolidLine, Qt::RoundCap);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
        painter.drawArc(box, 45 * 16, 90 * 16);
    }
}

} // namespace quorvex
