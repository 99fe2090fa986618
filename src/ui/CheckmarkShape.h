#pragma once

#include <QPainterPath>
#include <QRectF>

namespace quorvex {

/// The open check that success marks draw: from the left middle down to the bottom at 0.38 of the
/// width, then up to the top right. The bottom point's x is 0.38 × the width itself, not the
/// left edge plus it, so the check sits the same way in every drawing that shares it.
struct CheckmarkShape {
    static QPainterPath path(const QRectF& rect);
    /// The first `fraction` of the path by length (0 draws nothing, 1 the whole check), for a
    /// check that is drawn from its left end.
    static QPainterPath trimmed(const QRectF& rect, double fraction);
};

} // namespace quorvex
