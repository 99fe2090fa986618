#pragma once

#include "storage/engine/CleanupCategory.h"

#include <QAbstractListModel>
#include <QSet>

#include <vector>

namespace quorvex {

class StorageCleanerModel;

/// The items a category page lists, as a list model over the cleaner's model: the visible items
/// of one kind in their order. Follows the cleaner: a selection change repaints the rows, a new
/// list resets the model.
class CategoryItemsModel final : public QAbstractListModel {
    Q_OBJECT
public:
    using Kind = CleanupCategory::Kind;
    CategoryItemsModel(StorageCleanerModel& model, CleanupCategory::Kind kind, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    const CleanupItem& item(int row) const { return m_items.at(static_cast<std::size_t>(row)); }
    const std::vector<CleanupItem>& items() const { return m_items; }
    /// The category's presentation (its items are not kept here).
    const CleanupCategory& category() const { return m_category; }
    bool isSelected(int row) const;
    /// Whether the row's selection changed with the model's latest selection change.
    bool selectionJustChanged(int row) const;

    /// Reads the cleaner's model again.
    void refresh();

signals:
    /// Rows kept their items but some changed selection (selectionJustChanged tells which).
    void selectionChanged();

private:
    StorageCleanerModel& m_model;
    CleanupCategory m_category;
    std::vector<CleanupItem> m_items;
    QSet<QString> m_selection;       // the selection the rows show
    QSet<QString> m_selectionBefore; // and the one before its latest change
};

} // namespace quorvex
