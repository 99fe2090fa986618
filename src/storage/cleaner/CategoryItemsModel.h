#pragma once

#include "storage/engine/CleanupCategory.h"

#include <QAbstractListModel>

#include <cstdint>
#include <vector>

namespace quorvex {

class StorageCleanerModel;

/// The items a category page lists, as a list model over the cleaner's model: the visible items
/// of one kind in their order. It keeps only their places in the cleaner's list, so a list of a
/// hundred thousand items costs no copy. Follows the cleaner: a selection change repaints the
/// rows (selectionChanged), a new list resets the model.
class CategoryItemsModel final : public QAbstractListModel {
    Q_OBJECT
public:
    using Kind = CleanupCategory::Kind;
    CategoryItemsModel(StorageCleanerModel& model, CleanupCategory::Kind kind, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    /// The item of a row; valid until the cleaner's model changes.
    const CleanupItem& item(int row) const;
    /// The category as the cleaner's model holds it now.
    const CleanupCategory& category() const;
    bool isSelected(int row) const;
    /// Whether the row's selection changed with the model's latest selection change.
    bool selectionJustChanged(int row) const;

    /// Reads the cleaner's model again.
    void refresh();

signals:
    /// Rows kept their items but some changed selection (selectionJustChanged tells which): the
    /// view repaints them.
    void selectionChanged();

private:
    StorageCleanerModel& m_model;
    Kind m_kind;
    std::uint64_t m_listsVersion = 0;
    std::uint64_t m_selectionVersion = 0; // of the selection the rows show
    std::uint64_t m_settledVersion = 0;   // of the selection the rows were made with
    std::vector<std::size_t> m_rows;      // places in the category's items, in their order
};

} // namespace quorvex
