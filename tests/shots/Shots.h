#pragma once

#include "network/model/SetupGuide.h"
#include "storage/engine/CleanupCategory.h"

#include <QImage>

#include <functional>
#include <optional>

namespace quorvex::shots {

/// One picture for people to look at: the file it is saved as (without ".png", "/" makes a
/// folder), what it shows, and how it is taken. Each take builds its own world from nothing, so
/// any one shot can be taken alone; the X11 ones need the X server scripts/shots starts.
struct Shot {
    const char* name;
    const char* shows;
    std::function<QImage()> take;
    bool needsX11 = false;
};

/// Every window and state, in the order they are taken (ShotTable.cpp).
const std::vector<Shot>& shotTable();

// The menu bar.
QImage trayVariants();

// The setup guide's drawings, `t` seconds into their loop; a negative `t` is the still frame that
// Reduce Motion shows.
enum class Drawing { intro, settings, proxyAlert, doneVerified, doneWaiting };
QImage drawing(Drawing drawing, double t);

// The setup guide, in a live run and in the tour.
enum class GuideRun {
    intro,
    introKeyboardFocus,
    programNotInstalled,
    daemonNotRunning,
    extensionWaiting,
    proxyWaiting,
    doneStarting,
    doneLive,
    failed
};
QImage setupGuideLive(GuideRun step);
QImage setupGuideTour(SetupGuide::Phase page, bool approvalsGiven);

// The connected-device windows: the status-bar preview's strip at 0 to 4 bars (nothing: the
// whole window at 4), and the push window asked to change its key with no Secret Service.
QImage statusBarPreview(std::optional<int> bars);
QImage pushWindowWithoutSecretService();

// Motion on a fake clock as contact sheets, one row per moment after the change.
enum class MotionSheet {
    rollHeadline,
    rollCarry,
    rollDown,
    symbolReplace,
    badgeScaleIn,
    introPill,
    cleanerRescan,
    cleanerSelectionBar,
    hudSpinner,
    hudRingArrives,
    hudRingMoves,
    hudDone
};
QImage motionSheet(MotionSheet which);

// The storage cleaner.
enum class CleanerPage { overview, manyItems, simulators, archivesFiltered, scanning, empty };
QImage cleanerPage(CleanerPage page);
QImage cleanerBadgesAndChips();
enum class HudState { measuring, deleting, done, failed, failedShaking };
QImage cleanupHUD(HudState state);
enum class Review { barEmpty, bar, sheet, sheetDelete, disclaimer };
QImage review(Review part);
enum class CleanerWindowShot { overview, category, reviewSheet };
/// The window over a real scan of a small developer folder; `page` is the category shown.
QImage cleanerWindow(CleanerWindowShot shot, CleanupCategory::Kind page = CleanupCategory::Kind::derivedData);
enum class CleanerKeys { minimumOverview, minimumSimulators, focusedCard, focusedChip, focusedRow };
QImage cleanerKeys(CleanerKeys shot);

// The side panel.
enum class PanelState {
    noSimulator,
    noApps,
    app,
    connectedDevice,
    collapsed,
    dragging,
    appDark,
    keyboardFocus
};
QImage panelView(PanelState state);
enum class Card {
    network5g,
    networkMenu,
    networkTrainBusy,
    permissionsShort,
    permissionsAll,
    languagePending,
    physicalDevice,
    appDataDownloading,
    appDataLoading,
    appDataNoApps,
    appHeaderActionsFooter,
    footerDevice,
};
QImage panelCard(Card card);
/// The simulator bar when the window titles cannot be read: the link that asks for access.
QImage simulatorBarWithoutAccessibility();

/// The panel on a real X server beside a stand-in host window, as the program wires it, through
/// five states in order: 1 a host showing a simulator the inventory does not know, 2 the phone
/// with its apps, 3 a drag hovering, 4 a connected device, 5 every simulator shut down.
/// A step behind the last one taken starts the scene again.
QImage panelOnScreen(int step);
/// Ends the X11 scene (before the application goes).
void endPanelOnScreen();

} // namespace quorvex::shots
