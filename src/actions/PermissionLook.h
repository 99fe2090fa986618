#pragma once

#include "actions/PermissionAction.h"

#include <QColor>
#include <QString>

namespace quorvex {

/// How a permission action is drawn wherever rows offer it (the status menu and the side panel):
/// the last action applied is its filled symbol in its own colour, the others are outlines.
struct PermissionLook {
    /// "checkmark.circle", "xmark.circle" or "arrow.counterclockwise.circle", with ".fill" when
    /// it is the action applied last.
    static QString symbol(PermissionAction action, bool applied);
    /// Green, red or blue.
    static QColor color(PermissionAction action);
};

} // namespace quorvex
