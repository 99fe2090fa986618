#include "illustrations/SettingsFrame.h"

#include "illustrations/Curves.h"

#include <algorithm>
#include <cmath>

namespace quorvex {
namespace {

double unit(double x) {
    return std::clamp(x, 0.0, 1.0);
}

double easeOut(double u) {
    return u * (2 - u);
}

// The indicator fades in or out over 0.3 s from each flip of the scrolling flag. The flag's two
// spells are far longer than the fade, so each fade starts from a settled value.
double indicatorFade(double s) {
    constexpr double fade = 0.3;
    double opacity = 0;
    for (const auto& [on, off] : {std::pair{0.95, 2.3}, std::pair{8.55, 9.55}})
        opacity += easeOut(ramp(s, on, on + fade)) - easeOut(ramp(s, off, off + fade));
    return unit(opacity);
}

// The window's clock. 6.4 − 3.0 comes out a hair above 3.4 in binary, which would start the
// sheet's pop and the strict flags one frame early; rounding to a nanosecond puts the events on
// the times they are written with.
double windowClock(double t, double dialogDuration) {
    return std::round((t - dialogDuration) * 1e9) / 1e9;
}

} // namespace

SettingsFrame SettingsFrame::at(double t, const SettingsTargets& targets) {
    const double s = windowClock(t, targets.dialogDuration);
    SettingsFrame f;

    const double pd = backOut(t, 0.2, 0.6);
    f.dialogScale = 0.85 + 0.15 * pd;
    // backOut overshoots 1 for a moment; an opacity past 1 draws as 1.
    f.dialogOpacity = unit(pd * (1 - smooth(t, 1.9, 2.2)));
    f.dialogButtonPressed = 1.8 < t && t < 1.95;

    const double w = smooth(t, 2.1, 2.7);
    f.windowOpacity = w;
    f.windowScale = 0.94 + 0.06 * w;

    f.scroll = smooth(s, 1.0, 2.2) * (1 - smooth(s, 8.6, 9.5));
    f.scrollOffset = targets.scrollDistance * f.scroll;
    f.scrolling = (0.95 < s && s < 2.3) || (8.55 < s && s < 9.55);
    f.indicatorY = 4 + 140 * f.scroll;
    f.indicatorOpacity = indicatorFade(s);
    f.highlight = smooth(s, 2.2, 2.5) * (1 - smooth(s, 8.4, 8.7));

    const double ps = backOut(s, 3.4, 3.8);
    f.sheetScale = 0.9 + 0.1 * ps;
    const double v = ps * (1 - smooth(s, 6.9, 7.2));
    f.sheetOpacity = unit(v);
    f.dimming = 0.12 * unit(v);
    f.toggleOn = smooth(s, 4.8, 5.0);
    f.donePressed = 6.7 < s && s < 6.85;

    const Keyframe track[] = {
        {0.4, targets.rest},
        {1.4, targets.openSettingsButton},
        {2.3, targets.openSettingsButton},
        {3.9, targets.scrollSpot},
        {5.3, targets.scrollSpot},
        {6.2, targets.infoButton},
        {6.8, targets.infoButton},
        {7.7, targets.toggle},
        {8.8, targets.toggle},
        {9.5, targets.doneButton},
        {10.4, targets.doneButton},
        {11.4, targets.scrollSpot},
        {12.4, targets.scrollSpot},
        {12.9, targets.rest},
    };
    f.pointer = keyframePoint(track, t);
    f.pointerOpacity = smooth(t, 0.5, 0.8) * (1 - smooth(t, 12.6, 12.9));
    return f;
}

} // namespace quorvex
