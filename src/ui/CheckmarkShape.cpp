#include "ui/CheckmarkShape.h"

#include <QLineF>

#include <algorithm>
#include <array>

namespace quorvex {

namespace {

std::array<QPointF, 3> corners(const QRectF& rect) {
    return {QPointF(rect.left(), rect.center().y()), QPointF(0.38 * rect.width(), rect.bottom()),
            QPointF(rect.right(), rect.top())};
}

} // namespace

QPainterPath CheckmarkShape::path(const QRectF& rect) {
    const auto points = corners(rect);
    QPainterPath path(points[0]);
    path.lineTo(points[1]);
    path.lineTo(points[2]);
    return path;
}

QPainterPath CheckmarkShape::trimmed(const QRectF& rect, double fraction) {
    const auto points = corners(rect);
    const QLineF first(points[0], points[1]);
    const QLineF second(points[1], points[2]);
    double left = std::clamp(fraction, 0.0, 1.0) * (first.length() + second.length());
    QPainterPath path(points[0]);
    if (left <= 0.0)
        return path;
    if (left <= first.length()) {
        path.lineTo(first.pointAt(first.length() > 0 ? left / first.length() : 1.0));
        return path;
    }
    path.lineTo(points[1]);
    left -= first.length();
    path.lineTo(second.pointAt(second.length() > 0 ? std::min(1.0, left / second.length()) : 1.0));
    return path;
}

} // namespace quorvex
