#pragma once

#include "storage/engine/StorageCleanerModel.h"

#include <QString>

namespace quorvex {

/// What one quick-selection chip of a category page shows: its count covers the listed items
/// that carry the tag and are not protected (the ones the model's tag toggle acts on); it is
/// active when all of those are selected.
struct QuickSelectionChip {
    QString text;   // "<title> · <count>"
    QString symbol; // a check while active, else the quick selection's own
    int count = 0;
    bool active = false;
    bool enabled = false;

    /// `tally`: the model's count of the listed, unprotected items that carry the tag, and of
    /// those selected.
    static QuickSelectionChip make(const StorageCleanerModel::TagTally& tally,
                                   const QuickSelection& selection);
};

} // namespace quorvex
