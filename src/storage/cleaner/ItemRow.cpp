#include "storage/cleaner/ItemRow.h"

#include "storage/cleaner/CleanerLook.h"
#include "storage/cleaner/TagChip.h"
#include "ui/CategoryIcon.h"
#include "ui/Fonts.h"
#include "ui/Formatters.h"
#include "ui/Palette.h"
#include "ui/SymbolReplace.h"
#include "ui/Symbols.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include <cmath>

namespace quorvex {
namespace {

using Kind = CleanupCategory::Kind;
using Tag = CleanupItem::Tag;

constexpr qreal kPaddingX = 14;
constexpr qreal kPaddingY = 9;
constexpr qreal kSpacing = 12;
constexpr qreal kCheckWidth = 20;
constexpr qreal kCheckSide = 18;
constexpr qreal kIconSide = 26;
constexpr qreal kChipSpacing = 6;
constexpr qreal kLineSpacing = 2;

QFont titleFont() {
    return Fonts::system(13, QFont::Medium);
}
QFont detailFont() {
    return Fonts::caption();
}
QFont sizeFont() {
    return Fonts::callout();
}

qreal titleLineHeight() {
    return std::max(QFontMetricsF(titleFont()).height(),
                    TagChip::look(QStringLiteral("Old"), Qt::black).size().height());
}

} // namespace

ItemRow::ItemRow(const CleanupItem& item, const CleanupCategory& category, bool selected)
    : m_item(item)
    , m_category(category)
    , m_selected(selected) {}

QStringList ItemRow::tagLabels(const CleanupItem& item, Kind kind) {
    QStringList labels;
    const auto has = [&](Tag tag) { return item.tags.count(tag) > 0; };
    if (kind == Kind::archives)
        labels << (has(Tag::uploaded) ? QStringLiteral("Uploaded") : QStringLiteral("Not uploaded"));
    if (has(Tag::unavailable))
        labels << QStringLiteral("Unavailable");
    if (has(Tag::orphaned))
        labels << QStringLiteral("Orphaned");
    if (has(Tag::old) && kind != Kind::xcodes)
        labels << QStringLiteral("Old");
    return labels;
}

QString ItemRow::verb(Kind kind) {
    switch (kind) {
    case Kind::derivedData:
        return QStringLiteral("Built");
    case Kind::simulators:
    case Kind::runtimes:
        return QStringLiteral("Used");
    case Kind::archives:
        return QStringLiteral("Archived");
    default:
        return QStringLiteral("Updated");
    }
}

QString ItemRow::detailText(const CleanupItem& item, Kind kind, const QDateTime& now) {
    if (item.protectedReason)
        return *item.protectedReason + kLabelJoin + item.subtitle;
    if (!item.date)
        return item.subtitle;
    return item.subtitle + kLabelJoin + verb(kind) + QLatin1Char(' ') +
           Formatters::relativeDate(*item.date, now);
}

int ItemRow::iconSide(qreal ratio) {
    return static_cast<int>(kIconSide * std::max(ratio, 1.0));
}

QString ItemRow::checkSymbol() const {
    if (m_item.isProtected())
        return QStringLiteral("lock.fill");
    return m_selected ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("circle");
}

namespace {

QColor mix(const QColor& from, const QColor& to, qreal progress) {
    if (progress >= 1)
        return to;
    const auto blend = [&](float a, float b) { return a + (b - a) * static_cast<float>(progress); };
    // Premultiplied, so a fade from clear does not pass through black.
    const QColor a = from.toRgb();
    const QColor b = to.toRgb();
    const float alpha = blend(a.alphaF(), b.alphaF());
    if (alpha <= 0)
        return Qt::transparent;
    const auto channel = [&](float x, float xa, float y, float ya) { return blend(x * xa, y * ya) / alpha; };
    return QColor::fromRgbF(channel(a.redF(), a.alphaF(), b.redF(), b.alphaF()),
                            channel(a.greenF(), a.alphaF(), b.greenF(), b.alphaF()),
                            channel(a.blueF(), a.alphaF(), b.blueF(), b.alphaF()), alpha);
}

QColor checkColorFor(const QPalette& palette, bool isProtected, bool selected) {
    const QColor primary = palette.color(QPalette::WindowText);
    if (isProtected)
        return tertiaryText(primary);
    return selected ? palette.color(QPalette::Highlight) : secondaryText(primary);
}

QColor backgroundFor(const QPalette& palette, bool selected, bool hovering) {
    if (selected)
        return withAlpha(palette.color(QPalette::Highlight), 0.08);
    if (hovering)
        return withAlpha(palette.color(QPalette::WindowText), 0.03);
    return Qt::transparent;
}

} // namespace

QColor ItemRow::checkColor(const QPalette& palette) const {
    return mix(checkColorFor(palette, m_item.isProtected(), !m_selected),
               checkColorFor(palette, m_item.isProtected(), m_selected), m_progress);
}

QColor ItemRow::background(const QPalette& palette, bool hovering) const {
    return mix(backgroundFor(palette, !m_selected, hovering), backgroundFor(palette, m_selected, hovering),
               m_progress);
}

int ItemRow::height() {
    const qreal content = std::max(
        {kIconSide, kCheckSide, titleLineHeight() + kLineSpacing + QFontMetricsF(detailFont()).height()});
    return static_cast<int>(std::ceil(content + 2 * kPaddingY));
}

void ItemRow::paint(QPainter& painter, const QRectF& rect, const QPalette& palette, bool hovering,
                    const QDateTime& now, bool divider, const std::optional<QPixmap>& own) const {
    const QColor primary = palette.color(QPalette::WindowText);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (divider) {
        painter.setPen(QPen(withAlpha(primary, 0.1), 1));
        painter.drawLine(QPointF(rect.left() + kDividerInset, rect.top() + 0.5),
                         QPointF(rect.right(), rect.top() + 0.5));
    }
    painter.setOpacity(opacity());
    painter.fillRect(rect, background(palette, hovering));

    const qreal ratio = painter.device() ? std::max(painter.device()->devicePixelRatioF(), 1.0) : 1.0;
    const qreal middle = rect.center().y();
    qreal x = rect.left() + kPaddingX;

    const QRectF checkRect(x + (kCheckWidth - kCheckSide) / 2, middle - kCheckSide / 2, kCheckSide,
                           kCheckSide);
    if (m_progress != 1 && !m_item.isProtected()) {
        // The selection just changed: the old symbol gives way to the new one.
        const QString before =
            m_selected ? QStringLiteral("circle") : QStringLiteral("checkmark.circle.fill");
        SymbolReplace(before, checkSymbol()).paint(painter, m_progress, checkRect, checkColor(palette));
    } else {
        const int check = static_cast<int>(kCheckSide);
        const QPixmap box = Symbols::pixmap(checkSymbol(), QSize(check, check), checkColor(palette), ratio);
        painter.drawPixmap(checkRect, box, QRectF(box.rect()));
    }
    x += kCheckWidth + kSpacing;

    const QRectF iconRect(x, middle - kIconSide / 2, kIconSide, kIconSide);
    if (own) {
        QPainterPath clip;
        clip.addRoundedRect(iconRect, 6, 6);
        painter.save();
        painter.setClipPath(clip);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(iconRect, *own, QRectF(own->rect()));
        painter.restore();
    } else {
        CategoryIcon::paint(painter, iconRect, m_category.symbol, categoryColor(m_category.tint));
    }
    x += kIconSide + kSpacing;

    // The size on the right, then the text column in what is left.
    const QString size = sizeText(m_item.size);
    const QFontMetricsF sizeMetrics(sizeFont());
    const qreal sizeWidth = sizeMetrics.horizontalAdvance(size);
    const qreal right = rect.right() - kPaddingX;
    painter.setFont(sizeFont());
    painter.setPen(secondaryText(primary));
    painter.drawText(QRectF(right - sizeWidth, rect.top(), sizeWidth + 1, rect.height()),
                     Qt::AlignRight | Qt::AlignVCenter, size);
    const qreal textRight = right - sizeWidth - kSpacing;

    const QFontMetricsF titleMetrics(titleFont());
    const QFontMetricsF detailMetrics(detailFont());
    const qreal titleHeight = titleLineHeight();
    const qreal columnTop = middle - (titleHeight + kLineSpacing + detailMetrics.height()) / 2;

    QList<CapsuleLabel> chips;
    qreal chipsWidth = 0;
    for (const QString& label : tagLabels(m_item, m_category.kind)) {
        chips << TagChip::look(label, primary);
        chipsWidth += kChipSpacing + chips.back().size().width();
    }
    const qreal titleRoom = std::max(0.0, textRight - x - chipsWidth);
    const QString title = titleMetrics.elidedText(m_item.title, Qt::ElideRight, titleRoom);
    painter.setFont(titleFont());
    painter.setPen(primary);
    const qreal titleWidth = titleMetrics.horizontalAdvance(title);
    painter.drawText(QRectF(x, columnTop, titleWidth + 1, titleHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     title);
    qreal chipX = x + titleWidth;
    for (const CapsuleLabel& chip : chips) {
        chipX += kChipSpacing;
        if (chipX + chip.size().width() > textRight)
            break;
        chip.paint(painter, QPointF(chipX, columnTop + (titleHeight - chip.size().height()) / 2));
        chipX += chip.size().width();
    }

    const QString detail = detailMetrics.elidedText(detailText(m_item, m_category.kind, now), Qt::ElideMiddle,
                                                    std::max(0.0, textRight - x));
    painter.setFont(detailFont());
    painter.setPen(m_item.isProtected() ? Palette::orange() : secondaryText(primary));
    painter.drawText(QRectF(x, columnTop + titleHeight + kLineSpacing, textRight - x, detailMetrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, detail);
    painter.restore();
}

} // namespace quorvex
