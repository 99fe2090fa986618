#pragma once

#include "storage/engine/CleanupCategory.h"

#include <QColor>
#include <QDateTime>
#include <QPixmap>
#include <QStringList>

#include <optional>

class QPainter;
class QPalette;

namespace quorvex {

/// One line of a category's item list: check box (a lock for a protected item), icon, title with
/// state chips, a detail line and the size. A value drawn by the list's delegate, so a list of
/// any length costs only its visible rows.
class ItemRow {
public:
    ItemRow(const CleanupItem& item, const CleanupCategory& category, bool selected);

    /// How far the row has come from its other selection state (0 just toggled, 1 settled):
    /// the fill and the check's colour blend over that way while the selection spring runs, and
    /// the old check symbol gives way to the new one.
    void setSelectionProgress(qreal progress) { m_progress = progress; }

    /// The state chips' texts, in display order.
    static QStringList tagLabels(const CleanupItem& item, CleanupCategory::Kind kind);
    /// The line under the title: reason and subtitle for a protected item, else the subtitle with
    /// the kind's verb and how long ago `date` was, relative to `now`.
    static QString detailText(const CleanupItem& item, CleanupCategory::Kind kind, const QDateTime& now);
    static QString verb(CleanupCategory::Kind kind);

    QString checkSymbol() const;
    QColor checkColor(const QPalette& palette) const;
    /// The row's fill: accent when selected, a faint primary while hovered, else none.
    QColor background(const QPalette& palette, bool hovering) const;
    qreal opacity() const { return m_item.isProtected() ? 0.7 : 1.0; }
    QString toolTip() const { return m_item.protectedReason.value_or(QString()); }

    /// The height every row has.
    static int height();
    /// Left edge of the separator drawn above every row but the first.
    static constexpr qreal kDividerInset = 58;

    /// The side, in pixels, of the item's own image on a device of that pixel ratio.
    static int iconSide(qreal ratio);

    /// `icon`: the item's own image (ItemIcons), or nothing for the category's symbol.
    void paint(QPainter& painter, const QRectF& rect, const QPalette& palette, bool hovering,
               const QDateTime& now, bool divider, const std::optional<QPixmap>& icon) const;

private:
    const CleanupItem& m_item;
    const CleanupCategory& m_category;
    bool m_selected;
    qreal m_progress = 1;
};

} // namespace quorvex
