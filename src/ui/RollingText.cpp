#include "ui/RollingText.h"

namespace quorvex {

RollingText::RollingText(Animator& animator, QString text, QObject* parent)
    : ContentTransition(animator, parent)
    , m_roll(std::move(text)) {}

void RollingText::setText(const QString& text, const Motion& motion, TextRoll::Direction direction) {
    if (text == m_roll.to())
        return;
    m_roll = TextRoll(m_roll.to(), text, direction);
    restart(motion);
}

void RollingText::setMonospacedDigits(bool monospaced) {
    if (monospaced == m_monospacedDigits)
        return;
    m_monospacedDigits = monospaced;
    emit changed();
}

std::vector<TextRoll::Piece> RollingText::pieces(const QFont& font, const QRectF& rect,
                                                 Qt::Alignment alignment) const {
    return m_roll.pieces(progress(), font, rect, alignment, m_monospacedDigits);
}

qreal RollingText::width(const QFont& font) const {
    return m_roll.width(progress(), font, m_monospacedDigits);
}

void RollingText::paint(QPainter& painter, const QRectF& rect, Qt::Alignment alignment) const {
    m_roll.paint(painter, progress(), rect, alignment, m_monospacedDigits);
}

} // namespace quorvex
