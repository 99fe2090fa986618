#include "storage/cleaner/ChipButton.h"

#include "storage/cleaner/CleanerLook.h"
#include "ui/FocusRing.h"
#include "ui/Fonts.h"

#include <QPainter>

#include <cmath>

namespace quorvex {

ChipButton::ChipButton(const QString& text, QWidget* parent)
    : QAbstractButton(parent) {
    setText(text);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void ChipButton::setActive(bool active) {
    if (active == m_active)
        return;
    m_active = active;
    update();
}

void ChipButton::setSymbol(const QString& symbol) {
    if (symbol == m_symbol)
        return;
    m_symbol = symbol;
    updateGeometry();
    update();
}

ChipButton::Look ChipButton::look(const QString& text, const QString& symbol, bool active, bool pressed,
                                  bool enabled, const QPalette& palette) {
    const QColor primary = palette.color(QPalette::WindowText);
    const QColor fill =
        active ? palette.color(QPalette::Highlight) : withAlpha(primary, pressed ? 0.14 : 0.07);
    return {{text, symbol, Fonts::callout(QFont::Medium), active ? QColor(Qt::white) : primary, fill, 11, 5},
            enabled ? 1.0 : 0.45};
}

QSize ChipButton::sizeHint() const {
    const QSizeF size = look(text(), m_symbol, m_active, false, true, palette()).label.size();
    return {static_cast<int>(std::ceil(size.width())), static_cast<int>(std::ceil(size.height()))};
}

void ChipButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const Look shown = look(text(), m_symbol, m_active, isDown(), isEnabled(), palette());
    painter.setOpacity(shown.opacity);
    shown.label.paint(painter, QPointF(0, 0));
    painter.setOpacity(1.0);
    FocusRing::paint(painter, *this, QRectF(rect()), height() / 2.0);
}

} // namespace quorvex
