#include "storage/cleaner/CleanerSelectionTexts.h"

#include "storage/cleaner/CleanerLook.h"

#include <QStringList>

#include <map>

namespace quorvex {

QString CleanerSelectionTexts::selectedText(int count) {
    return QStringLiteral("%1 item%2 selected").arg(count).arg(count == 1 ? "" : "s");
}

QString CleanerSelectionTexts::sheetHeadline(std::int64_t bytes) {
    return QStringLiteral("Clean %1?").arg(sizeText(bytes));
}

QString CleanerSelectionTexts::sheetSummary(int items, int categories) {
    return QStringLiteral("%1 item%2 in %3 categor%4")
        .arg(items)
        .arg(items == 1 ? "" : "s")
        .arg(categories)
        .arg(categories == 1 ? "y" : "ies");
}

QString CleanerSelectionTexts::titlesLine(const std::vector<QString>& titles) {
    constexpr std::size_t kShown = 4;
    QStringList shown;
    for (std::size_t i = 0; i < titles.size() && i < kShown; ++i)
        shown << titles[i];
    QString line = shown.join(QStringLiteral(", "));
    if (titles.size() > kShown)
        line += QStringLiteral(" and %1 more").arg(titles.size() - kShown);
    return line;
}

std::optional<QString> CleanerSelectionTexts::simctlNote(int count) {
    if (count < 1)
        return std::nullopt;
    const bool one = count == 1;
    return QStringLiteral("%1 simulator%2 or runtime%2 can’t go to the Trash and %3 deleted with simctl.")
        .arg(count)
        .arg(one ? "" : "s")
        .arg(one ? "is" : "are");
}

CleanerSelectionTexts::ModeTexts CleanerSelectionTexts::mode(StorageCleanerModel::Mode mode) {
    if (mode == StorageCleanerModel::Mode::trash)
        return {
            QStringLiteral("Move to Trash"), QStringLiteral("Move to Trash"),
            QStringLiteral("Files go to the Trash, so you can put them back until you empty it. The space is "
                           "freed when the Trash is emptied."),
            QStringLiteral("arrow.uturn.backward.circle"), false};
    return {QStringLiteral("Delete Immediately"), QStringLiteral("Delete"),
            QStringLiteral("Files are deleted right away and can’t be recovered."),
            QStringLiteral("exclamationmark.circle"), true};
}

CleanerSelectionTexts::Bar CleanerSelectionTexts::bar(const StorageCleanerModel& model) {
    Bar bar;
    bar.count = static_cast<int>(model.selection().size());
    if (bar.count > 0)
        bar.countText = selectedText(bar.count);
    bar.bytesText = sizeText(model.selectedBytes());
    bar.reviewEnabled = bar.count > 0 && !model.isCleaning();
    return bar;
}

CleanerSelectionTexts::Sheet CleanerSelectionTexts::sheet(const StorageCleanerModel& model) {
    const auto items = model.selectedItems();
    std::map<CleanupCategory::Kind, std::vector<CleanupItem>> byKind;
    int special = 0;
    std::int64_t bytes = 0;
    for (const auto& [kind, item] : items) {
        byKind[kind].push_back(item);
        bytes = saturatingSum(bytes, item.size);
        if (item.removal.kind != CleanupRemoval::Kind::file)
            ++special;
    }
    Sheet sheet;
    sheet.itemCount = static_cast<int>(items.size());
    sheet.headline = sheetHeadline(bytes);
    sheet.summary = sheetSummary(sheet.itemCount, static_cast<int>(byKind.size()));
    sheet.simctlNote = simctlNote(special);
    for (CleanupCategory::Kind kind : CleanupCategory::allKinds) {
        const auto found = byKind.find(kind);
        if (found == byKind.end())
            continue;
        const CleanupCategory& category = model.category(kind);
        std::int64_t groupBytes = 0;
        std::vector<QString> titles;
        for (const CleanupItem& item : found->second) {
            groupBytes = saturatingSum(groupBytes, item.size);
            titles.push_back(item.title);
        }
        sheet.groups.push_back({kind, category.title, category.symbol, category.tint, category.safety,
                                sizeText(groupBytes), titlesLine(titles)});
    }
    return sheet;
}

} // namespace quorvex
