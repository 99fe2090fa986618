#pragma once

#include "storage/engine/CleanupCategory.h"

#include <QSet>
#include <QString>

#include <vector>

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

    /// `listed`: the page's items (the model's visible items of the kind); `selected`: the
    /// model's selection.
    static QuickSelectionChip make(const std::vector<CleanupItem>& listed, const QSet<QString>& selected,
                                   const QuickSelection& selection);
};

} // namespace quorvex
