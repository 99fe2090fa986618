#include "storage/cleaner/CleanerStyle.h"

#include "ui/FocusRing.h"
#include "ui/Palette.h"
#include "ui/Symbols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace quorvex {

QColor CleanerStyle::secondary(const QPalette& palette) {
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.6);
    return color;
}

QColor CleanerStyle::barMaterial(const QPalette& palette) {
    return palette.color(QPalette::Window).darker(103);
}

QColor CleanerStyle::hairline(const QPalette& palette) {
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.12);
    return color;
}

QPushButton* CleanerStyle::prominentButton(const QString& title, const QString& symbol, QWidget* parent) {
    auto* button = new QPushButton(title, parent);
    if (!symbol.isEmpty())
        button->setIcon(QIcon(Symbols::pixmap(symbol, QSize(16, 16), Qt::white)));
    const QColor red = Palette::red();
    button->setStyleSheet(
        // A transparent border the width of the focus ring keeps the size when focus comes.
        QStringLiteral("QPushButton { background: %1; color: white; border: %4px solid transparent;"
                       " border-radius: 7px; padding: 3px 16px; }"
                       "QPushButton:pressed { background: %2; }"
                       "QPushButton:disabled { background: %3; color: rgba(255,255,255,0.75); }")
            .arg(red.name(), red.darker(115).name(), red.lighter(150).name())
            .arg(FocusRing::width) +
        FocusRing::styleSheetRule(QStringLiteral("QPushButton"), 7));
    return button;
}

QWidget* CleanerStyle::iconLabel(const QString& symbol, const QString& text, const QColor& color,
                                 const QFont& font, QWidget* parent) {
    auto* widget = new QWidget(parent);
    auto* row = new QHBoxLayout(widget);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    const int side = QFontMetrics(font).height();
    auto* icon = new QLabel(widget);
    icon->setObjectName(QStringLiteral("icon"));
    icon->setPixmap(Symbols::pixmap(symbol, QSize(side, side), color));
    icon->setAlignment(Qt::AlignTop);
    auto* label = new QLabel(text, widget);
    label->setObjectName(QStringLiteral("text"));
    label->setFont(font);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(label, 1);
    return widget;
}

} // namespace quorvex

namespace quorvex {

void CleanerStyle::wrapAt(QWidget* widget, int width) {
    auto* label = qobject_cast<QLabel*>(widget);
    int textWidth = width;
    if (!label) {
        label = widget->findChild<QLabel*>(QStringLiteral("text"));
        const QLabel* icon = widget->findChild<QLabel*>(QStringLiteral("icon"));
        if (!label || !icon)
            return;
        textWidth = width - icon->pixmap().deviceIndependentSize().toSize().width() - 6;
    }
    label->setFixedWidth(textWidth);
    label->setFixedHeight(label->heightForWidth(textWidth));
}

} // namespace quorvex
