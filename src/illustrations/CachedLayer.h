#pragma once

#include <QPixmap>
#include <QRectF>

#include <functional>

class QPainter;

namespace quorvex {

/// A picture of a layer of a drawing that changes far less often than the drawing is repainted
/// (text, cards, mock windows). It is redrawn only when its key, its size or the screen's pixel
/// ratio changes; every other frame blits it, which keeps a shown drawing cheap on the CPU.
class CachedLayer final {
public:
    /// Rows of device pixels painted or blitted at once: Qt's raster engine hands longer passes to
    /// its GUI thread pool, whose wake-ups cost more than a drawing's whole frame.
    static constexpr int kBandRows = 64;

    /// Draws the layer covering `rect` (in the painter's coordinates). `paint` draws it with the
    /// origin at rect's top-left and runs only when the picture must be made again, once per band
    /// of rows under a clip. Under a translation the picture lands on whole device pixels.
    void draw(QPainter& painter, const QRectF& rect, qreal devicePixelRatio, quint64 key,
              const std::function<void(QPainter&)>& paint);
    /// Forgets the picture, for instance when the palette changes.
    void clear() { m_pixmap = {}; }

private:
    QPixmap m_pixmap;
    QSizeF m_size;
    quint64 m_key = 0;
};

} // namespace quorvex
