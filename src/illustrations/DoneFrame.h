#pragma once

#include <QPainterPath>
#include <QRectF>

#include <array>

namespace quorvex {

/// The values of one frame of the setup guide's last drawing: a badge that is a grey disc with
/// an hourglass until the setup is confirmed, then a green disc that springs to full size while a
/// check mark draws in, with two rings rippling out of it.
struct DoneFrame {
    static constexpr double kRingDuration = 2.4;
    static constexpr double kRingStillFrame = 3.0;
    /// The badge springs in this long after it is played.
    static constexpr double kSpringDelay = 0.15;
    static constexpr double kSpringResponse = 0.6;
    static constexpr double kSpringDamping = 0.6;

    struct Ring {
        double side = 0;
        double opacity = 0;
    };

    bool verified = false;
    double discScale = 1;
    double checkTrim = 0; ///< how much of the check mark is drawn, 0 to 1
    bool hourglass = true;
    double hourglassAngle = 0; ///< degrees; the hourglass turns while it waits
    bool rings = false;
    std::array<Ring, 2> ring{};

    /// The frame at ring loop time t, with `drawn` the badge's progress from its first look (0)
    /// to its final one (1). The spring carries `drawn` past 1 for a moment: the disc may swell
    /// with it, but the check mark cannot be more than whole.
    static DoneFrame at(double t, bool verified, double drawn);

    /// The badge's progress `elapsed` seconds after it was played: still 0 during the delay, then
    /// the spring. Without motion (or for an unconfirmed badge) it is the end state at once.
    static double drawnProgress(double elapsed, bool verified, bool reduceMotion);

    /// The check mark, an open polyline of two strokes within `rect`.
    static QPainterPath checkmarkPath(const QRectF& rect);
};

} // namespace quorvex
