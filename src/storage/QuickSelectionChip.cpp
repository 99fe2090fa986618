#include "storage/QuickSelectionChip.h"

#include "storage/CleanerLook.h"
#include "storage/StorageCleanerModel.h"

#include <algorithm>

namespace quorvex {

QuickSelectionChip QuickSelectionChip::make(const StorageCleanerModel& model, CleanupCategory::Kind kind,
                                            const CleanupCategory::QuickSelection& selection) {
    const std::vector<CleanupItem> matching = model.items(kind, selection.tag);
    QuickSelectionChip chip;
    chip.count = static_cast<int>(matching.size());
    chip.enabled = !matching.empty();
    chip.active = chip.enabled && std::all_of(matching.begin(), matching.end(), [&](const CleanupItem& item) {
                      return model.selection().contains(item.id);
                  });
    chip.symbol = chip.active ? QStringLiteral("checkmark.circle.fill") : selection.symbol;
    chip.text = selection.title + kLabelJoin + QString::number(chip.count);
    return chip;
}

} // namespace quorvex
