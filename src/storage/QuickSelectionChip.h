#pragma once

#include "storage/CleanupCategory.h"

#include <QString>

namespace quorvex {

class StorageCleanerModel;

/// What one quick-selection chip of a category page shows: its count covers the listed items
/// that carry the tag and are not protected; it is active when all of those are selected.
struct QuickSelectionChip {
    QString text;   // "<title> · <count>"
    QString symbol; // a check while active, else the quick selection's own
    int count = 0;
    bool active = false;
    bool enabled = false;

    static QuickSelectionChip make(const StorageCleanerModel& model, CleanupCategory::Kind kind,
                                   const CleanupCategory::QuickSelection& selection);
};

} // namespace quorvex
