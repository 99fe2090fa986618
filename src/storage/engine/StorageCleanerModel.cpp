#include "storage/engine/StorageCleanerModel.h"

#include "storage/engine/SpaceSaved.h"
#include "storage/files/LongTaskGate.h"

#include <QPointer>
#include <QThreadPool>

#include <algorithm>
#include <limits>

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
    if (m_categories.try_emplace(kind, CleanupCategory(kind)).second)
        listsChanged();
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
    m_scanning.erase(kind);
    // An unchanged result keeps the lists as they are, so views keep their rows (and scrolling).
    if (const auto found = m_categories.find(kind);
        found == m_categories.end() || found->second != category) {
        m_categories.insert_or_assign(kind, std::move(category));
        listsChanged();
    }
    // Selected ids whose items have gone, or have become protected, are dropped.
    beginSelectionChange();
    const QSet<QString> selected = m_selection;
    for (const QString& id : selected) {
        const auto at = m_places.constFind(id);
        if (at == m_places.cend() || m_categories.at(at->kind).items[at->index].isProtected())
            setSelected(id, false);
    }
    // The views hear of it below, with the new lists.
    if (m_selectionChanged)
        ++m_selectionVersion;
    emit changed();
}

void StorageCleanerModel::ExactSum::add(std::int64_t bytes) {
    const auto amount = static_cast<std::uint64_t>(std::max<std::int64_t>(bytes, 0));
    m_low += amount;
    m_high += m_low < amount ? 1 : 0;
}

void StorageCleanerModel::ExactSum::remove(std::int64_t bytes) {
    const auto amount = static_cast<std::uint64_t>(std::max<std::int64_t>(bytes, 0));
    m_high -= m_low < amount ? 1 : 0;
    m_low -= amount;
}

std::int64_t StorageCleanerModel::ExactSum::value() const {
    constexpr auto max = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    return m_high > 0 || m_low > max ? std::numeric_limits<std::int64_t>::max()
                                     : static_cast<std::int64_t>(m_low);
}

// Makes the index of ids and every sum again, from the lists and the selection as they are.
void StorageCleanerModel::listsChanged() {
    ++m_listsVersion;
    m_places.clear();
    m_summaries.clear();
    m_recommended = {};
    for (const auto& [kind, scanned] : m_categories) {
        KindSummary& summary = m_summaries[kind];
        summary.selectedAt.assign(scanned.items.size(), 0);
        summary.changedAt.assign(scanned.items.size(), 0);
        for (std::size_t index = 0; index < scanned.items.size(); ++index) {
            const CleanupItem& item = scanned.items[index];
            m_places.insert(item.id, Place{kind, index});
            summary.bytes = saturatingSum(summary.bytes, item.size);
            const bool selected = m_selection.contains(item.id);
            if (selected) {
                summary.selectedAt[index] = 1;
                ++summary.selected;
                summary.selectedBytes.add(item.size);
            }
            if (item.tags.count(CleanupItem::Tag::recommended) && !item.isProtected()) {
                ++m_recommended.count;
                m_recommended.bytes = saturatingSum(m_recommended.bytes, item.size);
            }
            if (!isVisible(kind, item))
                continue;
            summary.visibleBytes = saturatingSum(summary.visibleBytes, item.size);
            if (item.isProtected())
                continue;
            for (CleanupItem::Tag tag : item.tags) {
                TagTally& tally = summary.tagged[tag];
                ++tally.count;
                tally.selected += selected ? 1 : 0;
            }
        }
    }
}

void StorageCleanerModel::beginSelectionChange() {
    m_selectionChanged = false;
}

// By id, for an id that may lie in no list (it is selected all the same, and counts nowhere).
void StorageCleanerModel::setSelected(const QString& id, bool selected) {
    const auto at = m_places.constFind(id);
    if (at != m_places.cend()) {
        setSelectedAt(at->kind, at->index, selected);
        return;
    }
    if (m_selection.contains(id) == selected)
        return;
    selected ? (void)m_selection.insert(id) : (void)m_selection.remove(id);
    m_selectionChanged = true;
}

// By place: the flags and sums of the place, and the id in the selection. Bulk changes go this
// way, one hash operation per item.
void StorageCleanerModel::setSelectedAt(Kind kind, std::size_t index, bool selected) {
    KindSummary& summary = m_summaries[kind];
    if (static_cast<bool>(summary.selectedAt[index]) == selected)
        return;
    const CleanupItem& item = m_categories.at(kind).items[index];
    selected ? (void)m_selection.insert(item.id) : (void)m_selection.remove(item.id);
    m_selectionChanged = true;
    summary.selectedAt[index] = selected ? 1 : 0;
    summary.changedAt[index] = m_selectionVersion + 1;
    const int step = selected ? 1 : -1;
    summary.selected += step;
    selected ? summary.selectedBytes.add(item.size) : summary.selectedBytes.remove(item.size);
    if (isVisible(kind, item) && !item.isProtected())
        for (CleanupItem::Tag tag : item.tags)
            summary.tagged[tag].selected += step;
}

void StorageCleanerModel::endSelectionChange() {
    if (!m_selectionChanged)
        return;
    ++m_selectionVersion;
    emit changed();
}

bool StorageCleanerModel::isSelectedAt(Kind kind, std::size_t index) const {
    const auto found = m_summaries.find(kind);
    return found != m_summaries.end() && index < found->second.selectedAt.size() &&
           found->second.selectedAt[index];
}

bool StorageCleanerModel::changedLastAt(Kind kind, std::size_t index) const {
    const auto found = m_summaries.find(kind);
    return found != m_summaries.end() && index < found->second.changedAt.size() &&
           found->second.changedAt[index] == m_selectionVersion;
}

const CleanupCategory& StorageCleanerModel::category(Kind kind) const {
    const auto found = m_categories.find(kind);
    if (found != m_categories.end())
        return found->second;
    static const std::map<Kind, CleanupCategory> unscanned = [] {
        std::map<Kind, CleanupCategory> rows;
        for (Kind each : CleanupCategory::allKinds)
            rows.emplace(each, CleanupCategory(each));
        return rows;
    }();
    return unscanned.at(kind);
}

std::vector<CleanupItem> StorageCleanerModel::visibleItems(Kind kind) const {
    std::vector<CleanupItem> items;
    for (const CleanupItem& item : category(kind).items)
        if (isVisible(kind, item))
            items.push_back(item);
    return items;
}

bool StorageCleanerModel::isVisible(Kind kind, const CleanupItem& item) const {
    // Only archives are limited to one app; an archive without a bundle belongs to none.
    return kind != Kind::archives || !m_archiveFilter || item.bundleID == m_archiveFilter->bundleID;
}

std::int64_t StorageCleanerModel::totalBytes() const {
    std::int64_t total = 0;
    for (const auto& [kind, summary] : m_summaries)
        total = saturatingSum(total, summary.bytes);
    return total;
}

std::int64_t StorageCleanerModel::categoryBytes(Kind kind) const {
    const auto found = m_summaries.find(kind);
    return found != m_summaries.end() ? found->second.bytes : 0;
}

std::int64_t StorageCleanerModel::visibleBytes(Kind kind) const {
    const auto found = m_summaries.find(kind);
    return found != m_summaries.end() ? found->second.visibleBytes : 0;
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
    for (const auto& [kind, summary] : m_summaries)
        total = saturatingSum(total, summary.selectedBytes.value());
    return total;
}

int StorageCleanerModel::selectedCount(Kind kind) const {
    const auto found = m_summaries.find(kind);
    return found != m_summaries.end() ? found->second.selected : 0;
}

void StorageCleanerModel::toggle(const CleanupItem& item) {
    if (item.isProtected())
        return;
    beginSelectionChange();
    setSelected(item.id, !m_selection.contains(item.id));
    endSelectionChange();
}

std::vector<CleanupItem> StorageCleanerModel::items(Kind kind, CleanupItem::Tag tag) const {
    std::vector<CleanupItem> tagged;
    for (const CleanupItem& item : visibleItems(kind))
        if (item.tags.count(tag) && !item.isProtected())
            tagged.push_back(item);
    return tagged;
}

StorageCleanerModel::TagTally StorageCleanerModel::taggedTally(Kind kind, CleanupItem::Tag tag) const {
    const auto found = m_summaries.find(kind);
    if (found == m_summaries.end())
        return {};
    const auto tally = found->second.tagged.find(tag);
    return tally != found->second.tagged.end() ? tally->second : TagTally{};
}

// The selection operations walk the lists in place: copying a long list on every click costs more
// than the click.
void StorageCleanerModel::toggle(CleanupItem::Tag tag, Kind kind) {
    const TagTally tally = taggedTally(kind, tag);
    if (tally.count == 0)
        return;
    const bool select = tally.selected < tally.count;
    beginSelectionChange();
    const std::vector<CleanupItem>& listed = category(kind).items;
    for (std::size_t index = 0; index < listed.size(); ++index)
        if (listed[index].tags.count(tag) && !listed[index].isProtected() && isVisible(kind, listed[index]))
            setSelectedAt(kind, index, select);
    endSelectionChange();
}

void StorageCleanerModel::setAllSelected(bool selected, Kind kind) {
    beginSelectionChange();
    const std::vector<CleanupItem>& listed = category(kind).items;
    if (selected)
        m_selection.reserve(m_selection.size() + static_cast<qsizetype>(listed.size()));
    for (std::size_t index = 0; index < listed.size(); ++index)
        if (!listed[index].isProtected() && isVisible(kind, listed[index]))
            setSelectedAt(kind, index, selected);
    endSelectionChange();
}

namespace {

bool isRecommended(const CleanupItem& item) {
    return item.tags.count(CleanupItem::Tag::recommended) && !item.isProtected();
}

} // namespace

std::vector<CleanupItem> StorageCleanerModel::recommendedItems() const {
    std::vector<CleanupItem> recommended;
    for (const auto& [kind, scanned] : m_categories)
        for (const CleanupItem& item : scanned.items)
            if (isRecommended(item))
                recommended.push_back(item);
    return recommended;
}

void StorageCleanerModel::selectRecommended() {
    beginSelectionChange();
    for (const auto& [kind, scanned] : m_categories)
        for (std::size_t index = 0; index < scanned.items.size(); ++index)
            if (isRecommended(scanned.items[index]))
                setSelectedAt(kind, index, true);
    endSelectionChange();
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
    listsChanged();
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
    std::set<Kind> touched;
    beginSelectionChange();
    for (const auto& [kind, item] : items) {
        setSelected(item.id, false);
        touched.insert(kind);
    }
    endSelectionChange();
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
