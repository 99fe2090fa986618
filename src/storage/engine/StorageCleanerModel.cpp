#include "storage/engine/StorageCleanerModel.h"

#include "storage/engine/SpaceSaved.h"
#include "storage/files/LongTaskGate.h"

#include <QPointer>
#include <QThreadPool>

namespace quorvex {

StorageCleanerModel::StorageCleanerModel(Scanner scanner, Trash& trash, LongTaskGate& gate,
                                         Progress& progress, SpaceSaved& spaceSaved, QObject* parent)
    : QObject(parent)
    , m_scanner(std::move(scanner))
    , m_remover([&trash](const CleanupRemoval& removal, bool toTrash) {
        return ItemRemoval::remove(removal, toTrash, trash);
    })
    , m_gate(gate)
    , m_progress(progress)
    , m_spaceSaved(spaceSaved) {}

void StorageCleanerModel::scan(const std::vector<Kind>& kinds) {
    bool any = false;
    for (Kind kind : kinds) {
        if (m_scanning.count(kind))
            continue;
        startScan(kind);
        any = true;
    }
    if (any)
        emit changed();
}

// Every scan carries the generation of its kind; only the newest one's result is applied. A scan
// started after a clean therefore replaces one that was already under way and may have listed
// the items just removed.
void StorageCleanerModel::startScan(Kind kind) {
    m_scanning.insert(kind);
    m_categories.try_emplace(kind, CleanupCategory(kind));
    const unsigned generation = ++m_generation[kind];
    QPointer<StorageCleanerModel> self(this);
    Scanner scanner = m_scanner;
    QThreadPool::globalInstance()->start([self, scanner, kind, generation] {
        CleanupCategory category = scanner(kind);
        sortCleanupItemsBySize(category.items);
        QMetaObject::invokeMethod(
            self.data(),
            [self, kind, generation, category = std::move(category)]() mutable {
                if (self)
                    self->applyScan(kind, generation, std::move(category));
            },
            Qt::QueuedConnection);
    });
}

void StorageCleanerModel::applyScan(Kind kind, unsigned generation, CleanupCategory category) {
    if (m_generation[kind] != generation)
        return;
    m_categories.insert_or_assign(kind, std::move(category));
    m_scanning.erase(kind);
    // Selected ids whose items have gone, or have become protected, are dropped.
    QSet<QString> selectable;
    for (const auto& [each, scanned] : m_categories)
        for (const CleanupItem& item : scanned.items)
            if (!item.isProtected())
                selectable.insert(item.id);
    m_selection.intersect(selectable);
    emit changed();
}

CleanupCategory StorageCleanerModel::category(Kind kind) const {
    const auto found = m_categories.find(kind);
    return found != m_categories.end() ? found->second : CleanupCategory(kind);
}

std::vector<CleanupItem> StorageCleanerModel::visibleItems(Kind kind) const {
    std::vector<CleanupItem> items = category(kind).items;
    std::erase_if(items, [&](const CleanupItem& item) { return !isVisible(kind, item); });
    return items;
}

bool StorageCleanerModel::isVisible(Kind kind, const CleanupItem& item) const {
    // Only archives are limited to one app; an archive without a bundle belongs to none.
    return kind != Kind::archives || !m_archiveFilter || item.bundleID == m_archiveFilter->bundleID;
}

std::int64_t StorageCleanerModel::totalBytes() const {
    std::int64_t total = 0;
    for (const auto& [kind, scanned] : m_categories)
        for (const CleanupItem& item : scanned.items)
            total = saturatingSum(total, item.size);
    return total;
}

std::vector<std::pair<CleanupCategory::Kind, CleanupItem>> StorageCleanerModel::selectedItems() const {
    std::vector<std::pair<Kind, CleanupItem>> selected;
    for (Kind kind : CleanupCategory::allKinds)
        for (const CleanupItem& item : category(kind).items)
            if (m_selection.contains(item.id))
                selected.emplace_back(kind, item);
    return selected;
}

std::int64_t StorageCleanerModel::selectedBytes() const {
    std::int64_t total = 0;
    for (const auto& [kind, item] : selectedItems())
        total = saturatingSum(total, item.size);
    return total;
}

int StorageCleanerModel::selectedCount(Kind kind) const {
    int count = 0;
    for (const CleanupItem& item : category(kind).items)
        count += m_selection.contains(item.id) ? 1 : 0;
    return count;
}

void StorageCleanerModel::setSelection(QSet<QString> selection) {
    if (selection == m_selection)
        return;
    m_selection = std::move(selection);
    emit changed();
}

void StorageCleanerModel::toggle(const CleanupItem& item) {
    if (item.isProtected())
        return;
    QSet<QString> selection = m_selection;
    if (!selection.remove(item.id))
        selection.insert(item.id);
    setSelection(std::move(selection));
}

std::vector<CleanupItem> StorageCleanerModel::items(Kind kind, CleanupItem::Tag tag) const {
    std::vector<CleanupItem> tagged;
    for (const CleanupItem& item : visibleItems(kind))
        if (item.tags.count(tag) && !item.isProtected())
            tagged.push_back(item);
    return tagged;
}

void StorageCleanerModel::toggle(CleanupItem::Tag tag, Kind kind) {
    const std::vector<CleanupItem> tagged = items(kind, tag);
    if (tagged.empty())
        return;
    const bool all = std::all_of(tagged.begin(), tagged.end(),
                                 [&](const CleanupItem& item) { return m_selection.contains(item.id); });
    QSet<QString> selection = m_selection;
    for (const CleanupItem& item : tagged)
        all ? (void)selection.remove(item.id) : (void)selection.insert(item.id);
    setSelection(std::move(selection));
}

void StorageCleanerModel::setAllSelected(bool selected, Kind kind) {
    QSet<QString> selection = m_selection;
    for (const CleanupItem& item : visibleItems(kind))
        if (!item.isProtected())
            selected ? (void)selection.insert(item.id) : (void)selection.remove(item.id);
    setSelection(std::move(selection));
}

std::vector<CleanupItem> StorageCleanerModel::recommendedItems() const {
    std::vector<CleanupItem> recommended;
    for (const auto& [kind, scanned] : m_categories)
        for (const CleanupItem& item : scanned.items)
            if (item.tags.count(CleanupItem::Tag::recommended) && !item.isProtected())
                recommended.push_back(item);
    return recommended;
}

void StorageCleanerModel::selectRecommended() {
    QSet<QString> selection = m_selection;
    for (const CleanupItem& item : recommendedItems())
        selection.insert(item.id);
    setSelection(std::move(selection));
}

void StorageCleanerModel::setSection(std::optional<Section> section) {
    if (section == m_section)
        return;
    m_section = section;
    emit sectionChanged();
    emit changed();
}

void StorageCleanerModel::setArchiveFilter(std::optional<ArchiveFilter> filter) {
    if (filter == m_archiveFilter)
        return;
    m_archiveFilter = std::move(filter);
    emit changed();
}

void StorageCleanerModel::clean(Mode mode) {
    std::vector<std::pair<Kind, CleanupItem>> items = selectedItems();
    // A protected item is never cleaned, whatever the selection says.
    std::erase_if(items, [](const auto& entry) { return entry.second.isProtected(); });
    if (items.empty() || m_cleaning)
        return;
    if (!m_gate.beginLongTask()) {
        emit cleanRefused();
        return;
    }
    m_cleaning = true;
    emit changed();
    m_progress.show(mode == Mode::trash ? QStringLiteral("Moving to Trash") : QStringLiteral("Cleaning Up"));
    std::int64_t total = 0;
    for (const auto& [kind, item] : items)
        total = saturatingSum(total, item.size);
    m_progress.update(0, total);

    QPointer<StorageCleanerModel> self(this);
    Remover remover = m_remover;
    QThreadPool::globalInstance()->start([self, remover, items, total, mode] {
        std::int64_t processed = 0;
        std::int64_t cleaned = 0;
        std::int64_t trashed = 0;
        std::vector<QString> errors;
        for (const auto& [kind, item] : items) {
            const bool toTrash = mode == Mode::trash && item.removal.kind == CleanupRemoval::Kind::file;
            if (const std::optional<QString> error = remover(item.removal, toTrash)) {
                errors.push_back(item.title + QStringLiteral(": ") + *error);
            } else {
                cleaned = saturatingSum(cleaned, item.size);
                if (toTrash)
                    trashed = saturatingSum(trashed, item.size);
            }
            processed = saturatingSum(processed, item.size);
            QMetaObject::invokeMethod(
                self.data(),
                [self, processed, total] {
                    if (self)
                        self->m_progress.update(processed, total);
                },
                Qt::QueuedConnection);
        }
        QMetaObject::invokeMethod(
            self.data(),
            [self, items, total, cleaned, trashed, errors] {
                if (self)
                    self->finishClean(items, total, cleaned, trashed, errors);
            },
            Qt::QueuedConnection);
    });
}

void StorageCleanerModel::finishClean(const std::vector<std::pair<Kind, CleanupItem>>& items,
                                      std::int64_t total, std::int64_t cleaned, std::int64_t trashed,
                                      const std::vector<QString>& errors) {
    m_spaceSaved.add(cleaned);
    QSet<QString> selection = m_selection;
    std::set<Kind> touched;
    for (const auto& [kind, item] : items) {
        selection.remove(item.id);
        touched.insert(kind);
    }
    setSelection(std::move(selection));
    m_cleaning = false;
    m_gate.endLongTask();
    // Every touched kind scans again, also one that is scanning now: its result may predate the
    // clean and would bring the removed items back.
    for (Kind kind : touched)
        startScan(kind);
    emit changed();
    m_progress.finish(ItemRemoval::outcome(static_cast<int>(items.size()), errors, total, trashed));
    emit cleanFinished();
}

} // namespace quorvex
