#pragma once

#include <QDateTime>
#include <QStyledItemDelegate>

class QVariantAnimation;

#include <functional>

namespace quorvex {

/// Paints a CategoryItemsModel's rows as ItemRows; the hover tint comes from the view's
/// mouse-over state.
class ItemRowDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    /// `now` dates the rows' detail lines (the current time unless a test gives another).
    explicit ItemRowDelegate(QObject* parent = nullptr, std::function<QDateTime()> now = {});

    /// Starts the selection spring: rows whose selection just changed blend into their new look.
    void startSelectionSpring();

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

signals:
    /// A step of the selection spring: the view repaints.
    void frame();

private:
    std::function<QDateTime()> m_now;
    QVariantAnimation* m_spring = nullptr;
};

} // namespace quorvex
