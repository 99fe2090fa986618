#pragma once

#include <QColor>
#include <QFont>
#include <QSizeF>
#include <QString>

class QPainter;

namespace quorvex {

/// A text, optionally after a symbol, on a filled capsule: what the cleaner's badges and chips are
/// made of. Measured and painted without a widget, so list rows can draw many.
struct CapsuleLabel {
    QString text;
    QString symbol; // empty: text only
    QFont font;
    QColor foreground;
    QColor fill;
    qreal horizontalPadding = 0;
    qreal verticalPadding = 0;

    QSizeF size() const;
    /// Paints at `topLeft` with the size of size().
    void paint(QPainter& painter, const QPointF& topLeft) const;
};

} // namespace quorvex
