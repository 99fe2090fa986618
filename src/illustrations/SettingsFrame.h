#pragma once

#include <QPointF>

#include <array>

namespace quorvex {

/// Where the extension approval drawing's pointer goes, in its 400 × 250 scene, and how its two
/// clocks relate. The setup guide passes fixed values (see SettingsIllustration).
struct SettingsTargets {
    QPointF infoButton;
    QPointF toggle;
    QPointF doneButton;
    QPointF scrollSpot;
    QPointF rest;
    double scrollDistance = 0;
    QPointF openSettingsButton;
    /// Seconds of the dialog before the settings window's own clock starts.
    double dialogDuration = 0;
};

/// The values of one frame of the extension approval drawing. The dialog and the pointer run on
/// the loop time t; everything inside the settings window runs on s = t − dialogDuration.
struct SettingsFrame {
    static constexpr double kDuration = 13.0;
    static constexpr double kStillFrame = 8.6;
    /// The pointer's clicks, in t: the dialog button, the info button, the switch and Done.
    static constexpr std::array<double, 4> kClicks{1.8, 6.4, 7.8, 9.7};

    double dialogScale = 0;
    double dialogOpacity = 0;
    bool dialogButtonPressed = false;
    double windowOpacity = 0;
    double windowScale = 0;
    double scroll = 0;       ///< 0 at the top, 1 scrolled by the full distance
    double scrollOffset = 0; ///< points the pane's content has moved up
    bool scrolling = false;
    double indicatorY = 0;       ///< the scroll indicator's top, from the pane's top
    double indicatorOpacity = 0; ///< eases out over 0.3 s each time `scrolling` flips
    double highlight = 0;        ///< tint of the app's extension row
    double sheetScale = 0;       ///< about the sheet's top edge
    double sheetOpacity = 0;
    double dimming = 0; ///< black over the window behind the sheet
    double toggleOn = 0;
    bool donePressed = false;
    QPointF pointer;
    double pointerOpacity = 0;

    static SettingsFrame at(double t, const SettingsTargets& targets);
};

} // namespace quorvex
