#include "storage/cleaner/CategoryItemsModel.h"

#include "storage/engine/StorageCleanerModel.h"

#include <QAccessible>

namespace quorvex {

CategoryItemsModel::CategoryItemsModel(StorageCleanerModel& model, CleanupCategory::Kind kind,
                                       QObject* parent)
    : QAbstractListModel(parent)
    , m_model(model)
    , m_kind(kind)
    , m_listsVersion(model.listsVersion() - 1) {
    connect(&m_model, &StorageCleanerModel::changed, this, &CategoryItemsModel::refresh);
    refresh();
}

int CategoryItemsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
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

// Checkable, so a screen reader announces each row's selection as its checked state.
Qt::ItemFlags CategoryItemsModel::flags(const QModelIndex& index) const {
    return QAbstractListModel::flags(index) | Qt::ItemIsUserCheckable;
}

const CleanupItem& CategoryItemsModel::item(int row) const {
    return category().items.at(m_rows.at(static_cast<std::size_t>(row)));
}

const CleanupCategory& CategoryItemsModel::category() const {
    return m_model.category(m_kind);
}

bool CategoryItemsModel::isSelected(int row) const {
    return m_model.isSelectedAt(m_kind, m_rows.at(static_cast<std::size_t>(row)));
}

bool CategoryItemsModel::selectionJustChanged(int row) const {
    // Rows made after the latest change start settled.
    return m_selectionVersion != m_settledVersion &&
           m_model.changedLastAt(m_kind, m_rows.at(static_cast<std::size_t>(row)));
}

void CategoryItemsModel::refresh() {
    if (m_model.listsVersion() == m_listsVersion) {
        // The same rows: only the selection may have changed, and the page repaints the rows. A
        // change of data would make QListView lay all rows out again on its next paint, so it is
        // only sent while an assistive tool listens for the check states.
        if (m_model.selectionVersion() == m_selectionVersion)
            return;
        m_selectionVersion = m_model.selectionVersion();
        emit selectionChanged();
        if (QAccessible::isActive() && !m_rows.empty())
            emit dataChanged(index(0), index(rowCount() - 1), {Qt::CheckStateRole});
        return;
    }
    beginResetModel();
    m_listsVersion = m_model.listsVersion();
    m_selectionVersion = m_settledVersion = m_model.selectionVersion();
    m_rows.clear();
    const std::vector<CleanupItem>& items = category().items;
    for (std::size_t place = 0; place < items.size(); ++place)
        if (m_model.isVisible(m_kind, items[place]))
            m_rows.push_back(place);
    endResetModel();
}

} // namespace quorvex
