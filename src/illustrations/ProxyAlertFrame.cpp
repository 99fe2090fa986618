#include "illustrations/ProxyAlertFrame.h"

#include "illustrations/Curves.h"

#include <algorithm>

namespace quorvex {

ProxyAlertFrame ProxyAlertFrame::at(double t, QPointF allowButton, QPointF rest) {
    ProxyAlertFrame f;
    f.alertIn = backOut(t, 0.3, 0.75);
    const double shown = (1 - smooth(t, 2.55, 2.85)) * f.alertIn;
    f.alertScale = 0.85 + 0.15 * f.alertIn;
    // The pop's overshoot may blur a little past 1.5, but never draws an opacity past 1.
    f.alertOpacity = std::clamp(shown, 0.0, 1.0);
    f.windowBlur = shown * 1.5;
    const double badge = (1 - smooth(t, 5.4, 5.8)) * backOut(t, 2.9, 3.3);
    f.badgeScale = 0.8 + 0.2 * badge;
    f.badgeOpacity = std::clamp(badge, 0.0, 1.0);
    f.allowPressed = 2.3 < t && t < 2.5;
    const Keyframe track[] = {{0.9, rest}, {2.0, allowButton}, {2.8, allowButton}, {3.8, rest}};
    f.pointer = keyframePoint(track, t);
    f.pointerOpacity = smooth(t, 0.6, 0.9) * (1 - smooth(t, 3.8, 4.1));
    return f;
}

} // namespace quorvex
