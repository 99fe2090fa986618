#pragma once

#include <QPalette>
#include <QRectF>
#include <QString>

class QPainter;
class QWidget;

namespace quorvex {

/// The keyboard-focus ring every custom-painted or style-sheeted control of ours draws, so a
/// keyboard user always sees where focus is: a 2-pixel stroke in the palette's highlight colour,
/// drawn just inside the control's shape.
struct FocusRing {
    static constexpr double width = 2.0;

    /// Strokes the ring inside `shape` (rounded by `radius`) when `widget` has keyboard focus.
    /// Does nothing otherwise, so paint code can call it unconditionally.
    static void paint(QPainter& painter, const QWidget& widget, const QRectF& shape, double radius);

    /// The same ring, unconditionally, in `palette`'s highlight colour.
    static void paint(QPainter& painter, const QPalette& palette, const QRectF& shape, double radius);

    /// A style-sheet rule that gives a style-sheeted control of class `selector` the same ring while
    /// it has focus (append it to the control's style sheet).
    static QString styleSheetRule(const QString& selector, double radius);
};

} // namespace quorvex
