#include "illustrations/Curves.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quorvex {

double ramp(double x, double a, double b) {
    const double span = std::max(b - a, std::numeric_limits<double>::epsilon());
    const double u = (x - a) / span;
    if (std::isnan(u))
        return 0;
    return std::clamp(u, 0.0, 1.0);
}

double smooth(double x, double a, double b) {
    const double u = ramp(x, a, b);
    return u * u * (3 - 2 * u);
}

double backOut(double x, double a, double b) {
    const double v = ramp(x, a, b) - 1;
    return 1 + 2.7 * v * v * v + 1.7 * v * v;
}

QPointF keyframePoint(std::span<const Keyframe> track, double t) {
    if (track.empty())
        return {};
    if (t <= track.front().time)
        return track.front().point;
    const auto next =
        std::find_if(track.begin() + 1, track.end(), [t](const Keyframe& key) { return key.time >= t; });
    if (next == track.end())
        return track.back().point;
    const Keyframe& from = *(next - 1);
    const double s = smooth(t, from.time, next->time);
    return from.point + (next->point - from.point) * s;
}

double loopTime(double elapsed, double duration) {
    if (!(duration > 0) || !std::isfinite(duration) || !std::isfinite(elapsed))
        return 0;
    double t = std::fmod(elapsed, duration);
    if (t < 0)
        t += duration;
    // A tiny negative remainder plus duration rounds up to duration itself.
    return t < duration ? t : 0;
}

} // namespace quorvex
