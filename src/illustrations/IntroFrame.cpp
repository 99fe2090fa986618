#include "illustrations/IntroFrame.h"

#include "illustrations/Curves.h"

#include <algorithm>
#include <cmath>

namespace quorvex {
namespace {

bool usable(double segment, int profileCount) {
    return profileCount > 0 && segment > 0 && std::isfinite(segment);
}

// Whole segments before t. A t that names a boundary (6.6 for 2.2) divides to just under the
// whole number; it counts as the start of the next segment, as its reader expects.
double segmentsBefore(double t, double segment) {
    double whole = std::floor(t / segment);
    if (t - (whole + 1) * segment > -1e-9 * segment)
        whole += 1;
    return whole;
}

} // namespace

int IntroFrame::indexAt(double t, double segment, int profileCount) {
    if (!usable(segment, profileCount) || !(t > 0) || !std::isfinite(t))
        return 0;
    return static_cast<int>(std::fmod(segmentsBefore(t, segment), profileCount));
}

double introLoadFactor(const QString& profileId) {
    if (profileId == QLatin1String("wifi") || profileId == QLatin1String("5g"))
        return 3.0;
    if (profileId == QLatin1String("lte"))
        return 1.4;
    if (profileId == QLatin1String("3g"))
        return 0.6;
    if (profileId == QLatin1String("edge"))
        return 0.3;
    return 0.12;
}

double introLoadProgress(const QString& profileId, double local, double segment) {
    if (!(segment > 0))
        return 0;
    return std::clamp(local / segment * introLoadFactor(profileId), 0.0, 1.0);
}

Motion IntroFrame::pillMotion() {
    return Motion::spring(0.4, 1.0);
}

IntroFrame IntroFrame::at(double t, double segment, int profileCount, const QString& profileId, bool looped) {
    IntroFrame frame;
    if (usable(segment, profileCount) && t >= 0 && std::isfinite(t)) {
        const double whole = segmentsBefore(t, segment);
        frame.index = static_cast<int>(std::fmod(whole, profileCount));
        frame.local = std::clamp(t - whole * segment, 0.0, segment);
        frame.loadProgress = introLoadProgress(profileId, frame.local, segment);
        const bool changed = profileCount > 1 && (frame.index > 0 || looped);
        const double progress = pillMotion().progress(frame.local);
        if (changed && progress < 1) {
            frame.previousIndex = (frame.index + profileCount - 1) % profileCount;
            frame.pillProgress = progress;
        }
    }
    frame.pictureOpacity = smooth(frame.loadProgress, 0.1, 0.2);
    for (size_t i = 0; i < frame.lineOpacity.size(); ++i) {
        const double end = 0.4 + 0.15 * static_cast<double>(i);
        frame.lineOpacity[i] = smooth(frame.loadProgress, end - 0.1, end);
    }
    const double clockT = std::isfinite(t) ? t : 0;
    for (size_t i = 0; i < frame.macBarScale.size(); ++i)
        frame.macBarScale[i] = 0.85 + 0.15 * std::sin(3 * clockT + static_cast<double>(i));
    return frame;
}

} // namespace quorvex
