#include "storage/cleaner/QuickSelectionChip.h"

#include "storage/cleaner/CleanerLook.h"

namespace quorvex {

QuickSelectionChip QuickSelectionChip::make(const StorageCleanerModel::TagTally& tally,
                                            const QuickSelection& selection) {
    QuickSelectionChip chip;
    chip.count = tally.count;
    chip.enabled = tally.count > 0;
    chip.active = chip.enabled && tally.selected == tally.count;
    chip.symbol = chip.active ? QStringLiteral("checkmark.circle.fill") : selection.symbol;
    chip.text = selection.title + kLabelJoin + QString::number(tally.count);
    return chip;
}

} // namespace quorvex
