#include "illustrations/Pointer.h"

#include "illustrations/Curves.h"

#include <QColor>
#include <QPainter>
#include <QPalette>
#include <QPen>

#include <algorithm>

namespace quorvex {

bool Pointer::pressed(std::span<const double> clicks, double t) {
    return std::any_of(clicks.begin(), clicks.end(),
                       [t](double c) { return c <= t && t < c + kPressSeconds; });
}

std::optional<double> Pointer::ringProgress(std::span<const double> clicks, double t) {
    for (double c : clicks) {
        const double p = smooth(t, c, c + kRingSeconds);
        if (p > 0 && p < 1)
            return p;
    }
    return std::nullopt;
}

QPointF Pointer::tip(QPointF position, std::optional<double> ring) {
    double w = kArrowSize.width();
    double h = kArrowSize.height();
    if (ring) {
        const double d = ringDiameter(*ring);
        w = std::max(w, d);
        h = std::max(h, d);
    }
    return {position.x() + 6 - w / 2, position.y() + 9 - h / 2};
}

QPainterPath Pointer::arrowPath(QSizeF size) {
    const double w = size.width();
    const double h = size.height();
    QPainterPath path;
    path.moveTo(0, 0);
    path.lineTo(0, 0.78 * h);
    path.lineTo(0.3 * w, 0.6 * h);
    path.lineTo(0.48 * w, h);
    path.lineTo(0.64 * w, 0.93 * h);
    path.lineTo(0.46 * w, 0.55 * h);
    path.lineTo(w, 0.55 * h);
    path.closeSubpath();
    return path;
}

QRectF Pointer::bounds(QPointF position, std::span<const double> clicks, double t) {
    // The widest ring is ringDiameter(1) across with a 2 pixel pen; the arrow, its shadow and its
    // outline stay within a few pixels of its size below and right of the tip.
    const QPointF at = tip(position, ringProgress(clicks, t));
    const double ring = ringDiameter(1) / 2 + 3;
    const double reach = std::max(ring, std::max(kArrowSize.width(), kArrowSize.height()) + 4);
    return {at.x() - ring, at.y() - ring, ring + reach, ring + reach};
}

void Pointer::paint(QPainter& painter, QPointF position, std::span<const double> clicks, double t,
                    double opacity) {
    const auto ring = ringProgress(clicks, t);
    const QPointF at = tip(position, ring);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(painter.opacity() * opacity);
    painter.translate(at);
    if (ring) {
        const double d = ringDiameter(*ring);
        QColor accent = QPalette().color(QPalette::Highlight);
        accent.setAlphaF(static_cast<float>(1 - *ring));
        painter.setPen(QPen(accent, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QRectF(-d / 2, -d / 2, d, d));
    }
    if (pressed(clicks, t))
        painter.scale(0.85, 0.85);
    const QPainterPath arrow = arrowPath(kArrowSize);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 77));
    painter.drawPath(arrow.translated(0, 1));
    painter.setBrush(Qt::black);
    painter.setPen(QPen(Qt::white, 1.2));
    painter.drawPath(arrow);
    painter.restore();
}

QRectF Pointer::changedBounds(std::span<const double> clicks, double was, QPointF wasPosition,
                              double wasOpacity, double t, QPointF position, double opacity) {
    if (wasPosition == position && wasOpacity == opacity && pressed(clicks, was) == pressed(clicks, t) &&
        ringProgress(clicks, was) == ringProgress(clicks, t))
        return {};
    return bounds(wasPosition, clicks, was) | bounds(position, clicks, t);
}

} // namespace quorvex
