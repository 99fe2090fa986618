#include "illustrations/CachedLayer.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace quorvex {
namespace {

// Blits `picture` with its top-left at `origin` (device coordinates, whole pixels) in bands no
// taller than kBandRows, each of which Qt blends on the calling thread.
void blitInBands(QPainter& painter, QPointF origin, const QPixmap& picture) {
    const qreal dpr = picture.devicePixelRatio();
    const int width = picture.width();
    const int height = picture.height();
    for (int y = 0; y < height; y += CachedLayer::kBandRows) {
        const int rows = std::min(CachedLayer::kBandRows, height - y);
        painter.drawPixmap(QRectF(origin.x(), origin.y() + y / dpr, width / dpr, rows / dpr), picture,
                           QRectF(0, y, width, rows));
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
        // Painted once per band of rows under a clip: a layer's large antialiased shapes (shadows,
        // cards) in one pass would make Qt hand each fill to its thread pool.
        QPainter layer(&m_pixmap);
        for (int y = 0; y < pixels.height(); y += kBandRows) {
            layer.save();
            layer.setClipRect(QRectF(0, y / devicePixelRatio, rect.width(),
                                     std::min(kBandRows, pixels.height() - y) / devicePixelRatio));
            layer.setRenderHint(QPainter::Antialiasing);
            layer.setFont(painter.font());
            paint(layer);
            layer.restore();
        }
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
        // One picture pixel to one device pixel: neither hint changes a pixel, and with them a
        // faded blit takes Qt's general path, which hands long passes to its thread pool.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.setRenderHint(QPainter::Antialiasing, false);
        blitInBands(painter, origin, m_pixmap);
    } else {
        // Scaled, the picture is drawn through the transform as before, once per band of the
        // device rows it covers: the clip keeps each pass short enough for the calling thread.
        // Its edges are transparent margin, so antialiasing them (which makes Qt split the
        // pass over its threads whatever the clip) changes nothing.
        painter.setRenderHint(QPainter::Antialiasing, false);
        const QRect covered = target.toAlignedRect().adjusted(-1, -1, 1, 1);
        const int band = std::max(1, static_cast<int>(kBandRows / dpr));
        for (int y = covered.top(); y <= covered.bottom(); y += band) {
            painter.save();
            painter.setClipRect(
                QRect(covered.left(), y, covered.width(), std::min(band, covered.bottom() + 1 - y)),
                Qt::IntersectClip);
            painter.setWorldTransform(world);
            painter.drawPixmap(rect.topLeft(), m_pixmap);
            painter.restore();
        }
    }
    painter.restore();
}

} // namespace quorvex
