#include "storage/cleaner/ItemRowDelegate.h"

#include "storage/cleaner/CategoryItemsModel.h"
#include "storage/cleaner/ItemRow.h"
#include "ui/AnimatedValue.h"
#include "ui/FocusRing.h"

#include <QPainter>

namespace quorvex {

ItemRowDelegate::ItemRowDelegate(Animator& animator, QObject* parent, std::function<QDateTime()> now,
                                 ItemIcons::Reader reader)
    : QStyledItemDelegate(parent)
    , m_now(std::move(now))
    , m_spring(new AnimatedValue(animator, 1, this))
    , m_icons(new ItemIcons(this, std::move(reader))) {
    connect(m_icons, &ItemIcons::loaded, this, &ItemRowDelegate::frame);
    if (!m_now)
        m_now = [] { return QDateTime::currentDateTimeUtc(); };
    connect(m_spring, &AnimatedValue::changed, this, &ItemRowDelegate::frame);
}

void ItemRowDelegate::startSelectionSpring(const Motion& motion) {
    m_spring->setValue(0);
    m_spring->animateTo(1, motion);
}

double ItemRowDelegate::selectionProgress() const {
    return m_spring->value();
}

void ItemRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const auto* items = qobject_cast<const CategoryItemsModel*>(index.model());
    if (!items)
        return QStyledItemDelegate::paint(painter, option, index);
    const int row = index.row();
    const CleanupItem& item = items->item(row);
    ItemRow shown(item, items->category(), items->isSelected(row));
    if (m_spring->isAnimating() && items->selectionJustChanged(row))
        shown.setSelectionProgress(m_spring->value());
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const std::optional<QPixmap> icon =
        item.iconPath ? m_icons->icon(*item.iconPath, ItemRow::iconSide(ratio)) : std::nullopt;
    shown.paint(*painter, QRectF(option.rect), option.palette, option.state.testFlag(QStyle::State_MouseOver),
                m_now(), row > 0, icon);
    // The current row of a focused list: where Space and the arrows act.
    if (option.state.testFlag(QStyle::State_HasFocus))
        FocusRing::paint(*painter, option.palette, QRectF(option.rect).adjusted(2, 2, -2, -2), 8);
}

// Rows are checkable only so that assistive tools read their selection; the page toggles them on
// a click or Space, and the check box drawn at the row's left must take clicks like the rest.
bool ItemRowDelegate::editorEvent(QEvent*, QAbstractItemModel*, const QStyleOptionViewItem&,
                                  const QModelIndex&) {
    return false;
}

QSize ItemRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return {option.rect.width() > 0 ? option.rect.width() : 400, ItemRow::height()};
}

} // namespace quorvex
