#include "panel/widgets/ToolButton.h"

#include "panel/widgets/HoverHint.h"
#include "panel/widgets/PanelFocus.h"
#include "ui/FocusRing.h"
#include "ui/Symbols.h"

#include <QPainter>

namespace quorvex {

ToolButton::ToolButton(const QString& symbol, const QString& help, bool isOn, Qt::Alignment hintAlignment,
                       Clock& clock, std::function<void()> action, QWidget* parent)
    : QAbstractButton(parent)
    , m_symbol(symbol)
    , m_isOn(isOn)
    , m_hint(new HoverHint(this, help, hintAlignment, HoverHint::Placement::below, clock)) {
    setFixedSize(34, 34);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(help);
    PanelFocus::keys(this);
    connect(this, &QAbstractButton::clicked, this, [action = std::move(action)] {
        if (action)
            action();
    });
}

void ToolButton::setOn(bool on) {
    m_isOn = on;
    if (isCheckable())
        setChecked(on);
    update();
}

QPixmap ToolButton::toolIcon(const QString& symbol, bool isOn, const QPalette& palette) {
    QColor colour = isOn ? palette.color(QPalette::Highlight) : palette.color(QPalette::WindowText);
    if (!isOn)
        colour.setAlphaF(0.75f);
    return Symbols::pixmap(symbol, QSize(16, 16), colour);
}

void ToolButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_isOn) {
        QColor circle = palette().color(QPalette::WindowText);
        circle.setAlphaF(0.12f);
        painter.setPen(Qt::NoPen);
        painter.setBrush(circle);
        painter.drawEllipse(rect());
    }
    const QPixmap icon = toolIcon(m_symbol, m_isOn, palette());
    const QSizeF size = icon.deviceIndependentSize();
    painter.drawPixmap(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), icon);
    FocusRing::paint(painter, *this, QRectF(rect()), width() / 2.0);
}

} // namespace quorvex
