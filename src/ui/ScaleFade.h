#pragma once

#include <QRectF>

class QPainter;

namespace quorvex {

/// How a badge or a symbol is drawn on its way in or out: scaled about its centre and faded.
struct ScaleFade {
    double scale = 1;
    double opacity = 1;

    /// A badge `amount` of the way in: from nothing at 0 to its full size at 1, fading in with it.
    /// A spring may carry the scale past 1 and back; the opacity stays within [0, 1].
    static ScaleFade appearing(double amount);

    /// False when nothing of it would show.
    bool visible() const { return scale > 0 && opacity > 0; }
    /// Scales the painter about the centre of `rect` and multiplies its opacity; the caller saves
    /// and restores the painter around what it then draws.
    void apply(QPainter& painter, const QRectF& rect) const;
};

} // namespace quorvex
