#include "illustrations/Pointer.h"

#include "illustrations/Curves.h"

#include <QColor>
#include <QPainter>
#include <QPalette>
#include <QPen>

#include <QPixmap>

#include <algorithm>
#include <cmath>

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

QPainterPath Pointer::arrowShape(QSizeF size) {
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

QRectF Pointer::changedBounds(std::span<const double> clicks, double was, QPointF wasPosition,
                              double wasOpacity, double t, QPointF position, double opacity) {
    if (wasPosition == position && wasOpacity == opacity && pressed(clicks, was) == pressed(clicks, t) &&
        ringProgress(clicks, was) == ringProgress(clicks, t))
        return {};
    return bounds(wasPosition, clicks, was) | bounds(position, clicks, t);
}

namespace {

// Rows of the ring stroked at once.
constexpr int kRingBandRows = 6;

// Room around the arrow in its picture, for its outline and its shadow.
constexpr double kArrowMargin = 3;

void paintArrow(QPainter& painter, bool pressed) {
    if (pressed)
        painter.scale(0.85, 0.85);
    const QPainterPath arrow = Pointer::arrowShape(Pointer::kArrowSize);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 77));
    painter.drawPath(arrow.translated(0, 1));
    painter.setBrush(Qt::black);
    painter.setPen(QPen(Qt::white, 1.2));
    painter.drawPath(arrow);
}

// The arrow's picture, its tip `phase` device pixels past a whole pixel. The pointer moves every
// frame, and filling its antialiased outline each time goes through Qt's raster thread pool; a
// picture blitted on whole pixels does not.
const QPixmap& arrowPicture(bool pressed, qreal dpr, double phase) {
    static QPixmap pictures[2];
    QPixmap& picture = pictures[pressed ? 1 : 0];
    if (picture.isNull() || !qFuzzyCompare(picture.devicePixelRatio(), dpr)) {
        const QSizeF size = Pointer::kArrowSize + QSizeF(2 * kArrowMargin, 2 * kArrowMargin);
        picture = QPixmap(QSize(static_cast<int>(std::ceil(size.width() * dpr)),
                                static_cast<int>(std::ceil(size.height() * dpr))));
        picture.setDevicePixelRatio(dpr);
        picture.fill(Qt::transparent);
        QPainter p(&picture);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(kArrowMargin + phase / dpr, kArrowMargin + phase / dpr);
        paintArrow(p, pressed);
    }
    return picture;
}

} // namespace

void Pointer::paint(QPainter& painter, QPointF position, std::span<const double> clicks, double t,
                    double opacity) {
    const auto ring = ringProgress(clicks, t);
    const QPointF at = tip(position, ring);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(painter.opacity() * opacity);
    const QTransform world = painter.worldTransform();
    if (ring) {
        const double d = ringDiameter(*ring);
        QColor accent = QPalette().color(QPalette::Highlight);
        accent.setAlphaF(static_cast<float>(1 - *ring));
        painter.setPen(QPen(accent, 2));
        painter.setBrush(Qt::NoBrush);
        const QRectF circle(at.x() - d / 2, at.y() - d / 2, d, d);
        // Stroked in one pass, a large antialiased ring is enough spans for Qt's raster engine to
        // hand it to its thread pool; clipped to short bands of whole rows it stays on this thread.
        const QRect rows = world.mapRect(circle.adjusted(-2, -2, 2, 2)).toAlignedRect();
        for (int y = rows.top(); y <= rows.bottom(); y += kRingBandRows) {
            painter.save();
            painter.setWorldTransform(QTransform());
            painter.setClipRect(QRect(rows.left(), y, rows.width(), kRingBandRows), Qt::IntersectClip);
            painter.setWorldTransform(world);
            painter.drawEllipse(circle);
            painter.restore();
        }
    }
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatio() : 1.0;
    if (world.type() <= QTransform::TxTranslate) {
        // The tip lands on the device pixel grid where a tip on a half point would (a resting
        // pointer at whole points looks exactly as drawn), within half a pixel while it moves.
        const double phase = 0.5 * dpr - std::floor(0.5 * dpr);
        const QPointF device = world.map(at) * dpr;
        const QPointF whole(std::round(device.x() - phase), std::round(device.y() - phase));
        const double margin = kArrowMargin * dpr;
        painter.setWorldTransform(QTransform());
        painter.drawPixmap(QPointF(whole.x() - margin, whole.y() - margin) / dpr,
                           arrowPicture(pressed(clicks, t), dpr, phase));
    } else {
        painter.translate(at);
        paintArrow(painter, pressed(clicks, t));
    }
    painter.restore();
}

} // namespace quorvex
