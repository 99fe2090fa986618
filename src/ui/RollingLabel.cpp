#include "ui/RollingLabel.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace quorvex {

RollingLabel::RollingLabel(Animator& animator, QWidget* parent)
    : QWidget(parent)
    , m_text(animator) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(&m_text, &RollingText::changed, this, [this] {
        // The width follows the roll; the layout hears of it only when the roll is over.
        if (!m_text.isRunning())
            updateGeometry();
        update();
    });
}

void RollingLabel::setText(const QString& text) {
    m_text.setText(text, isVisible() ? m_motion : Motion::none(), m_direction);
}

void RollingLabel::setAlignment(Qt::Alignment alignment) {
    m_alignment = alignment;
    update();
}

QSize RollingLabel::sizeHint() const {
    // While a roll runs, room for the wider of the two texts, so neither is cut.
    const TextRoll& roll = m_text.roll();
    const qreal width = std::max(roll.width(0, font(), m_text.monospacedDigits()),
                                 roll.width(1, font(), m_text.monospacedDigits()));
    const QMargins margins = contentsMargins();
    return {static_cast<int>(std::ceil(width)) + margins.left() + margins.right(),
            static_cast<int>(std::ceil(QFontMetricsF(font()).height())) + margins.top() + margins.bottom()};
}

void RollingLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    m_text.paint(painter, contentsRect(), m_alignment);
}

} // namespace quorvex
