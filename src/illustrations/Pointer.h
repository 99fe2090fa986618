#pragma once

#include <QPainterPath>
#include <QPointF>
#include <QRectF>

#include <optional>
#include <span>

class QPainter;

namespace quorvex {

/// The mock mouse pointer of the illustrations: an arrow whose tip is at `position`, pressed
/// for a moment at each click time and showing a ring that grows and fades after it.
struct Pointer {
    static constexpr double kPressSeconds = 0.15;
    static constexpr double kRingSeconds = 0.45;
    static constexpr QSizeF kArrowSize{13, 19};

    /// Whether some click c has c <= t < c + kPressSeconds.
    static bool pressed(std::span<const double> clicks, double t);
    /// Progress of the ring of the first click (in list order) whose ring is under way, strictly
    /// between 0 and 1; none when no ring shows.
    static std::optional<double> ringProgress(std::span<const double> clicks, double t);
    /// Diameter of the ring at progress p: from 6 to 40.
    static double ringDiameter(double progress) { return 6 + 34 * progress; }
    /// Where the arrow's tip is drawn: half a point up and left of `position`, moving further up
    /// and left while the ring is larger than the arrow (the pointer grows about its centre).
    static QPointF tip(QPointF position, std::optional<double> ring);
    /// The arrow outline in a rectangle of `size`, tip at (0, 0).
    static QPainterPath arrowShape(QSizeF size);
    /// Everything paint() may cover for these arguments: the arrow and its click ring.
    static QRectF bounds(QPointF position, std::span<const double> clicks, double t);
    /// What must be repainted of the pointer between a frame at `was` and one at `t`: both
    /// frames' bounds when its place, opacity, press or ring changed, else nothing.
    static QRectF changedBounds(std::span<const double> clicks, double was, QPointF wasPosition,
                                double wasOpacity, double t, QPointF position, double opacity);

    static void paint(QPainter& painter, QPointF position, std::span<const double> clicks, double t,
                      double opacity);
};

} // namespace quorvex
