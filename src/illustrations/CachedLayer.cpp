#include "illustrations/CachedLayer.h"

#include <QPainter>

#include <cmath>

namespace quorvex {

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
    painter.drawPixmap(rect.topLeft(), m_pixmap);
}

} // namespace quorvex
