#include "panel/widgets/ActionRow.h"

#include "ui/Symbols.h"

#include <QLabel>

namespace quorvex {

ActionRow::ActionRow(const QString& symbol, const QString& title, bool isLast, std::function<void()> action,
                     QWidget* parent)
    : SettingsRow(symbol, title, std::nullopt, isLast, parent) {
    auto* chevron = new QLabel(this);
    QColor tertiary = palette().color(QPalette::WindowText);
    tertiary.setAlphaF(0.3f);
    chevron->setPixmap(Symbols::pixmap(QStringLiteral("chevron.right"), QSize(11, 11), tertiary));
    addTrailing(chevron);
    setActivatable(true);
    connect(this, &SettingsRow::clicked, this, [action = std::move(action)] {
        if (action)
            action();
    });
}

} // namespace quorvex
