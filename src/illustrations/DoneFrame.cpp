#include "illustrations/DoneFrame.h"

#include "illustrations/Curves.h"
#include "ui/Spring.h"

#include <algorithm>
#include <cmath>

namespace quorvex {

DoneFrame DoneFrame::at(double t, bool verified, double drawn) {
    DoneFrame f;
    f.verified = verified;
    f.hourglass = !verified;
    f.rings = verified;
    if (!std::isfinite(drawn))
        drawn = verified ? 1 : 0;
    if (verified) {
        f.discScale = 0.6 + 0.4 * drawn;
        f.checkTrim = std::clamp(drawn, 0.0, 1.0);
    }
    // One turn every half loop, so the hourglass is upright again when the loop wraps.
    f.hourglassAngle = 360 * loopTime(t, kRingDuration / 2) / (kRingDuration / 2);
    for (size_t i = 0; i < f.ring.size(); ++i) {
        const double phase = std::clamp(
            loopTime(t + kRingDuration / 2 * static_cast<double>(i), kRingDuration) / kRingDuration, 0.0,
            1.0);
        const double s = phase * phase * (3 - 2 * phase);
        f.ring[i] = {84 + 70 * s, (1 - s) * 0.35};
    }
    return f;
}

double DoneFrame::drawnProgress(double elapsed, bool verified, bool reduceMotion) {
    if (!verified)
        return 0;
    if (reduceMotion)
        return 1;
    static const Spring spring(kSpringResponse, kSpringDamping);
    const double since = elapsed - kSpringDelay;
    return since >= spring.settlingDuration() ? 1 : spring.value(since);
}

QPainterPath DoneFrame::checkmarkPath(const QRectF& rect) {
    QPainterPath path;
    path.moveTo(rect.left(), rect.center().y());
    path.lineTo(rect.left() + 0.38 * rect.width(), rect.bottom());
    path.lineTo(rect.right(), rect.top());
    return path;
}

} // namespace quorvex
