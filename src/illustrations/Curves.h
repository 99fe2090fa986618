#pragma once

#include <QPointF>

#include <span>

namespace quorvex {

// Timing curves of the setup illustrations: each maps x to progress over [a, b].

/// Linear progress: 0 for x <= a, 1 for x >= b. A zero-length interval is a step at a.
double ramp(double x, double a, double b);
/// Smoothstep of ramp(x, a, b).
double smooth(double x, double a, double b);
/// Eases out past 1 (about 1.0998 near the interval's 58 %) and settles at 1.
double backOut(double x, double a, double b);

/// One key of a keyframe track: where the point is at `time` seconds.
struct Keyframe {
    double time = 0;
    QPointF point;
};

/// The point of a track (keys in ascending time) at time t, eased between neighbouring keys.
/// An empty track gives (0, 0).
QPointF keyframePoint(std::span<const Keyframe> track, double t);

/// Wraps elapsed seconds into a loop of `duration`: always in [0, duration), also for a negative
/// or non-finite elapsed time; 0 when the duration is not a positive finite number.
double loopTime(double elapsed, double duration);

} // namespace quorvex
