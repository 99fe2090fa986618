#pragma once

#include "storage/engine/CleanupCategory.h"
#include "storage/engine/ItemRemoval.h"

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

    /// Starts a background scan of each kind not already scanning.
    void scan(const std::vector<Kind>& kinds);
    CleanupCategory category(Kind kind) const;
    const std::map<Kind, CleanupCategory>& categories() const { return m_categories; }
    const std::set<Kind>& scanning() const { return m_scanning; }
    std::vector<CleanupItem> visibleItems(Kind kind) const;
    /// Whether `item` of `kind` is among visibleItems(kind): the archive filter's test, for views
    /// that walk categories() in place instead of copying a long list.
    bool isVisible(Kind kind, const CleanupItem& item) const;
    std::int64_t totalBytes() const;

    const QSet<QString>& selection() const { return m_selection; }
    std::vector<std::pair<Kind, CleanupItem>> selectedItems() const;
    std::int64_t selectedBytes() const;
    int selectedCount(Kind kind) const;
    void toggle(const CleanupItem& item);
    std::vector<CleanupItem> items(Kind kind, CleanupItem::Tag tag) const;
    void toggle(CleanupItem::Tag tag, Kind kind);
    void setAllSelected(bool selected, Kind kind);
    std::vector<CleanupItem> recommendedItems() const;
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
    void startScan(Kind kind);
    void applyScan(Kind kind, unsigned generation, CleanupCategory category);
    void setSelection(QSet<QString> selection);
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
};

} // namespace quorvex
