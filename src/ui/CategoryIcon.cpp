#include "ui/CategoryIcon.h"

#include "ui/Palette.h"
#include "ui/Symbols.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace quorvex {

CategoryIcon::CategoryIcon(QString symbol, QColor tint, qreal size, QWidget* parent)
    : QWidget(parent)
    , m_symbol(std::move(symbol))
    , m_tint(tint)
    , m_size(size) {
    const int side = static_cast<int>(std::ceil(size));
    setFixedSize(side, side);
}

void CategoryIcon::setSymbol(const QString& symbol, const QColor& tint) {
    if (symbol == m_symbol && tint == m_tint)
        return;
    m_symbol = symbol;
    m_tint = tint;
    update();
}

QSize CategoryIcon::sizeHint() const {
    const int side = static_cast<int>(std::ceil(m_size));
    return {side, side};
}

void CategoryIcon::paint(QPainter& painter, const QRectF& rect, const QString& symbol, const QColor& tint) {
    const qreal size = std::min(rect.width(), rect.height());
    const QRectF square(rect.topLeft(), QSizeF(size, size));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Palette::gradient(tint, square));
    const qreal radius = cornerRadius(size);
    painter.drawRoundedRect(square, radius, radius);

    const qreal glyph = glyphSize(size);
    const int pixels = std::max(1, static_cast<int>(std::lround(glyph)));
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QPixmap pixmap = Symbols::pixmap(symbol, QSize(pixels, pixels), Qt::white, std::max(ratio, 1.0));
    const QRectF target(square.center().x() - glyph / 2, square.center().y() - glyph / 2, glyph, glyph);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(target, pixmap, QRectF(pixmap.rect()));
    painter.restore();
}

void CategoryIcon::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint(painter, QRectF(0, 0, m_size, m_size), m_symbol, m_tint);
}

} // namespace quorvex
