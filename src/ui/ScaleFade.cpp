#include "ui/ScaleFade.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace quorvex {

ScaleFade ScaleFade::appearing(double amount) {
    if (!std::isfinite(amount))
        return {1, 1};
    return {std::max(amount, 0.0), std::clamp(amount, 0.0, 1.0)};
}

void ScaleFade::apply(QPainter& painter, const QRectF& rect) const {
    const QPointF centre = rect.center();
    painter.translate(centre);
    painter.scale(scale, scale);
    painter.translate(-centre);
    painter.setOpacity(painter.opacity() * opacity);
}

} // namespace quorvex
