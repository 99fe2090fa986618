#pragma once

#include "storage/engine/CleanupCategory.h"

#include <QDateTime>
#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QListView;

namespace quorvex {

class CategoryIcon;
class CategoryItemsModel;
class ChipButton;
class RollingLabel;
class SafetyBadge;
class StorageCleanerModel;

/// The page of one cleanup category: header with icon, title, listed total and safety badge; the
/// explanation and what cleaning means; the archive filter chip; quick selections with "All" and
/// "None"; and the items, or a scanning or empty note in their place. Keeps no state: it redraws
/// from the model on every change. The item list is as tall as its rows: the page goes in a
/// scroll area, which brings the list's current row into sight as the keys move it.
class CategoryDetail final : public QWidget {
    Q_OBJECT
public:
    enum class Content { list, scanning, empty };

    /// `now` dates the rows (the current time unless a test gives another).
    CategoryDetail(StorageCleanerModel& model, CleanupCategory::Kind kind, QWidget* parent = nullptr,
                   std::function<QDateTime()> now = {});

    CleanupCategory::Kind kind() const { return m_kind; }
    Content content() const;
    QString totalText() const;
    /// The archive filter chip, or null when none is shown.
    ChipButton* archiveChip() const;
    /// The quick-selection chips in display order, then "All" and "None"; empty while hidden.
    std::vector<ChipButton*> selectionChips() const;
    QListView* list() const { return m_list; }
    CategoryItemsModel* itemsModel() const { return m_items; }

private:
    void refresh();
    void select(const std::function<void()>& change);
    QWidget* makeSelectionBar();

    StorageCleanerModel& m_model;
    CleanupCategory::Kind m_kind;
    CategoryItemsModel* m_items = nullptr;
    CategoryIcon* m_icon = nullptr;
    QLabel* m_title = nullptr;
    RollingLabel* m_total = nullptr;
    SafetyBadge* m_badge = nullptr;
    QLabel* m_explanation = nullptr;
    QLabel* m_consequence = nullptr;
    QLabel* m_consequenceIcon = nullptr;
    QWidget* m_consequenceBox = nullptr;
    ChipButton* m_archiveChip = nullptr;
    QWidget* m_selectionBar = nullptr;
    std::vector<ChipButton*> m_quickChips;
    ChipButton* m_all = nullptr;
    ChipButton* m_none = nullptr;
    QWidget* m_content = nullptr;
    QWidget* m_scanningNote = nullptr;
    QWidget* m_emptyNote = nullptr;
    QListView* m_list = nullptr;
};

} // namespace quorvex
