#pragma once

#include "ui/ContentTransition.h"
#include "ui/TextRoll.h"

#include <vector>

namespace quorvex {

/// A line of text whose changes roll (TextRoll) on an Animator, for views that paint their own
/// text: they hand it each new text with the Motion the change comes with, repaint on changed()
/// and call paint() in their paint event. RollingLabel is the widget made of one.
class RollingText final : public ContentTransition {
    Q_OBJECT

public:
    explicit RollingText(Animator& animator, QString text = {}, QObject* parent = nullptr);

    /// The text shown, or rolling in.
    const QString& text() const { return m_roll.to(); }
    /// Rolls the changed characters to `text`. The same text again changes nothing; a new text
    /// mid-roll rolls on from the text that was rolling in. Motion::none() shows it at once.
    void setText(const QString& text, const Motion& motion,
                 TextRoll::Direction direction = TextRoll::Direction::Up);

    bool monospacedDigits() const { return m_monospacedDigits; }
    void setMonospacedDigits(bool monospaced);

    const TextRoll& roll() const { return m_roll; }
    std::vector<TextRoll::Piece> pieces(const QFont& font, const QRectF& rect, Qt::Alignment alignment) const;
    /// The line's width now, between the old text's and the new one's while it rolls.
    qreal width(const QFont& font) const;
    /// Draws it now in the painter's font and pen.
    void paint(QPainter& painter, const QRectF& rect, Qt::Alignment alignment) const;

private:
    TextRoll m_roll;
    bool m_monospacedDigits = false;
};

} // namespace quorvex
