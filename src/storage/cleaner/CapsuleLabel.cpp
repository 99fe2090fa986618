#include "storage/cleaner/CapsuleLabel.h"

#include "ui/Symbols.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace quorvex {
namespace {

// A symbol as tall as the text's cap-to-descender box, and the gap between symbol and text.
qreal symbolSide(const QFontMetricsF& metrics) {
    return std::round(metrics.height() * 0.85);
}
qreal symbolGap(const QFontMetricsF& metrics) {
    return std::round(metrics.height() * 0.3);
}

} // namespace

QSizeF CapsuleLabel::size() const {
    const QFontMetricsF metrics(font);
    qreal width = metrics.horizontalAdvance(text);
    if (!symbol.isEmpty())
        width += symbolSide(metrics) + symbolGap(metrics);
    return {std::ceil(width + 2 * horizontalPadding), std::ceil(metrics.height() + 2 * verticalPadding)};
}

void CapsuleLabel::paint(QPainter& painter, const QPointF& topLeft) const {
    const QSizeF box = size();
    const QRectF rect(topLeft, box);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(rect, box.height() / 2, box.height() / 2);

    const QFontMetricsF metrics(font);
    qreal x = rect.left() + horizontalPadding;
    if (!symbol.isEmpty()) {
        const qreal side = symbolSide(metrics);
        const int pixels = std::max(1, static_cast<int>(side));
        const qreal ratio = painter.device() ? std::max(painter.device()->devicePixelRatioF(), 1.0) : 1.0;
        const QPixmap pixmap = Symbols::pixmap(symbol, QSize(pixels, pixels), foreground, ratio);
        painter.drawPixmap(QRectF(x, rect.center().y() - side / 2, side, side), pixmap,
                           QRectF(pixmap.rect()));
        x += side + symbolGap(metrics);
    }
    painter.setFont(font);
    painter.setPen(foreground);
    painter.drawText(QRectF(x, rect.top() + verticalPadding, rect.right() - x, metrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    painter.restore();
}

} // namespace quorvex
