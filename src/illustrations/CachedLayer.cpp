#include "illustrations/CachedLayer.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace quorvex {
namespace {

// Blits `picture` with its top-left at `origin` (device coordinates, whole pixels) in bands no
// taller than kBandRows, each of which Qt blends on the calling thread.
template <typename Picture> void blitInBands(QPainter& painter, QPointF origin, const Picture& picture) {
    const qreal dpr = picture.devicePixelRatio();
    const int width = picture.width();
    const int height = picture.height();
    for (int y = 0; y < height; y += CachedLayer::kBandRows) {
        const int rows = std::min(CachedLayer::kBandRows, height - y);
        const QRectF target(origin.x(), origin.y() + y / dpr, width / dpr, rows / dpr);
        const QRectF source(0, y, width, rows);
        if constexpr (std::is_same_v<Picture, QImage>)
            painter.drawImage(target, picture, source);
        else
            painter.drawPixmap(target, picture, source);
    }
}

} // namespace

void CachedLayer::draw(QPainter& painter, const QRectF& rect, qreal devicePixelRatio, quint64 key,
                       const std::function<void(QPainter&)>& paint) {
    if (m_pixmap.isNull() || m_key != key || m_size != rect.size() ||
        !qFuzzyCompare(m_pixmap.devicePixelRatio(), devicePixelRatio)) {
        const QSize pixels(static_cast<int>(std::ceil(rect.width() * devicePixelRatio)),
                           static_cast<int>(std::ceil(rect.height() * devicePixelRatio)));
        m_pixmap = QPixmap(pixels);
        m_pixmap.setDevicePixelRatio(devicePixelRatio);
        m_pixmap.fill(Qt::transparent);
        QPainter layer(&m_pixmap);
        layer.setRenderHint(QPainter::Antialiasing);
        layer.setFont(painter.font());
        paint(layer);
        m_size = rect.size();
        m_key = key;
    }

    const QTransform world = painter.worldTransform();
    if (world.type() > QTransform::TxScale) {
        painter.drawPixmap(rect.topLeft(), m_pixmap);
        return;
    }
    // Placed on whole device pixels, the bands are plain blits: no resampling, and no seams
    // between them.
    const QRectF target = world.mapRect(rect);
    const qreal dpr = m_pixmap.devicePixelRatio();
    const QPointF origin(std::round(target.left() * dpr) / dpr, std::round(target.top() * dpr) / dpr);
    painter.save();
    painter.setWorldTransform(QTransform());
    if (world.type() <= QTransform::TxTranslate) {
        blitInBands(painter, origin, m_pixmap);
    } else {
        // Scaled once per size with the smooth single-threaded scaler, then blitted like the rest.
        const QSize pixels(std::max(1, static_cast<int>(std::lround(target.width() * dpr))),
                           std::max(1, static_cast<int>(std::lround(target.height() * dpr))));
        if (m_scaled.size() != pixels || m_scaledFrom != m_pixmap.cacheKey()) {
            m_scaled = m_pixmap.toImage().scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            m_scaled.setDevicePixelRatio(dpr);
            m_scaledFrom = m_pixmap.cacheKey();
        }
        blitInBands(painter, origin, m_scaled);
    }
    painter.restore();
}

} // namespace quorvex
