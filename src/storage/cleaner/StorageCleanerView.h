#pragma once

#include "storage/engine/StorageCleanerModel.h"

#include <QWidget>

#include <functional>
#include <map>
#include <optional>

class QAction;
class QListWidget;
class QListWidgetItem;
class QScrollArea;
class QStackedWidget;

namespace quorvex {

class SidebarRow;
class SpaceSaved;

/// The storage cleaner window's content: a sidebar with the overview and one row per category,
/// and a detail column with the chosen page above the selection bar and the disclaimer, which
/// stay pinned under it. The sidebar's selection is the model's section both ways. Keeps no
/// state of its own; it redraws from the model. GUI thread.
class StorageCleanerView final : public QWidget {
    Q_OBJECT
public:
    using Kind = CleanupCategory::Kind;

    /// `review` runs when the selection bar's "Review & Clean…" is pressed.
    StorageCleanerView(StorageCleanerModel& model, SpaceSaved& saved, std::function<void()> review,
                       QWidget* parent = nullptr);

    /// "Rescan": scans every kind again; disabled while any kind scans. The window puts it in its
    /// toolbar.
    QAction* rescanAction() const { return m_rescan; }

    /// The overview row's detail: "Scanning…" while any kind scans, else the total.
    static QString overviewDetail(const StorageCleanerModel& model);
    /// A kind row's detail: "Scanning…" while that kind scans, else the size of all its items
    /// (archives hidden by an app filter included).
    static QString kindDetail(const StorageCleanerModel& model, Kind kind);

    SidebarRow* overviewRow() const { return m_overviewRow; }
    SidebarRow* row(Kind kind) const { return m_rows.at(kind); }
    /// The page shown now: the overview's or a category page's scroll area.
    QWidget* page() const;

private:
    void refresh();
    void showSection();
    void selectRowOfSection();
    void placeInTabOrder(QWidget* page);

    StorageCleanerModel& m_model;
    SpaceSaved& m_saved;
    QListWidget* m_sidebar = nullptr;
    SidebarRow* m_overviewRow = nullptr;
    std::map<Kind, SidebarRow*> m_rows;
    QStackedWidget* m_pages = nullptr;
    QScrollArea* m_overview = nullptr;
    QScrollArea* m_categoryScroll = nullptr;
    QWidget* m_category = nullptr; // the page in m_categoryScroll
    std::map<SidebarRow*, QListWidgetItem*> m_items;
    std::optional<Kind> m_categoryKind;
    QAction* m_rescan = nullptr;
    QWidget* m_selectionBar = nullptr;
};

} // namespace quorvex
