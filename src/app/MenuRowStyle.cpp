#include "app/MenuRowStyle.h"

#include "app/RowMenu.h"
#include "ui/Fonts.h"

#include <QAction>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionMenuItem>

namespace quorvex {
namespace {

constexpr int textGap = 8; // between title and badge, and before the shortcut
constexpr int rightPadding = 12;
constexpr int arrowWidth = 18; // room for a submenu's arrow
constexpr int verticalPadding = 4;

struct RowTexts {
    QString title;
    QString shortcut;
    QString subtitle;
    QString badge;
    int indent = 0; // in pixels
};

// The texts of a row this style draws itself, or nullopt for a row left to the base style.
std::optional<RowTexts> rowTexts(const QStyleOption* option) {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    const auto* action = item ? qobject_cast<const QAction*>(item->styleObject) : nullptr;
    if (!action || item->menuItemType == QStyleOptionMenuItem::Separator)
        return std::nullopt;
    RowTexts texts;
    texts.subtitle = action->property(RowMenu::subtitleProperty).toString();
    texts.badge = action->property(RowMenu::badgeProperty).toString();
    texts.indent =
        std::max(0, action->property(RowMenu::indentationProperty).toInt()) * MenuRowStyle::indentStep;
    if (texts.subtitle.isEmpty() && texts.badge.isEmpty() && texts.indent == 0)
        return std::nullopt;
    const qsizetype tab = item->text.indexOf(QLatin1Char('\t'));
    texts.title = tab < 0 ? item->text : item->text.left(tab);
    texts.shortcut = tab < 0 ? QString() : item->text.mid(tab + 1);
    texts.title.remove(QLatin1Char('&'));
    return texts;
}

// The width of the base style's icon column.
int iconColumn(const QStyleOptionMenuItem& item) {
    const int normalHeight = item.fontMetrics.height() + 2 * verticalPadding;
    return std::max(int(normalHeight * 0.79), std::max(item.maxIconWidth, 21));
}

// Where the base style starts a row's text: after the icon column.
int textLeft(const QStyleOptionMenuItem& item) {
    return 2 + iconColumn(item) + 3 + 2;
}

} // namespace

QImage MenuRowStyle::badgeImage(const QString& text, const QColor& textColor, qreal devicePixelRatio) {
    const QFont font = Fonts::caption(QFont::DemiBold);
    const QFontMetrics metrics(font);
    const QSize size(std::max(metrics.horizontalAdvance(text) + 12, metrics.height() + 4),
                     metrics.height() + 2);
    QImage image(size * devicePixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = textColor;
    fill.setAlphaF(0.18f);
    QPainterPath capsule;
    capsule.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(size)), size.height() / 2.0, size.height() / 2.0);
    painter.fillPath(capsule, fill);
    painter.setFont(font);
    painter.setPen(textColor);
    painter.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter, text);
    return image;
}

QSize MenuRowStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                     const QWidget* widget) const {
    const QSize base = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type != CT_MenuItem)
        return base;
    const auto texts = rowTexts(option);
    if (!texts)
        return base;
    const auto& item = *qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    const QFontMetrics titleMetrics(item.font);
    const QFontMetrics subtitleMetrics(Fonts::caption());
    int textWidth = titleMetrics.horizontalAdvance(texts->title);
    int height = base.height();
    if (!texts->subtitle.isEmpty()) {
        textWidth = std::max(textWidth, subtitleMetrics.horizontalAdvance(texts->subtitle));
        height = std::max(height, titleMetrics.height() + subtitleMetrics.height() + 2 * verticalPadding + 2);
    }
    int width = texts->indent + textLeft(item) + textWidth + rightPadding;
    if (!texts->badge.isEmpty())
        width += textGap + qRound(badgeImage(texts->badge, Qt::black).deviceIndependentSize().width());
    if (!texts->shortcut.isEmpty())
        width += textGap + titleMetrics.horizontalAdvance(texts->shortcut);
    if (item.menuItemType == QStyleOptionMenuItem::SubMenu)
        width += arrowWidth;
    return {width, height};
}

void MenuRowStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                               const QWidget* widget) const {
    const auto texts = element == CE_MenuItem ? rowTexts(option) : std::nullopt;
    if (!texts) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    QStyleOptionMenuItem item = *qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    // The base style draws the highlight, icon, check mark, arrow and shortcut; the texts are ours,
    // and so is the icon of an indented row, which moves with its text.
    item.text = texts->shortcut.isEmpty() ? QString() : QLatin1Char('\t') + texts->shortcut;
    const QIcon icon = item.icon;
    if (texts->indent > 0)
        item.icon = QIcon();
    QProxyStyle::drawControl(element, &item, painter, widget);

    const bool selected = (item.state & State_Selected) && (item.state & State_Enabled);
    const QPalette::ColorGroup group = (item.state & State_Enabled) ? QPalette::Normal : QPalette::Disabled;
    const QColor textColor = item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    QColor secondary = textColor;
    secondary.setAlphaF(textColor.alphaF() * 0.65f);

    const QRect rect = item.rect;
    int right = rect.right() - rightPadding;
    if (item.menuItemType == QStyleOptionMenuItem::SubMenu)
        right -= arrowWidth;
    if (!texts->shortcut.isEmpty())
        right -= textGap + QFontMetrics(item.font).horizontalAdvance(texts->shortcut);
    painter->save();
    if (!texts->badge.isEmpty()) {
        const QImage badge = badgeImage(texts->badge, textColor, painter->device()->devicePixelRatioF());
        const QSizeF badgeSize = badge.deviceIndependentSize();
        right -= qRound(badgeSize.width());
        painter->drawImage(QPointF(right, rect.center().y() - badgeSize.height() / 2.0 + 0.5), badge);
        right -= textGap;
    }
    if (texts->indent > 0 && !icon.isNull()) {
        const int size = proxy()->pixelMetric(PM_SmallIconSize, &item, widget);
        const QIcon::Mode mode = !(item.state & State_Enabled) ? QIcon::Disabled
                                 : selected                    ? QIcon::Active
                                                               : QIcon::Normal;
        // The icon column as the base style lays it out, moved by the indentation.
        const QRect column(rect.left() + 4 + texts->indent, rect.top(), std::max(item.maxIconWidth, 20),
                           rect.height());
        QRect iconRect(0, 0, size, size);
        iconRect.moveCenter(column.center());
        icon.paint(painter, iconRect, Qt::AlignCenter, mode);
    }
    const int left = rect.left() + texts->indent + textLeft(item);
    const QFontMetrics titleMetrics(item.font);
    const QFontMetrics subtitleMetrics(Fonts::caption());
    const int textHeight =
        titleMetrics.height() + (texts->subtitle.isEmpty() ? 0 : subtitleMetrics.height() + 2);
    int top = rect.top() + (rect.height() - textHeight) / 2;
    painter->setPen(textColor);
    painter->setFont(item.font);
    painter->drawText(QRect(left, top, right - left, titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      titleMetrics.elidedText(texts->title, Qt::ElideRight, right - left));
    if (!texts->subtitle.isEmpty()) {
        top += titleMetrics.height() + 2;
        painter->setPen(secondary);
        painter->setFont(Fonts::caption());
        painter->drawText(QRect(left, top, right - left, subtitleMetrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          subtitleMetrics.elidedText(texts->subtitle, Qt::ElideRight, right - left));
    }
    painter->restore();
}

} // namespace quorvex
