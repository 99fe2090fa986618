#pragma once

#include "ui/Motion.h"

#include <QString>

#include <array>

namespace quorvex {

/// The values of one frame of the setup guide's intro drawing, where a phone cycles through the
/// network profiles (each shown for `segment` seconds) while the computer keeps full speed.
struct IntroFrame {
    int index = 0;           ///< which profile the phone shows
    double local = 0;        ///< seconds into that profile's segment, in [0, segment]
    double loadProgress = 0; ///< the phone's page load, 0 to 1
    double pictureOpacity = 0;
    std::array<double, 4> lineOpacity{};
    std::array<double, 3> macBarScale{}; ///< vertical scale of the computer's three bars
    /// While the phone's pill changes from the previous profile to this one: that profile's
    /// index, and how far the change has come (0 to 1) on the pill's spring; -1 and 1 at rest.
    int previousIndex = -1;
    double pillProgress = 1;

    /// The frame at loop time t. Index and local time come from the same division, so a t on a
    /// segment boundary never pairs one profile with the end of another's segment. No profiles
    /// or a non-positive segment give the first frame instead of a division by zero. `looped`
    /// says the loop has come round since the drawing appeared, so its first profile changes
    /// from the last one; the very first has nothing to change from.
    static IntroFrame at(double t, double segment, int profileCount, const QString& profileId,
                         bool looped = false);
    /// The pill's spring: its symbol and name change with it when the profile changes.
    static Motion pillMotion();
    /// Which profile index t falls in; 0 when there is nothing to cycle through.
    static int indexAt(double t, double segment, int profileCount);
};

/// Load speed of a profile, as a multiple of one load per segment.
double introLoadFactor(const QString& profileId);
/// The phone's page load `local` seconds into a profile's segment, 0 to 1.
double introLoadProgress(const QString& profileId, double local, double segment);

} // namespace quorvex
