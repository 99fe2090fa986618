#include "storage/ItemRowDelegate.h"

#include "storage/CategoryItemsModel.h"
#include "storage/ItemRow.h"

#include <QPainter>

namespace quorvex {

ItemRowDelegate::ItemRowDelegate(QObject* parent, std::function<QDateTime()> now)
    : QStyledItemDelegate(parent)
    , m_now(std::move(now)) {
    if (!m_now)
        m_now = [] { return QDateTime::currentDateTimeUtc(); };
}

void ItemRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const auto* items = qobject_cast<const CategoryItemsModel*>(index.model());
    if (!items)
        return QStyledItemDelegate::paint(painter, option, index);
    const int row = index.row();
    const ItemRow shown(items->item(row), items->category(), items->isSelected(row));
    shown.paint(*painter, QRectF(option.rect), option.palette, option.state.testFlag(QStyle::State_MouseOver),
                m_now(), row > 0);
}

QSize ItemRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return {option.rect.width() > 0 ? option.rect.width() : 400, ItemRow::height()};
}

} // namespace quorvex
