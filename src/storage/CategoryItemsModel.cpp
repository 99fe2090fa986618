#include "storage/CategoryItemsModel.h"

#include "storage/ItemRow.h"
#include "storage/StorageCleanerModel.h"

namespace quorvex {

CategoryItemsModel::CategoryItemsModel(StorageCleanerModel& model, CleanupCategory::Kind kind,
                                       QObject* parent)
    : QAbstractListModel(parent)
    , m_model(model)
    , m_category(kind) {
    connect(&m_model, &StorageCleanerModel::changed, this, &CategoryItemsModel::refresh);
    refresh();
}

int CategoryItemsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_items.size());
}

QVariant CategoryItemsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const CleanupItem& shown = item(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return shown.title;
    case Qt::ToolTipRole:
        return shown.protectedReason ? QVariant(*shown.protectedReason) : QVariant();
    case Qt::CheckStateRole:
        return isSelected(index.row()) ? Qt::Checked : Qt::Unchecked;
    default:
        return {};
    }
}

bool CategoryItemsModel::isSelected(int row) const {
    return m_model.selection().contains(item(row).id);
}

void CategoryItemsModel::refresh() {
    CleanupCategory category = m_model.category(m_category.kind);
    category.items.clear();
    std::vector<CleanupItem> items = m_model.visibleItems(m_category.kind);
    if (category == m_category && items == m_items) {
        // Same rows: only the selection may have changed.
        if (!m_items.empty())
            emit dataChanged(index(0), index(rowCount() - 1), {Qt::CheckStateRole});
        return;
    }
    beginResetModel();
    m_category = std::move(category);
    m_items = std::move(items);
    endResetModel();
}

} // namespace quorvex
