#include "storage/cleaner/CleanupMarks.h"

#include "storage/cleaner/CleanupHUDPresenter.h"
#include "ui/CheckmarkShape.h"
#include "ui/Fonts.h"
#include "ui/Motion.h"
#include "ui/Palette.h"
#include "ui/RollingText.h"
#include "ui/Spring.h"

#include <QConicalGradient>
#include <QLinearGradient>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quorvex::CleanupMarks {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kLineWidth = 8;
constexpr double kSpinnerArc = 0.28;

// Progress of a timed part of an entrance, `elapsed` seconds after the mark appeared.
double eased(double elapsed, double delay, double seconds) {
    return Motion::easeOut(seconds).delayed(delay).progress(std::max(0.0, elapsed));
}

// The bouncy entrance of the discs: overshoots a little and settles.
double pop(double elapsed, double response, double damping) {
    return Spring(response, damping).value(std::max(0.0, elapsed));
}

void paintBacking(QPainter& painter, const QRectF& rect, const QColor& material) {
    const QRectF disc = rect.adjusted(-kLineWidth, -kLineWidth, kLineWidth, kLineWidth);
    painter.setPen(Qt::NoPen);
    // A soft shadow below the disc: a few widening rings of falling alpha.
    for (int i = 4; i >= 1; --i) {
        painter.setBrush(QColor(0, 0, 0, 9));
        painter.drawEllipse(disc.translated(0, 3).adjusted(-i * 1.5, -i * 1.5, i * 1.5, i * 1.5));
    }
    painter.setBrush(material);
    painter.drawEllipse(disc);
}

void paintTrack(QPainter& painter, const QRectF& rect, const QColor& primary) {
    QColor track = primary;
    track.setAlphaF(0.08);
    painter.setPen(QPen(track, kLineWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(rect);
}

// An arc of the circle in `rect` from twelve o'clock clockwise over `fraction` of the turn,
// turned further by `rotation` degrees clockwise.
void paintArc(QPainter& painter, const QRectF& rect, double fraction, double rotation, const QBrush& brush) {
    QPen pen(brush, kLineWidth, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const int start = static_cast<int>(std::lround((90.0 - rotation) * 16));
    const int span = -static_cast<int>(std::lround(fraction * 360.0 * 16));
    painter.drawArc(rect, start, span);
}

void paintShadowedDisc(QPainter& painter, const QRectF& disc, const QColor& shadow, const QBrush& fill) {
    painter.setPen(Qt::NoPen);
    for (int i = 3; i >= 1; --i) {
        QColor ring = shadow;
        ring.setAlphaF(0.4 / 6.0);
        painter.setBrush(ring);
        painter.drawEllipse(disc.translated(0, 4).adjusted(-i * 3.0, -i * 3.0, i * 3.0, i * 3.0));
    }
    painter.setBrush(fill);
    painter.drawEllipse(disc);
}

QRectF scaled(const QRectF& rect, double scale) {
    const QPointF centre = rect.center();
    const QSizeF size = rect.size() * std::max(0.0, scale);
    return QRectF(centre.x() - size.width() / 2, centre.y() - size.height() / 2, size.width(), size.height());
}

} // namespace

double successDuration() {
    return std::max(Motion::easeOut(0.8).delayed(0.35).duration(), Spring(0.5, 0.55).settlingDuration());
}

double failureDuration() {
    return std::max(Motion::linear(0.5).delayed(0.3).duration(), Spring(0.45, 0.6).settlingDuration());
}

double spinnerAngle(double elapsed) {
    const double turns = std::fmod(std::max(0.0, elapsed) / 0.9, 1.0);
    return turns * 360.0;
}

SuccessFrame success(double elapsed) {
    return {pop(elapsed, 0.5, 0.55), eased(elapsed, 0.25, 0.35), eased(elapsed, 0.35, 0.8)};
}

FailureFrame failure(double elapsed) {
    const double s = Motion::linear(0.5).delayed(0.3).progress(std::max(0.0, elapsed));
    return {pop(elapsed, 0.45, 0.6), std::sin(s * kPi * 6.0) * 8.0 * (1.0 - s)};
}

void paintSpinner(QPainter& painter, const QRectF& rect, double elapsed, const QColor& accent,
                  const QColor& primary, const QColor& material) {
    const QRectF inner = rect.adjusted(kLineWidth, kLineWidth, -kLineWidth, -kLineWidth);
    paintBacking(painter, inner, material);
    paintTrack(painter, inner, primary);
    // The arc's gradient runs once round the whole turn, clear to the full accent, and the arc
    // covers only its first 28 %: the tail is clear and the head reaches 28 % of the accent.
    // The gradient turns with the arc. Behind the tail (its round cap) it stays clear, so the
    // seam where the turn closes falls in the half the arc never reaches.
    const double rotation = spinnerAngle(elapsed);
    const double tailAngle = -rotation; // the arc starts at three o'clock and runs clockwise
    QConicalGradient gradient(inner.center(), tailAngle);
    QColor clear = accent;
    clear.setAlphaF(0.0);
    QColor half = accent;
    half.setAlphaF(0.5 * accent.alphaF());
    // A conical gradient runs counter-clockwise: position 1 − s lies s of a turn clockwise
    // past the tail.
    gradient.setColorAt(0.0, clear);
    gradient.setColorAt(0.4999, clear);
    gradient.setColorAt(0.5, half);
    gradient.setColorAt(1.0, clear);
    paintArc(painter, inner, kSpinnerArc, rotation + 90.0, QBrush(gradient));
}

void paintRing(QPainter& painter, const QRectF& rect, double fraction, const RollingText& percent,
               const QColor& accent, const QColor& primary, const QColor& material) {
    const QRectF inner = rect.adjusted(kLineWidth, kLineWidth, -kLineWidth, -kLineWidth);
    paintBacking(painter, inner, material);
    paintTrack(painter, inner, primary);
    QLinearGradient gradient(inner.topLeft(), inner.bottomRight());
    gradient.setColorAt(0.0, accent);
    gradient.setColorAt(1.0, Palette::purple());
    paintArc(painter, inner, CleanupHUDPresenter::arcEnd(fraction), 0.0, QBrush(gradient));
    painter.setPen(primary);
    painter.setFont(Fonts::system(20, QFont::DemiBold));
    percent.paint(painter, inner, Qt::AlignCenter);
}

void paintSuccess(QPainter& painter, const QRectF& rect, double elapsed) {
    const SuccessFrame frame = success(elapsed);
    const QColor green = Palette::green();

    // The expanding ring: from 0.9 to 1.7 times the mark, fading and thinning as it grows.
    QColor ring = green;
    ring.setAlphaF(0.5 * (1.0 - frame.burst));
    painter.setPen(QPen(ring, 6.0 - 5.0 * frame.burst));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(scaled(rect, 0.9 + 0.8 * frame.burst));

    // Ten particles on a circle of radius 40 that flies out to 78 as they fade.
    const double radius = 40.0 + 38.0 * frame.burst;
    const double particleOpacity = std::clamp(frame.circle, 0.0, 1.0) * (1.0 - frame.burst);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 10; ++i) {
        const double angle = 2.0 * kPi * i / 10.0;
        const double diameter = i % 2 == 0 ? 7.0 : 5.0;
        QColor dot = i % 2 == 0 ? green : Palette::mint();
        dot.setAlphaF(particleOpacity);
        painter.setBrush(dot);
        const QPointF centre = rect.center() + QPointF(std::cos(angle) * radius, std::sin(angle) * radius);
        painter.drawEllipse(centre, diameter / 2, diameter / 2);
    }

    // The disc pops from 0.3 to full size.
    const QRectF disc = scaled(rect, 0.3 + 0.7 * frame.circle);
    QLinearGradient fill(disc.topLeft(), disc.bottomLeft());
    fill.setColorAt(0.0, green);
    fill.setColorAt(1.0, QColor::fromRgbF(0.1f, 0.7f, 0.4f));
    painter.setOpacity(std::clamp(frame.circle, 0.0, 1.0));
    paintShadowedDisc(painter, disc, green, QBrush(fill));
    painter.setOpacity(1.0);

    // The check, drawn from its left end, in a 40 × 31 frame at the centre.
    const QRectF checkFrame(rect.center().x() - 20.0, rect.center().y() - 15.5, 40.0, 31.0);
    painter.save();
    painter.translate(checkFrame.topLeft());
    painter.setPen(QPen(Qt::white, 9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    if (frame.check > 0)
        painter.drawPath(CheckmarkShape::trimmed(QRectF(0, 0, 40.0, 31.0), frame.check));
    painter.restore();
}

void paintFailure(QPainter& painter, const QRectF& rect, double elapsed) {
    const FailureFrame frame = failure(elapsed);
    const QRectF shaken = rect.translated(frame.offset, 0);
    const QRectF disc = scaled(shaken, 0.3 + 0.7 * frame.shown);
    painter.setOpacity(std::clamp(frame.shown, 0.0, 1.0));
    paintShadowedDisc(painter, disc, Palette::orange(), QBrush(Palette::gradient(Palette::orange(), disc)));
    // The exclamation sign, bold and white, about 40 points tall at the disc's full size.
    const QPointF centre = shaken.center();
    painter.setPen(QPen(Qt::white, 6.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre + QPointF(0, -15), centre + QPointF(0, 5));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(centre + QPointF(0, 14), 3.6, 3.6);
    painter.setOpacity(1.0);
}

} // namespace quorvex::CleanupMarks
