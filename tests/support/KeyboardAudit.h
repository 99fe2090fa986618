#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <vector>

namespace quorvex::test {

/// Shows `window`, makes it the active window and waits until it is, so key presses reach it.
/// False when the platform never activated it.
bool showActive(QWidget* window);

/// The controls a keyboard user must be able to reach in `window`: visible, enabled descendants
/// that take focus by Tab.
std::vector<QWidget*> tabStops(QWidget* window);

/// Presses Tab from `start` (focused first) until focus comes back to it, and returns the widgets
/// that had focus, in order, starting with `start`. Stops after `limit` presses; a walk that never
/// comes back ends with a null entry, so the caller can tell.
std::vector<QWidget*> walkTabOrder(QWidget* start, int limit = 64);

/// The region of `control` (with `margin` pixels around it, clipped to its window) as drawn now.
QImage grabAround(QWidget* control, int margin = 4);

/// True when the control looks different with focus than without: grabs it focused, moves focus
/// to `elsewhere` (or clears it), grabs again, and restores focus.
bool focusIsVisible(QWidget* control, QWidget* elsewhere = nullptr, int margin = 4);

/// What a screen reader would find wrong with a control: an empty name, or no role.
struct AccessibilityProblem {
    QWidget* widget;
    QString problem;
};

/// Every interactive descendant of `window` (anything that takes focus, and buttons, sliders,
/// fields, lists and combo boxes whatever their focus policy) must have an accessible name and a
/// role a screen reader can announce. Returns what is missing; empty when all is well.
std::vector<AccessibilityProblem> accessibilityProblems(QWidget* window);

/// A one-line description of each problem, for a test's failure message.
QString describe(const std::vector<AccessibilityProblem>& problems);

/// The object names of `widgets`, "<lost>" for a null entry (a Tab walk that never came back).
QStringList objectNames(const std::vector<QWidget*>& widgets);

/// The label a screen reader reads for a control beside its name: on this desktop a picker's
/// name is its current item, and its label comes through the labelled-by relation.
QString labelOf(QWidget* widget);

/// The accessible name, value and role text of `widget`, as a screen reader reads them.
QString accessibleName(QWidget* widget);
QString accessibleValue(QWidget* widget);

} // namespace quorvex::test
