#include "storage/cleaner/QuickSelectionChip.h"

#include "storage/cleaner/CleanerLook.h"

namespace quorvex {

QuickSelectionChip QuickSelectionChip::make(const std::vector<CleanupItem>& listed,
                                            const QSet<QString>& selected, const QuickSelection& selection) {
    QuickSelectionChip chip;
    bool all = true;
    for (const CleanupItem& item : listed) {
        if (!item.tags.count(selection.tag) || item.isProtected())
            continue;
        ++chip.count;
        all = all && selected.contains(item.id);
    }
    chip.enabled = chip.count > 0;
    chip.active = chip.enabled && all;
    chip.symbol = chip.active ? QStringLiteral("checkmark.circle.fill") : selection.symbol;
    chip.text = selection.title + kLabelJoin + QString::number(chip.count);
    return chip;
}

} // namespace quorvex
