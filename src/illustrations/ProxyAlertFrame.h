#pragma once

#include <QPointF>

#include <array>

namespace quorvex {

/// The values of one frame of the proxy alert drawing: a system alert pops up over a window, the
/// pointer clicks "Allow", the alert gives way to a confirmation badge, and the pointer leaves.
struct ProxyAlertFrame {
    static constexpr double kDuration = 6.5;
    static constexpr double kStillFrame = 2.2;
    static constexpr std::array<double, 1> kClicks{2.3};
    /// Widths of the mock window's text lines, top to bottom.
    static constexpr std::array<double, 5> kLineWidths{220, 300, 180, 260, 140};

    double alertIn = 0;
    double alertScale = 0;
    double alertOpacity = 0;
    double windowBlur = 0; ///< blur radius of the window behind the alert
    double badgeScale = 0;
    double badgeOpacity = 0;
    bool allowPressed = false;
    QPointF pointer;
    double pointerOpacity = 0;

    static ProxyAlertFrame at(double t, QPointF allowButton, QPointF rest);
};

} // namespace quorvex
