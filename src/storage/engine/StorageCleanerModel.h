#pragma once

#include "storage/engine/CleanupCategory.h"
#include "storage/engine/ItemRemoval.h"

#include <QMultiHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace quorvex {

class LongTaskGate;
class SpaceSaved;
class Trash;

/// The state behind the storage cleaner: scanned categories, kinds still scanning, the selection
/// (item ids across all kinds), the archive filter and whether a clean runs; with scan and clean.
/// GUI thread; scans and removals run on the global thread pool and come back queued.
class StorageCleanerModel final : public QObject {
    Q_OBJECT
public:
    using Kind = CleanupCategory::Kind;
    enum class Mode { trash, remove };

    /// Which page the cleaner window shows: the overview, or one category.
    struct Section {
        std::optional<Kind> kind; // none = the overview
        static Section overview() { return {}; }
        static Section category(Kind kind) { return {kind}; }
        friend bool operator==(const Section&, const Section&) = default;
    };

    /// Limits the archives list to the archives of one app.
    struct ArchiveFilter {
        QString bundleID;
        QString appName;
        friend bool operator==(const ArchiveFilter&, const ArchiveFilter&) = default;
    };

    /// What the progress panel is told while a clean runs (the cleaner windows draw it).
    class Progress {
    public:
        virtual ~Progress() = default;
        virtual void show(const QString& title) = 0;
        virtual void update(std::int64_t done, std::int64_t total) = 0;
        virtual void finish(const ItemRemoval::Outcome& outcome) = 0;
    };

    /// The one-kind scan: blocks, runs on a worker thread, never fails.
    using Scanner = std::function<CleanupCategory(Kind)>;
    /// The removal of one item (ItemRemoval::remove unless a test gives another); worker thread.
    using Remover = std::function<std::optional<QString>(const CleanupRemoval&, bool toTrash)>;

    StorageCleanerModel(Scanner scanner, Trash& trash, LongTaskGate& gate, Progress& progress,
                        SpaceSaved& spaceSaved, QObject* parent = nullptr);
    /// Replaces the removal step (tests).
    void setRemover(Remover remover) { m_remover = std::move(remover); }

    /// Ids are unique across all items, as the scanners make them; the selection and its sums rely
    /// on it.

    /// Starts a background scan of each kind not already scanning.
    void scan(const std::vector<Kind>& kinds);
    /// The kind's latest result, or its row with no items before the first one. A reference into
    /// the model, valid until the next change: a category may hold a hundred thousand items, and
    /// views read it on every change.
    const CleanupCategory& category(Kind kind) const;
    const std::map<Kind, CleanupCategory>& categories() const { return m_categories; }
    const std::set<Kind>& scanning() const { return m_scanning; }
    /// Grows whenever a list changes: a scan result applied, or the archive filter set. A view
    /// that keeps something made from the lists makes it again only when this has grown; a change
    /// of the selection alone leaves it.
    std::uint64_t listsVersion() const { return m_listsVersion; }
    std::vector<CleanupItem> visibleItems(Kind kind) const;
    /// Whether `item` of `kind` is among visibleItems(kind): the archive filter's test, for views
    /// that walk categories() in place instead of copying a long list.
    bool isVisible(Kind kind, const CleanupItem& item) const;
    std::int64_t totalBytes() const;
    /// The sum of the sizes of all the kind's items (archives hidden by the filter included).
    std::int64_t categoryBytes(Kind kind) const;
    /// The sum of the sizes of visibleItems(kind).
    std::int64_t visibleBytes(Kind kind) const;

    const QSet<QString>& selection() const { return m_selection; }
    /// Grows with every change of the selection.
    std::uint64_t selectionVersion() const { return m_selectionVersion; }
    /// Whether the item at `index` of the kind's items is selected, and whether the latest change
    /// of the selection changed it: what a list reads for every row it paints, without hashing.
    bool isSelectedAt(Kind kind, std::size_t index) const;
    bool changedLastAt(Kind kind, std::size_t index) const;
    std::vector<std::pair<Kind, CleanupItem>> selectedItems() const;
    std::int64_t selectedBytes() const;
    int selectedCount(Kind kind) const;
    void toggle(const CleanupItem& item);
    std::vector<CleanupItem> items(Kind kind, CleanupItem::Tag tag) const;
    /// How many items items(kind, tag) holds, and how many of them are selected.
    struct TagTally {
        int count = 0;
        int selected = 0;
    };
    TagTally taggedTally(Kind kind, CleanupItem::Tag tag) const;
    void toggle(CleanupItem::Tag tag, Kind kind);
    void setAllSelected(bool selected, Kind kind);
    std::vector<CleanupItem> recommendedItems() const;
    /// How many items recommendedItems() holds, and the sum of their sizes.
    struct Tally {
        int count = 0;
        std::int64_t bytes = 0;
    };
    Tally recommendedTally() const { return m_recommended; }
    void selectRecommended();

    /// The page shown; none means nothing is selected in the sidebar. Starts at the overview.
    const std::optional<Section>& section() const { return m_section; }
    /// Emits sectionChanged (and changed) only when the value differs.
    void setSection(std::optional<Section> section);

    /// Archives of one app only; nothing = all apps.
    const std::optional<ArchiveFilter>& archiveFilter() const { return m_archiveFilter; }
    void setArchiveFilter(std::optional<ArchiveFilter> filter);

    bool isCleaning() const { return m_cleaning; }
    /// Removes the selected items one after the other; returns at once. When the busy flag
    /// refuses (another long task runs), nothing starts and cleanRefused() tells the window.
    void clean(Mode mode);

signals:
    void changed();
    void sectionChanged();
    void cleanFinished();
    /// A clean was refused because another long task runs; the window shows the busy toast.
    void cleanRefused();

private:
    // A sum of sizes that loses no byte, so an item taken back out leaves exactly what was there;
    // read, it stops at the largest 64-bit count as saturatingSum does.
    class ExactSum {
    public:
        void add(std::int64_t bytes);
        void remove(std::int64_t bytes);
        std::int64_t value() const;

    private:
        std::uint64_t m_low = 0;
        std::uint64_t m_high = 0;
    };
    // Sums kept beside the lists, so views that read them on every change never walk a long list:
    // made again when a list changes, and kept up to date by every change of the selection.
    struct KindSummary {
        std::int64_t bytes = 0;
        std::int64_t visibleBytes = 0;
        int selected = 0;
        ExactSum selectedBytes;
        std::map<CleanupItem::Tag, TagTally> tagged; // visible, unprotected items
        std::vector<char> selectedAt;                // per item, in the list's order
        std::vector<std::uint64_t> changedAt;        // per item: the selection version that last changed it
    };
    struct Place {
        Kind kind;
        std::size_t index;
    };

    void startScan(Kind kind);
    void applyScan(Kind kind, unsigned generation, CleanupCategory category);
    void listsChanged();
    // A change of the selection: begin, select or deselect ids, then end, which tells the views
    // when anything changed.
    void beginSelectionChange();
    void setSelected(const QString& id, bool selected);
    void setSelectedAt(Kind kind, std::size_t index, bool selected);
    void endSelectionChange();
    void finishClean(const std::vector<std::pair<Kind, CleanupItem>>& items, std::int64_t total,
                     std::int64_t cleaned, std::int64_t trashed, const std::vector<QString>& errors);

    Scanner m_scanner;
    Remover m_remover;
    LongTaskGate& m_gate;
    Progress& m_progress;
    SpaceSaved& m_spaceSaved;
    std::map<Kind, CleanupCategory> m_categories;
    std::set<Kind> m_scanning;
    std::map<Kind, unsigned> m_generation;
    QSet<QString> m_selection;
    std::optional<Section> m_section = Section::overview();
    std::optional<ArchiveFilter> m_archiveFilter;
    bool m_cleaning = false;
    std::uint64_t m_listsVersion = 0;
    std::uint64_t m_selectionVersion = 0;
    bool m_selectionChanged = false;     // since beginSelectionChange
    QMultiHash<QString, Place> m_places; // where each id lies in the lists
    std::map<Kind, KindSummary> m_summaries;
    Tally m_recommended;
};

} // namespace quorvex
