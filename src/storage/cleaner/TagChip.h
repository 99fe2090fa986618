#pragma once

#include "storage/cleaner/CapsuleLabel.h"

#include <QColor>
#include <QString>

namespace quorvex {

/// The small capsule of an item's state ("Uploaded", "Orphaned", ...), drawn by the item rows.
/// Known states are tinted; any other text is secondary text on a faint capsule.
struct TagChip {
    /// `primary` is the text colour of the surface the chip is drawn on.
    static CapsuleLabel look(const QString& text, const QColor& primary);
};

} // namespace quorvex
