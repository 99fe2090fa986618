#pragma once

#include "storage/cleaner/ItemIcons.h"
#include "ui/Motion.h"

#include <QDateTime>
#include <QStyledItemDelegate>

#include <functional>

namespace quorvex {

class AnimatedValue;
class Animator;

/// Paints a CategoryItemsModel's rows as ItemRows; the hover tint comes from the view's
/// mouse-over state, the items' own images from its ItemIcons.
class ItemRowDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    /// `now` dates the rows' detail lines (the current time unless a test gives another);
    /// `reader` reads the items' images (ItemIcons::read unless a test gives another).
    /// The selection's motion runs on `animator`.
    explicit ItemRowDelegate(Animator& animator, QObject* parent = nullptr,
                             std::function<QDateTime()> now = {}, ItemIcons::Reader reader = {});

    /// The images of the rows; a new list clears them.
    ItemIcons& icons() const { return *m_icons; }

    /// Rows whose selection just changed blend into their new look, and their check symbols
    /// replace one another, along `motion`.
    void startSelectionSpring(const Motion& motion);
    /// 0 to 1 (a spring may pass 1) while the rows whose selection changed move; 1 at rest.
    double selectionProgress() const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

signals:
    /// A step of the selection spring, or an image has come: the view repaints.
    void frame();

private:
    std::function<QDateTime()> m_now;
    AnimatedValue* m_spring = nullptr;
    ItemIcons* m_icons = nullptr;
};

} // namespace quorvex
