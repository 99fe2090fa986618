#include "storage/cleaner/CategoryItemsModel.h"

#include "storage/cleaner/ItemRow.h"
#include "storage/engine/StorageCleanerModel.h"

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

bool CategoryItemsModel::selectionJustChanged(int row) const {
    const QString& id = item(row).id;
    return m_selectionBefore.contains(id) != m_selection.contains(id);
}

void CategoryItemsModel::refresh() {
    // Read the model's list in place: a category can hold tens of thousands of items, and most
    // changes (a click, a chip) change only the selection.
    const Kind kind = m_category.kind;
    static const std::vector<CleanupItem> none;
    const auto found = m_model.categories().find(kind);
    const bool scanned = found != m_model.categories().end();
    const std::vector<CleanupItem>& source = scanned ? found->second.items : none;
    CleanupCategory presentation(kind);
    if (scanned) {
        presentation.title = found->second.title;
        presentation.symbol = found->second.symbol;
        presentation.tint = found->second.tint;
        presentation.safety = found->second.safety;
        presentation.explanation = found->second.explanation;
        presentation.consequence = found->second.consequence;
        presentation.quickSelections = found->second.quickSelections;
    }

    bool same = presentation == m_category;
    std::size_t listed = 0;
    for (auto item = source.begin(); same && item != source.end(); ++item) {
        if (!m_model.isVisible(kind, *item))
            continue;
        same = listed < m_items.size() && m_items[listed] == *item;
        ++listed;
    }
    if (same && listed == m_items.size()) {
        if (m_model.selection() != m_selection) {
            m_selectionBefore = m_selection;
            m_selection = m_model.selection();
            emit selectionChanged();
        }
        if (!m_items.empty())
            emit dataChanged(index(0), index(rowCount() - 1), {Qt::CheckStateRole});
        return;
    }
    // New rows start settled.
    m_selection = m_selectionBefore = m_model.selection();
    beginResetModel();
    m_category = std::move(presentation);
    m_items.clear();
    for (const CleanupItem& item : source)
        if (m_model.isVisible(kind, item))
            m_items.push_back(item);
    endResetModel();
}

} // namespace quorvex
