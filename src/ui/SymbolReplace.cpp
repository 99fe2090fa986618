#include "ui/SymbolReplace.h"

#include "ui/Symbols.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace quorvex {

SymbolReplace::SymbolReplace(QString symbol)
    : m_from(symbol)
    , m_to(std::move(symbol)) {}

SymbolReplace::SymbolReplace(QString from, QString to)
    : m_from(std::move(from))
    , m_to(std::move(to)) {}

std::vector<SymbolReplace::Layer> SymbolReplace::layers(double progress) const {
    if (!std::isfinite(progress))
        progress = 1;
    if (m_from == m_to)
        return m_to.isEmpty() ? std::vector<Layer>{} : std::vector<Layer>{{m_to, {}}};
    std::vector<Layer> shown;
    const double out = std::clamp(progress / kOutgoingEnd, 0.0, 1.0);
    const ScaleFade leaving{1 - (1 - kSmallest) * out, 1 - out};
    if (!m_from.isEmpty() && leaving.visible())
        shown.push_back({m_from, leaving});
    // Not clamped above: a spring's overshoot swells the new symbol a little and lets it settle.
    const double in = std::max(0.0, (progress - kIncomingStart) / (1 - kIncomingStart));
    const ScaleFade arriving{kSmallest + (1 - kSmallest) * in, std::min(in, 1.0)};
    if (!m_to.isEmpty() && arriving.visible())
        shown.push_back({m_to, arriving});
    return shown;
}

void SymbolReplace::paint(QPainter& painter, double progress, const QRectF& rect, const QColor& color) const {
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    for (const Layer& layer : layers(progress)) {
        painter.save();
        // Scaled, the pixmap needs filtering, or its thin strokes break up.
        if (layer.look.scale != 1)
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
        layer.look.apply(painter, rect);
        painter.drawPixmap(rect, Symbols::pixmap(layer.symbol, rect.size().toSize(), color, ratio), QRectF());
        painter.restore();
    }
}

} // namespace quorvex
